// Working tables written and read back as one "a|b|c" line per row, for the tests of the stages
// that change tables earlier stages wrote.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "store/staged_tables.h"

namespace tc::test {

using Lines = std::vector<std::string>;

inline store::FieldType TypeOf(const store::Schema& fields, const std::string& name) {
  for (const auto& field : fields) {
    if (field.name == name) return field.type;
  }
  return store::FieldType::Character;
}

// Stages `def` with a row per entry after the first, which names the fields set.
inline void FillTable(store::StagedTables& tables, const store::TableDef& def,
                      const std::vector<Lines>& rows) {
  auto table = tables.Create(def);
  for (std::size_t r = 1; r < rows.size(); ++r) {
    table.Append();
    for (std::size_t f = 0; f < rows[0].size(); ++f) {
      const auto type = TypeOf(def.fields, rows[0][f]);
      if (type == store::FieldType::Float) table.SetFloat(rows[0][f], std::stod(rows[r][f]));
      if (type == store::FieldType::Character) table.SetText(rows[0][f], rows[r][f]);
    }
    table.Post();
  }
  table.Close();
}

// The live rows of a table as their values of `fields` joined by "|" (numbers as %g).
inline Lines Dump(store::StagedTables& tables, std::string_view name, const Lines& fields) {
  auto table = tables.Open(name, store::OpenMode::Shared);
  Lines rows;
  for (table.First(); !table.Eof(); table.Next()) {
    std::string row;
    for (const auto& field : fields) {
      if (&field != &fields[0]) row += '|';
      char number[32] = "";
      if (TypeOf(table.Fields(), field) == store::FieldType::Character) {
        row += table.GetText(field);
      } else if (!table.IsBlank(field)) {
        std::snprintf(number, sizeof number, "%g", table.GetFloat(field));
        row += number;
      }
    }
    rows.push_back(row);
  }
  table.Close();
  return rows;
}

}  // namespace tc::test
