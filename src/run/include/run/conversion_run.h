// The conversion run, ITACA to Clepsa: file choice, template choice, the ten stages, the end of
// the run. All-or-nothing: the tables are built aside and replace Clepsa's only when every stage
// has succeeded.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "conversion/conversion.h"
#include "report/report.h"
#include "run/interaction.h"
#include "run/preview.h"
#include "run/run_state.h"
#include "run/workplace.h"
#include "store/safe_commit.h"

namespace tc {

// The template the user chose, as the template dialog showed it when it closed.
struct ChosenTemplate {
  std::string code;
  std::string description;  // "-" when no template has that code
  std::string shift;
  std::size_t periods = 0;  // Monday periods (lines of ListBoxPlanti)
};

// What a conversion did, for the front ends to show.
struct ConversionResult {
  RunResult result = RunResult::MissingInput;
  std::optional<ChosenTemplate> chosen_template;  // none when the document has no template
  std::string language;                            // the language of the texts taken
  std::vector<TableRows> tables;                   // the seven tables and the rows each holds
  // Completed: the templates whose lessons were taken (All when the user answered Yes to the
  // multi-template question, or the document has no group timetable).
  TemplatesTaken templates = TemplatesTaken::All;
  std::filesystem::path missing_input;             // MissingInput: the file that is not there
                                                   // (empty when none was chosen)
  // Completed (and Cancelled): what the stages renamed, passed over, left out and deleted, and
  // the rows per table. Render it with report::RenderText or report::RenderJson, keep it with
  // SaveReport.
  report::Report report{report::Report::Kind::Conversion};
  // Completed: the backup generation that keeps the tables the run replaced (and its report).
  std::optional<store::GenerationInfo> backup;
};

// Runs one conversion. Completed: OutcomeCode 1, "Proceso finalizado" shown. MissingInput:
// "No existe archivo" shown, OutcomeCode -1 when hosted. Cancelled: the user declined the
// preview (Interaction::ApproveChanges); nothing changed, nothing shown. Throws tc::Error when
// the run fails; the working folder is then left as it was.
ConversionResult RunConversion(RunState& state, Interaction& ui, const Workplace& workplace);

// What a conversion would do, without changing anything in the working folder: the same run,
// with the same questions, built in a folder of its own under the system's temporary folder and
// compared with the working folder's tables.
struct ConversionCheck {
  ConversionResult conversion;  // Completed: the run would complete; its report
  // The changes to the working folder's tables; none when the folder holds no working table.
  std::optional<TablesPreview> preview;
};

// Runs the conversion's flow (file, template and language, the ten stages) into a temporary
// folder. Nothing is shown at the end and the outcome is not touched. Throws the error the
// conversion would end with; nothing is left behind.
ConversionCheck CheckConversion(RunState& state, Interaction& ui, const Workplace& workplace);

}  // namespace tc
