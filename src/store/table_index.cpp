// The table's lookup indexes (dbf_index.h): built on a key list's first Locate, kept right
// through every append and edit, passing over deleted rows until a pack, dropped when the table
// closes.
#include <cstring>
#include <optional>
#include <string>

#include "base/error.h"
#include "table_impl.h"

namespace tc::store {

using dbf::Column;
using dbf::Encoding;

// ---- Index upkeep ----------------------------------------------------------------------------

void Table::Impl::IndexAdded(std::uint32_t record, const char* row) {
  for (auto& [keys, index] : indexes) index->Add(RowHash(*index, row), record);
}

void Table::Impl::IndexChanged(std::uint32_t record, const char* before, const char* after) {
  for (auto& [keys, index] : indexes) {
    if (!KeyBytesDiffer(*index, before, after)) continue;
    index->Remove(RowHash(*index, before), record);
    index->Add(RowHash(*index, after), record);
  }
}

void Table::Impl::DropIndexes() {
  indexes.clear();
  index_by_keys.clear();
  last_keys.clear();
  last_index = nullptr;
}

// ---- Lookups ---------------------------------------------------------------------------------

bool Table::Impl::KeyBytesDiffer(const dbf::KeyIndex& index, const char* a, const char* b) const {
  for (std::size_t position : index.Columns()) {
    const Column& column = layout.columns[position];
    if (std::memcmp(a + column.offset, b + column.offset, column.width) != 0) return true;
  }
  return false;
}

std::string_view Table::Impl::KeyText(const Column& column, const char* row,
                                      std::string& scratch) const {
  if (column.encoding == Encoding::Text) {
    return dbf::TrimTail(std::string_view(row + column.offset, column.width));
  }
  scratch = dbf::TextOf(Place(), column, row);
  return scratch;
}

std::uint64_t Table::Impl::RowHash(const dbf::KeyIndex& index, const char* row) const {
  std::uint64_t hash = dbf::KeyIndex::kSeed;
  std::string scratch;
  for (std::size_t position : index.Columns()) {
    hash = dbf::KeyIndex::AddPart(hash, KeyText(layout.columns[position], row, scratch));
  }
  return hash;
}

bool Table::Impl::RowMatches(const dbf::KeyIndex& index, const char* row,
                             std::span<const std::string_view> values) const {
  std::string scratch;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (KeyText(layout.columns[index.Columns()[i]], row, scratch) != values[i]) return false;
  }
  return true;
}

dbf::KeyIndex& Table::Impl::IndexFor(std::string_view keys) {
  if (last_index && keys == last_keys) return *last_index;
  if (auto known = index_by_keys.find(keys); known != index_by_keys.end()) {
    last_keys = keys;
    last_index = known->second;
    return *last_index;
  }
  std::vector<std::size_t> positions;
  std::string signature;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = keys.find(';', start);
    std::string_view part =
        dbf::TrimBoth(keys.substr(start, end == std::string_view::npos ? end : end - start));
    const Column& column = ColumnOf(part);
    std::size_t position = static_cast<std::size_t>(&column - layout.columns.data());
    positions.push_back(position);
    signature += std::to_string(position) + ";";
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  auto& slot = indexes[signature];
  if (!slot) {
    slot = std::make_unique<dbf::KeyIndex>(positions, live);
    for (std::size_t i = 0; i < count; ++i) {
      if (IsLive(i)) slot->Add(RowHash(*slot, Record(i)), static_cast<std::uint32_t>(i));
    }
  }
  index_by_keys.emplace(std::string(keys), slot.get());
  last_keys = keys;
  last_index = slot.get();
  return *slot;
}

bool Table::Impl::Locate(std::string_view keys, std::span<const std::string_view> values,
                         bool after) {
  CheckActive();
  Settle();
  dbf::KeyIndex& index = IndexFor(keys);
  if (values.size() != index.Columns().size()) {
    throw TableError("No se puede buscar en la tabla " + name + " por " + std::string(keys) +
                     ": hay " + std::to_string(index.Columns().size()) + " campos y " +
                     std::to_string(values.size()) + " valores.");
  }
  std::uint64_t hash = dbf::KeyIndex::kSeed;
  for (std::string_view value : values) hash = dbf::KeyIndex::AddPart(hash, value);
  auto matches = [&](std::uint32_t record) {
    return IsLive(record) && RowMatches(index, Record(record), values);
  };
  std::optional<std::uint32_t> found;
  if (!after) {
    found = index.First(hash, matches);
  } else if (current >= 0) {
    found = index.First(hash, matches, static_cast<std::uint32_t>(current));
  }
  if (!found) return false;
  current = static_cast<std::ptrdiff_t>(*found);
  return true;
}

}  // namespace tc::store
