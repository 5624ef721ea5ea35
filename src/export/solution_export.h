// The export, Clepsa to ITACA: Clepsa's SOLUC mapped back to ITACA's codes through the working
// tables and written as a new ITACA document "ResultadoClepsa" + the input's name beside it.
#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>

#include "conversion/interaction.h"
#include "conversion/run_state.h"

namespace tc {

struct ExportResult {
  RunResult result = RunResult::MissingInput;
  std::filesystem::path output;  // the document written
  std::size_t group_lessons = 0;  // horario_grupo elements written
  std::size_t duty_periods = 0;   // horario_ocupacion elements written
};

// "ResultadoClepsa" followed by the input's file name, in the input's folder.
std::filesystem::path ExportFileName(const std::filesystem::path& itaca_file);

// Runs one export. Throws tc::Error when the run fails; nothing is then saved and DIASHORAST is
// left as it was.
ExportResult RunExport(RunState& state, Interaction& ui, const std::filesystem::path& working_dir);
// The same with the export's date and time given instead of read from the clock (tests).
ExportResult RunExport(RunState& state, Interaction& ui, const std::filesystem::path& working_dir,
                       std::chrono::system_clock::time_point now);

}  // namespace tc
