// Pruning: when only the selected template's lessons were taken, groups and teachers left
// without any ASIGT row may be removed before Clepsa opens the tables.
#include <string>

#include "conversion/stages.h"
#include "store/error.h"

namespace tc {

namespace {

std::string PruneQuestion() {
  return std::string(23, ' ') + "!!! I M P O R T A N T E !!!" + std::string(25, ' ') +
         "\r\nExisten Grupos de Clase y Profesores que NO tienen Clases en esta Plantilla."
         "\r\nTanto, QUITAR como DEJAR estos Grupos y Profesores, No afectar\xE1 al Horario."
         "\r\n\xBFQuieren quitar dichos Grupos y Profesores, del Horario que se va a Importar?.";
}

// Deletes every row of `table` whose `key` has no ASIGT row with that value in `asig_field`,
// then packs the table (a failed pack leaves the rows marked as deleted, which readers skip).
void DeleteIdleRows(store::Table& table, store::Table& asig, std::string_view asig_field) {
  table.First();
  while (!table.Eof()) {
    if (asig.Locate(asig_field, table.GetText("ABREV"))) {
      table.Next();
    } else {
      table.Delete();  // the next row becomes current
    }
  }
  try {
    table.Pack();
  } catch (const TableError&) {
  }
}

}  // namespace

void PruneIdleGroupsAndTeachers(ConversionContext& ctx) {
  if (!ctx.state.OnlySelectedTemplate) return;  // every template was taken: nothing is idle

  auto asig = ctx.db.Open("ASIGT", store::OpenMode::Exclusive);
  auto teachers = ctx.db.Open("PROFT", store::OpenMode::Exclusive);
  auto groups = ctx.db.Open("GRUPOST", store::OpenMode::Exclusive);

  // The question comes at the first idle group. Without one nobody is asked, and the idle
  // teachers go all the same.
  for (groups.First(); !groups.Eof(); groups.Next()) {
    if (asig.Locate("CGRUP", groups.GetText("ABREV"))) continue;
    if (!ctx.ui.Confirm(PruneQuestion())) {
      groups.Close();
      teachers.Close();
      asig.Close();
      return;
    }
    break;
  }

  DeleteIdleRows(groups, asig, "CGRUP");
  groups.Close();
  DeleteIdleRows(teachers, asig, "CPROF");
  teachers.Close();
  asig.Close();
}

}  // namespace tc
