#include "run/conversion_run.h"

#include <system_error>

#include "base/error.h"
#include "itaca/document.h"
#include "platform/platform.h"
#include "run/report_file.h"
#include "run/template_dialog.h"
#include "run/work_record.h"
#include "scratch_folder.h"
#include "store/database.h"
#include "store/schemas.h"

namespace tc {

namespace fs = std::filesystem;

namespace {

// The input exists when a file (not a folder) is there; an empty name never exists.
bool InputExists(const fs::path& file) {
  if (file.empty()) return false;
  std::error_code ignored;
  return fs::is_regular_file(file, ignored);
}

// Where a conversion builds its tables: the working folder itself, or for a check a folder of
// its own outside it.
struct Target {
  fs::path tables;
  bool check = false;
};

// What a run keeps with its backup generation: its report, as text and as JSON.
std::vector<store::GenerationExtra> ReportFiles(const report::Report& report) {
  return {{"informe.txt", ReportFileContents(report, ReportFormat::Text)},
          {"informe.json", ReportFileContents(report, ReportFormat::Json)}};
}

// The school as the backups name it: its code and its name.
std::string SchoolOf(const itaca::Document& document) {
  const itaca::Element root = document.Root();
  std::string code = root.DialogAttr("codigo");
  const std::string name = root.DialogAttr("denominacion");
  if (!code.empty() && !name.empty()) code += ' ';
  return code + name;
}

// The run's flow, steps 1 to 6. A check stops before the end of a completed run: nothing shown,
// no outcome.
ConversionResult Convert(RunState& state, Interaction& ui, const Workplace& workplace,
                         const Target& target) {
  const fs::path& working_dir = workplace.folder;
  ConversionResult result;

  // 1. The file: a cancelled dialog keeps the previous choice.
  if (std::optional<fs::path> chosen = ui.ChooseItacaFile()) state.ItacaFileName = *chosen;

  // 2. A missing input ends the run with its message; the host learns it through the outcome.
  if (!InputExists(state.ItacaFileName)) {
    ui.Inform(Notice::NoFile);
    if (state.EmbeddedRun && !target.check) state.OutcomeCode = kOutcomeMissingInput;
    result.missing_input = state.ItacaFileName;
    return result;
  }

  // 3. The document.
  const itaca::Document document = itaca::Document::Load(state.ItacaFileName);

  // 4. Template and language, only when the document has a template to choose.
  if (!document.Select(itaca::kTemplates).Empty()) {
    state.SelectedTemplateCode.clear();
    TemplateDialog dialog(document, TemplateDialogMode::Conversion, state.LanguageChoice);
    TemplateChoice choice = ui.ChooseTemplate(dialog);
    result.chosen_template =
        ChosenTemplate{choice.code, dialog.Description(), choice.shift, choice.period_lines.size()};
    state.SelectedTemplateCode = std::move(choice.code);
    state.LanguageChoice = std::move(choice.language);
    state.SelectedTemplateShift = std::move(choice.shift);
    state.ListBoxPlanti = std::move(choice.period_lines);
  }
  result.language = state.LanguageChoice;

  // A check builds elsewhere, but fails as the run would when the working folder is not there.
  if (target.check) {
    std::error_code error;
    if (!fs::is_directory(working_dir, error)) {
      throw TableError("No se puede crear la tabla " + store::ProftTable().name +
                           ": no existe la carpeta " + platform::PathText(working_dir) + ".",
                       ErrorKind::InputMissing, platform::PathText(working_dir));
    }
  }

  // 5. The stages, on tables built aside: Clepsa's tables are replaced only when every stage
  // has succeeded, so a failed run leaves the working folder exactly as it was.
  {
    BusyCursor busy(ui);
    // One run at a time changes the folder; a check changes nothing and takes no turn.
    std::optional<RunLock> turn;
    if (!target.check) turn.emplace(workplace);
    store::Database db(target.tables,
                       target.check ? platform::RealFileSystem() : *workplace.files);
    db.BeginStaging();
    try {
      result.tables = ConvertDocument(document, state, ui, db, &result.report);
      report::Report::Header& header = result.report.header();
      header.document = platform::PathText(state.ItacaFileName);
      header.folder = platform::PathText(working_dir);
      header.template_code = state.SelectedTemplateCode;
      header.language = state.LanguageChoice;
      if (!target.check && ui.WantsPreview()) {
        busy.Release();
        if (!ui.ApproveChanges(PreviewStaged(db))) {
          db.Discard();
          result.result = RunResult::Cancelled;
          return result;
        }
      }
      store::Database::CommitDetails details;
      details.run = "conversion";
      details.document = platform::PathToUtf8(state.ItacaFileName);
      details.extras = ReportFiles(result.report);
      details.template_code = state.SelectedTemplateCode;
      details.school = SchoolOf(document);
      // What the tables were made from, committed with them (a check records nothing).
      if (!target.check) {
        details.external.push_back(StageRecord(
            workplace, RecordOfConversion(document, state.ItacaFileName, *workplace.files,
                                          state.SelectedTemplateCode, state.LanguageChoice)));
      }
      result.backup = db.Commit(details);
    } catch (...) {
      try {
        db.Discard();
      } catch (...) {
        // The run's own error is the one to report.
      }
      throw;
    }
    busy.Release();
  }

  result.result = RunResult::Completed;
  if (target.check) return result;

  // 6. The end of a completed run.
  state.OutcomeCode = kOutcomeCompleted;
  ui.ReportReady(result.report);
  ui.Inform(Notice::Finished);
  return result;
}

}  // namespace

ConversionResult RunConversion(RunState& state, Interaction& ui, const Workplace& workplace) {
  return Convert(state, ui, workplace, Target{workplace.folder, false});
}

ConversionCheck CheckConversion(RunState& state, Interaction& ui, const Workplace& workplace) {
  const fs::path& working_dir = workplace.folder;
  const ScratchFolder scratch;
  ConversionCheck check;
  check.conversion = Convert(state, ui, workplace, Target{scratch.path(), true});
  if (check.conversion.result == RunResult::Completed && HoldsWorkingTables(working_dir)) {
    std::vector<std::string> tables;
    for (const store::TableDef* def : store::WorkingTables()) tables.push_back(def->name);
    check.preview = PreviewFolders(working_dir, scratch.path(), tables);
  }
  return check;
}

}  // namespace tc
