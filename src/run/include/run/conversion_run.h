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
#include "run/interaction.h"
#include "run/run_state.h"

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
  std::filesystem::path missing_input;             // MissingInput: the file that is not there
                                                   // (empty when none was chosen)
};

// Runs one conversion. Completed: OutcomeCode 1, "Proceso finalizado" shown. MissingInput:
// "No existe archivo" shown, OutcomeCode -1 when hosted. Throws tc::Error when the run fails; the
// working folder is then left as it was.
ConversionResult RunConversion(RunState& state, Interaction& ui,
                               const std::filesystem::path& working_dir);

}  // namespace tc
