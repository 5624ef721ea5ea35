// The run state shared by the conversion, the export and the front ends for one program run.
// Texts are Windows-1252, as everywhere in the core.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tc {

// The two entries of the language combo box. Any other text acts as "not Valencian".
inline constexpr std::string_view kValencian = "VALENCI\xC1";  // VALENCIÁ
inline constexpr std::string_view kCastilian = "CASTELLANO";

// What the host reads back in Clepsa.ini.
inline constexpr std::int32_t kOutcomeNothing = 0;
inline constexpr std::int32_t kOutcomeCompleted = 1;
inline constexpr std::int32_t kOutcomeMissingInput = -1;

// Fixed texts of the runs.
inline constexpr std::string_view kMessageFinished = "Proceso finalizado";
inline constexpr std::string_view kMessageNoFile = "No existe archivo";
inline constexpr std::string_view kMessageNoFileOrSolution =
    "No existe archivo XML o Soluci\xF3n.";  // Solución

struct RunState {
  bool EmbeddedRun = false;                    // started hosted by Clepsa
  std::int32_t OutcomeCode = kOutcomeNothing;  // reported to the host on closing
  std::filesystem::path ItacaFileName;         // the ITACA file last chosen
  std::string SelectedTemplateCode;            // the time template chosen
  std::string SelectedTemplateShift;
  std::string LanguageChoice{kValencian};      // text of the language combo box
  std::vector<std::string> ListBoxPlanti;      // the chosen template's period lines
  bool OnlySelectedTemplate = false;           // set by the group timetables stage
  std::string SchoolYear;                      // the year written by an export
};

// How a run ended when it did not throw.
enum class RunResult { Completed, MissingInput };

}  // namespace tc
