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
  NothingChanged,    // "No se ha cambiado nada": the user stopped the run before it changed
                     // anything (at the preview, or at a guard's question)
};
std::string_view NoticeText(Notice notice);

// How a run ended when it did not throw. Cancelled: the user ended it (Cancel in the file
// dialog, Escape or the close box of the template dialog, the preview declined). Refused: the
// answer to a guard's question was No (Interaction::GoOnDespite). Neither changed anything.
enum class RunResult { Completed, MissingInput, Cancelled, Refused };

}  // namespace tc
