#include "run/conversion_run.h"

#include <system_error>

#include "itaca/document.h"
#include "run/template_dialog.h"
#include "store/database.h"

namespace tc {

namespace fs = std::filesystem;

namespace {

// The input exists when a file (not a folder) is there; an empty name never exists.
bool InputExists(const fs::path& file) {
  if (file.empty()) return false;
  std::error_code ignored;
  return fs::is_regular_file(file, ignored);
}

}  // namespace

ConversionResult RunConversion(RunState& state, Interaction& ui, const fs::path& working_dir) {
  ConversionResult result;

  // 1. The file: a cancelled dialog keeps the previous choice.
  if (std::optional<fs::path> chosen = ui.ChooseItacaFile()) state.ItacaFileName = *chosen;

  // 2. A missing input ends the run with its message; the host learns it through the outcome.
  if (!InputExists(state.ItacaFileName)) {
    ui.Inform(Notice::NoFile);
    if (state.EmbeddedRun) state.OutcomeCode = kOutcomeMissingInput;
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

  // 5. The stages, on tables built aside: Clepsa's tables are replaced only when every stage
  // has succeeded, so a failed run leaves the working folder exactly as it was.
  {
    BusyCursor busy(ui);
    store::Database db(working_dir);
    db.BeginStaging();
    try {
      result.tables = ConvertDocument(document, state, ui, db);
      db.Commit();
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

  // 6. The end of a completed run.
  state.OutcomeCode = kOutcomeCompleted;
  ui.Inform(Notice::Finished);
  result.result = RunResult::Completed;
  return result;
}

}  // namespace tc
