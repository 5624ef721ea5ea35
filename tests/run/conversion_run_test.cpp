// The conversion driver end to end on the sample school, the missing-input path, and a failed run
// leaving the working folder exactly as it was.
#include "run/conversion_run.h"
#include "run/restore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/digest.h"
#include "base/error.h"
#include "run/run_state.h"
#include "run/work_record.h"
#include "support/scripted_interaction.h"
#include "support/table_rows.h"
#include "support/test_support.h"

namespace tc {
namespace {

namespace fs = std::filesystem;
using test::Row;
using test::W;

const fs::path kSample = fs::path(TC_SOURCE_DIR) / "examples" / "ies_exemple.xml";

// A scripted user who also records the hourglass.
class Recorder : public test::ScriptedInteraction {
 public:
  void SetBusy(bool busy) override { busy_calls.push_back(busy); }
  std::vector<bool> busy_calls;
};

std::map<std::string, std::string> Snapshot(const fs::path& dir) {
  return tc::test::FolderFiles(dir);
}

std::vector<Row> Rows(const fs::path& dir, std::string_view table) {
  return test::ReadRows(dir / (std::string(table) + ".DBF"));
}

std::vector<Row> Where(const std::vector<Row>& rows, std::string_view field,
                       std::string_view value) {
  std::vector<Row> found;
  for (const Row& row : rows)
    if (row.at(std::string(field)) == value) found.push_back(row);
  return found;
}

class DriverTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  RunState state;
  Recorder ui;
};

TEST_F(DriverTest, SampleSchoolWithTheRecommendedAnswers) {
  ui.file = kSample;
  ui.answers = {{Question::ImportAllTemplates, false},  // only the chosen template
                {Question::RemoveIdleGroupsAndTeachers, true}};

  const ConversionResult result = RunConversion(state, ui, dir.path());
  ASSERT_EQ(result.result, RunResult::Completed);

  EXPECT_EQ(state.OutcomeCode, kOutcomeCompleted);
  EXPECT_EQ(state.ItacaFileName, kSample);
  EXPECT_EQ(ui.informed, std::vector<std::string>{"Proceso finalizado"});
  EXPECT_EQ(ui.template_dialogs, 1);
  EXPECT_EQ(ui.questions, (std::vector<Question>{Question::ImportAllTemplates,
                                                 Question::RemoveIdleGroupsAndTeachers}));
  EXPECT_EQ(ui.busy_calls, (std::vector<bool>{true, false}));

  EXPECT_EQ(state.SelectedTemplateCode, "MATI");
  EXPECT_EQ(state.SelectedTemplateShift, "M");
  EXPECT_EQ(state.LanguageChoice, kValencian);
  EXPECT_EQ(result.templates, TemplatesTaken::OnlySelected);
  ASSERT_EQ(state.ListBoxPlanti.size(), 7u);
  EXPECT_EQ(state.ListBoxPlanti.front(), " 1 de 08:00 a 08:55");
  EXPECT_EQ(state.ListBoxPlanti.back(), " 7 de 14:00 a 14:55");

  // The afternoon groups and the teacher who teaches only in the afternoon are gone.
  const auto groups = Rows(dir.path(), "GRUPOST");
  EXPECT_EQ(groups.size(), 10u);
  EXPECT_TRUE(Where(groups, "CLAVE", "1BATA").empty());
  const auto teachers = Rows(dir.path(), "PROFT");
  EXPECT_EQ(teachers.size(), 39u);
  EXPECT_TRUE(Where(teachers, "NOMBRE", "Albert Pastor, Consol").empty());
  // Two teachers with the same initials.
  EXPECT_EQ(Where(teachers, "NOMBRE", W("García Martínez, Joan")).at(0).at("ABREV"), "GMJ");
  EXPECT_EQ(Where(teachers, "NOMBRE", W("Gómez Mas, Júlia")).at(0).at("ABREV"), "GMJ1");

  EXPECT_EQ(Rows(dir.path(), "CURSOST").size(), 6u);
  EXPECT_EQ(Rows(dir.path(), "AULAT").size(), 21u);
  const auto slots = Rows(dir.path(), "DIASHORAST");
  ASSERT_EQ(slots.size(), 49u);
  EXPECT_EQ(slots[0].at("TEXTODIA"), "Dilluns");
  EXPECT_EQ(slots[0].at("MARCOXML"), "MATI");

  // The shared pairing: 1ESOA's mathematics, four lessons by one teacher, two with support.
  const auto lessons = Rows(dir.path(), "ASIGT");
  std::multiset<std::string> hours;
  for (const Row& row : Where(lessons, "ASIG_ITACA", "30120104"))
    if (row.at("CLAVE") == "1ESOA") hours.insert(row.at("HORAS"));
  EXPECT_EQ(hours, (std::multiset<std::string>{"2", "4"}));
  // Subject names in Valencian.
  EXPECT_FALSE(Where(Rows(dir.path(), "ASIGNOMT"), "NOMBRE", W("Matemàtiques")).empty());

  // Nothing but the seven tables, the record of what they were made from and the backup that
  // keeps the run's report: undone, the folder holds no table again.
  std::set<std::string> names;
  for (const auto& [name, bytes] : Snapshot(dir.path())) names.insert(name);
  EXPECT_EQ(names, (std::set<std::string>{"ASIGNOMT.DBF", "ASIGT.DBF", "AULAT.DBF", "CURSOST.DBF",
                                          "DIASHORAST.DBF", "GRUPOST.DBF", "PROFT.DBF",
                                          "TransClepsaItaca/copias/0001/generacion.txt",
                                          "TransClepsaItaca/copias/0001/informe.html",
                                          "TransClepsaItaca/copias/0001/informe.json",
                                          "TransClepsaItaca/copias/0001/informe.txt",
                                          "TransClepsaItaca/copias/0001/ultima_conversion.txt",
                                          "TransClepsaItaca/copias/0001/ultima_exportacion.txt",
                                          "TransClepsaItaca/ultima_conversion.txt"}));
  const std::optional<ConversionRecord> record = ReadConversionRecord(dir.path());
  ASSERT_TRUE(record.has_value());
  EXPECT_EQ(record->school_code, "46999901");
  EXPECT_EQ(record->school_name, "IES Mestra Vicenta Forner");
  EXPECT_EQ(record->school_year, "2024");
  EXPECT_EQ(record->document, kSample);
  EXPECT_EQ(record->digest, DigestText(ContentDigest(test::ReadFile(kSample))));
  EXPECT_EQ(record->template_code, "MATI");
  EXPECT_EQ(record->language, kValencian);
  EXPECT_EQ(record->time.size(), 19u);
  EXPECT_GT(record->time_seconds, 0);
  EXPECT_FALSE(ReadExportRecord(dir.path()).has_value());
  ASSERT_TRUE(result.backup);
  EXPECT_EQ(result.backup->absent.size(), 7u);
  RestoreBackup(dir.path(), std::nullopt);
  for (const auto& [name, bytes] : Snapshot(dir.path())) {
    EXPECT_TRUE(name.starts_with("TransClepsaItaca/")) << name;
  }
  EXPECT_FALSE(ReadConversionRecord(dir.path()).has_value());
}

TEST(WorkRecord, DigestAndAnUnreadableRecordCountsAsNone) {
  EXPECT_EQ(DigestText(ContentDigest("")), "af63bd4c8601b7df");
  EXPECT_EQ(DigestText(ContentDigest("a")), "089be307b544f397");
  EXPECT_EQ(DigestText(ContentDigest("centro de 9")), "7e90e73e8a89947a");  // a word and a tail
  EXPECT_NE(ContentDigest("a"), ContentDigest(std::string_view("a\0", 2)));
  test::TempDir dir;
  EXPECT_FALSE(ReadConversionRecord(dir.path()).has_value());
  std::filesystem::create_directories(dir / "TransClepsaItaca");
  test::WriteFile(ConversionRecordFile(dir.path()), "otra cosa\n");
  EXPECT_FALSE(ReadConversionRecord(dir.path()).has_value());
}

TEST_F(DriverTest, AfternoonTemplateInCastilianKeepingIdleRows) {
  ui.file = kSample;
  ui.template_code = "VESPRA";
  ui.language = std::string(kCastilian);
  ui.answers = {{Question::ImportAllTemplates, false},
                {Question::RemoveIdleGroupsAndTeachers, false}};

  ASSERT_EQ(RunConversion(state, ui, dir.path()).result, RunResult::Completed);
  EXPECT_EQ(state.SelectedTemplateCode, "VESPRA");
  EXPECT_EQ(state.SelectedTemplateShift, "V");
  EXPECT_EQ(state.LanguageChoice, kCastilian);
  ASSERT_EQ(state.ListBoxPlanti.size(), 6u);
  EXPECT_EQ(state.ListBoxPlanti.front(), " 8 de 15:00 a 15:55");
  EXPECT_EQ(state.ListBoxPlanti.back(), "13 de 19:55 a 20:50");

  EXPECT_EQ(Rows(dir.path(), "GRUPOST").size(), 12u);
  EXPECT_EQ(Rows(dir.path(), "PROFT").size(), 40u);
  const auto slots = Rows(dir.path(), "DIASHORAST");
  ASSERT_EQ(slots.size(), 42u);
  EXPECT_EQ(slots[0].at("TEXTODIA"), "Lunes");
  EXPECT_EQ(slots[0].at("SESION_ORDEN"), "8");
  EXPECT_EQ(Rows(dir.path(), "CURSOST").at(0).at("TURNO"), "V");
  EXPECT_FALSE(Where(Rows(dir.path(), "ASIGNOMT"), "NOMBRE", W("Matemáticas")).empty());
}

// Cancel in the file dialog, Escape in the template dialog and Escape at the preview end the run
// with nothing changed; only the preview says so.
TEST_F(DriverTest, EveryKeyThatStopsTheRunLeavesEverythingAsItWas) {
  state.ItacaFileName = kSample;  // chosen earlier: a cancelled dialog does not take it again
  ASSERT_EQ(RunConversion(state, ui, dir.path()).result, RunResult::Cancelled);
  EXPECT_EQ(ui.template_dialogs, 0);

  ui.file = kSample;
  ui.close_template_dialog = true;
  state.SelectedTemplateCode = "ANTIGA";
  ASSERT_EQ(RunConversion(state, ui, dir.path()).result, RunResult::Cancelled);
  EXPECT_EQ(ui.template_dialogs, 1);
  EXPECT_EQ(state.SelectedTemplateCode, "ANTIGA");
  EXPECT_TRUE(ui.informed.empty());
  EXPECT_TRUE(ui.questions.empty());
  EXPECT_TRUE(fs::is_empty(dir.path()));

  struct Escaper : Recorder {
    PreviewChoice OfferPreview() override { return PreviewChoice::Cancel; }
  } escaper;
  escaper.file = kSample;
  state.EmbeddedRun = true;
  ASSERT_EQ(RunConversion(state, escaper, dir.path()).result, RunResult::Cancelled);
  EXPECT_EQ(escaper.informed, std::vector<std::string>{"No se ha cambiado nada"});
  EXPECT_EQ(state.OutcomeCode, kOutcomeNothing);  // hosted too
  EXPECT_FALSE(fs::exists(dir / "PROFT.DBF"));
  EXPECT_TRUE(test::LeftoversOfARun(dir.path()).empty());
}

TEST_F(DriverTest, AMissingFileIsSaidAndHostedReportsMinusOne) {
  state.EmbeddedRun = true;
  for (const fs::path& file : {dir / "no_existe.xml", dir.path()}) {  // a folder is no file
    ui.file = file;
    ASSERT_EQ(RunConversion(state, ui, dir.path()).result, RunResult::MissingInput);
    EXPECT_EQ(state.OutcomeCode, kOutcomeMissingInput);
  }
  EXPECT_EQ(ui.informed, (std::vector<std::string>{"No existe archivo", "No existe archivo"}));
}

// A code that is none of the document's is refused before anything is built; blanks around a
// code are not part of it.
TEST_F(DriverTest, ATemplateCodeIsTrimmedAndOneNotInTheDocumentIsRefused) {
  ui.file = kSample;
  ui.template_code = "mati";
  EXPECT_THROW(RunConversion(state, ui, dir.path()), Error);
  EXPECT_TRUE(fs::is_empty(dir.path()));
  EXPECT_TRUE(ui.questions.empty());

  ui.template_code = "\tMATI ";
  ui.answers = {{Question::ImportAllTemplates, true}};
  const ConversionResult all = RunConversion(state, ui, dir.path());
  ASSERT_EQ(all.result, RunResult::Completed);
  EXPECT_EQ(all.templates, TemplatesTaken::All);
  EXPECT_EQ(state.SelectedTemplateCode, "MATI");
  EXPECT_EQ(state.ListBoxPlanti.size(), 7u);
}

// Tables without lessons and slots replace Clepsa's only when the user says so.
TEST_F(DriverTest, ADocumentWithoutTemplatesLeavesNoTimetableAndIsAskedFirst) {
  const fs::path file = dir / "sense_plantilles.xml";
  test::WriteFile(file,
                  "<centro><docentes>"
                  "<docente apellido1=\"Vidal\" apellido2=\"Soler\" nombre=\"Anna\" "
                  "tipo_docente=\"I\" documento=\"1X\" ensenanza=\"E\" email1=\"a@b\"/>"
                  "<docente apellido1=\"Mas\" apellido2=\"Puig\" nombre=\"Pere\" "
                  "tipo_docente=\"I\" documento=\"2X\" ensenanza=\"E\" email1=\"p@b\"/>"
                  "</docentes></centro>");
  const fs::path work = dir / "ZTEMP";
  fs::create_directory(work);
  ui.file = file;
  state.SelectedTemplateCode = "ANTIGA";  // left as it was: no dialog is shown

  ASSERT_EQ(RunConversion(state, ui, work).result, RunResult::Refused);
  ASSERT_EQ(ui.guards.size(), 1u);
  EXPECT_EQ(ui.guards[0].kind, GuardKind::EmptyResult);
  EXPECT_EQ(ui.guards[0].what,
            W("Las tablas de Clepsa quedarían sin horario: ninguna clase en ASIGT y ninguna hora "
              "en DIASHORAST, porque el documento no tiene plantillas horarias.\r\nSi sigue, las "
              "tablas de Clepsa se sustituyen por estas."));
  EXPECT_EQ(ui.informed, std::vector<std::string>{"No se ha cambiado nada"});
  EXPECT_TRUE(Snapshot(work).empty());

  ui.go_on = {{GuardKind::EmptyResult, true}};
  ASSERT_EQ(RunConversion(state, ui, work).result, RunResult::Completed);
  EXPECT_EQ(ui.template_dialogs, 0);
  EXPECT_EQ(state.SelectedTemplateCode, "ANTIGA");
  EXPECT_EQ(Rows(work, "PROFT").size(), 2u);
}

TEST_F(DriverTest, ARunFailingAtItsLastStageLeavesEveryTableAsItWas) {
  ui.file = kSample;
  ui.answers = {{Question::ImportAllTemplates, false},
                {Question::RemoveIdleGroupsAndTeachers, true}};
  ASSERT_EQ(RunConversion(state, ui, dir.path()).result, RunResult::Completed);
  test::WriteFile(dir / "SOLUC.DBF", "Clepsa's own file");
  const auto before = Snapshot(dir.path());

  // The same school with a first period written with a one-digit hour: the slot table, built
  // last, cannot read its line.
  std::string xml = test::ReadFile(kSample);
  const std::string good =
      "plantilla=\"MATI\" dia_semana=\"L\" sesion_orden=\"1\" hora_desde=\"08:00\"";
  const std::string bad =
      "plantilla=\"MATI\" dia_semana=\"L\" sesion_orden=\"1\" hora_desde=\"8:00\"";
  ASSERT_NE(xml.find(good), std::string::npos);
  xml.replace(xml.find(good), good.size(), bad);
  const fs::path broken = dir.path().parent_path() / (dir.path().filename().string() + ".xml");
  test::WriteFile(broken, xml);

  RunState second;
  Recorder second_ui;
  second_ui.file = broken;
  second_ui.answers = {{Question::ImportAllTemplates, false},
                       {Question::RemoveIdleGroupsAndTeachers, false}};
  EXPECT_THROW(RunConversion(second, second_ui, dir.path()), Error);
  fs::remove(broken);

  EXPECT_EQ(second.OutcomeCode, kOutcomeNothing);
  EXPECT_TRUE(second_ui.informed.empty());
  EXPECT_EQ(second_ui.busy_calls, (std::vector<bool>{true, false}));
  const auto after = Snapshot(dir.path());
  EXPECT_EQ(after.size(), before.size());
  for (const auto& [name, bytes] : before) {
    ASSERT_TRUE(after.count(name)) << name;
    EXPECT_TRUE(after.at(name) == bytes) << name << " changed";
  }
}

TEST_F(DriverTest, AMissingWorkingFolderIsAnErrorNamingIt) {
  ui.file = kSample;
  const fs::path missing = dir / "ZTEMP";
  try {
    RunConversion(state, ui, missing);
    FAIL() << "the run should fail";
  } catch (const Error& error) {
    EXPECT_NE(std::string(error.what()).find("ZTEMP"), std::string::npos) << error.what();
  }
  EXPECT_FALSE(fs::exists(missing));
  EXPECT_EQ(state.OutcomeCode, kOutcomeNothing);
}

}  // namespace
}  // namespace tc
