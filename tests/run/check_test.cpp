// The preview of table changes, the checks that run a conversion or an export away from the
// working folder, and the question a front end may ask before the conversion commits: the folder
// stays byte for byte as it was, the check fails as the run would, and the preview agrees with
// what the run then does.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "base/codepage.h"
#include "base/error.h"
#include "base/text.h"
#include "export/export_fixture.h"
#include "platform/file_system.h"
#include "platform/platform.h"
#include "report/render.h"
#include "run/conversion_run.h"
#include "run/export_run.h"
#include "run/preview.h"
#include "run/report_file.h"
#include "run/restore.h"
#include "run/work_record.h"
#include "store/database.h"
#include "store/schemas.h"
#include "support/faulty_files.h"
#include "support/scripted_interaction.h"
#include "support/test_support.h"

namespace tc {
namespace {

namespace fs = std::filesystem;

const fs::path kSample = fs::path(TC_SOURCE_DIR) / "examples" / "ies_exemple.xml";

std::map<std::string, std::string> Snapshot(const fs::path& dir) {
  return tc::test::FolderFiles(dir);
}

void CopyFolder(const fs::path& from, const fs::path& to) {
  fs::create_directories(to);
  for (const auto& entry : fs::directory_iterator(from))
    if (entry.is_regular_file()) fs::copy_file(entry.path(), to / entry.path().filename());
}

std::vector<std::string> WorkingTableNames() {
  std::vector<std::string> names;
  for (const store::TableDef* def : store::WorkingTables()) names.push_back(def->name);
  return names;
}

// The preview as text, about `folder`, so that two previews of the same change read alike.
std::string Text(TablesPreview preview, const fs::path& folder) {
  preview.folder = folder;
  return Cp1252ToUtf8(RenderPreview(preview));
}

// The system's temporary folder pointed at a folder of the test's own while the object lives, so
// that what a check leaves there can be seen.
class OwnTemporaryFolder {
 public:
  explicit OwnTemporaryFolder(const fs::path& folder) {
    if (const char* old = std::getenv("TMPDIR")) old_ = old;
    Set(folder.string());
  }
  ~OwnTemporaryFolder() { Set(old_); }

 private:
  static void Set(const std::string& value) {
#ifdef _WIN32
    _putenv_s("TMP", value.c_str());
    _putenv_s("TEMP", value.c_str());
#else
    if (value.empty()) {
      unsetenv("TMPDIR");
    } else {
      setenv("TMPDIR", value.c_str(), 1);
    }
#endif
  }
  std::string old_;
};

// A scripted user who looks into the temporary folder while the conversion asks its question.
class Watcher : public test::ScriptedInteraction {
 public:
  bool Confirm(Question question) override {
    if (watched) {
      for (const auto& entry : fs::directory_iterator(*watched)) seen.push_back(entry.path());
    }
    return ScriptedInteraction::Confirm(question);
  }
  std::optional<fs::path> watched;
  std::vector<fs::path> seen;
};

// ---- The preview --------------------------------------------------------------------------------

class PreviewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(now);
    fs::create_directories(after);
  }
  static void Fill(const fs::path& dir, const store::TableDef& def,
                   const std::vector<std::map<std::string, std::string>>& rows) {
    store::Database db(dir);
    store::Table table = db.Recreate(def);
    for (const auto& row : rows) {
      table.Append();
      for (const auto& [field, value] : row) table.SetText(field, value);
      table.Post();
    }
    table.Close();
  }
  test::TempDir dir;
  fs::path now = dir / "ZTEMP", after = dir / "NUEVAS";
};

TEST_F(PreviewTest, RowsPairedByKeyInFileOrderAddedRemovedAndChanged) {
  Fill(now, store::ProftTable(),
       {{{"ABREV", "GMJ"}, {"NOMBRE", "Garcia, Joan"}, {"DNI", "1"}},
        {{"ABREV", "XY"}, {"NOMBRE", "X Y"}, {"DNI", "2"}},
        {{"ABREV", "DUP"}, {"DNI", "3"}},
        {{"ABREV", "DUP"}, {"DNI", "4"}}});
  Fill(after, store::ProftTable(),
       {{{"ABREV", "DUP"}, {"DNI", "3"}},
        {{"ABREV", "GMJ"}, {"NOMBRE", "Garcia, Joan"}, {"DNI", "1"}, {"EMAIL", "j@x"}},
        {{"ABREV", "NEW"}, {"NOMBRE", "Nou"}, {"DNI", "9"}},
        {{"ABREV", "DUP"}, {"DNI", "5"}}});
  const TablesPreview preview = PreviewFolders(platform::RealFileSystem(), now, after, {"PROFT", "AULAT"});
  ASSERT_EQ(preview.tables.size(), 2u);
  const TablePreview& proft = preview.tables[0];
  EXPECT_EQ(proft.key, "ABREV");
  EXPECT_EQ(proft.rows_before, 4u);
  EXPECT_EQ(proft.rows_after, 4u);
  EXPECT_EQ(proft.added, 1u);
  EXPECT_EQ(proft.removed, 1u);
  EXPECT_EQ(proft.changed, 2u);
  EXPECT_EQ(proft.unchanged, 1u);
  EXPECT_TRUE(preview.Changes());
  EXPECT_FALSE(preview.tables[1].current_exists);
  EXPECT_FALSE(preview.tables[1].after_exists);
  EXPECT_EQ(Text(preview, "ZTEMP"),
            "Cambios en la carpeta de trabajo ZTEMP:\n"
            "  PROFT, profesores: 4 filas ahora, 4 después: 1 añadida, 1 quitada, 2 cambiadas, "
            "1 igual\n"
            "    + Nou (código NEW): DNI=9\n"
            "    - X Y (código XY): DNI=2\n"
            "    ~ código GMJ: EMAIL \"\" -> j@x\n"
            "    ~ código DUP: DNI 4 -> 5\n"
            "  AULAT, aulas: no existe ni existiría\n");
}

TEST_F(PreviewTest, NewTablesUnchangedOnesAndTheFirstFiveOfEachKind) {
  std::vector<std::map<std::string, std::string>> seven;
  for (int i = 1; i <= 7; ++i) seven.push_back({{"ABREV", "A" + std::to_string(i)}});
  Fill(after, store::AulatTable(), seven);
  Fill(now, store::GrupostTable(), {{{"ABREV", "1A"}}});
  Fill(after, store::GrupostTable(), {{{"ABREV", "1A"}}});
  std::vector<std::map<std::string, std::string>> lessons;
  for (int i = 1; i <= 7; ++i) {
    lessons.push_back({{"CLAVE", "G" + std::to_string(i)}, {"ASIG_ITACA", "M"}, {"CPROF", "P"},
                       {"CASIG", "M"}, {"CGRUP", "1A"}});
  }
  Fill(now, store::AsigtTable(), lessons);
  Fill(after, store::AsigtTable(), {});
  const TablesPreview preview = PreviewFolders(platform::RealFileSystem(), now, after, {"AULAT", "GRUPOST", "ASIGT"});
  EXPECT_EQ(Text(preview, "Z"),
            "¡Atención! La tabla ASIGT (clases de los grupos) se quedaría vacía: 7 filas ahora, "
            "0 después.\n\n"
            "Cambios en la carpeta de trabajo Z:\n"
            "  AULAT, aulas: no existe; se crearía con 7 filas\n"
            "  GRUPOST, grupos: sin cambios (1 fila)\n"
            "  ASIGT, clases de los grupos: 7 filas ahora, 0 después: "
            "0 añadidas, 7 quitadas, 0 cambiadas, 0 iguales\n"
            "    - grupo G1, curso -, asignatura M, profesor P: CASIG=M CGRUP=1A HORAS=\"\"\n"
            "    - grupo G2, curso -, asignatura M, profesor P: CASIG=M CGRUP=1A HORAS=\"\"\n"
            "    - grupo G3, curso -, asignatura M, profesor P: CASIG=M CGRUP=1A HORAS=\"\"\n"
            "    - grupo G4, curso -, asignatura M, profesor P: CASIG=M CGRUP=1A HORAS=\"\"\n"
            "    - grupo G5, curso -, asignatura M, profesor P: CASIG=M CGRUP=1A HORAS=\"\"\n"
            "    - ... y 2 más\n");
  EXPECT_EQ(PreviewKey("ASIGT"),
            (std::vector<std::string_view>{"CLAVE", "CLAVECURSO", "ASIG_ITACA", "CPROF"}));
  EXPECT_FALSE(HoldsWorkingTables(platform::RealFileSystem(), dir / "NINGUNA"));
  EXPECT_TRUE(HoldsWorkingTables(platform::RealFileSystem(), now));
}

TEST_F(PreviewTest, ACurrentTableThatCannotBeReadCountsEveryRowAsAdded) {
  test::WriteFile(now / "AULAT.DBF", "no es una tabla");
  Fill(after, store::AulatTable(), {{{"ABREV", "A1"}}});
  const TablesPreview preview = PreviewFolders(platform::RealFileSystem(), now, after, {"AULAT"});
  EXPECT_EQ(preview.tables[0].added, 1u);
  EXPECT_FALSE(preview.tables[0].current_error.empty());
  EXPECT_NE(Text(preview, "Z").find("    (la tabla actual no se puede leer: "), std::string::npos);
}

// ---- Checking a conversion ----------------------------------------------------------------------

class CheckTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(data); }

  // A completed conversion of the sample school with these answers into `folder`.
  void Convert(const fs::path& folder, const std::string& template_code) {
    RunState run_state;
    test::ScriptedInteraction user;
    user.file = kSample;
    user.template_code = template_code;
    user.answers = {{Question::RemoveIdleGroupsAndTeachers, true}};
    ASSERT_EQ(RunConversion(run_state, user, folder).result, RunResult::Completed);
  }

  test::TempDir dir;
  fs::path data = dir / "ZTEMP";
  RunState state;
  Watcher ui;
};

TEST_F(CheckTest, OnAnEmptyFolderItBuildsInTheTemporaryFolderAndLeavesNothingAnywhere) {
  const fs::path temporary = dir / "TMP";
  fs::create_directories(temporary);
  OwnTemporaryFolder own(temporary);
  ui.file = kSample;
  ui.answers = {{Question::RemoveIdleGroupsAndTeachers, true}};
  ui.watched = temporary;

  const ConversionCheck check = CheckConversion(state, ui, data);
  ASSERT_EQ(check.conversion.result, RunResult::Completed);
  EXPECT_FALSE(check.preview);
  EXPECT_TRUE(fs::is_empty(data));
  EXPECT_TRUE(fs::is_empty(temporary));
  ASSERT_EQ(ui.seen.size(), 2u);  // one scratch folder, seen at each of the two questions
  EXPECT_EQ(ui.seen[0].filename().string().rfind("transclepsa-comprobacion-", 0), 0u);
  EXPECT_TRUE(ui.informed.empty());  // no "Proceso finalizado"
  EXPECT_EQ(state.OutcomeCode, kOutcomeNothing);
  EXPECT_EQ(check.conversion.report.Size(), 137u);
  EXPECT_EQ(check.conversion.report.header().folder, platform::PathText(data));
  ASSERT_EQ(check.conversion.tables.size(), 7u);
  EXPECT_EQ(check.conversion.tables[0].rows, 39u);
}

TEST_F(CheckTest, ThePreviewAgreesWithWhatTheConversionThenDoes) {
  Convert(data, "VESPRA");
  const auto before = Snapshot(data);
  CopyFolder(data, dir / "ANTES");

  ui.file = kSample;
  ui.template_code = "MATI";
  ui.answers = {{Question::RemoveIdleGroupsAndTeachers, true}};
  const ConversionCheck check = CheckConversion(state, ui, data);
  ASSERT_EQ(check.conversion.result, RunResult::Completed);
  ASSERT_TRUE(check.preview);
  EXPECT_EQ(Snapshot(data), before);
  EXPECT_TRUE(check.preview->Changes());

  // The conversion itself, with the same answers: what changed is what the check foresaw, and
  // the report is the same.
  RunState run_state;
  test::ScriptedInteraction user;
  user.file = kSample;
  user.template_code = "MATI";
  user.answers = ui.answers;
  const ConversionResult done = RunConversion(run_state, user, data);
  ASSERT_EQ(done.result, RunResult::Completed);
  EXPECT_EQ(Text(PreviewFolders(platform::RealFileSystem(), dir / "ANTES", data, WorkingTableNames()), data),
            Text(*check.preview, data));
  EXPECT_EQ(report::RenderJson(check.conversion.report), report::RenderJson(done.report));

  // Checked again, the same conversion changes nothing.
  const ConversionCheck again = CheckConversion(state, ui, data);
  ASSERT_TRUE(again.preview);
  EXPECT_FALSE(again.preview->Changes());
}

TEST_F(CheckTest, AConversionThatWouldFailFailsTheSameWayAndLeavesTheFolderAsItWas) {
  Convert(data, "MATI");
  const auto before = Snapshot(data);
  std::string xml = test::ReadFile(kSample);
  const std::string good = "sesion_orden=\"1\" hora_desde=\"08:00\"";
  xml.replace(xml.find(good), good.size(), "sesion_orden=\"1\" hora_desde=\"8:00\"");
  const fs::path bad = dir / "mal.xml";
  test::WriteFile(bad, xml);
  ui.file = bad;

  std::string checked, converted;
  try {
    CheckConversion(state, ui, data);
  } catch (const Error& error) {
    checked = error.what();
  }
  RunState run_state;
  test::ScriptedInteraction user;
  user.file = bad;
  try {
    RunConversion(run_state, user, data);
  } catch (const Error& error) {
    converted = error.what();
  }
  EXPECT_FALSE(checked.empty());
  EXPECT_EQ(checked, converted);
  EXPECT_EQ(Snapshot(data), before);

  // No working folder: the conversion's error, and the folder is not made.
  const fs::path missing = dir / "SIN_CARPETA";
  ui.file = kSample;
  try {
    CheckConversion(state, ui, missing);
    ADD_FAILURE() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(error.kind(), ErrorKind::InputMissing);
    EXPECT_NE(std::string(error.what()).find("SIN_CARPETA"), std::string::npos);
  }
  EXPECT_FALSE(fs::exists(missing));

  // No input: the missing-input result, nothing else.
  ui.file = dir / "no_existe.xml";
  EXPECT_EQ(CheckConversion(state, ui, data).conversion.result, RunResult::MissingInput);
  EXPECT_EQ(Snapshot(data), before);
}

// ---- The question before the conversion commits -------------------------------------------------

class Approver : public test::ScriptedInteraction {
 public:
  PreviewChoice OfferPreview() override { return PreviewChoice::Show; }
  bool ApproveChanges(const TablesPreview& preview) override {
    shown.push_back(preview);
    return approve;
  }
  bool approve = true;
  std::vector<TablesPreview> shown;
};

TEST_F(CheckTest, AFrontEndMayShowThePreviewAndDeclineTheChanges) {
  Convert(data, "VESPRA");
  const auto before = Snapshot(data);
  CopyFolder(data, dir / "ANTES");

  Approver approver;
  approver.file = kSample;
  approver.answers = {{Question::RemoveIdleGroupsAndTeachers, true}};
  approver.approve = false;
  const ConversionResult declined = RunConversion(state, approver, data);
  EXPECT_EQ(declined.result, RunResult::Cancelled);
  EXPECT_EQ(Snapshot(data), before);
  EXPECT_EQ(approver.informed, std::vector<std::string>{"No se ha cambiado nada"});
  EXPECT_EQ(state.OutcomeCode, kOutcomeNothing);
  ASSERT_EQ(approver.shown.size(), 1u);
  EXPECT_EQ(approver.shown[0].folder, data);

  approver.approve = true;
  const ConversionResult approved = RunConversion(state, approver, data);
  EXPECT_EQ(approved.result, RunResult::Completed);
  ASSERT_EQ(approver.shown.size(), 2u);
  EXPECT_EQ(Text(approver.shown[1], data),
            Text(PreviewFolders(platform::RealFileSystem(), dir / "ANTES", data, WorkingTableNames()), data));
  EXPECT_EQ(Text(approver.shown[0], data), Text(approver.shown[1], data));
}

TEST_F(CheckTest, TheReportIsKeptAsJsonOrTextByTheFilesName) {
  ui.file = kSample;
  const ConversionResult result = RunConversion(state, ui, data);
  SaveReport(result.report, dir / "informe.Json");
  SaveReport(result.report, dir / "informe.log");
  EXPECT_EQ(test::ReadFile(dir / "informe.Json"), report::RenderJson(result.report));
  EXPECT_EQ(test::ReadFile(dir / "informe.log"), Cp1252ToUtf8(report::RenderText(result.report)));
  EXPECT_EQ(ReportFormatOf("a.JSON"), ReportFormat::Json);
  EXPECT_EQ(ReportFormatOf("a.json.txt"), ReportFormat::Text);
}

// What a killed run left (a staged table, a half-made backup, the journal of a commit past its
// commit point) is put right before a check, and before an export that stops for a missing SOLUC.
TEST_F(CheckTest, AKilledRunIsFinishedFirstByAChecksAndByAnExportThatStops) {
  Convert(data, "MATI");
  ui.file = kSample;
  for (int run = 0; run < 3; ++run) {
    fs::remove(data / "NUEVA.DBF");
    test::WriteFile(data / "~TC_AULAT~0123ABCD.tmp", "a medias");
    fs::create_directories(store::BackupsFolder(data) / "0009~parcial");
    test::WriteFile(data / "~TC_NUEVA~89ABCDEF.tmp", "nueva");
    // The journal's fields escaped as a commit writes them (a Windows path is all backslashes).
    const auto field = [](const fs::path& path) { return EscapeField(platform::PathToUtf8(path)); };
    test::WriteFile(store::JournalFile(data), "TransClepsaItaca diario 1\nmover\t" +
                                                  field(data / "~TC_NUEVA~89ABCDEF.tmp") + "\t" +
                                                  field(data / "NUEVA.DBF") + "\nfin\n");
    if (run == 0) CheckConversion(state, ui, data);
    if (run == 1) {
      EXPECT_EQ(CheckExport(state, ui, data).exported.result, RunResult::MissingInput);
    }
    if (run == 2) {
      EXPECT_EQ(RunExport(state, ui, data).result, RunResult::MissingInput);
    }
    EXPECT_TRUE(test::LeftoversOfARun(data).empty()) << run;
    EXPECT_EQ(test::ReadFile(data / "NUEVA.DBF"), "nueva");  // the commit carried to its end
  }
  EXPECT_EQ(ui.proposed.back(), kSample);  // the export's file dialog opens on the document
}

// SOLUC's age is asked of the run's own file system, as every other fact about the folder.
TEST_F(CheckTest, TheSolutionsAgeComesFromTheRunsFileSystem) {
  Convert(data, "MATI");
  fs::copy_file(fs::path(TC_SOURCE_DIR) / "tests" / "golden" / "sample" / "SOLUC.DBF",
                data / "SOLUC.DBF");
  struct WrittenLongAgo : test::FaultyFileSystem {
    std::optional<std::int64_t> WriteTime(const fs::path&) override { return 0; }
  } files;
  ui.file = kSample;
  EXPECT_EQ(RunExport(state, ui, Workplace(data, files)).result, RunResult::Refused);
  EXPECT_EQ(ui.guards.back().kind, GuardKind::SolutionOutdated);
}

// The export compares the document and SOLUC with what the tables were converted from, and
// preselects the conversion's template.
TEST_F(CheckTest, TheExportBelongsToItsConversion) {
  Convert(data, "MATI");
  fs::copy_file(fs::path(TC_SOURCE_DIR) / "tests" / "golden" / "sample" / "SOLUC.DBF",
                data / "SOLUC.DBF");
  std::string xml = test::ReadFile(kSample);
  xml.replace(xml.find("curso=\"2024\""), 12, "curso=\"2025\"");
  test::WriteFile(dir / "otro.xml", xml);
  const auto before = Snapshot(data);
  auto refused = [&](GuardKind kind) {
    ui.guards.clear();
    EXPECT_EQ(RunExport(state, ui, data).result, RunResult::Refused);
    EXPECT_EQ(ui.guards.back().kind, kind);
    EXPECT_EQ(ui.informed.back(), "No se ha cambiado nada");
    EXPECT_EQ(Snapshot(data), before);
    return Cp1252ToUtf8(ui.guards.back().what);
  };
  ui.file = dir / "otro.xml";
  EXPECT_EQ(refused(GuardKind::ExportOtherSchool)
                .rfind("El documento " + (dir / "otro.xml").string() + " es del centro 46999901 "
                       "«IES Mestra Vicenta Forner», curso 2025, pero las tablas de Clepsa se "
                       "hicieron del documento " + kSample.string() + ", del centro 46999901 «IES "
                       "Mestra Vicenta Forner», curso 2024 (", 0),
            0u);
  ui.go_on = {{GuardKind::ExportOtherSchool, true}};
  ui.template_code = "VESPRA";
  refused(GuardKind::ExportOtherTemplate);

  // A SOLUC older than the conversion holds the timetable of the tables before it.
  fs::last_write_time(data / "SOLUC.DBF",
                      fs::last_write_time(data / "SOLUC.DBF") - std::chrono::hours(2));
  ui.file = kSample;
  ui.template_code.reset();
  EXPECT_NE(refused(GuardKind::SolutionOutdated)
                .find("Calcule de nuevo el horario en Clepsa antes de exportarlo."),
            std::string::npos);

  ui.go_on[GuardKind::SolutionOutdated] = true;
  const ExportResult done = RunExport(state, ui, data);
  ASSERT_EQ(done.result, RunResult::Completed);
  EXPECT_EQ(done.template_code, "MATI");  // preselected
  EXPECT_EQ(ReadExportRecord(data)->document, done.output);
  EXPECT_EQ(ReadExportRecord(data)->template_code, "MATI");

  // Undoing a run puts back what the folder said of itself before it, and undoing that undo
  // what it said after.
  RestoreBackup(data, std::nullopt);
  EXPECT_FALSE(ReadExportRecord(data).has_value());
  EXPECT_EQ(ReadConversionRecord(data)->template_code, "MATI");
  RestoreBackup(data, 1);
  EXPECT_FALSE(ReadConversionRecord(data).has_value());
  RestoreBackup(data, std::nullopt);
  EXPECT_EQ(ReadConversionRecord(data)->template_code, "MATI");
  EXPECT_FALSE(ReadExportRecord(data).has_value());
}

// ---- Checking an export -------------------------------------------------------------------------

class CheckExportTest : public test::ExportTest {};

TEST_F(CheckExportTest, NothingSavedNothingChangedAndThePreviewAgreesWithTheExport) {
  Soluc({{"MAT", "*479", 1, 1, "0", "1A", "PGA", "A1"},
         {"MAT", "*479", 0, 1, "0", "1A", "PGA", "A1"}});
  const auto before = Snapshot(ztemp);
  CopyFolder(ztemp, dir / "ANTES");

  const ExportCheck check = CheckExport(state, ui, ztemp, When());
  ASSERT_EQ(check.exported.result, RunResult::Completed);
  EXPECT_EQ(Snapshot(ztemp), before);
  EXPECT_FALSE(fs::exists(output));
  EXPECT_FALSE(check.output_exists);
  EXPECT_EQ(check.exported.output, output);
  EXPECT_EQ(check.exported.group_lessons, 1u);
  EXPECT_EQ(ui.informed.size(), 1u);  // the first notice only, no "Proceso finalizado"
  EXPECT_EQ(check.exported.report.Count(report::Reason::NotPlaced), 1u);
  ASSERT_TRUE(check.preview);

  RunState run_state;
  test::ScriptedInteraction user;
  user.file = itaca;
  user.template_code = "T1";
  const ExportResult done = RunExport(run_state, user, ztemp, When());
  ASSERT_EQ(done.result, RunResult::Completed);
  EXPECT_EQ(Text(PreviewFolders(platform::RealFileSystem(), dir / "ANTES", ztemp, {"DIASHORAST"}), ztemp),
            Text(*check.preview, ztemp));
  EXPECT_EQ(report::RenderJson(check.exported.report), report::RenderJson(done.report));

  // Now the output is there: the check says it would be replaced.
  EXPECT_TRUE(CheckExport(state, ui, ztemp, When()).output_exists);
}

TEST_F(CheckExportTest, AnExportThatWouldFailFailsTheSameWay) {
  Soluc({});
  test::WriteFile(itaca, "<centro codigo=\"1\"/>");  // no denominacion
  const auto before = Snapshot(ztemp);
  std::string checked;
  try {
    CheckExport(state, ui, ztemp, When());
  } catch (const Error& error) {
    checked = error.what();
    EXPECT_EQ(error.kind(), ErrorKind::AttributeMissing);
  }
  EXPECT_NE(checked.find("denominacion"), std::string::npos) << checked;
  EXPECT_EQ(Snapshot(ztemp), before);

  fs::remove(ztemp / "SOLUC.DBF");
  EXPECT_EQ(CheckExport(state, ui, ztemp, When()).exported.result, RunResult::MissingInput);
}

// Every run reads through its workplace's file system: the document (conversion, export and both
// checks) and the tables a check copies. When a read fails the run stops with the reason, and
// neither the working folder nor the document's folder changes.
class ReadFaultTest : public test::ExportTest {
 protected:
  // The reads of `file` fail as a failing disk would.
  void FailReading(const fs::path& file) {
    files.SetBefore([file](std::string_view operation, const fs::path& path) {
      if (operation == "read" && path == file) {
        throw platform::FileError(
            "No se puede leer el archivo " + platform::PathText(path) + ": error de E/S.",
            ErrorKind::DiskOrPermission, platform::PathText(path), "error de E/S");
      }
    });
  }
};

TEST_F(ReadFaultTest, EveryRunStopsAtTheDocumentWithTheReasonAndChangesNothing) {
  Soluc({{"MAT", "*479", 1, 1, "0", "1A", "PGA", "A1"}});
  FailReading(itaca);
  const auto working = Snapshot(ztemp);
  const auto documents = Snapshot(itaca.parent_path());
  const Workplace workplace(ztemp, files);
  const std::vector<std::pair<std::string, std::function<void(RunState&)>>> runs = {
      {"conversion", [&](RunState& run) { RunConversion(run, ui, workplace); }},
      {"check", [&](RunState& run) { CheckConversion(run, ui, workplace); }},
      {"export", [&](RunState& run) { RunExport(run, ui, workplace, When()); }},
      {"check --export", [&](RunState& run) { CheckExport(run, ui, workplace, When()); }}};
  for (const auto& [name, run] : runs) {
    RunState run_state;
    try {
      run(run_state);
      ADD_FAILURE() << name << ": the document was read";
    } catch (const DocumentError& error) {
      EXPECT_EQ(std::string(error.what()), "No se puede leer el documento ITACA " +
                                               platform::PathText(itaca) + ": error de E/S.")
          << name;
      EXPECT_EQ(error.kind(), ErrorKind::DocumentUnreadable) << name;
    }
    EXPECT_EQ(ui.template_dialogs, 0) << name;
    EXPECT_EQ(Snapshot(ztemp), working) << name;
    EXPECT_EQ(Snapshot(itaca.parent_path()), documents) << name;
  }
}

TEST_F(ReadFaultTest, ACheckOfTheExportCopiesTheTablesThroughTheRunsFileSystem) {
  Soluc({{"MAT", "*479", 1, 1, "0", "1A", "PGA", "A1"}});
  const fs::path soluc = ztemp / "SOLUC.DBF";
  FailReading(soluc);
  const auto working = Snapshot(ztemp);
  try {
    CheckExport(state, ui, Workplace(ztemp, files), When());
    ADD_FAILURE() << "SOLUC was copied";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()),
              "No se puede copiar la tabla SOLUC para la comprobaci\xF3n. No se puede leer el "
              "archivo " + platform::PathText(soluc) + ": error de E/S.");
    EXPECT_EQ(error.kind(), ErrorKind::DiskOrPermission);
  }
  EXPECT_EQ(Snapshot(ztemp), working);
  EXPECT_FALSE(fs::exists(output));
}

}  // namespace
}  // namespace tc
