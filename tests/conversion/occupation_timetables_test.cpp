// Duty periods counted into one ASIGT row per teacher and duty, and the SESIONES pattern that
// every row then gets from its hours.
#include <gtest/gtest.h>

#include "base/error.h"
#include "conversion/stage_rows.h"
#include "conversion/stages.h"
#include "support/conversion_run.h"
#include "support/test_support.h"

namespace tc {
namespace {

using test::Dump;
using test::FillTable;
using test::Lines;

const Lines kFields = {"ASIG_ITACA", "CASIG", "CPROF", "HORAS", "SESIONES", "CTAREA"};

// Duties GUA (O100) and BIB (O200), teachers PA (DA) and PB (DB), and class rows of these hours.
void Seed(test::ConversionRun& run, const Lines& hours) {
  FillTable(run.tables, store::AsignomtTable(),
            {{"COD", "ABREV_ITACA"}, {"GUA", "O100"}, {"BIB", "O200"}});
  FillTable(run.tables, store::ProftTable(), {{"ABREV", "DNI"}, {"PA", "DA"}, {"PB", "DB"}});
  std::vector<Lines> rows = {{"CASIG", "ASIG_ITACA", "HORAS", "SESIONES", "CTAREA"}};
  for (const auto& h : hours) rows.push_back({"MAT", "K" + h, h, "1111", "*479"});
  FillTable(run.tables, store::AsigtTable(), rows);
  run.state.SelectedTemplateCode = "P1";
}

TEST(OccupationTimetables, OnlyTheSelectedTemplatesPeriodsAreCounted) {
  test::ConversionRun run(R"(<centro><horarios_ocupaciones>
    <horario_ocupacion ocupacion="O100" docente="DA" plantilla="P1"/>
    <horario_ocupacion ocupacion="O100" docente="DA" plantilla="P2"/>
    <horario_ocupacion ocupacion="O100" docente="DA" plantilla="P1"/>
    <horario_ocupacion ocupacion="O999" docente="DB" plantilla="P1"/>
    <horario_ocupacion ocupacion="O100" docente="DA" plantilla="P1"/>
    <horario_ocupacion ocupacion="O200" docente="DX" plantilla="P1"/>
    <horario_ocupacion ocupacion="O100" docente="DA" plantilla="P1"/>
    <horario_ocupacion ocupacion="O100" docente="DA" plantilla="P1"/>
  </horarios_ocupaciones></centro>)");
  Seed(run, {"0"});
  ImportOccupationTimetables(run.ctx, TemplatesTaken::OnlySelected);
  EXPECT_EQ(
      Dump(run.tables, "ASIGT", kFields),
      (Lines{"K0|MAT||1|1|*479", "O100|GUA|PA|5|11111|GUA", "O999||PB|1|1|", "O200|BIB||1|1|BIB"}));
}

TEST(OccupationTimetables, EveryTemplateCountsWhenAllWereTaken) {
  test::ConversionRun run(R"(<centro><horarios_ocupaciones>
    <horario_ocupacion ocupacion="O100" docente="DA" plantilla="P1"/>
    <horario_ocupacion ocupacion="O100" docente="DA" plantilla="P2"/>
  </horarios_ocupaciones></centro>)");
  Seed(run, {});
  ImportOccupationTimetables(run.ctx, TemplatesTaken::All);
  EXPECT_EQ(Dump(run.tables, "ASIGT", kFields), Lines{"O100|GUA|PA|2|11|GUA"});
}

TEST(OccupationTimetables, SessionPatternOfEveryRow) {
  // One duty period is enough for the pass over every row.
  test::ConversionRun run(R"(<centro><horarios_ocupaciones>
    <horario_ocupacion ocupacion="O200" docente="DB" plantilla="P1"/>
  </horarios_ocupaciones></centro>)");
  Seed(run, {"2.5", "14", "15", "22", "23", "24", "28", "29", "42"});
  ImportOccupationTimetables(run.ctx, TemplatesTaken::All);
  const std::string ones(13, '1');
  EXPECT_EQ(Dump(run.tables, "ASIGT", {"HORAS", "SESIONES"}),
            (Lines{"2.5|111", "14|1" + ones, "15|2" + ones, "22|9" + ones, "23|10" + ones,
                   "24|93" + ones.substr(1), "28|" + std::string(14, '2'),
                   "29|3" + std::string(13, '2'), "42|" + std::string(14, '3'), "1|1"}));
}

TEST(OccupationTimetables, NoPeriodsTouchNoTableAndAMissingAttributeChangesNothing) {
  test::ConversionRun empty("<centro><horarios_ocupaciones/></centro>");
  ImportOccupationTimetables(empty.ctx, TemplatesTaken::All);  // the folder holds no table at all

  test::ConversionRun run(R"(<centro><horarios_ocupaciones>
    <horario_ocupacion ocupacion="O100" docente="DA" plantilla="P1"/>
    <horario_ocupacion ocupacion="O100" plantilla="P1"/>
  </horarios_ocupaciones></centro>)");
  Seed(run, {"3"});
  // Read beside the group stage or in turn, the same fault at the stage's turn.
  for (const bool beside : {true, false}) {
    if (beside) ReadDutyPeriodsBeside(run.ctx);
    try {
      ImportOccupationTimetables(run.ctx, TemplatesTaken::All);
      ADD_FAILURE() << "a period without docente must stop the stage";
    } catch (const DocumentError& error) {
      EXPECT_STREQ(error.what(), "Falta el atributo \"docente\" en /centro/horarios_ocupaciones/"
                                 "horario_ocupacion (elemento 2, l\xEDnea 3) de prueba.xml");
    }
    EXPECT_EQ(Dump(run.tables, "ASIGT", kFields), Lines{"K3|MAT||3|1111|*479"}) << beside;
  }
}

}  // namespace
}  // namespace tc
