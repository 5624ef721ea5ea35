// The table engine's rows: the walk in file order, the pending row that Append and Edit start and
// Post writes, deleting and packing, and field access by name. The file itself is handled in
// table_file.cpp, the lookup indexes in table_index.cpp and the field encodings in
// field_values.cpp.
#include "store/table.h"

#include <atomic>
#include <cstring>
#include <limits>
#include <optional>

#include "base/error.h"
#include "platform/platform.h"
#include "table_impl.h"

namespace tc::store {

namespace fs = std::filesystem;
using dbf::Column;

// ---- Checks and messages ---------------------------------------------------------------------

void Table::Impl::RefuseField() const {
  throw TableError("El campo pedido no es de esta apertura de la tabla " + name + ".");
}

std::uint64_t Table::Impl::NextOpening() {
  static std::atomic<std::uint64_t> openings{0};
  return ++openings;
}

void Table::Impl::RefuseInactive() const {
  throw TableError("La tabla " + name + " no est\xE1 abierta.");
}

const Column& Table::Impl::ColumnNamed(std::string_view field) const {
  auto found = by_name.find(field);
  if (found != by_name.end() && !field.empty()) {
    named_columns[SlotOf(field)] = {found->first, found->second};
  }
  if (found == by_name.end()) found = by_name.find(dbf::AsciiUpper(field));
  if (found == by_name.end()) {
    throw TableError("La tabla " + name + " no tiene el campo " + std::string(field) + ".");
  }
  return layout.columns[found->second];
}

void Table::Impl::RefuseNoCurrentRow(std::string_view field) const {
  throw TableError("No se puede leer el campo " + std::string(field) + ": la tabla " + name +
                   " no tiene registro actual.");
}

void Table::Impl::RefuseNoPendingRow(const Column& column) const {
  throw TableError("No se puede cambiar el campo " + column.def.name + " de la tabla " + name +
                   ": no se est\xE1 a\xF1"
                   "adiendo ni editando ning\xFAn registro.");
}

// ---- Pending rows ----------------------------------------------------------------------------

void Table::Impl::Settle() {
  if (pending == Pending::None) return;
  if (pending_set) {
    Post();
  } else {
    Drop();
  }
}

void Table::Impl::Drop() {
  if (pending == Pending::Append) current = before_append;
  pending = Pending::None;
}

void Table::Impl::Post() {
  if (pending == Pending::None) return;
  if (pending == Pending::Append) {
    if (count >= std::numeric_limits<std::uint32_t>::max()) {
      throw TableError("La tabla " + name + " no admite m\xE1s registros.", ErrorKind::InvalidData,
                       name);
    }
    pending_row[0] = dbf::kLiveFlag;
    // Room for at least half as many rows again (the library's string may take as many again):
    // a stage that knows how many rows it may append takes its room once (Reserve).
    if (data.size() + pending_row.size() > data.capacity()) {
      data.reserve(data.size() + pending_row.size() + data.size() / 2);
    }
    data += pending_row;
    const auto record = static_cast<std::uint32_t>(count++);
    ++live;
    IndexAdded(record, pending_row.data());
    current = static_cast<std::ptrdiff_t>(record);
    changed = true;
  } else {
    char* row = Record(static_cast<std::size_t>(current));
    if (std::memcmp(row, pending_row.data(), layout.record_length) != 0) {
      IndexChanged(static_cast<std::uint32_t>(current), row, pending_row.data());
      std::memcpy(row, pending_row.data(), layout.record_length);
      changed = true;
    }
  }
  pending = Pending::None;
}

// ---------------------------------------------------------------------------------------------

namespace {

const std::string& NoName() {
  static const std::string empty;
  return empty;
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
        // An assignment cannot report; callers who care close the table before it.
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

bool Table::Active() const { return impl_ && impl_->active; }

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
[[noreturn, gnu::noinline, gnu::cold]] void RefuseClosed() {
  throw TableError("La tabla no est\xE1 abierta.");
}
[[noreturn, gnu::cold]] void RefuseNotText(const Table::Impl& t, const Column& column) {
  throw TableError("El campo " + column.def.name + " de la tabla " + t.name +
                   " no es de caracteres: no se puede leer como texto sin convertirlo.");
}
// Every field access asks first: kept small enough to be inlined, its refusals out of line.
inline Table::Impl& Require(const std::unique_ptr<Table::Impl>& impl) {
  if (!impl) [[unlikely]]
    RefuseClosed();
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
  row[0] = dbf::kDeletedFlag;
  --t.live;
  t.changed = true;
  t.current = t.NextLive(record + 1);
}

void Table::Reserve(std::size_t rows) {
  Impl& t = Require(impl_);
  t.data.reserve(t.data.size() + rows * t.layout.record_length);
}

void Table::Pack() {
  Impl& t = Require(impl_);
  // Packing closes and reopens the table: a row not posted is dropped, as on closing.
  t.pending = Impl::Pending::None;
  t.current = t.NextLive(0);
  t.RequireAlone();
  const std::size_t length = t.layout.record_length;
  std::size_t kept = 0;
  for (std::size_t i = 0; i < t.count; ++i) {
    if (!t.IsLive(i)) continue;
    if (kept != i) std::memmove(t.Record(kept), t.Record(i), length);
    ++kept;
  }
  if (kept != t.count) {
    t.data.resize(kept * length);
    t.data.shrink_to_fit();  // the room of the rows removed goes back (the image outlives it)
    t.count = kept;
    t.changed = true;
    t.DropIndexes();
  }
  t.current = t.NextLive(0);
}

bool Table::Locate(std::string_view keys, std::string_view value) {
  return Require(impl_).Locate(keys, {&value, 1});
}

bool Table::LocateNext(std::string_view keys, std::string_view value) {
  return Require(impl_).Locate(keys, {&value, 1}, true);
}

bool Table::Locate(std::string_view keys, std::initializer_list<std::string_view> values) {
  return Require(impl_).Locate(keys, {values.begin(), values.size()});
}

bool Table::Locate(std::string_view keys, std::span<const std::string> values) {
  const std::vector<std::string_view> views(values.begin(), values.end());
  return Require(impl_).Locate(keys, views);
}

// Each access is written once, for the column a name or a found field gives; `name` is the field
// as the caller named it, for the messages.
namespace {

std::string TextAt(Table::Impl& t, const Column& column, std::string_view name) {
  return dbf::TextOf(t.Place(), column, t.ReadRow(name));
}
std::string_view TextViewAt(Table::Impl& t, const Column& column, std::string_view name) {
  const char* row = t.ReadRow(name);
  if (column.encoding != dbf::Encoding::Text) RefuseNotText(t, column);
  return dbf::TrimTail(std::string_view(row + column.offset, column.width));
}
std::int32_t IntegerAt(Table::Impl& t, const Column& column, std::string_view name) {
  return dbf::IntegerOf(t.Place(), column, t.ReadRow(name));
}
double FloatAt(Table::Impl& t, const Column& column, std::string_view name) {
  const dbf::Number number = dbf::NumberOf(t.Place(), column, t.ReadRow(name));
  return number.blank ? 0.0 : number.AsDouble();
}
void StoreTextAt(Table::Impl& t, const Column& column, std::string_view value) {
  char* raw = t.WriteRow(column);
  dbf::StoreFromText(t.Place(), column, raw, value);
}
void StoreFloatAt(Table::Impl& t, const Column& column, double value) {
  dbf::RequireNumeric(t.Place(), column);
  char* raw = t.WriteRow(column);
  dbf::StoreReal(t.Place(), column, raw, value);
}

}  // namespace

Table::Field Table::FieldOf(std::string_view name) const {
  const Impl& t = Require(impl_);
  return t.FieldAt(static_cast<std::size_t>(&t.ColumnOf(name) - t.layout.columns.data()));
}

std::string Table::GetText(std::string_view field) const {
  Impl& t = Require(impl_);
  return TextAt(t, t.ColumnOf(field), field);
}
std::string Table::GetText(Field field) const {
  Impl& t = Require(impl_);
  const Column& column = t.ColumnOf(field);
  return TextAt(t, column, column.def.name);
}

std::string_view Table::GetTextView(std::string_view field) const {
  Impl& t = Require(impl_);
  return TextViewAt(t, t.ColumnOf(field), field);
}
std::string_view Table::GetTextView(Field field) const {
  Impl& t = Require(impl_);
  const Column& column = t.ColumnOf(field);
  return TextViewAt(t, column, column.def.name);
}

std::int32_t Table::GetInteger(std::string_view field) const {
  Impl& t = Require(impl_);
  return IntegerAt(t, t.ColumnOf(field), field);
}
std::int32_t Table::GetInteger(Field field) const {
  Impl& t = Require(impl_);
  const Column& column = t.ColumnOf(field);
  return IntegerAt(t, column, column.def.name);
}

double Table::GetFloat(std::string_view field) const {
  Impl& t = Require(impl_);
  return FloatAt(t, t.ColumnOf(field), field);
}
double Table::GetFloat(Field field) const {
  Impl& t = Require(impl_);
  const Column& column = t.ColumnOf(field);
  return FloatAt(t, column, column.def.name);
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
bool Table::IsBlank(Field field) const {
  Impl& t = Require(impl_);
  const Column& column = t.ColumnOf(field);
  return dbf::IsBlank(column, t.ReadRow(column.def.name));
}

void Table::SetText(std::string_view field, std::string_view value) {
  Impl& t = Require(impl_);
  StoreTextAt(t, t.ColumnOf(field), value);
}
void Table::SetText(Field field, std::string_view value) {
  Impl& t = Require(impl_);
  StoreTextAt(t, t.ColumnOf(field), value);
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
  StoreFloatAt(t, t.ColumnOf(field), value);
}
void Table::SetFloat(Field field, double value) {
  Impl& t = Require(impl_);
  StoreFloatAt(t, t.ColumnOf(field), value);
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
