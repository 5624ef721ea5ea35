// The ten stages in their order, and the rows they leave in the working tables.
#include "conversion/conversion.h"

#include <future>

#include "conversion/context.h"
#include "conversion/stages.h"
#include "report/report.h"
#include "store/schemas.h"
#include "store/staged_tables.h"

namespace tc {

Converted ConvertDocument(const itaca::Document& document, const ConversionState& state,
                          Questions& questions, store::StagedTables& tables,
                          report::Report* report) {
  ConversionContext ctx{document, state, tables, questions, {}, {}, {}};
  ctx.keep_report_timetable = report != nullptr;
  ReadGroupLessonsBeside(ctx);
  ImportTeachers(ctx);
  ImportCoursesAndGroups(ctx);
  ImportSubjects(ctx);
  ImportTasks(ctx);
  ImportRooms(ctx);
  ImportAssignments(ctx);
  Converted converted;
  converted.templates = ImportGroupTimetables(ctx);
  std::future<report::Lessons> itaca_timetable;
  if (report) itaca_timetable = ReadTemplateTimetable(ctx);
  ImportOccupationTimetables(ctx, converted.templates);
  PruneIdleGroupsAndTeachers(ctx, converted.templates);
  ImportTimeSlots(ctx);

  for (const store::TableDef* def : store::WorkingTables()) {
    store::Table table = tables.Open(def->name, store::OpenMode::Shared);
    converted.tables.push_back({def->name, static_cast<std::size_t>(table.RecordCount())});
    table.Close();
  }
  if (report) {
    GatherConversionTimetables(ctx, converted.templates, itaca_timetable.get());
    for (const TableRows& table : converted.tables) {
      ctx.report.tables().push_back({table.table, table.rows});
    }
    *report = std::move(ctx.report);
  }
  return converted;
}

}  // namespace tc
