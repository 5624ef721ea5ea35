// DIASHORAST from the chosen template's period lines: seven days per line, in the chosen
// language, and a clear error for a line whose columns are not whole numbers.
#include <gtest/gtest.h>

#include "base/error.h"
#include "conversion/stage_rows.h"
#include "conversion/stages.h"
#include "support/conversion_run.h"
#include "support/test_support.h"

namespace tc {
namespace {

using test::Dump;
using test::Lines;
using test::W;

const Lines kAll = {"DIHO",      "CODDIHO",   "DIA",     "TEXTODIA", "HORA",     "TEXTOHOR",
                    "HORADESDE", "HORAHASTA", "MINUTOS", "MARCO",    "MARCOXML", "SESION_ORDEN"};

TEST(TimeSlots, SevenDaysPerPeriodInTheChosenLanguage) {
  test::ConversionRun run("<centro/>");
  run.state.SelectedTemplateCode = "P1";
  run.state.ListBoxPlanti = {" 1 de 08:00 a 08:55", " 2 de 08:55 a 09:50"};
  run.state.LanguageChoice = "CASTELLANO";
  ImportTimeSlots(run.ctx);
  Lines rows = Dump(run.tables, "DIASHORAST", kAll);
  ASSERT_EQ(rows.size(), 14u);
  EXPECT_EQ(rows[0], "11||1|Lunes|1|1-08:00-08:55|08:00|08:55|55|0|P1|1");
  EXPECT_EQ(rows[9], W("32||3|Miércoles|2|2-08:55-09:50|08:55|09:50|55|0|P1|2"));
  rows = Dump(run.tables, "DIASHORAST", {"TEXTODIA"});
  EXPECT_EQ(Lines(rows.begin() + 7, rows.end()),
            (Lines{"Lunes", "Martes", W("Miércoles"), "Jueves", "Viernes", W("Sábado"), "Domingo"}));

  run.state.LanguageChoice = "castellano";  // any other text than CASTELLANO is Valencian
  ImportTimeSlots(run.ctx);
  rows = Dump(run.tables, "DIASHORAST", {"TEXTODIA"});
  EXPECT_EQ(Lines(rows.begin() + 7, rows.end()), (Lines{"Dilluns", "Dimarts", "Dimecres", "Dijous",
                                                       "Divendres", "Dissabte", "Diumenge"}));
}

TEST(TimeSlots, HourNumbersFollowTheLinesWhateverTheOrders) {
  test::ConversionRun run("<centro/>");
  run.state.SelectedTemplateCode = "PLANTILLA_LARGA";  // cut to the field's ten characters
  run.state.ListBoxPlanti = {" 1 de 08:00 a 08:55", " 2 de 08:55 a 09:50", " 3 de 09:50 a 10:45",
                             " 5 de 23:30 a 00:15", "12 de 14:00 a 14:55"};
  ImportTimeSlots(run.ctx);
  const Lines rows = Dump(run.tables, "DIASHORAST", kAll);
  ASSERT_EQ(rows.size(), 35u);
  Lines mondays;  // hour by hour: each hour's Monday is followed by the six other days
  for (std::size_t i = 0; i < rows.size(); i += 7) mondays.push_back(rows[i]);
  EXPECT_EQ(mondays, (Lines{"11||1|Dilluns|1|1-08:00-08:55|08:00|08:55|55|0|PLANTILLA_|1",
                            "12||1|Dilluns|2|2-08:55-09:50|08:55|09:50|55|0|PLANTILLA_|2",
                            "13||1|Dilluns|3|3-09:50-10:45|09:50|10:45|55|0|PLANTILLA_|3",
                            "14||1|Dilluns|4|5-23:30-00:15|23:30|00:15|-1395|0|PLANTILLA_|5",
                            "15||1|Dilluns|5|12-14:00-14:55|14:00|14:55|55|0|PLANTILLA_|12"}));
  EXPECT_EQ(rows.back().substr(0, 5), "75||7");

  run.state.ListBoxPlanti.clear();  // no template: an empty table
  ImportTimeSlots(run.ctx);
  EXPECT_EQ(Dump(run.tables, "DIASHORAST", {"DIHO"}), Lines{});
}

TEST(TimeSlots, ALineThatIsNotWellFormedEndsTheRunAndKeepsTheTable) {
  test::ConversionRun run("<centro/>");
  run.state.SelectedTemplateCode = "P1";
  run.state.ListBoxPlanti = {" 1 de 08:00 a 08:55"};
  ImportTimeSlots(run.ctx);

  run.state.ListBoxPlanti = {" 1 de 08:00 a 08:55", " 2 de 8:55 a 9:50"};
  try {
    ImportTimeSlots(run.ctx);
    FAIL() << "a one-digit hour must be refused";
  } catch (const RunError& error) {
    EXPECT_EQ(error.what(),
              W("Línea de horas no válida en la plantilla \"P1\" (hora 2): \" 2 de 8:55 a 9:50\": "
                "la hora de inicio (\"8:\") no es un número entero; se esperaba la forma "
                "\"NN de HH:MM a HH:MM\"."));
  }
  EXPECT_EQ(Dump(run.tables, "DIASHORAST", {"DIHO"}).size(), 7u);

  run.state.ListBoxPlanti = {"100 de 08:00 a 08:55"};  // a three-digit order shifts the times
  EXPECT_THROW(ImportTimeSlots(run.tables, run.state), RunError);
}

}  // namespace
}  // namespace tc
