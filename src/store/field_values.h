// The values of a table's fields: for each encoding of dbf_format.h, what its bytes in a record
// hold as a blank, a text, a number and a truth value, how a value is stored into them, and the
// values a field cannot give or take. Internal to the store.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "dbf_format.h"

namespace tc::store::dbf {

// The text without trailing blanks; a zero byte counts as one (some writers pad with them).
// Fields are mostly padding (a code of 8 in a field of 50): on a little-endian machine they are
// passed eight bytes at a time, the text's last bytes being the word's highest. Only a blank and
// a zero byte are zero without their bit 0x20.
inline std::string_view TrimTail(std::string_view raw) {
  std::size_t end = raw.size();
  if constexpr (std::endian::native == std::endian::little) {
    for (; end >= 8; end -= 8) {
      std::uint64_t word;
      std::memcpy(&word, raw.data() + end - 8, sizeof word);
      const std::uint64_t kept = word & 0xDFDFDFDFDFDFDFDFULL;
      if (kept != 0) {
        return raw.substr(0, end - static_cast<std::size_t>(std::countl_zero(kept) / 8));
      }
    }
  }
  while (end > 0 && (raw[end - 1] == ' ' || raw[end - 1] == '\0')) --end;
  return raw.substr(0, end);
}

inline std::string_view TrimBoth(std::string_view raw) {
  raw = TrimTail(raw);
  std::size_t begin = 0;
  while (begin < raw.size() && raw[begin] == ' ') ++begin;
  return raw.substr(begin);
}

// A number read from a field or from a text.
struct Number {
  bool blank = true;
  bool integral = false;
  std::int64_t whole = 0;
  double real = 0;
  double AsDouble() const { return integral ? static_cast<double>(whole) : real; }
};

// Parses a whole decimal text ("3", "-2.5", "  7 "); nullopt when it is not a number.
std::optional<Number> ParseNumber(std::string_view text);

// A logical field's letter: T t Y y are true, F f N n false, anything else is not a truth value.
std::optional<bool> Truth(char c);

// Where a value is read or written, for the message of a value the field refuses: the table's
// name and, when the value is read from a stored row, that row's record number (1-based).
struct FieldPlace {
  const std::string& table;
  std::size_t record = 0;  // 0: the value is being written
};

// A value the field cannot give or take. Reading, the record is named: a table with such a
// value is damaged (or not laid out as expected); writing, the value is what cannot be used.
[[noreturn]] void Refuse(const FieldPlace& place, const Column& column, const std::string& what);

// ---- Reading: `row` is the whole record, flag byte first -------------------------------------

bool IsBlank(const Column& column, const char* row);

// A numeric column's value, or a text column's value read as a number.
Number NumberOf(const FieldPlace& place, const Column& column, const char* row);

// The value as text: a character field without trailing blanks, a blank field as "", a number in
// its shortest decimal form, a logical as "T" or "F", a date as YYYYMMDD.
std::string TextOf(const FieldPlace& place, const Column& column, const char* row);

// The value as a 32-bit integer, a real number rounded; a blank reads as 0.
std::int32_t IntegerOf(const FieldPlace& place, const Column& column, const char* row);

// The value as a truth value: a logical or a text by its first letter, a number when it is not 0;
// a blank reads as false.
bool BooleanOf(const FieldPlace& place, const Column& column, const char* row);

// ---- Writing: `row` is the whole record, `raw` the field's own bytes -------------------------

// Blanks the field in a record.
void FillBlank(const Column& column, char* row);

// Integers and floating-point numbers go only into numeric fields.
void RequireNumeric(const FieldPlace& place, const Column& column);
// Truth values go only into logical and text fields.
void RequireLogical(const FieldPlace& place, const Column& column);

void StoreInteger(const FieldPlace& place, const Column& column, char* raw, std::int64_t value);
void StoreReal(const FieldPlace& place, const Column& column, char* raw, double value);
// A text is cut to the field's width and padded with blanks.
void StoreText(const Column& column, char* raw, std::string_view text);
// A truth value into a field RequireLogical accepts.
void StoreBoolean(const Column& column, char* raw, bool value);
// A value given as text, read as the field's type wants it; "" blanks the field.
void StoreFromText(const FieldPlace& place, const Column& column, char* raw,
                   std::string_view value);

}  // namespace tc::store::dbf
