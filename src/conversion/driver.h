// The conversion, ITACA to Clepsa: file choice, template choice, the ten stages, the end of the
// run. All-or-nothing: the tables are built aside and replace Clepsa's only when every stage has
// succeeded.
#pragma once

#include <filesystem>

#include "conversion/interaction.h"
#include "conversion/run_state.h"

namespace tc {

// Runs one conversion. Returns Completed (OutcomeCode 1, "Proceso finalizado" shown) or
// MissingInput ("No existe archivo" shown; OutcomeCode -1 when hosted). Throws tc::Error when the
// run fails; the working folder is then left as it was.
RunResult RunConversion(RunState& state, Interaction& ui, const std::filesystem::path& working_dir);

}  // namespace tc
