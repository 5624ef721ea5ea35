// A run's report kept in a file, to be read later: JSON when the file name ends in ".json", one
// HTML page with the timetable's grids when it ends in ".html" or ".htm" (any letter case),
// readable text otherwise, all UTF-8.
#pragma once

#include <filesystem>
#include <future>
#include <string>

#include "report/render.h"
#include "report/report.h"
#include "store/safe_commit.h"

namespace tc {

enum class ReportFormat { Text, Json, Html };

// The format a file name asks for.
ReportFormat ReportFormatOf(const std::filesystem::path& file);

// The report as the bytes of a file of that format (UTF-8).
std::string ReportFileContents(const report::Report& report, ReportFormat format);
// The same with the report's first lines already worked out (report::RenderLevels).
std::string ReportFileContents(const report::Report& report, ReportFormat format,
                               const report::LevelLines& levels);
// The same bytes handed on to `pieces` piece by piece as they are rendered.
void RenderReportFile(const report::Report& report, ReportFormat format,
                      const report::LevelLines& levels, const PieceSink& pieces);
// The same with the first lines asked for when the rendering comes to them.
void RenderReportFile(const report::Report& report, ReportFormat format,
                      const report::LevelsWhenAsked& levels, const PieceSink& pieces);

// What a run keeps with its backup generation: "informe.json", "informe.txt" and "informe.html",
// each rendered in pieces, the first lines worked out once for the three. The report's entries
// and header are whole before they render. When `levels` is given, they are its: worked out
// beside, once what is still being worked out of the report's timetables (the export's
// verification) is done, which `timetables` tells. Each waits for what it reads: the text for
// the first lines, the page for the timetables and then the lines, the JSON for the lines (and
// the timetables with them) after its entries. An error there fails the rendering.
std::vector<store::GenerationExtra> BackupReportFiles(
    const report::Report& report, std::shared_future<report::LevelLines> levels = {},
    std::shared_future<void> timetables = {});
// The HTML page of the report kept in a backup generation's folder.
std::filesystem::path ReportPage(const std::filesystem::path& generation_folder);

// Writes the report atomically. Throws tc::Error naming the file when it cannot be written.
void SaveReport(const report::Report& report, const std::filesystem::path& file);

}  // namespace tc
