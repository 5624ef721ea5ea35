// What an open Table holds: the whole table file in memory, the current and the pending row, and
// the lookup indexes. Its work is shared out by concern:
//   table_file.cpp    loading, saving and locking the file
//   table.cpp         the pending-row state machine (Append, Edit, Post) and the walk
//   table_index.cpp   the lookup indexes: kept right through every change, and Locate
//   field_values.cpp  what each field type's bytes hold (field_values.h)
// Internal to the store.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/text_hash.h"
#include "dbf_format.h"
#include "dbf_index.h"
#include "field_values.h"
#include "platform/file_system.h"
#include "store/table.h"

namespace tc::store {

class Table::Impl {
 public:
  enum class Pending { None, Append, Edit };

  using NameHash = TextHasher;

  std::filesystem::path path;
  platform::FileSystem* files = &platform::RealFileSystem();
  std::string name;
  OpenMode mode = OpenMode::Shared;
  std::optional<platform::FileLock> lock;
  bool active = false;
  bool changed = false;
  const std::uint64_t opening = NextOpening();  // what a Field found in this opening carries
  ImageKeeper keeper;  // takes the image on closing, when the table is one StagedTables holds

  dbf::Layout layout;
  Schema schema;
  std::unordered_map<std::string, std::size_t, NameHash, std::equal_to<>> by_name;
  // The fields last asked for by their exact names, a slot each by length and first and last
  // letters: a stage reads and writes a few fields of every row, and a slot compared is cheaper
  // than a name hashed. Each holds a key of by_name (its node outlives the slot) and its column.
  struct NamedColumn {
    std::string_view name;
    std::size_t column = 0;
  };
  mutable std::array<NamedColumn, 64> named_columns{};
  std::string header;        // the file's header bytes, kept as they were read
  std::string data;          // every record, deleted ones included, record_length bytes each
  std::size_t count = 0;     // records in data
  std::size_t live = 0;      // records not deleted
  std::string blank_record;  // a new row: every field blank

  std::ptrdiff_t current = -1;  // record index of the current row; -1 when there is none
  Pending pending = Pending::None;
  std::string pending_row;
  bool pending_set = false;           // a field of the pending row was set
  std::ptrdiff_t before_append = -1;  // the current row when Append began

  // Lookup indexes by key set (column positions joined), and by the key text callers give.
  std::unordered_map<std::string, std::unique_ptr<dbf::KeyIndex>> indexes;
  std::unordered_map<std::string, dbf::KeyIndex*, NameHash, std::equal_to<>> index_by_keys;
  // The key list of the last lookup and its index: a stage's lookups mostly repeat one list,
  // which is then compared rather than hashed again.
  std::string last_keys;
  dbf::KeyIndex* last_index = nullptr;

  // ---- Loading and saving (table_file.cpp) ---------------------------------------------------

  // Takes the file's bytes over: the records stay in the buffer they were read into.
  void Load(std::string bytes);
  // Takes over an image of the table our own engine wrote and kept.
  void Load(TableImage image);
  void Ready();
  void Save();
  void Close();
  // Packing needs the table to itself: a table opened shared is reopened exclusively, or the
  // operation is refused (TableError, InUse).
  void RequireAlone();

  // ---- Records -------------------------------------------------------------------------------

  char* Record(std::size_t index) { return data.data() + index * layout.record_length; }
  const char* Record(std::size_t index) const { return data.data() + index * layout.record_length; }
  bool IsLive(std::size_t index) const { return Record(index)[0] != dbf::kDeletedFlag; }

  std::ptrdiff_t NextLive(std::size_t from) const {
    for (std::size_t i = from; i < count; ++i) {
      if (IsLive(i)) return static_cast<std::ptrdiff_t>(i);
    }
    return -1;
  }

  // ---- Checks and messages (table.cpp) -------------------------------------------------------

  // These four run on every field read and written (millions in a conversion): the usual case
  // is inline here, what fails or is asked for the first time out of line.
  void CheckActive() const {
    if (!active) RefuseInactive();
  }
  const dbf::Column& ColumnOf(std::string_view field) const {
    // The slot of a field asked for before holds its name: compared, not hashed.
    if (!field.empty()) {  // an empty name has no slot (it would match an empty one)
      const NamedColumn& slot = named_columns[SlotOf(field)];
      if (slot.name.size() == field.size() &&
          std::memcmp(slot.name.data(), field.data(), field.size()) == 0) {
        return layout.columns[slot.column];
      }
    }
    return ColumnNamed(field);
  }
  // A field found before, in this opening of the table or refused.
  const dbf::Column& ColumnOf(Field field) const {
    if (field.opening_ != opening || field.column_ >= layout.columns.size()) RefuseField();
    return layout.columns[field.column_];
  }
  Field FieldAt(std::size_t column) const {
    Field field;
    field.opening_ = opening;
    field.column_ = column;
    return field;
  }
  // The row that field reads see: the pending one, else the current one.
  const char* ReadRow(std::string_view field) const {
    CheckActive();
    if (pending != Pending::None) return pending_row.data();
    if (current < 0) RefuseNoCurrentRow(field);
    return Record(static_cast<std::size_t>(current));
  }
  char* WriteRow(const dbf::Column& column) {
    CheckActive();
    if (pending == Pending::None) RefuseNoPendingRow(column);
    pending_set = true;
    return pending_row.data() + column.offset;
  }
  static std::size_t SlotOf(std::string_view field) {
    const auto first = static_cast<unsigned char>(field.front());
    const auto last = static_cast<unsigned char>(field.back());
    return (field.size() * 7 + first * 3 + last) % std::tuple_size_v<decltype(named_columns)>;
  }
  // ColumnOf for a name not in its slot: found by name (whatever its letter case), filed in the
  // slot when given exactly, or refused.
  const dbf::Column& ColumnNamed(std::string_view field) const;
  [[noreturn, gnu::cold]] void RefuseInactive() const;
  [[noreturn, gnu::cold]] void RefuseField() const;
  static std::uint64_t NextOpening();
  [[noreturn]] void RefuseNoCurrentRow(std::string_view field) const;
  [[noreturn]] void RefuseNoPendingRow(const dbf::Column& column) const;

  // Where field values are read and written now, for the messages of the values a field
  // refuses: a stored row is named by its record number, a row being written is not.
  dbf::FieldPlace Place() const {
    const bool stored = pending == Pending::None && current >= 0;
    return {name, stored ? static_cast<std::size_t>(current) + 1 : 0};
  }

  // ---- Pending rows (table.cpp) --------------------------------------------------------------

  // What positioning does first: a pending row is written when a field was set, else dropped.
  void Settle();
  void Drop();
  void Post();

  // ---- Lookups (table_index.cpp) -------------------------------------------------------------

  // Index upkeep: every row added or changed goes through one of these. A deleted row stays
  // filed, passed over by every lookup, until a pack drops the indexes: a stage deleting
  // thousands of rows before its pack does not unfile each of them.
  void IndexAdded(std::uint32_t record, const char* row);
  void IndexChanged(std::uint32_t record, const char* before, const char* after);
  void DropIndexes();

  // Whether any key field of the index holds other bytes in the two rows.
  bool KeyBytesDiffer(const dbf::KeyIndex& index, const char* a, const char* b) const;
  // The text of a key field in a row, as Locate compares it: stored text without its trailing
  // blanks, or a number's text.
  std::string_view KeyText(const dbf::Column& column, const char* row, std::string& scratch) const;
  std::uint64_t RowHash(const dbf::KeyIndex& index, const char* row) const;
  bool RowMatches(const dbf::KeyIndex& index, const char* row,
                  std::span<const std::string_view> values) const;
  // The index for a key list such as "HORA;MARCO", built on first use.
  dbf::KeyIndex& IndexFor(std::string_view keys);
  // The first matching row, or with `after` the first one past the current row.
  bool Locate(std::string_view keys, std::span<const std::string_view> values,
              bool after = false);
};

}  // namespace tc::store
