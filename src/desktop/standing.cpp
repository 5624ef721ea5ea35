#include "standing.h"

#include <chrono>
#include <optional>
#include <system_error>

#include "base/codepage.h"
#include "platform/platform.h"
#include "run/work_record.h"
#include "store/database.h"
#include "store/schemas.h"

namespace tc::desktop {

namespace fs = std::filesystem;

namespace {

std::string FileName(const fs::path& file) { return platform::PathText(file.filename()); }

// When Clepsa last wrote its timetable, in seconds since the epoch; none when it is not there.
std::optional<std::int64_t> SolutionWritten(const fs::path& folder) {
  const store::Database db(folder);
  if (!db.Exists(store::kSolucTable)) return std::nullopt;
  std::error_code error;
  const auto written = fs::last_write_time(db.TablePath(store::kSolucTable), error);
  if (error) return std::int64_t{0};
  const auto system = std::chrono::file_clock::to_sys(written);
  return std::chrono::duration_cast<std::chrono::seconds>(system.time_since_epoch()).count();
}

}  // namespace

std::string StandingText(const fs::path& folder) {
  std::error_code error;
  std::string text = "Carpeta de trabajo: " + platform::PathText(folder);
  if (!fs::is_directory(folder, error)) return text + " (no existe)\n";
  text += "\n";

  const Workplace workplace(folder);
  const std::optional<ConversionRecord> conversion = ReadConversionRecord(workplace);
  if (conversion) {
    std::string school = conversion->school_code;
    if (!conversion->school_name.empty()) school += " " + conversion->school_name;
    text += "\xDAltima conversi\xF3n: " + (school.empty() ? std::string() : school + ", ") +
            FileName(conversion->document) + ", plantilla " +
            (conversion->template_code.empty() ? std::string("ninguna")
                                               : conversion->template_code) +
            (conversion->all_templates ? " (con las clases de todas las plantillas)" : "") +
            ", " + conversion->time + "\n";
  } else {
    text += "\xDAltima conversi\xF3n: ninguna hecha en esta carpeta\n";
  }

  std::optional<std::int64_t> solution;
  try {
    solution = SolutionWritten(folder);
  } catch (const std::exception&) {
  }
  if (!solution) {
    text += "SOLUC: no est\xE1 (Clepsa no ha calculado ning\xFAn horario aqu\xED)\n";
  } else if (!conversion) {
    text += "SOLUC: est\xE1\n";
  } else if (*solution >= conversion->time_seconds) {
    text += "SOLUC: Clepsa lo escribi\xF3 despu\xE9s de la conversi\xF3n\n";
  } else {
    text += "SOLUC: es anterior a la conversi\xF3n (Clepsa no ha calculado el horario desde "
            "entonces)\n";
  }

  if (const std::optional<ExportRecord> exported = ReadExportRecord(workplace)) {
    text += "\xDAltima exportaci\xF3n: " + FileName(exported->document) + ", " + exported->time +
            "\n";
  } else {
    text += "\xDAltima exportaci\xF3n: ninguna\n";
  }
  return text;
}

}  // namespace tc::desktop
