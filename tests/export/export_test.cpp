#include <bit>
#include <functional>
#include <set>

#include "base/codepage.h"
#include "base/error.h"
#include "export/export_fixture.h"
#include "platform/platform.h"
#include "run/school_year_dialog.h"
#include "support/table_rows.h"

namespace tc::test {
namespace {

TEST_F(ExportTest, ClassesAreMappedBackAndUnplacedOrUnknownOnesLeftOut) {
  Soluc({{"MAT", "*479", 1, 1, "0", "1A", "PGA", "A1"},   // Monday, period 1; first PGA wins
         {"MAT", "*479", 3, 3, "01", "1A", "PGA", "A1"},  // hour 3 is period 4; MARCO's 1st char
         {"MAT", "*479", 8, 2, "0", "1A", "NADIE", ""},   // no day letter, teacher or room
         {"MAT", "*479", -1, 2, "0", "1A", "PGA", "XX"},  // no day letter, unknown room
         {"MAT", "*479", 0, 1, "0", "1A", "PGA", "A1"},   // day 0 and hour 0: not placed
         {"MAT", "*479", 2, 0, "0", "1A", "PGA", "A1"},
         {"MAT", "*479", 2, 1, "", "1A", "PGA", "A1"},    // empty or other frame: no slot
         {"MAT", "*479", 2, 1, "10", "1A", "PGA", "A1"},
         {"MAT", "*479", 2, 4, "0", "1A", "PGA", "A1"},   // no fourth hour
         {"MAT", "*479", 2, 1, "0", "1a", "PGA", "A1"},   // codes are case-sensitive
         {"LEN", "*479", 2, 1, "0", "1A", "PGA", "A1"},   // unknown subject
         {"MAT", "MAT", 2, 1, "0", "1A", "PGA", "A1"}});  // a duty (unknown): never a class
  EXPECT_EQ(Run().group_lessons, 4u);
  EXPECT_EQ(Written("horarios_grupo"),
            (Elements{Lesson("L", "1", "08:00", "08:55", "12345678Z", "AULA-1"),
                      Lesson("X", "4", "10:15", "11:10", "12345678Z", "AULA-1"),
                      Lesson("", "2", "08:55", "09:50", "", ""),
                      Lesson("", "2", "08:55", "09:50", "12345678Z", "")}));
}

TEST_F(ExportTest, DutiesNeedTheirTeacherAndNeverBecomeClasses) {
  Soluc({{"GUA", "GUA", 5, 2, "0", "", "PGA", ""},        // Friday, period 2
         {"GUA", "GUA", 7, 1, "0", "1A", "NADIE", "A1"},  // unknown teacher: dropped
         {"GUA", "GUA", 0, 1, "0", "", "PGA", ""},
         {"GUA", "*479", 1, 1, "0", "1A", "PGA", "A1"}});  // the same code as a class
  ExportResult result = Run();
  EXPECT_EQ(result.duty_periods, 1u);
  EXPECT_EQ(Written("horarios_ocupaciones"),
            (Elements{{"plantilla=T1", "dia_semana=V", "sesion_orden=2", "hora_desde=08:55",
                       "hora_hasta=09:50", "docente=12345678Z", "ensenanza=E1",
                       "ocupacion=GUARDIA1"}}));
  ASSERT_EQ(result.group_lessons, 1u);
  EXPECT_EQ(Written("horarios_grupo")[0][8], "contenido=GUARDIA1");
}

TEST_F(ExportTest, ManyRecordsOfBothKindsAreWrittenEachInItsContainerInSolucOrder) {
  // Many more records than a writer hands over at once, the kinds interleaved.
  std::vector<SolucRow> rows;
  for (int i = 0; i < 1500; ++i) {
    rows.push_back(i % 3 == 2 ? SolucRow{"GUA", "GUA", 1 + i % 5, 2, "0", "", "PGA", ""}
                              : SolucRow{"MAT", "*479", 1 + i % 5, 1, "0", "1A", "PGA", "A1"});
  }
  Soluc(rows);
  const ExportResult result = Run();
  EXPECT_EQ(result.group_lessons, 1000u);
  EXPECT_EQ(result.duty_periods, 500u);
  const Elements classes = Written("horarios_grupo");
  const Elements duties = Written("horarios_ocupaciones");
  ASSERT_EQ(classes.size(), 1000u);
  ASSERT_EQ(duties.size(), 500u);
  const std::string days = "LMXJV";
  for (std::size_t i = 0; i < 1500; ++i) {
    const std::string day = "dia_semana=" + days.substr(i % 5, 1);
    if (i % 3 == 2) {
      EXPECT_EQ(duties[i / 3][1], day) << i;
    } else {
      EXPECT_EQ(classes[i / 3 * 2 + i % 3],
                Lesson(days.substr(i % 5, 1), "1", "08:00", "08:55", "12345678Z", "AULA-1"))
          << i;
    }
  }
}

TEST_F(ExportTest, NewRootWithTrimmedIdentityAndNothingOfTheOldContent) {
  Soluc({{"GUA", "GUA", 5, 2, "0", "", "PGA", ""}});  // one duty: a document is written
  const std::string input = ReadFile(itaca);
  ExportResult result = Run();
  EXPECT_EQ(result.output, output);
  EXPECT_EQ(ui.informed, (std::vector<std::string>{
                             "Deber\xE1 Abrir el fichero XML de ITACA,\r\ndesde el cual realiz\xF3 "
                             "la Importaci\xF3n a Clepsa", "Proceso finalizado"}));
  EXPECT_EQ(state.OutcomeCode, kOutcomeCompleted);
  EXPECT_EQ(ReadFile(itaca), input);
  EXPECT_EQ(Written(""), (Elements{{"codigo=46000001", "denominacion=IES Prueba", "curso=2023",
                                    "fecha_exportacion=" +
                                        Cp1252ToUtf8(platform::ShortDateLongTime(When())),
                                    "version=1.5"}}));
  pugi::xml_document doc;
  doc.load_file(output.c_str());
  std::vector<std::string> children;
  for (auto c : doc.child("centro").children()) children.push_back(c.name());
  EXPECT_EQ(children, (std::vector<std::string>{"horarios_grupo", "horarios_ocupaciones"}));
  EXPECT_TRUE(Written("horarios_grupo").empty());
  EXPECT_EQ(Written("horarios_ocupaciones").size(), 1u);
}

TEST_F(ExportTest, SchoolYearIsTheDocumentsOrTheLastYearOfFourDigitsTyped) {
  Soluc({{"GUA", "GUA", 5, 2, "0", "", "PGA", ""}});
  for (const auto& [typed, written] : std::vector<std::pair<std::string, std::string>>{
           {"2015", "2015"}, {"", "2023"}, {"hola", "2023"}, {"20255", "2023"}}) {
    ui.school_year = typed;
    Run();
    EXPECT_EQ(Written("")[0][2], "curso=" + written) << typed;
  }
  SchoolYearDialog dialog("2023", 2026);
  EXPECT_EQ(dialog.Close(), "2023");
  EXPECT_TRUE(dialog.CanContinue());
  dialog.SetComboText("20x");
  EXPECT_EQ(dialog.Shown(), "20x");
  EXPECT_FALSE(dialog.CanContinue());
  EXPECT_EQ(dialog.Close(), "2023");  // closed with no year shown: the document's
  EXPECT_EQ(dialog.Years(),
            (std::vector<std::string>{"2021", "2022", "2023", "2024", "2025", "2026"}));
  EXPECT_EQ(SchoolYearDialog("2025", 2026).Years(),
            (std::vector<std::string>{"2023", "2024", "2025", "2026", "2027"}));
  EXPECT_EQ(SchoolYearDialog("curso", 2026).Years(), std::vector<std::string>{"2026"});
}

TEST_F(ExportTest, SlotsAreRebuiltForTheTemplateChosenNowOrEmptyForNone) {
  Soluc({{"MAT", "*479", 1, 1, "0", "1A", "PGA", "A1"}, {"GUA", "GUA", 1, 1, "0", "", "PGA", ""}});
  Run();
  auto slots = ReadRows(ztemp / "DIASHORAST.DBF");
  ASSERT_EQ(slots.size(), 21u);
  EXPECT_EQ(slots[0]["MARCOXML"], "T1");
  // No template: asked first, and even when the user goes on, a document without one lesson or
  // duty is never written, and the slot table stays as it was.
  ui.template_code = "";
  const std::string before = ReadFile(output);
  EXPECT_EQ(Run().result, RunResult::Refused);
  ASSERT_EQ(ui.guards.size(), 1u);
  EXPECT_EQ(ui.guards[0].kind, GuardKind::ExportWithoutTemplate);
  ui.go_on = {{GuardKind::ExportWithoutTemplate, true}};
  try {
    Run();
    ADD_FAILURE() << "an empty document was written";
  } catch (const Error& error) {
    EXPECT_EQ(error.kind(), ErrorKind::InvalidData);
    EXPECT_EQ(Cp1252ToUtf8(error.what()),
              "No se escribe el documento " + Cp1252ToUtf8(platform::PathText(output)) +
                  ": no tendría ninguna clase (horario_grupo) ni ninguna guardia "
                  "(horario_ocupacion) de la plantilla «». Compruebe que Clepsa ha calculado el "
                  "horario y que la plantilla es la de la conversión.");
  }
  EXPECT_EQ(ReadFile(output), before);
  EXPECT_EQ(ReadRows(ztemp / "DIASHORAST.DBF").size(), 21u);
  EXPECT_TRUE(LeftoversOfARun(ztemp).empty());
}

TEST_F(ExportTest, ASlotTableHeldByAnotherProgramEndsTheRunWithOneMessage) {
  Soluc({});
  auto held = platform::FileLock::TryAcquire(ztemp / "DIASHORAST.DBF", true);
  ASSERT_TRUE(held.has_value());
  try {
    Run();
    ADD_FAILURE() << "the export ran with DIASHORAST held";
  } catch (const Error& error) {
    EXPECT_EQ(error.kind(), ErrorKind::InUse);
    EXPECT_EQ(error.where(), "DIASHORAST");
  }
  EXPECT_TRUE(ui.errors.empty());  // not shown once by the dialog and again by the run
  EXPECT_EQ(ui.template_dialogs, 0);
  EXPECT_FALSE(fs::exists(output));
}

TEST(ExportFileNameTest, PrefixesTheInputNameInItsOwnFolder) {
  EXPECT_EQ(ExportFileName(fs::path("D:") / "datos" / "centro.xml"),
            fs::path("D:") / "datos" / "ResultadoClepsacentro.xml");
}

// dBase III with numeric text fields, an extra field, a deleted record and a lower-case name;
// Visual FoxPro with binary numbers. Both are read and left exactly as they were.
TEST_F(ExportTest, SolucOfOtherDbaseFlavours) {
  auto fields = [](char number, int width, int decimals) {
    return std::vector<RawField>{{"ASIG", 'C', 10}, {"TAREA", 'C', 10}, {"EXTRA", 'C', 3},
                                 {"DIA", number, width}, {"HORA", number == 'I' ? 'B' : 'N',
                                 number == 'I' ? 8 : width, decimals}, {"MARCO", 'C', 1},
                                 {"CODGRUPO", 'C', 10}, {"PROF", 'C', 10}, {"AULA", 'C', 10}};
  };
  auto record = [](char flag, std::string asig, std::string tarea, std::string dia,
                   std::string hora, std::string grupo, std::string aula) {
    return flag + Pad(asig, 10) + Pad(tarea, 10) + "xyz" + dia + hora + "0" + Pad(grupo, 10) +
           Pad("PGA", 10) + Pad(aula, 10);
  };
  auto fox_double = [](double v) { return Le(std::bit_cast<std::uint64_t>(v), 4) +
                                          Le(std::bit_cast<std::uint64_t>(v) >> 32, 4); };
  const std::pair<std::string, std::string> files[] = {
      {"soluc.dbf", RawDbf(kDbase3, fields('N', 4, 1),
                           {record(' ', "MAT", "*479", "   2", " 2.0", "1A", "A1"),
                            record('*', "MAT", "*479", "   3", " 1.0", "1A", "A1"),
                            record(' ', "GUA", "GUA", "   1", " 1.0", "", "")})},
      {"SOLUC.DBF", RawDbf(kVisualFoxPro, fields('I', 4, 0),
                           {record(' ', "MAT", "*479", Le(2, 4), fox_double(2), "1A", "A1"),
                            record(' ', "GUA", "GUA", Le(1, 4), fox_double(1), "", "")})}};
  for (const auto& [name, bytes] : files) {
    fs::remove(ztemp / "soluc.dbf");
    WriteFile(ztemp / name, bytes);
    ExportResult result = Run();
    EXPECT_EQ(Written("horarios_grupo"),
              (Elements{Lesson("M", "2", "08:55", "09:50", "12345678Z", "AULA-1")})) << name;
    EXPECT_EQ(result.duty_periods, 1u) << name;
    EXPECT_EQ(ReadFile(ztemp / name), bytes) << name;
  }
}

// A record that cannot be read, after many handed to the document's writer: the export ends with
// the record's fault, and writes no document.
TEST_F(ExportTest, AnUnreadableRecordAfterManyEndsTheExportWithItsFault) {
  const std::vector<RawField> fields = {
      {"ASIG", 'C', 10}, {"TAREA", 'C', 10},    {"DIA", 'N', 4},   {"HORA", 'N', 4, 1},
      {"MARCO", 'C', 1}, {"CODGRUPO", 'C', 10}, {"PROF", 'C', 10}, {"AULA", 'C', 10}};
  const std::string placed = " " + Pad("MAT", 10) + Pad("*479", 10) + "   2" + " 2.0" + "0" +
                             Pad("1A", 10) + Pad("PGA", 10) + Pad("A1", 10);
  std::vector<std::string> records(1500, placed);
  records.push_back(" " + Pad("MAT", 10) + Pad("*479", 10) + "   2" + " x.0" + "0" + Pad("1A", 10) +
                    Pad("PGA", 10) + Pad("A1", 10));
  WriteFile(ztemp / "SOLUC.DBF", RawDbf(kDbase3, fields, records));
  const std::string slots = ReadFile(ztemp / "DIASHORAST.DBF");
  try {
    Run();
    ADD_FAILURE() << "a record that cannot be read was exported";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()),
              "El campo HORA del registro 1501 de la tabla SOLUC no contiene un n\xFAmero: "
              "\"x.0\".");
  }
  EXPECT_FALSE(fs::exists(output));
  EXPECT_EQ(ReadFile(ztemp / "DIASHORAST.DBF"), slots);
}

// A failed export changes nothing: the old result, the old slots, no file left over.
enum class Fault { NoFile, NoSoluc, NoVersion, NotXml, NotCentro, NoGroups, BadTimes, Save, Commit };

class ExportFailureTest : public ExportTest, public ::testing::WithParamInterface<Fault> {
 protected:
  // The folder's entries, but for our own folder inside the working folder, which a run may
  // create to hold its lock: nothing else of a failed run may be left in it.
  static std::set<fs::path> Listing(const fs::path& folder) {
    std::set<fs::path> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
      if (entry.path().filename() == "TransClepsaItaca") {
        for (const auto& own : fs::recursive_directory_iterator(entry.path())) {
          const std::string name = own.path().filename().string();
          EXPECT_TRUE(name == "ejecucion.lock" || name == "copias") << own.path();
        }
        continue;
      }
      names.insert(entry.path());
    }
    return names;
  }
};

TEST_P(ExportFailureTest, LeavesResultAndSlotsAsTheyWere) {
  Soluc({{"MAT", "*479", 1, 1, "0", "1A", "PGA", "A1"}});
  WriteFile(output, "resultado anterior");
  std::string xml(kSchoolXml);
  bool saved = false;
  switch (GetParam()) {
    case Fault::NoFile: ui.file = dir / "datos" / "no-esta.xml"; break;
    case Fault::NoSoluc: fs::remove(ztemp / "SOLUC.DBF"); break;
    case Fault::NoVersion: xml.replace(xml.find(" version=\" 1.5"), 16, ""); break;
    case Fault::NotXml: xml.resize(80); break;
    case Fault::NotCentro: xml = "<otro/>"; break;
    case Fault::NoGroups: fs::remove(ztemp / "GRUPOST.DBF"); break;
    case Fault::BadTimes: xml.replace(xml.find("\"08:00\""), 7, "\"8:00\""); break;
    case Fault::Save:  // the result cannot be written; or, once it is, the slots cannot move
    case Fault::Commit:
      files.SetBefore([&](std::string_view op, const fs::path& path) {
        const bool in_output_folder = path.parent_path() == output.parent_path();
        saved = saved || in_output_folder;
        if (GetParam() == Fault::Save ? in_output_folder
                                      : saved && op == "rename" && path.parent_path() == ztemp)
          throw Error("fallo simulado");
      });
  }
  WriteFile(itaca, xml);
  const std::string slots = ReadFile(ztemp / "DIASHORAST.DBF");
  const auto listed = Listing(ztemp);
  state.EmbeddedRun = true;

  if (GetParam() == Fault::NoFile || GetParam() == Fault::NoSoluc) {
    EXPECT_EQ(Run().result, RunResult::MissingInput);
    EXPECT_EQ(ui.informed.back(), "No existe archivo XML o Soluci\xF3n.");
    EXPECT_EQ(state.OutcomeCode, kOutcomeMissingInput);
  } else if (GetParam() == Fault::NoVersion) {
    EXPECT_THROW(
        try { Run(); } catch (const DocumentError& e) {
          EXPECT_STREQ(e.what(), ("No se puede exportar " + platform::PathToUtf8(itaca) +
                                  ": el elemento /centro (l\xEDnea 2) no tiene el atributo "
                                  "\"version\".").c_str());
          throw;
        },
        DocumentError);
  } else {
    EXPECT_THROW(Run(), Error);
    EXPECT_EQ(state.OutcomeCode, kOutcomeNothing);
  }
  files.SetBefore(nullptr);
  if (GetParam() >= Fault::NoVersion && GetParam() <= Fault::NotCentro) {
    EXPECT_EQ(ui.template_dialogs, 0);  // a bad document stops before anything is touched
  }
  EXPECT_EQ(ReadFile(output), "resultado anterior");
  EXPECT_EQ(ReadFile(ztemp / "DIASHORAST.DBF"), slots);
  EXPECT_EQ(Listing(ztemp), listed);
  EXPECT_EQ(Listing(output.parent_path()), (std::set<fs::path>{itaca, output}));
}

INSTANTIATE_TEST_SUITE_P(Faults, ExportFailureTest,
                         ::testing::Values(Fault::NoFile, Fault::NoSoluc, Fault::NoVersion,
                                           Fault::NotXml, Fault::NotCentro, Fault::NoGroups,
                                           Fault::BadTimes, Fault::Save, Fault::Commit));

}  // namespace
}  // namespace tc::test
