#include "run/report_file.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "base/codepage.h"
#include "platform/file_system.h"
#include "platform/platform.h"
#include "report/render.h"

namespace tc {

ReportFormat ReportFormatOf(const std::filesystem::path& file) {
  const std::string extension = LowerCase(platform::PathText(file.extension()));
  if (extension == ".json") return ReportFormat::Json;
  if (extension == ".html" || extension == ".htm") return ReportFormat::Html;
  return ReportFormat::Text;
}

std::string ReportFileContents(const report::Report& report, ReportFormat format) {
  return ReportFileContents(report, format, report::RenderLevels(report));
}

namespace {

// The report file's pieces, kept as rendered rather than copied into one growing text.
std::vector<std::string> PiecesOf(const report::Report& report, ReportFormat format,
                                  const report::LevelLines& levels) {
  std::vector<std::string> pieces;
  RenderReportFile(report, format, levels,
                   [&pieces](std::string piece) { pieces.push_back(std::move(piece)); });
  return pieces;
}

}  // namespace

std::string ReportFileContents(const report::Report& report, ReportFormat format,
                               const report::LevelLines& levels) {
  const std::vector<std::string> pieces = PiecesOf(report, format, levels);
  std::size_t size = 0;
  for (const std::string& piece : pieces) size += piece.size();
  std::string bytes;
  bytes.reserve(size);
  for (const std::string& piece : pieces) bytes += piece;
  return bytes;
}

void RenderReportFile(const report::Report& report, ReportFormat format,
                      const report::LevelLines& levels, const PieceSink& pieces) {
  RenderReportFile(report, format, report::LevelsGiven(levels), pieces);
}

void RenderReportFile(const report::Report& report, ReportFormat format,
                      const report::LevelsWhenAsked& levels, const PieceSink& pieces) {
  switch (format) {
    case ReportFormat::Json:
      report::RenderJson(report, levels, &pieces);
      return;
    case ReportFormat::Html:
      report::RenderHtml(report, levels, &pieces);
      return;
    case ReportFormat::Text:
      break;
  }
  const PieceSink as_utf8 = [&pieces](std::string piece) {
    ConvertCp1252ToUtf8InPlace(piece);
    pieces(std::move(piece));
  };
  report::RenderText(report, levels(), &as_utf8);
}

std::vector<store::GenerationExtra> BackupReportFiles(const report::Report& report,
                                                      std::shared_future<report::LevelLines> levels,
                                                      std::shared_future<void> timetables) {
  // Rendered only when a generation is made (`report` outlives the commit), side by side, the
  // first lines once for the three: the JSON's entries meanwhile, as it asks for them last.
  // Under a lock rather than std::call_once, which an exception (no memory left) leaves stuck on
  // some systems: the other renderings would wait for ever.
  struct Levels {
    std::mutex mutex;
    bool made = false;
    report::LevelLines lines;
  };
  auto own = std::make_shared<Levels>();
  auto as = [&report, own, levels, timetables](std::string name, ReportFormat format) {
    store::GenerationExtra extra{std::move(name), {}};
    extra.render = [&report, format, own, levels, timetables](const PieceSink& pieces) {
      if (format == ReportFormat::Html && timetables.valid()) {
        // The lines not started beside (no thread to be had) are worked out now, and with them
        // what the page waits for.
        if (levels.valid() &&
            levels.wait_for(std::chrono::seconds(0)) == std::future_status::deferred) {
          levels.wait();
        }
        timetables.get();
      }
      RenderReportFile(
          report, format,
          [&]() -> const report::LevelLines& {
            if (levels.valid()) return levels.get();
            const std::lock_guard<std::mutex> lock(own->mutex);
            if (!own->made) {
              own->lines = report::RenderLevels(report);
              own->made = true;
            }
            return own->lines;
          },
          pieces);
    };
    return extra;
  };
  // The page, the longest to render, is rendered first and written last: the others are
  // written while it is still being rendered.
  store::GenerationExtra page = as("informe.html", ReportFormat::Html);
  page.render_first = true;
  return {as("informe.json", ReportFormat::Json), as("informe.txt", ReportFormat::Text),
          std::move(page)};
}

std::filesystem::path ReportPage(const std::filesystem::path& generation_folder) {
  return generation_folder / "informe.html";
}

void SaveReport(const report::Report& report, const std::filesystem::path& file) {
  const std::vector<std::string> pieces =
      PiecesOf(report, ReportFormatOf(file), report::RenderLevels(report));
  const std::vector<std::string_view> views(pieces.begin(), pieces.end());
  platform::WriteFileAtomically(platform::RealFileSystem(), file, views);
}

}  // namespace tc
