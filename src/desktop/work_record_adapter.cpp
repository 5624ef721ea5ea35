#include "work_record_adapter.h"

#include <ctime>
#include <iomanip>
#include <sstream>

#include "export/solution_export.h"
#include "platform/platform.h"
#include "store/safe_commit.h"

namespace tc {

namespace {

std::int64_t LocalSeconds(const std::string& time) {
  std::tm local{};
  std::istringstream in(time);
  in >> std::get_time(&local, "%Y-%m-%d %H:%M:%S");
  if (in.fail()) return 0;
  local.tm_isdst = -1;
  return static_cast<std::int64_t>(std::mktime(&local));
}

// The newest backup a run of that kind made.
std::optional<store::GenerationInfo> Newest(const Workplace& workplace, std::string_view run) {
  try {
    const std::vector<store::GenerationInfo> generations =
        store::ListGenerations(*workplace.files, workplace.folder);
    for (auto it = generations.rbegin(); it != generations.rend(); ++it) {
      if (it->run == run) return *it;
    }
  } catch (const std::exception&) {
  }
  return std::nullopt;
}

}  // namespace

std::optional<ConversionRecord> ReadConversionRecord(const Workplace& workplace) {
  const std::optional<store::GenerationInfo> made = Newest(workplace, "conversion");
  if (!made) return std::nullopt;
  ConversionRecord record;
  // The backup names the school by its code and name.
  const std::size_t space = made->school.find(' ');
  record.school_code = made->school.substr(0, space);
  if (space != std::string::npos) record.school_name = made->school.substr(space + 1);
  record.document = platform::PathFromUtf8(made->document);
  record.template_code = made->template_code;
  record.time = made->date;
  record.time_seconds = LocalSeconds(made->date);
  return record;
}

std::optional<ExportRecord> ReadExportRecord(const Workplace& workplace) {
  const std::optional<store::GenerationInfo> made = Newest(workplace, "exportacion");
  if (!made) return std::nullopt;
  ExportRecord record;
  record.document = ExportFileName(platform::PathFromUtf8(made->document));
  record.template_code = made->template_code;
  record.time = made->date;
  record.time_seconds = LocalSeconds(made->date);
  return record;
}

}  // namespace tc
