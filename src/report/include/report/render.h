// The report's two forms: readable Spanish text for people and JSON for other programs. Plain
// functions of the data, so that every front end and the code that keeps a run's files can use
// them.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "base/pieces.h"
#include "report/report.h"

namespace tc::report {

// The whole report as Spanish text, Windows-1252 with LF line ends: what the run was, the rows
// per table, the counts by reason, then every entry grouped by reason, each group in the order
// the entries were recorded.
std::string RenderText(const Report& report);

// The report's first lines under their three headings, indexed by Level: what to mend in ITACA,
// what to look at in Clepsa, what was done as always. Names with their codes beside them and
// hours; no machine name and no place (those are in the details). Windows-1252, one line each.
using LevelLines = std::array<std::vector<std::string>, 3>;
LevelLines RenderLevels(const Report& report);

// The three headings with their lines, as RenderText starts: "Revise en ITACA:" and its lines
// indented by two blanks, or "Revise en ITACA: nada". Windows-1252, LF line ends.
std::string RenderLevelsText(const Report& report);
std::string RenderLevelsText(const LevelLines& levels);

// The report as one self-contained HTML page, UTF-8: the headings and their lines, then the
// timetable as week grids (per group, teacher and room; for a conversion what Clepsa has to
// place beside ITACA's own timetable of the template), clashes and lessons left out marked.
std::string RenderHtml(const Report& report);

// Only the counts by reason, the first lines of the "Avisos" part of RenderText: what the
// command line prints after a run. Windows-1252, LF line ends.
std::string RenderSummary(const Report& report);

// One entry as one line of RenderText (without its indentation): where it is, the code before and
// after a renaming, and its codes, e.g.
//   /centro/docentes/docente[13], línea 127: GMJ -> GMJ1; documento=12040481G nombre="Gómez Mas, Júlia"
std::string RenderEntry(const Entry& entry);

// The report as JSON, UTF-8, structure version 1 (described in the README): stable keys, every
// key always present, entries grouped by reason as in RenderText.
std::string RenderJson(const Report& report);

// The same three renderings with the first lines already worked out (RenderLevels of the same
// report): a run that keeps all three works them out once, the costliest part of each beside
// the entries. Given `pieces`, each hands its text on to it piece by piece as it goes, and
// returns nothing.
std::string RenderText(const Report& report, const LevelLines& levels,
                       const PieceSink* pieces = nullptr);
std::string RenderHtml(const Report& report, const LevelLines& levels,
                       const PieceSink* pieces = nullptr);
std::string RenderJson(const Report& report, const LevelLines& levels,
                       const PieceSink* pieces = nullptr);

// The first lines as a rendering comes to them: the JSON asks for them (and for the export's
// verification) after its entries, the page once its grids are worked out. Those are made while
// the lines are.
using LevelsWhenAsked = std::function<const LevelLines&()>;
// Lines already worked out, as a rendering asks for them (they outlive it).
inline LevelsWhenAsked LevelsGiven(const LevelLines& levels) {
  return [&levels]() -> const LevelLines& { return levels; };
}
std::string RenderJson(const Report& report, const LevelsWhenAsked& levels,
                       const PieceSink* pieces = nullptr);
std::string RenderHtml(const Report& report, const LevelsWhenAsked& levels,
                       const PieceSink* pieces = nullptr);

}  // namespace tc::report
