// What a completed run wrote, as the command line prints it after the run and the desktop
// programs show it after "Proceso finalizado": the template and language or the document, the
// rows per table or the elements written, and the report's warnings by effect and reason.
// Windows-1252, LF line ends.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "run/conversion_run.h"
#include "run/export_run.h"
#include "store/safe_commit.h"

namespace tc {

std::string RunSummary(const ConversionResult& result, const std::filesystem::path& folder);
std::string RunSummary(const ExportResult& result);

}  // namespace tc
