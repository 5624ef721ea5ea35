// The ten stages in their order, and the rows they leave in the working tables.
#include "conversion/conversion.h"

#include "conversion/context.h"
#include "conversion/stages.h"
#include "report/report.h"
#include "store/schemas.h"

namespace tc {

std::vector<TableRows> ConvertDocument(const itaca::Document& document, ConversionState& state,
                                       Questions& questions, store::Database& db,
                                       report::Report* report) {
  ConversionContext ctx{document, state, db, questions, {}, {}, {}};
  ImportTeachers(ctx);
  ImportCoursesAndGroups(ctx);
  ImportSubjects(ctx);
  ImportTasks(ctx);
  ImportRooms(ctx);
  ImportAssignments(ctx);
  ImportGroupTimetables(ctx);
  ImportOccupationTimetables(ctx);
  PruneIdleGroupsAndTeachers(ctx);
  ImportTimeSlots(ctx);

  std::vector<TableRows> rows;
  for (const store::TableDef* def : store::WorkingTables()) {
    store::Table table = db.Open(def->name, store::OpenMode::Shared);
    rows.push_back({def->name, static_cast<std::size_t>(table.RecordCount())});
    table.Close();
  }
  if (report) {
    GatherConversionTimetables(document, state, db, ctx.report);
    for (const TableRows& table : rows) ctx.report.tables().push_back({table.table, table.rows});
    *report = std::move(ctx.report);
  }
  return rows;
}

}  // namespace tc
