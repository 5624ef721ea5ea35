// The export run, Clepsa to ITACA: the information box, the file choice, the template dialog in
// export mode, the slot table rebuilt for the chosen template, the school year, and the new
// document "ResultadoClepsa" + the input's name saved beside the input.
#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "run/interaction.h"
#include "run/run_state.h"

namespace tc {

// What an export did, for the front ends to show.
struct ExportResult {
  RunResult result = RunResult::MissingInput;
  std::filesystem::path output;   // the document written
  std::string template_code;      // the template chosen ("" none)
  std::string school_year;        // the new root's curso
  std::size_t group_lessons = 0;  // horario_grupo elements written
  std::size_t duty_periods = 0;   // horario_ocupacion elements written
  // MissingInput: the ITACA file (empty when none was chosen) and Clepsa's SOLUC.DBF, whichever
  // are not there.
  std::vector<std::filesystem::path> missing_inputs;
};

// Runs one export. Throws tc::Error when the run fails; nothing is then saved and DIASHORAST is
// left as it was.
ExportResult RunExport(RunState& state, Interaction& ui, const std::filesystem::path& working_dir);
// The same with the export's date and time given instead of read from the clock (tests).
ExportResult RunExport(RunState& state, Interaction& ui, const std::filesystem::path& working_dir,
                       std::chrono::system_clock::time_point now);

// The template of the last conversion in the working folder (MARCOXML of the slot table's first
// row), or "" when there is none or the slot table cannot be read.
std::string LastConversionTemplate(const std::filesystem::path& working_dir);

}  // namespace tc
