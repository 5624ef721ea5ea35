// The seven working tables that the conversion rebuilds, each with its fields in order, and the
// name of Clepsa's result table. The one place where these layouts are written down.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "store/table.h"

namespace tc::store {

struct TableDef {
  std::string name;  // base name, upper case: "PROFT"
  Schema fields;
};

const TableDef& AsignomtTable();    // subjects and tasks
const TableDef& ProftTable();       // teachers
const TableDef& AulatTable();       // rooms
const TableDef& CursostTable();     // courses
const TableDef& GrupostTable();     // class groups
const TableDef& AsigtTable();       // lessons and duties to timetable
const TableDef& DiashorastTable();  // day and hour slots

// The seven, in the order a conversion rebuilds them.
const std::vector<const TableDef*>& WorkingTables();

inline constexpr std::string_view kSolucTable = "SOLUC";  // Clepsa's computed timetable

}  // namespace tc::store
