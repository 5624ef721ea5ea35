#include "run/export_run.h"

#include <optional>
#include <system_error>
#include <utility>

#include "base/error.h"
#include "conversion/stages.h"
#include "export/solution_export.h"
#include "itaca/document.h"
#include "platform/platform.h"
#include "run/school_year_dialog.h"
#include "run/template_dialog.h"
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

// Everything after the slot table has been rebuilt (aside): the tables, the school year, the new
// document and its saving.
ExportResult WriteExport(RunState& state, Interaction& ui, store::Database& db,
                         itaca::Document& document, const CentreIdentity& identity,
                         std::chrono::system_clock::time_point now) {
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
    const ExportCounts counts = WriteTimetable(tables, document, identity, choice);
    result.group_lessons = counts.group_lessons;
    result.duty_periods = counts.duty_periods;
    tables.Close();
  }
  result.output = ExportFileName(state.ItacaFileName);
  SaveAndCommit(document, result.output, db);
  result.result = RunResult::Completed;
  result.template_code = state.SelectedTemplateCode;
  result.school_year = state.SchoolYear;
  return result;
}

ExportResult Export(RunState& state, Interaction& ui, const fs::path& working_dir,
                    std::optional<std::chrono::system_clock::time_point> now) {
  ui.Inform(Notice::OpenItacaFile);
  if (auto chosen = ui.ChooseItacaFile()) state.ItacaFileName = std::move(*chosen);

  store::Database db(working_dir);
  const bool document_there = IsFile(state.ItacaFileName);
  const bool solution_there = db.Exists(store::kSolucTable);
  if (!document_there || !solution_there) {
    ui.Inform(Notice::NoFileOrSolution);
    if (state.EmbeddedRun) state.OutcomeCode = kOutcomeMissingInput;
    ExportResult missing;
    if (!document_there) missing.missing_inputs.push_back(state.ItacaFileName);
    if (!solution_there) missing.missing_inputs.push_back(db.TablePath(store::kSolucTable));
    return missing;
  }

  // The document is loaded and its root checked first: one that does not parse, has no centro
  // root or lacks one of the four identity attributes stops the run before any table is touched.
  itaca::Document document = itaca::Document::Load(state.ItacaFileName);
  const CentreIdentity identity = ReadIdentity(document);

  // The template for this export; no template is preselected, and none chosen is an empty code.
  {
    TemplateDialog dialog(document, TemplateDialogMode::Export, state.LanguageChoice, &db);
    if (const auto& error = dialog.ActivationError()) {
      // A slot table held by another program would only fail again a moment later: the run
      // ends here, with the one message.
      if (error->kind() == ErrorKind::InUse) throw *error;
      ui.ShowError(*error);
    }
    TemplateChoice choice = ui.ChooseTemplate(dialog);
    state.SelectedTemplateCode = std::move(choice.code);
    state.ListBoxPlanti = std::move(choice.period_lines);
  }

  // DIASHORAST is rebuilt aside and replaces the old one only once the document is saved.
  ExportResult result;
  db.BeginStaging();
  try {
    ImportTimeSlots(db, state);
    BusyCursor busy(ui);
    result = WriteExport(state, ui, db, document, identity,
                         now ? *now : std::chrono::system_clock::now());
    busy.Release();
  } catch (...) {
    if (db.Staging()) db.Discard();
    throw;
  }

  state.OutcomeCode = kOutcomeCompleted;
  ui.Inform(Notice::Finished);
  return result;
}

}  // namespace

ExportResult RunExport(RunState& state, Interaction& ui, const fs::path& working_dir) {
  return Export(state, ui, working_dir, std::nullopt);
}

ExportResult RunExport(RunState& state, Interaction& ui, const fs::path& working_dir,
                       std::chrono::system_clock::time_point now) {
  return Export(state, ui, working_dir, now);
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
