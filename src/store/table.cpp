// The table engine: a whole table file held in memory while the table is open, read in one go
// when it is opened and written in one go (atomically) when it is closed after a change.
#include "store/table.h"

#include <cstring>
#include <limits>
#include <optional>
#include <unordered_map>

#include "base/error.h"
#include "dbf_format.h"
#include "dbf_index.h"
#include "field_values.h"
#include "platform/platform.h"

namespace tc::store {

namespace fs = std::filesystem;
using dbf::Column;
using dbf::Encoding;

namespace {

struct NameHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const {
    return std::hash<std::string_view>{}(text);
  }
};

TableError InUse(const std::string& name) {
  return TableError("La tabla " + name + " est\xE1 en uso por otro programa.", ErrorKind::InUse,
                    name);
}

}  // namespace

class Table::Impl {
 public:
  enum class Pending { None, Append, Edit };

  fs::path path;
  platform::FileSystem* files = &platform::RealFileSystem();
  std::string name;
  OpenMode mode = OpenMode::Shared;
  std::optional<platform::FileLock> lock;
  bool active = false;
  bool changed = false;
  ImageKeeper keeper;  // takes the image on closing, when the table came from a Database's stage

  dbf::Layout layout;
  Schema schema;
  std::unordered_map<std::string, std::size_t, NameHash, std::equal_to<>> by_name;
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

  // ---- Loading and saving --------------------------------------------------------------------

  // Takes the file's bytes over: the records stay in the buffer they were read into.
  void Load(std::string bytes) {
    layout = dbf::ReadLayout(bytes, path);
    header.assign(bytes, 0, layout.header_length);
    data = std::move(bytes);
    data.erase(0, layout.header_length);
    data.resize(layout.records * layout.record_length);
    Ready();
  }

  // Takes over an image of the table our own engine wrote and kept.
  void Load(TableImage image) {
    layout = dbf::ReadLayout(image.header, path);
    header = std::move(image.header);
    data = std::move(image.records);
    layout.records = layout.record_length == 0 ? 0 : data.size() / layout.record_length;
    Ready();
  }

  void Ready() {
    count = layout.records;
    live = 0;
    for (std::size_t i = 0; i < count; ++i) live += IsLive(i) ? 1 : 0;
    schema.clear();
    by_name.clear();
    for (std::size_t i = 0; i < layout.columns.size(); ++i) {
      schema.push_back(layout.columns[i].def);
      by_name.emplace(dbf::AsciiUpper(layout.columns[i].def.name), i);  // the first one wins
    }
    blank_record.assign(layout.record_length, ' ');
    for (const Column& column : layout.columns) dbf::FillBlank(column, blank_record.data());
    active = true;
    changed = false;
    pending = Pending::None;
    current = NextLive(0);
  }

  void Save() {
    dbf::StampHeader(header, count, dbf::Today());
    static constexpr char kEnd[] = {static_cast<char>(dbf::kEndOfFile)};
#ifdef _WIN32
    // Windows will not simply replace a file that is open; the lock goes first there. (Another
    // table of this program holding the file does not stop the save; another program does.)
    lock.reset();
#endif
    try {
      platform::WriteFileAtomically(*files, path, {header, data, std::string_view(kEnd, 1)});
    } catch (const Error& error) {
      if (error.kind() == ErrorKind::InUse) throw InUse(name);
      throw TableError("No se puede guardar la tabla " + name + ". " + error.what(), error.kind(),
                       name);
    }
  }

  void Close() {
    if (!active) return;
    pending = Pending::None;
    active = false;
    std::optional<TableError> failure;
    const bool saved = changed;
    if (changed) {
      try {
        Save();
      } catch (const TableError& error) {
        failure = error;
      }
    }
    lock.reset();
    if (keeper && !failure) {
      keeper(TableImage{std::move(header), std::move(data)}, saved);
    }
    keeper = nullptr;
    std::string().swap(data);
    indexes.clear();
    index_by_keys.clear();
    current = -1;
    changed = false;
    if (failure) throw *failure;
  }

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

  // ---- Checks and messages -------------------------------------------------------------------

  void CheckActive() const {
    if (!active) throw TableError("La tabla " + name + " no est\xE1 abierta.");
  }

  const Column& ColumnOf(std::string_view field) const {
    auto found = by_name.find(field);
    if (found == by_name.end()) found = by_name.find(dbf::AsciiUpper(field));
    if (found == by_name.end()) {
      throw TableError("La tabla " + name + " no tiene el campo " + std::string(field) + ".");
    }
    return layout.columns[found->second];
  }

  // The row that field reads see: the pending one, else the current one.
  const char* ReadRow(std::string_view field) const {
    CheckActive();
    if (pending != Pending::None) return pending_row.data();
    if (current < 0) {
      throw TableError("No se puede leer el campo " + std::string(field) + ": la tabla " + name +
                       " no tiene registro actual.");
    }
    return Record(static_cast<std::size_t>(current));
  }

  char* WriteRow(const Column& column) {
    CheckActive();
    if (pending == Pending::None) {
      throw TableError("No se puede cambiar el campo " + column.def.name + " de la tabla " + name +
                       ": no se est\xE1 a\xF1"
                       "adiendo ni editando ning\xFAn registro.");
    }
    pending_set = true;
    return pending_row.data() + column.offset;
  }

  // Where field values are read and written now, for the messages of the values a field
  // refuses: a stored row is named by its record number, a row being written is not.
  dbf::FieldPlace Place() const {
    const bool stored = pending == Pending::None && current >= 0;
    return {name, stored ? static_cast<std::size_t>(current) + 1 : 0};
  }


  // ---- Pending rows --------------------------------------------------------------------------

  // What positioning does first: a pending row is written when a field was set, else dropped.
  void Settle() {
    if (pending == Pending::None) return;
    if (pending_set) {
      Post();
    } else {
      Drop();
    }
  }

  void Drop() {
    if (pending == Pending::Append) current = before_append;
    pending = Pending::None;
  }

  void Post() {
    if (pending == Pending::None) return;
    if (pending == Pending::Append) {
      if (count >= std::numeric_limits<std::uint32_t>::max()) {
        throw TableError("La tabla " + name + " no admite m\xE1s registros.", ErrorKind::InvalidData,
                         name);
      }
      pending_row[0] = dbf::kLiveFlag;
      data += pending_row;
      const auto record = static_cast<std::uint32_t>(count++);
      ++live;
      for (auto& [keys, index] : indexes) index->Add(RowHash(*index, pending_row.data()), record);
      current = static_cast<std::ptrdiff_t>(record);
      changed = true;
    } else {
      char* row = Record(static_cast<std::size_t>(current));
      if (std::memcmp(row, pending_row.data(), layout.record_length) != 0) {
        const auto record = static_cast<std::uint32_t>(current);
        for (auto& [keys, index] : indexes) {
          if (!KeyBytesDiffer(*index, row, pending_row.data())) continue;
          index->Remove(RowHash(*index, row), record);
          index->Add(RowHash(*index, pending_row.data()), record);
        }
        std::memcpy(row, pending_row.data(), layout.record_length);
        changed = true;
      }
    }
    pending = Pending::None;
  }

  // ---- Lookups -------------------------------------------------------------------------------

  // Whether any key field of the index holds other bytes in the two rows.
  bool KeyBytesDiffer(const dbf::KeyIndex& index, const char* a, const char* b) const {
    for (std::size_t position : index.Columns()) {
      const Column& column = layout.columns[position];
      if (std::memcmp(a + column.offset, b + column.offset, column.width) != 0) return true;
    }
    return false;
  }

  // The text of a key field in a row, as Locate compares it: stored text without its trailing
  // blanks, or a number's text.
  std::string_view KeyText(const Column& column, const char* row, std::string& scratch) const {
    if (column.encoding == Encoding::Text) {
      return dbf::TrimTail(std::string_view(row + column.offset, column.width));
    }
    scratch = dbf::TextOf(Place(), column, row);
    return scratch;
  }

  std::uint64_t RowHash(const dbf::KeyIndex& index, const char* row) const {
    std::uint64_t hash = dbf::KeyIndex::kSeed;
    std::string scratch;
    for (std::size_t position : index.Columns()) {
      hash = dbf::KeyIndex::AddPart(hash, KeyText(layout.columns[position], row, scratch));
    }
    return hash;
  }

  bool RowMatches(const dbf::KeyIndex& index, const char* row,
                  const std::vector<std::string_view>& values) const {
    std::string scratch;
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (KeyText(layout.columns[index.Columns()[i]], row, scratch) != values[i]) return false;
    }
    return true;
  }

  // The index for a key list such as "HORA;MARCO", built on first use.
  dbf::KeyIndex& IndexFor(std::string_view keys) {
    if (auto known = index_by_keys.find(keys); known != index_by_keys.end()) return *known->second;
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
      slot = std::make_unique<dbf::KeyIndex>(positions);
      for (std::size_t i = 0; i < count; ++i) {
        if (IsLive(i)) slot->Add(RowHash(*slot, Record(i)), static_cast<std::uint32_t>(i));
      }
    }
    index_by_keys.emplace(std::string(keys), slot.get());
    return *slot;
  }

  // The first matching row, or with `after` the first one past the current row.
  bool Locate(std::string_view keys, const std::vector<std::string_view>& values,
              bool after = false) {
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
    auto matches = [&](std::uint32_t record) { return RowMatches(index, Record(record), values); };
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
};

// ---------------------------------------------------------------------------------------------

namespace {

const std::string& NoName() {
  static const std::string empty;
  return empty;
}

platform::FileLock Lock(platform::FileSystem& files, const fs::path& path, const std::string& name,
                        bool exclusive) {
  try {
    auto lock = files.TryLock(path, exclusive);
    if (!lock) throw InUse(name);
    return std::move(*lock);
  } catch (const TableError&) {
    throw;
  } catch (const Error& error) {
    throw TableError("No se puede abrir la tabla " + name + ". " + error.what(), error.kind(),
                     name);
  }
}

}  // namespace

Table::Table() = default;
Table::Table(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Table::Table(Table&&) noexcept = default;

Table& Table::operator=(Table&& other) noexcept {
  if (this != &other) {
    if (impl_) {
      try {
        impl_->Close();
      } catch (...) {
      }
    }
    impl_ = std::move(other.impl_);
  }
  return *this;
}

Table::~Table() {
  if (!impl_) return;
  try {
    impl_->Close();
  } catch (...) {
    // A destructor cannot report; callers who care close the table themselves.
  }
}

Table Table::Create(const std::filesystem::path& path, const Schema& fields, ImageKeeper keeper,
                    platform::FileSystem& files) {
  auto impl = std::make_unique<Impl>();
  impl->keeper = std::move(keeper);
  impl->path = path;
  impl->files = &files;
  impl->name = dbf::TableNameFromPath(path);
  const fs::path dir = path.parent_path();
  if (!dir.empty() && !files.IsFolder(dir)) {
    throw TableError("No se puede crear la tabla " + impl->name + ": no existe la carpeta " +
                         platform::PathText(dir) + ".",
                     ErrorKind::InputMissing, impl->name);
  }
  // Another program holding the old file keeps it: the table cannot be replaced.
  if (files.IsFile(path)) Lock(files, path, impl->name, true);

  const std::string header = dbf::NewLevel7Header(fields, path, dbf::Today());
  std::string bytes = header + static_cast<char>(dbf::kEndOfFile);
  try {
    platform::WriteFileAtomically(files, path, bytes);
  } catch (const Error& failure) {
    if (failure.kind() == ErrorKind::InUse) throw InUse(impl->name);
    throw TableError("No se puede crear la tabla " + impl->name + ". " + failure.what(),
                     failure.kind(), impl->name);
  }
  impl->mode = OpenMode::Shared;
  impl->lock = Lock(files, path, impl->name, false);
  impl->Load(std::move(bytes));
  return Table(std::move(impl));
}

Table Table::Open(const std::filesystem::path& path, OpenMode mode, platform::FileSystem& files) {
  return Open(path, mode, {}, std::nullopt, files);
}

Table Table::Open(const std::filesystem::path& path, OpenMode mode, ImageKeeper keeper,
                  std::optional<TableImage> image, platform::FileSystem& files) {
  auto impl = std::make_unique<Impl>();
  impl->keeper = std::move(keeper);
  impl->path = path;
  impl->files = &files;
  impl->name = dbf::TableNameFromPath(path);
  impl->mode = mode;
  if (!files.IsFile(path)) {
    throw TableError("No se encuentra la tabla " + impl->name + ": no existe el archivo " +
                         platform::PathText(path) + ".",
                     ErrorKind::TableMissing, impl->name);
  }
  impl->lock = Lock(files, path, impl->name, mode == OpenMode::Exclusive);
  if (image) {
    impl->Load(std::move(*image));
    return Table(std::move(impl));
  }
  std::string bytes;
  try {
    bytes = files.ReadFile(path);
  } catch (const Error& failure) {
    throw TableError("No se puede abrir la tabla " + impl->name + ". " + failure.what(),
                     failure.kind(), impl->name);
  }
  impl->Load(std::move(bytes));
  return Table(std::move(impl));
}

bool Table::Active() const { return impl_ && impl_->active; }

void Table::Close() {
  if (impl_) impl_->Close();
}

const std::string& Table::Name() const { return impl_ ? impl_->name : NoName(); }

const std::filesystem::path& Table::Path() const {
  static const fs::path none;
  return impl_ ? impl_->path : none;
}

const Schema& Table::Fields() const {
  static const Schema none;
  return impl_ ? impl_->schema : none;
}

bool Table::HasField(std::string_view field) const {
  if (!impl_) return false;
  return impl_->by_name.count(dbf::AsciiUpper(field)) > 0;
}

namespace {
Table::Impl& Require(const std::unique_ptr<Table::Impl>& impl) {
  if (!impl) throw TableError("La tabla no est\xE1 abierta.");
  impl->CheckActive();
  return *impl;
}
}  // namespace

void Table::First() {
  Impl& t = Require(impl_);
  t.Settle();
  t.current = t.NextLive(0);
}

void Table::Next() {
  Impl& t = Require(impl_);
  t.Settle();
  if (t.current >= 0) t.current = t.NextLive(static_cast<std::size_t>(t.current) + 1);
}

bool Table::Eof() const {
  if (!impl_ || !impl_->active) return true;
  return impl_->current < 0 && impl_->pending != Impl::Pending::Append;
}

int Table::RecNo() const {
  if (!impl_ || !impl_->active) return 0;
  if (impl_->pending == Impl::Pending::Append) return static_cast<int>(impl_->count + 1);
  return impl_->current < 0 ? 0 : static_cast<int>(impl_->current + 1);
}

int Table::RecordCount() const {
  if (!impl_ || !impl_->active) return 0;
  return static_cast<int>(impl_->live);
}

void Table::RequireComplete() const {
  const Impl& t = Require(impl_);
  if (t.layout.declared_records <= t.layout.records) return;
  throw TableError("La tabla " + t.name + " (" + platform::PathText(t.path) +
                       ") est\xE1 incompleta: su cabecera anuncia " +
                       std::to_string(t.layout.declared_records) +
                       " registros y el archivo solo contiene " +
                       std::to_string(t.layout.records) + ".",
                   ErrorKind::TableDamaged, t.name);
}

void Table::Append() {
  Impl& t = Require(impl_);
  t.Settle();
  t.before_append = t.current;
  t.pending = Impl::Pending::Append;
  t.pending_row = t.blank_record;
  t.pending_set = false;
}

void Table::Edit() {
  Impl& t = Require(impl_);
  if (t.pending != Impl::Pending::None) return;  // already changing a row
  if (t.current < 0)
    throw TableError("No se puede editar: la tabla " + t.name + " no tiene registro actual.");
  t.pending = Impl::Pending::Edit;
  t.pending_row.assign(t.Record(static_cast<std::size_t>(t.current)), t.layout.record_length);
  t.pending_set = false;
}

void Table::Post() { Require(impl_).Post(); }

void Table::Delete() {
  Impl& t = Require(impl_);
  if (t.pending == Impl::Pending::Append) {  // deleting a row not yet written drops it
    t.Drop();
    return;
  }
  t.pending = Impl::Pending::None;
  if (t.current < 0)
    throw TableError("No se puede borrar: la tabla " + t.name + " no tiene registro actual.");
  const auto record = static_cast<std::size_t>(t.current);
  char* row = t.Record(record);
  for (auto& [keys, index] : t.indexes) {
    index->Remove(t.RowHash(*index, row), static_cast<std::uint32_t>(record));
  }
  row[0] = dbf::kDeletedFlag;
  --t.live;
  t.changed = true;
  t.current = t.NextLive(record + 1);
}

void Table::Pack() {
  Impl& t = Require(impl_);
  // Packing closes and reopens the table: a row not posted is dropped, as on closing.
  t.pending = Impl::Pending::None;
  t.current = t.NextLive(0);
  if (t.mode == OpenMode::Shared) {
    // The table is reopened exclusively for the operation, which another holder prevents; the
    // deleted rows then stay in the file, skipped as before.
    t.lock.reset();
    bool alone = false;
    try {
      alone = t.files->TryLock(t.path, true).has_value();
    } catch (const Error&) {
    }
    try {
      t.lock = t.files->TryLock(t.path, false);
    } catch (const Error&) {
    }
    if (!alone) throw InUse(t.name);
  }
  const std::size_t length = t.layout.record_length;
  std::size_t kept = 0;
  for (std::size_t i = 0; i < t.count; ++i) {
    if (!t.IsLive(i)) continue;
    if (kept != i) std::memmove(t.Record(kept), t.Record(i), length);
    ++kept;
  }
  if (kept != t.count) {
    t.data.resize(kept * length);
    t.count = kept;
    t.changed = true;
    t.indexes.clear();
    t.index_by_keys.clear();
  }
  t.current = t.NextLive(0);
}

bool Table::Locate(std::string_view keys, std::string_view value) {
  return Require(impl_).Locate(keys, {value});
}

bool Table::LocateNext(std::string_view keys, std::string_view value) {
  return Require(impl_).Locate(keys, {value}, true);
}

bool Table::Locate(std::string_view keys, std::initializer_list<std::string_view> values) {
  return Require(impl_).Locate(keys, std::vector<std::string_view>(values));
}

bool Table::Locate(std::string_view keys, std::span<const std::string> values) {
  return Require(impl_).Locate(keys, std::vector<std::string_view>(values.begin(), values.end()));
}

std::string Table::GetText(std::string_view field) const {
  Impl& t = Require(impl_);
  const Column& column = t.ColumnOf(field);
  const char* row = t.ReadRow(field);
  return dbf::TextOf(t.Place(), column, row);
}

std::int32_t Table::GetInteger(std::string_view field) const {
  Impl& t = Require(impl_);
  const Column& column = t.ColumnOf(field);
  const char* row = t.ReadRow(field);
  return dbf::IntegerOf(t.Place(), column, row);
}

double Table::GetFloat(std::string_view field) const {
  Impl& t = Require(impl_);
  const Column& column = t.ColumnOf(field);
  const char* row = t.ReadRow(field);
  dbf::Number number = dbf::NumberOf(t.Place(), column, row);
  return number.blank ? 0.0 : number.AsDouble();
}

bool Table::GetBoolean(std::string_view field) const {
  Impl& t = Require(impl_);
  const Column& column = t.ColumnOf(field);
  const char* row = t.ReadRow(field);
  return dbf::BooleanOf(t.Place(), column, row);
}

bool Table::IsBlank(std::string_view field) const {
  Impl& t = Require(impl_);
  const Column& column = t.ColumnOf(field);
  return dbf::IsBlank(column, t.ReadRow(field));
}

void Table::SetText(std::string_view field, std::string_view value) {
  Impl& t = Require(impl_);
  const Column& column = t.ColumnOf(field);
  char* raw = t.WriteRow(column);
  dbf::StoreFromText(t.Place(), column, raw, value);
}

void Table::SetInteger(std::string_view field, std::int32_t value) {
  Impl& t = Require(impl_);
  const Column& column = t.ColumnOf(field);
  dbf::RequireNumeric(t.Place(), column);
  char* raw = t.WriteRow(column);
  dbf::StoreInteger(t.Place(), column, raw, value);
}

void Table::SetFloat(std::string_view field, double value) {
  Impl& t = Require(impl_);
  const Column& column = t.ColumnOf(field);
  dbf::RequireNumeric(t.Place(), column);
  char* raw = t.WriteRow(column);
  dbf::StoreReal(t.Place(), column, raw, value);
}

void Table::SetBoolean(std::string_view field, bool value) {
  Impl& t = Require(impl_);
  const Column& column = t.ColumnOf(field);
  dbf::RequireLogical(t.Place(), column);
  dbf::StoreBoolean(column, t.WriteRow(column), value);
}

void Table::Clear(std::string_view field) {
  Impl& t = Require(impl_);
  const Column& column = t.ColumnOf(field);
  char* raw = t.WriteRow(column);
  dbf::FillBlank(column, raw - column.offset);
}

}  // namespace tc::store
