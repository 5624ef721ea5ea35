// The field values of the table engine: what each encoding's bytes mean, read and written.
#include "field_values.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "base/error.h"

namespace tc::store::dbf {

namespace {

bool AllBytes(std::string_view raw, char a, char b) {
  for (char c : raw) {
    if (c != a && c != b) return false;
  }
  return true;
}

void StoreNumericText(const FieldPlace& place, const Column& column, char* raw,
                      const std::string& text, const std::string& shown) {
  if (text.size() > column.width) Refuse(place, column, "no tiene sitio para el valor " + shown);
  std::memset(raw, ' ', column.width - text.size());
  std::memcpy(raw + column.width - text.size(), text.data(), text.size());
}

}  // namespace

std::optional<Number> ParseNumber(std::string_view text) {
  text = TrimBoth(text);
  Number number;
  if (text.empty()) return number;
  if (text.front() == '+') text.remove_prefix(1);
  const char* end = text.data() + text.size();
  std::int64_t whole = 0;
  auto integer = std::from_chars(text.data(), end, whole);
  if (integer.ec == std::errc() && integer.ptr == end) {
    number.blank = false;
    number.integral = true;
    number.whole = whole;
    return number;
  }
  double real = 0;
  auto floating = std::from_chars(text.data(), end, real, std::chars_format::general);
  if (floating.ec == std::errc() && floating.ptr == end) {
    number.blank = false;
    number.real = real;
    return number;
  }
  return std::nullopt;
}

std::optional<bool> Truth(char c) {
  switch (c) {
    case 'T':
    case 't':
    case 'Y':
    case 'y':
      return true;
    case 'F':
    case 'f':
    case 'N':
    case 'n':
      return false;
    default:
      return std::nullopt;
  }
}

void Refuse(const FieldPlace& place, const Column& column, const std::string& what) {
  if (place.record > 0) {
    throw TableError("El campo " + column.def.name + " del registro " +
                         std::to_string(place.record) + " de la tabla " + place.table + " " +
                         what + ".",
                     ErrorKind::TableDamaged, place.table);
  }
  throw TableError("El campo " + column.def.name + " de la tabla " + place.table + " " + what + ".",
                   ErrorKind::InvalidData, place.table);
}

// ---- Reading ---------------------------------------------------------------------------------

bool IsBlank(const Column& column, const char* row) {
  std::string_view raw(row + column.offset, column.width);
  switch (column.encoding) {
    case Encoding::Text:
    case Encoding::Numeric:
    case Encoding::Date:
      return AllBytes(raw, ' ', '\0');
    case Encoding::Logical:
      return raw.empty() || raw[0] == ' ' || raw[0] == '?' || raw[0] == '\0';
    case Encoding::Long7:
    case Encoding::Double7:
      return AllBytes(raw, '\0', '\0');
    case Encoding::FoxInteger:
    case Encoding::FoxDouble:
    case Encoding::FoxCurrency:
      return false;  // Visual FoxPro keeps nulls elsewhere
    case Encoding::Skipped:
      return AllBytes(raw, ' ', '\0');
  }
  return true;
}

Number NumberOf(const FieldPlace& place, const Column& column, const char* row) {
  const char* raw = row + column.offset;
  Number number;
  if (IsBlank(column, row)) return number;
  number.blank = false;
  switch (column.encoding) {
    case Encoding::Long7:
      number.integral = true;
      number.whole = DecodeLong7(raw);
      return number;
    case Encoding::FoxInteger:
      number.integral = true;
      number.whole = DecodeFoxInteger(raw);
      return number;
    case Encoding::Double7:
      number.real = DecodeDouble7(raw);
      return number;
    case Encoding::FoxDouble:
      number.real = DecodeFoxDouble(raw);
      return number;
    case Encoding::FoxCurrency:
      number.real = DecodeFoxCurrency(raw) / kCurrencyScale;
      return number;
    case Encoding::Numeric:
    case Encoding::Text: {
      std::string_view text(raw, column.width);
      if (auto parsed = ParseNumber(text)) return *parsed;
      Refuse(place, column, "no contiene un n\xFAmero: \"" + std::string(TrimBoth(text)) + "\"");
    }
    case Encoding::Logical:
    case Encoding::Date:
    case Encoding::Skipped:
      break;
  }
  Refuse(place, column, "no es num\xE9rico");
}

std::string TextOf(const FieldPlace& place, const Column& column, const char* row) {
  const char* raw = row + column.offset;
  std::string_view bytes(raw, column.width);
  switch (column.encoding) {
    case Encoding::Text:
      return std::string(TrimTail(bytes));
    case Encoding::Date:
      return std::string(TrimBoth(bytes));
    case Encoding::Logical: {
      if (IsBlank(column, row)) return {};
      auto truth = Truth(raw[0]);
      return truth ? (*truth ? "T" : "F") : std::string();
    }
    case Encoding::Numeric: {
      auto parsed = ParseNumber(bytes);
      if (!parsed) return std::string(TrimBoth(bytes));  // e.g. the stars of an overflow
      if (parsed->blank) return {};
      return parsed->integral ? std::to_string(parsed->whole) : FormatNumber(parsed->real);
    }
    case Encoding::Long7:
    case Encoding::FoxInteger:
    case Encoding::Double7:
    case Encoding::FoxDouble:
    case Encoding::FoxCurrency: {
      Number number = NumberOf(place, column, row);
      if (number.blank) return {};
      return number.integral ? std::to_string(number.whole) : FormatNumber(number.real);
    }
    case Encoding::Skipped:
      return {};
  }
  return {};
}

std::int32_t IntegerOf(const FieldPlace& place, const Column& column, const char* row) {
  Number number = NumberOf(place, column, row);
  if (number.blank) return 0;
  double value = number.integral ? static_cast<double>(number.whole) : std::round(number.real);
  if (!(value >= std::numeric_limits<std::int32_t>::min() &&
        value <= std::numeric_limits<std::int32_t>::max())) {
    Refuse(place, column, "tiene un valor que no cabe en un entero");
  }
  return static_cast<std::int32_t>(number.integral ? number.whole
                                                   : static_cast<std::int64_t>(value));
}

bool BooleanOf(const FieldPlace& place, const Column& column, const char* row) {
  switch (column.encoding) {
    case Encoding::Logical:
    case Encoding::Text: {
      std::string_view text = TrimBoth(std::string_view(row + column.offset, column.width));
      return !text.empty() && Truth(text[0]).value_or(false);
    }
    case Encoding::Date:
    case Encoding::Skipped:
      Refuse(place, column, "no es de tipo l\xF3gico");
    default: {
      Number number = NumberOf(place, column, row);
      return !number.blank && number.AsDouble() != 0;
    }
  }
}

// ---- Writing ---------------------------------------------------------------------------------

void FillBlank(const Column& column, char* row) {
  char* raw = row + column.offset;
  char fill = ' ';
  switch (column.encoding) {
    case Encoding::Long7:
    case Encoding::Double7:
    case Encoding::FoxInteger:
    case Encoding::FoxDouble:
    case Encoding::FoxCurrency:
      fill = '\0';
      break;
    case Encoding::Skipped:
      // Binary kinds are blank when zero: timestamps, Visual FoxPro memo pointers, null flags.
      if (column.code == '@' || column.code == '0' || column.code == 'T' || column.code == 'W' ||
          ((column.code == 'M' || column.code == 'G') && column.width == 4)) {
        fill = '\0';
      }
      break;
    default:
      break;
  }
  std::memset(raw, fill, column.width);
}

void RequireNumeric(const FieldPlace& place, const Column& column) {
  if (column.encoding == Encoding::Logical || column.encoding == Encoding::Date ||
      column.encoding == Encoding::Skipped) {
    Refuse(place, column, "no es num\xE9rico");
  }
}

void RequireLogical(const FieldPlace& place, const Column& column) {
  if (column.encoding != Encoding::Logical && column.encoding != Encoding::Text) {
    Refuse(place, column, "no es de tipo l\xF3gico");
  }
}

void StoreInteger(const FieldPlace& place, const Column& column, char* raw, std::int64_t value) {
  constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  switch (column.encoding) {
    case Encoding::Long7:
      // The smallest 32-bit number would be stored as all zeros, which means blank.
      if (value <= kMin || value > kMax)
        Refuse(place, column, "no admite el valor " + std::to_string(value));
      EncodeLong7(static_cast<std::int32_t>(value), raw);
      return;
    case Encoding::FoxInteger:
      if (value < kMin || value > kMax)
        Refuse(place, column, "no admite el valor " + std::to_string(value));
      EncodeFoxInteger(static_cast<std::int32_t>(value), raw);
      return;
    case Encoding::Numeric: {
      std::string text = std::to_string(value);
      if (column.decimals > 0) {
        text += '.';
        text.append(static_cast<std::size_t>(column.decimals), '0');
      }
      StoreNumericText(place, column, raw, text, std::to_string(value));
      return;
    }
    case Encoding::Text:
      StoreText(column, raw, std::to_string(value));
      return;
    default:
      StoreReal(place, column, raw, static_cast<double>(value));
      return;
  }
}

void StoreReal(const FieldPlace& place, const Column& column, char* raw, double value) {
  if (std::isnan(value)) Refuse(place, column, "no admite un valor que no es un n\xFAmero");
  switch (column.encoding) {
    case Encoding::Double7:
      EncodeDouble7(value, raw);
      return;
    case Encoding::FoxDouble:
      EncodeFoxDouble(value, raw);
      return;
    case Encoding::FoxCurrency: {
      double scaled = std::round(value * kCurrencyScale);
      if (!(std::fabs(scaled) < 9.2e18))
        Refuse(place, column, "no admite el valor " + FormatNumber(value));
      EncodeFoxCurrency(static_cast<std::int64_t>(scaled), raw);
      return;
    }
    case Encoding::Long7:
    case Encoding::FoxInteger: {
      double rounded = std::round(value);
      if (!(std::fabs(rounded) < 3e9))
        Refuse(place, column, "no admite el valor " + FormatNumber(value));
      StoreInteger(place, column, raw, static_cast<std::int64_t>(rounded));
      return;
    }
    case Encoding::Numeric: {
      if (std::isinf(value)) Refuse(place, column, "no admite un valor infinito");
      char buffer[512];
      int length = std::snprintf(buffer, sizeof buffer, "%.*f", column.decimals, value);
      if (length < 0 || static_cast<std::size_t>(length) >= sizeof buffer) {
        Refuse(place, column, "no admite el valor " + FormatNumber(value));
      }
      StoreNumericText(place, column, raw,
                       std::string(buffer, static_cast<std::size_t>(length)),
                       FormatNumber(value));
      return;
    }
    case Encoding::Text:
      StoreText(column, raw, FormatNumber(value));
      return;
    default:
      Refuse(place, column, "no es num\xE9rico");
  }
}

void StoreText(const Column& column, char* raw, std::string_view text) {
  std::size_t length = std::min(text.size(), column.width);
  std::memcpy(raw, text.data(), length);
  std::memset(raw + length, ' ', column.width - length);
}

void StoreBoolean(const Column& column, char* raw, bool value) {
  if (column.encoding == Encoding::Logical) {
    raw[0] = value ? 'T' : 'F';
  } else {
    StoreText(column, raw, value ? "T" : "F");
  }
}

void StoreFromText(const FieldPlace& place, const Column& column, char* raw,
                   std::string_view value) {
  if (value.empty()) {
    FillBlank(column, raw - column.offset);
    return;
  }
  switch (column.encoding) {
    case Encoding::Text:
      StoreText(column, raw, value);
      return;
    case Encoding::Logical: {
      auto truth = Truth(TrimBoth(value).empty() ? ' ' : TrimBoth(value)[0]);
      if (!truth)
        Refuse(place, column, "es l\xF3gico y no admite el valor \"" + std::string(value) + "\"");
      raw[0] = *truth ? 'T' : 'F';
      return;
    }
    case Encoding::Date: {
      std::string_view text = TrimBoth(value);
      bool digits = text.size() == kDateWidth;
      for (char c : text) digits = digits && c >= '0' && c <= '9';
      if (!digits)
        Refuse(place, column,
               "es una fecha AAAAMMDD y no admite el valor \"" + std::string(value) + "\"");
      std::memcpy(raw, text.data(), kDateWidth);
      return;
    }
    case Encoding::Skipped:
      Refuse(place, column, "no se puede escribir");
    default: {
      auto number = ParseNumber(value);
      if (!number)
        Refuse(place, column, "es num\xE9rico y no admite el valor \"" + std::string(value) + "\"");
      if (number->blank) {
        FillBlank(column, raw - column.offset);
      } else if (number->integral) {
        StoreInteger(place, column, raw, number->whole);
      } else {
        StoreReal(place, column, raw, number->real);
      }
      return;
    }
  }
}

}  // namespace tc::store::dbf
