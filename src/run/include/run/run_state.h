// The run state the main window keeps for one program run, shared by the conversion, the export
// and the front ends, and the fixed messages a run shows. Texts are Windows-1252, as everywhere
// in the core.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "conversion/conversion.h"

namespace tc {

// What the host reads back in Clepsa.ini.
inline constexpr std::int32_t kOutcomeNothing = 0;
inline constexpr std::int32_t kOutcomeCompleted = 1;
inline constexpr std::int32_t kOutcomeMissingInput = -1;

// The conversion's state (template, language, period lines) and what the rest of the program
// keeps beside it.
struct RunState : ConversionState {
  bool EmbeddedRun = false;                    // started hosted by Clepsa
  std::int32_t OutcomeCode = kOutcomeNothing;  // reported to the host on closing
  std::filesystem::path ItacaFileName;         // the ITACA file last chosen
  std::string SchoolYear;                      // the year written by an export
};

// The information boxes of the runs, each with its fixed text.
enum class Notice {
  OpenItacaFile,     // the export's first words: open the file the conversion was made from
  NoFile,            // "No existe archivo" (conversion)
  NoFileOrSolution,  // "No existe archivo XML o Solución." (export)
  Finished,          // "Proceso finalizado"
};
std::string_view NoticeText(Notice notice);

// How a run ended when it did not throw. Cancelled: the user declined the changes the
// conversion would make (Interaction::ApproveChanges); nothing was changed.
enum class RunResult { Completed, MissingInput, Cancelled };

}  // namespace tc
