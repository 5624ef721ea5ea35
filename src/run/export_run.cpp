#include "run/export_run.h"

#include <optional>
#include <system_error>
#include <utility>

#include "base/error.h"
#include "conversion/stages.h"
#include "export/solution_export.h"
#include "itaca/document.h"
#include "platform/file_system.h"
#include "platform/platform.h"
#include "run/report_file.h"
#include "run/school_year_dialog.h"
#include "run/template_dialog.h"
#include "run/work_record.h"
#include "scratch_folder.h"
#include "store/database.h"
#include "store/schemas.h"
#include "store/table.h"

namespace tc {

namespace fs = std::filesystem;

namespace {

bool IsFile(const fs::path& path) {
  std::error_code ignored;
  return !path.empty() && fs::is_regular_file(path, ignored);
}

// The tables an export reads, in the order it opens them.
const std::vector<std::string>& ExportTables() {
  static const std::vector<std::string> tables = {
      std::string(store::kSolucTable), store::GrupostTable().name,  store::CursostTable().name,
      store::ProftTable().name,        store::AulatTable().name,    store::AsignomtTable().name,
      store::DiashorastTable().name,   store::AsigtTable().name};
  return tables;
}

// Copies every file of the export's tables (any extension: the table, its index, its memo) from
// `from` to `to`, reading `from` only.
void CopyExportTables(const fs::path& from, const fs::path& to) {
  std::error_code error;
  for (fs::directory_iterator it(from, error), end; !error && it != end; it.increment(error)) {
    if (!it->is_regular_file(error)) continue;
    std::string stem = platform::PathToUtf8(it->path().stem());
    for (char& c : stem) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    for (const std::string& table : ExportTables()) {
      if (stem != table) continue;
      try {
        platform::FileSystem& files = platform::RealFileSystem();
        platform::WriteFileAtomically(files, to / it->path().filename(),
                                      files.ReadFile(it->path()));
      } catch (const Error& failure) {
        throw Error("No se puede copiar la tabla " + table + " para la comprobaci\xF3n. " +
                        failure.what(),
                    failure.kind(), table);
      }
    }
  }
}

// Where the export works: the working folder itself, or for a check a folder of its own that
// holds copies of what the export reads.
struct Target {
  const ScratchFolder* scratch = nullptr;
  bool check() const { return scratch != nullptr; }
};

// Everything after the slot table has been rebuilt (aside): the tables, the school year, the new
// document and its saving (a check commits the slot table in its own folder and saves nothing).
// What a run keeps with its backup generation: its report, as text and as JSON.
std::vector<store::GenerationExtra> ReportFiles(const report::Report& report) {
  return {{"informe.txt", ReportFileContents(report, ReportFormat::Text)},
          {"informe.json", ReportFileContents(report, ReportFormat::Json)}};
}

ExportResult WriteExport(RunState& state, Interaction& ui, const Workplace& workplace,
                         store::Database& db,
                         itaca::Document& document, const CentreIdentity& identity,
                         std::chrono::system_clock::time_point now, const Target& target) {
  ExportResult result;
  {
    SolutionTables tables(db);

    // The school year, offered as the document's own and confirmed or changed by the user.
    state.SchoolYear = identity.curso;
    SchoolYearDialog year_dialog(state.SchoolYear);
    ui.ChooseSchoolYear(year_dialog);
    state.SchoolYear = year_dialog.Close();

    const ExportChoice choice{state.SelectedTemplateCode, state.SchoolYear,
                              platform::ShortDateLongTime(now)};
    const ExportCounts counts = WriteTimetable(tables, document, identity, choice, &result.report);
    result.group_lessons = counts.group_lessons;
    result.duty_periods = counts.duty_periods;
    result.report.read().push_back({std::string(store::kSolucTable), counts.records});
    result.report.elements().push_back({"horario_grupo", counts.group_lessons});
    result.report.elements().push_back({"horario_ocupacion", counts.duty_periods});
    result.report.tables().push_back({store::DiashorastTable().name, counts.slots});
    tables.Close();
  }
  result.output = ExportFileName(state.ItacaFileName);
  // The header before the commit: the report kept with the backup is the whole one.
  report::Report::Header& header = result.report.header();
  header.document = platform::PathText(state.ItacaFileName);
  header.folder = platform::PathText(workplace.folder);
  header.template_code = state.SelectedTemplateCode;
  header.school_year = state.SchoolYear;
  header.output = platform::PathText(result.output);
  if (target.check()) {
    db.Commit();
  } else {
    store::Database::CommitDetails details;
    details.run = "exportacion";
    details.document = platform::PathToUtf8(state.ItacaFileName);
    details.extras = ReportFiles(result.report);
    details.template_code = state.SelectedTemplateCode;
    details.school = identity.codigo + (identity.codigo.empty() ? "" : " ") + identity.denominacion;
    details.external.push_back(
        StageRecord(workplace, RecordOfExport(result.output, state.SelectedTemplateCode)));
    result.backup = SaveAndCommit(document, result.output, db, std::move(details));
  }
  result.result = RunResult::Completed;
  result.template_code = state.SelectedTemplateCode;
  result.school_year = state.SchoolYear;
  return result;
}

ExportResult Export(RunState& state, Interaction& ui, const Workplace& workplace,
                    std::optional<std::chrono::system_clock::time_point> now,
                    const Target& target) {
  const fs::path& working_dir = workplace.folder;
  ui.Inform(Notice::OpenItacaFile);
  if (auto chosen = ui.ChooseItacaFile()) state.ItacaFileName = std::move(*chosen);

  {
    const store::Database working(working_dir, *workplace.files);
    const bool document_there = IsFile(state.ItacaFileName);
    const bool solution_there = working.Exists(store::kSolucTable);
    if (!document_there || !solution_there) {
      ui.Inform(Notice::NoFileOrSolution);
      if (state.EmbeddedRun && !target.check()) state.OutcomeCode = kOutcomeMissingInput;
      ExportResult missing;
      if (!document_there) missing.missing_inputs.push_back(state.ItacaFileName);
      if (!solution_there) missing.missing_inputs.push_back(working.TablePath(store::kSolucTable));
      return missing;
    }
  }

  // A check works on copies of the tables, in its own folder. The document is only read (a
  // check saves none), in place, so that it fails exactly as the export would.
  if (target.check()) CopyExportTables(working_dir, target.scratch->path());
  store::Database db(target.check() ? target.scratch->path() : working_dir,
                     target.check() ? platform::RealFileSystem() : *workplace.files);

  // The document is loaded and its root checked first: one that does not parse, has no centro
  // root or lacks one of the four identity attributes stops the run before any table is touched.
  itaca::Document document = itaca::Document::Load(state.ItacaFileName);
  const CentreIdentity identity = ReadIdentity(document);

  // The template for this export; no template is preselected, and none chosen is an empty code.
  {
    TemplateDialog dialog(document, TemplateDialogMode::Export, state.LanguageChoice, &db);
    // Without a slot table to open (no conversion in this folder, or one held by another
    // program) the export cannot map Clepsa's hours back: the run ends here, with that one
    // message, rather than writing a timetable with no lesson in it.
    if (const auto& error = dialog.ActivationError()) throw *error;
    TemplateChoice choice = ui.ChooseTemplate(dialog);
    state.SelectedTemplateCode = std::move(choice.code);
    state.ListBoxPlanti = std::move(choice.period_lines);
  }

  // DIASHORAST is rebuilt aside and replaces the old one only once the document is saved.
  ExportResult result;
  std::optional<RunLock> turn;  // one run at a time changes the folder; a check takes no turn
  if (!target.check()) turn.emplace(workplace);
  db.BeginStaging();
  try {
    ImportTimeSlots(db, state);
    BusyCursor busy(ui);
    result = WriteExport(state, ui, workplace, db, document, identity,
                         now ? *now : std::chrono::system_clock::now(), target);
    busy.Release();
  } catch (...) {
    if (db.Staging()) db.Discard();
    throw;
  }

  if (target.check()) return result;

  state.OutcomeCode = kOutcomeCompleted;
  ui.ReportReady(result.report);
  ui.Inform(Notice::Finished);
  return result;
}

ExportCheck Check(RunState& state, Interaction& ui, const Workplace& workplace,
                  std::optional<std::chrono::system_clock::time_point> now) {
  const fs::path& working_dir = workplace.folder;
  const ScratchFolder scratch;
  ExportCheck check;
  check.exported = Export(state, ui, workplace, now, Target{&scratch});
  if (check.exported.result == RunResult::Completed) {
    check.output_exists = IsFile(check.exported.output);
    check.preview =
        PreviewFolders(working_dir, scratch.path(), {store::DiashorastTable().name});
  }
  return check;
}

}  // namespace

ExportResult RunExport(RunState& state, Interaction& ui, const Workplace& workplace) {
  return Export(state, ui, workplace, std::nullopt, Target{});
}

ExportResult RunExport(RunState& state, Interaction& ui, const Workplace& workplace,
                       std::chrono::system_clock::time_point now) {
  return Export(state, ui, workplace, now, Target{});
}

ExportCheck CheckExport(RunState& state, Interaction& ui, const Workplace& workplace) {
  return Check(state, ui, workplace, std::nullopt);
}

ExportCheck CheckExport(RunState& state, Interaction& ui, const Workplace& workplace,
                        std::chrono::system_clock::time_point now) {
  return Check(state, ui, workplace, now);
}

std::string LastConversionTemplate(const fs::path& working_dir) {
  try {
    store::Database db(working_dir);
    const std::string& name = store::DiashorastTable().name;
    if (!db.Exists(name)) return {};
    store::Table table = db.Open(name, store::OpenMode::Shared);
    table.First();
    std::string code = table.Eof() ? std::string() : table.GetText("MARCOXML");
    table.Close();
    return code;
  } catch (const Error&) {
    // An unreadable slot table is the export's own business; it reports it itself.
    return {};
  }
}

}  // namespace tc
