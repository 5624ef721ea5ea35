#include "run/report_file.h"

#include "base/codepage.h"
#include "platform/file_system.h"
#include "platform/platform.h"
#include "report/render.h"

namespace tc {

ReportFormat ReportFormatOf(const std::filesystem::path& file) {
  return LowerCase(platform::PathText(file.extension())) == ".json" ? ReportFormat::Json
                                                                     : ReportFormat::Text;
}

std::string ReportFileContents(const report::Report& report, ReportFormat format) {
  return format == ReportFormat::Json ? report::RenderJson(report)
                                      : Cp1252ToUtf8(report::RenderText(report));
}

void SaveReport(const report::Report& report, const std::filesystem::path& file) {
  platform::WriteFileAtomically(platform::RealFileSystem(), file,
                                ReportFileContents(report, ReportFormatOf(file)));
}

}  // namespace tc
