#include "support/table_rows.h"

#include "store/table.h"

namespace tc::test {

std::vector<Row> ReadRows(const std::filesystem::path& table_file) {
  auto table = store::Table::Open(table_file, store::OpenMode::Shared);
  std::vector<Row> rows;
  for (table.First(); !table.Eof(); table.Next()) {
    Row row;
    for (const auto& field : table.Fields()) row[field.name] = table.GetText(field.name);
    rows.push_back(std::move(row));
  }
  table.Close();
  return rows;
}

}  // namespace tc::test
