// Pruning: when only the selected template's lessons were taken, groups and teachers left
// without any ASIGT row may be removed before Clepsa opens the tables.
#include <initializer_list>
#include <string>

#include "base/error.h"
#include "conversion/stages.h"

namespace tc {

namespace {

// Deletes every row of `table` whose `key` has no ASIGT row with that value in `asig_field`,
// then packs the table (a failed pack leaves the rows marked as deleted, which readers skip).
// Each deleted row goes into the report under `reason`, named by `fields`.
void DeleteIdleRows(store::Table& table, std::string_view name, store::Table& asig,
                    std::string_view asig_field, report::Report& report, report::Reason reason,
                    std::initializer_list<std::string_view> fields) {
  table.First();
  while (!table.Eof()) {
    if (asig.Locate(asig_field, table.GetText("ABREV"))) {
      table.Next();
    } else {
      auto entry = report.Add(reason, report::Location::OfRecord(name, table.RecNo()));
      for (std::string_view field : fields) entry.Code(field, table.GetText(field));
      table.Delete();  // the next row becomes current
    }
  }
  try {
    table.Pack();
  } catch (const TableError&) {
  }
}

}  // namespace

void PruneIdleGroupsAndTeachers(ConversionContext& ctx, TemplatesTaken templates) {
  if (templates == TemplatesTaken::All) return;  // every template was taken: nothing is idle

  auto asig = ctx.tables.Open(store::AsigtTable().name, store::OpenMode::Exclusive);
  auto teachers = ctx.tables.Open(store::ProftTable().name, store::OpenMode::Exclusive);
  auto groups = ctx.tables.Open(store::GrupostTable().name, store::OpenMode::Exclusive);

  // The question comes at the first idle group. Without one nobody is asked, and the idle
  // teachers go all the same.
  for (groups.First(); !groups.Eof(); groups.Next()) {
    if (asig.Locate("CGRUP", groups.GetText("ABREV"))) continue;
    if (!ctx.questions.Confirm(Question::RemoveIdleGroupsAndTeachers)) {
      groups.Close();
      teachers.Close();
      asig.Close();
      return;
    }
    break;
  }

  DeleteIdleRows(groups, store::GrupostTable().name, asig, "CGRUP", ctx.report,
                 report::Reason::IdleGroup, {"ABREV", "CLAVE", "DESCRIP"});
  groups.Close();
  DeleteIdleRows(teachers, store::ProftTable().name, asig, "CPROF", ctx.report,
                 report::Reason::IdleTeacher, {"ABREV", "DNI", "NOMBRE"});
  teachers.Close();
  asig.Close();
}

}  // namespace tc
