#include "standing.h"

#include <optional>

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
std::optional<std::int64_t> SolutionWritten(const Workplace& workplace) {
  const store::Database db(workplace.folder, *workplace.files);
  if (!db.Exists(store::kSolucTable)) return std::nullopt;
  return db.Files().WriteTime(db.TablePath(store::kSolucTable)).value_or(0);
}

}  // namespace

std::string StandingText(const fs::path& folder) {
  const Workplace workplace(folder);
  std::string text = "Carpeta de trabajo: " + platform::PathText(folder);
  if (!workplace.files->IsFolder(folder)) return text + " (no existe)\n";
  text += "\n";

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
    solution = SolutionWritten(workplace);
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
