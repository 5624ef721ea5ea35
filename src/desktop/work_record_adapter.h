// What the runs record of the last conversion and the last export in a working folder, read for
// now from the backups' own descriptions (the date, run, document, school and template each
// backup names). The same types and functions as the runs' own record, so that the main window
// reads either alike.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "run/workplace.h"

namespace tc {

struct ConversionRecord {
  std::string school_code;
  std::string school_name;
  std::string school_year;
  std::filesystem::path document;
  std::string digest;
  std::string template_code;
  std::string language;
  std::string time;  // "AAAA-MM-DD HH:MM:SS", local time
  std::int64_t time_seconds = 0;
};
struct ExportRecord {
  std::filesystem::path document;
  std::string template_code;
  std::string time;
  std::int64_t time_seconds = 0;
};
std::optional<ConversionRecord> ReadConversionRecord(const Workplace& workplace);
std::optional<ExportRecord> ReadExportRecord(const Workplace& workplace);

}  // namespace tc
