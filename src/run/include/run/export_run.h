// The export run, Clepsa to ITACA: the information box, the file choice, the template dialog in
// export mode, the slot table rebuilt for the chosen template, the school year, and the new
// document "ResultadoClepsa" + the input's name saved beside the input.
#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "report/report.h"
#include "run/interaction.h"
#include "run/preview.h"
#include "run/run_state.h"
#include "run/workplace.h"
#include "store/safe_commit.h"

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
  // Completed: every SOLUC record left out and every class written without its teacher or room,
  // with the reason; the SOLUC records read, the elements written and the slot table's rows.
  report::Report report{report::Report::Kind::Export};
  // Completed: the backup generation that keeps the slot table the run replaced (and its report).
  std::optional<store::GenerationInfo> backup;
};

// Runs one export. Throws tc::Error when the run fails; nothing is then saved and DIASHORAST is
// left as it was.
ExportResult RunExport(RunState& state, Interaction& ui, const Workplace& workplace);
// The same with the export's date and time given instead of read from the clock (tests).
ExportResult RunExport(RunState& state, Interaction& ui, const Workplace& workplace,
                       std::chrono::system_clock::time_point now);

// What an export would do, without changing anything in the working folder and without saving
// the document: the same run, with the same dialogs, on copies of the eight tables it reads in a
// folder of its own under the system's temporary folder; the ITACA file is only read.
struct ExportCheck {
  ExportResult exported;        // Completed: the run would complete; its report. `output` is the
                                // document the export would write.
  bool output_exists = false;   // that document is there already (the export would replace it)
  std::optional<TablesPreview> preview;  // the slot table the export rebuilds
};

// Throws the error the export would end with; nothing is left behind.
ExportCheck CheckExport(RunState& state, Interaction& ui, const Workplace& workplace);
ExportCheck CheckExport(RunState& state, Interaction& ui, const Workplace& workplace,
                        std::chrono::system_clock::time_point now);

// The template of the last conversion in the working folder (MARCOXML of the slot table's first
// row), or "" when there is none or the slot table cannot be read.
std::string LastConversionTemplate(const std::filesystem::path& working_dir);

}  // namespace tc
