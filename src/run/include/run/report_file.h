// A run's report kept in a file, to be read later: JSON when the file name ends in ".json" (any
// letter case), readable text otherwise, both UTF-8.
#pragma once

#include <filesystem>
#include <string>

#include "report/report.h"

namespace tc {

enum class ReportFormat { Text, Json };

// The format a file name asks for.
ReportFormat ReportFormatOf(const std::filesystem::path& file);

// The report as the bytes of a file of that format (UTF-8).
std::string ReportFileContents(const report::Report& report, ReportFormat format);

// Writes the report atomically. Throws tc::Error naming the file when it cannot be written.
void SaveReport(const report::Report& report, const std::filesystem::path& file);

}  // namespace tc
