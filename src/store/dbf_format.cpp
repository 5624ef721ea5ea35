#include "dbf_format.h"
#include "platform/platform.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <ctime>
#include <set>

#include "base/error.h"

namespace tc::store::dbf {

void RequireTableFolder(platform::FileSystem& files, const std::filesystem::path& dir,
                        std::string_view doing, const std::string& table) {
  if (files.IsFolder(dir)) return;
  throw TableError("No se puede " + std::string(doing) + " la tabla " + table +
                       ": no existe la carpeta " + platform::PathText(dir) + ".",
                   ErrorKind::InputMissing, platform::PathText(dir));
}

namespace {

// Little-endian unsigned numbers of 1 to 8 bytes: the header's counts and lengths and Visual
// FoxPro's binary numbers.
std::uint64_t ReadLe(const char* in, int bytes) {
  std::uint64_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(in[i]);
  return value;
}

void WriteLe(std::uint64_t value, char* out, int bytes) {
  for (int i = 0; i < bytes; ++i) out[i] = static_cast<char>(value >> (8 * i) & 0xFF);
}

std::uint16_t ReadLe16(std::string_view bytes, std::size_t at) {
  return static_cast<std::uint16_t>(ReadLe(bytes.data() + at, 2));
}

std::uint32_t ReadLe32(std::string_view bytes, std::size_t at) {
  return static_cast<std::uint32_t>(ReadLe(bytes.data() + at, 4));
}

void WriteLe16(std::string& bytes, std::size_t at, std::size_t value) {
  WriteLe(value, bytes.data() + at, 2);
}

void WriteLe32(std::string& bytes, std::size_t at, std::uint64_t value) {
  WriteLe(value, bytes.data() + at, 4);
}

std::string Hex(unsigned value) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  return std::string("0x") + kDigits[value >> 4 & 0xF] + kDigits[value & 0xF];
}

[[noreturn]] void Unreadable(const std::filesystem::path& path, const std::string& reason) {
  throw TableError("El archivo " + platform::PathText(path) +
                       " no es una tabla dBase que se pueda leer: " + reason + ".",
                   ErrorKind::TableDamaged, TableNameFromPath(path));
}

// The name in a zero-filled descriptor field.
std::string NameOf(std::string_view field) {
  std::size_t end = field.find('\0');
  return std::string(field.substr(0, end));
}

Encoding EncodingOf(Flavour flavour, char code, std::size_t width) {
  switch (code) {
    case 'C':
      return Encoding::Text;
    case 'N':
    case 'F':
      return Encoding::Numeric;
    case 'L':
      return Encoding::Logical;
    case 'D':
      return Encoding::Date;
    default:
      break;
  }
  if (flavour == Flavour::Level7) {
    if ((code == 'I' || code == '+') && width == kLongWidth) return Encoding::Long7;
    if (code == 'O' && width == kDoubleWidth) return Encoding::Double7;
  }
  if (flavour == Flavour::FoxPro) {
    if (code == 'I' && width == 4) return Encoding::FoxInteger;
    if (code == 'B' && width == 8) return Encoding::FoxDouble;
    if (code == 'Y' && width == 8) return Encoding::FoxCurrency;
  }
  return Encoding::Skipped;
}

FieldType TypeOf(Encoding encoding, int decimals) {
  switch (encoding) {
    case Encoding::Text:
      return FieldType::Character;
    case Encoding::Numeric:
      return decimals == 0 ? FieldType::Integer : FieldType::Float;
    case Encoding::Logical:
      return FieldType::Logical;
    case Encoding::Date:
      return FieldType::Date;
    case Encoding::Long7:
    case Encoding::FoxInteger:
      return FieldType::Integer;
    case Encoding::Double7:
    case Encoding::FoxDouble:
    case Encoding::FoxCurrency:
      return FieldType::Float;
    case Encoding::Skipped:
      return FieldType::Other;
  }
  return FieldType::Other;
}

}  // namespace

Date Today() {
  const std::tm local = platform::LocalNow();
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

Layout ReadLayout(std::string_view file, const std::filesystem::path& path) {
  const std::size_t size = file.size();
  if (size < 1) Unreadable(path, "el archivo est\xE1 vac\xEDo");
  const unsigned char version = static_cast<unsigned char>(file[0]);
  if (version == kVersionDbase2) {
    throw TableError("El archivo " + platform::PathText(path) +
                         " es una tabla de dBase II, un formato que no se puede leer.",
                     ErrorKind::TableDamaged, TableNameFromPath(path));
  }

  Layout layout;
  std::size_t header_size = kClassicHeaderSize;
  std::size_t descriptor_size = kClassicDescriptorSize;
  if ((version & kVersionFamilyMask) == kFamilyLevel7) {
    layout.flavour = Flavour::Level7;
    header_size = kLevel7HeaderSize;
    descriptor_size = kLevel7DescriptorSize;
  } else if (version == kVersionVisualFoxPro || version == kVersionVisualFoxProAuto ||
             version == kVersionVisualFoxProVar || version == kVersionFoxPro2Memo ||
             version == kVersionFoxProVarious) {
    layout.flavour = Flavour::FoxPro;
  } else if ((version & kVersionFamilyMask) == kFamilyDbase3) {
    layout.flavour = Flavour::Dbase;
  } else {
    Unreadable(path, "versi\xF3n " + Hex(version) + " desconocida");
  }
  if (size < header_size) {
    Unreadable(path, "la cabecera est\xE1 cortada (el archivo tiene " + std::to_string(size) +
                         " bytes y la cabecera necesita " + std::to_string(header_size) + ")");
  }

  const std::uint32_t claimed = ReadLe32(file, kOffsetRecordCount);
  layout.header_length = ReadLe16(file, kOffsetHeaderLength);
  layout.record_length = ReadLe16(file, kOffsetRecordLength);
  if (layout.header_length < header_size + 1) {
    Unreadable(path, "la longitud de cabecera " + std::to_string(layout.header_length) +
                         " es menor que el m\xEDnimo, " + std::to_string(header_size + 1));
  }
  if (layout.header_length > size) {
    Unreadable(path, "la cabecera dice medir " + std::to_string(layout.header_length) +
                         " bytes y el archivo solo tiene " + std::to_string(size));
  }
  if (layout.record_length < 1) Unreadable(path, "la longitud de registro es 0");

  // Field descriptors, up to the terminator, never past the header.
  std::size_t at = header_size;
  std::size_t offset = 1;  // the deletion flag comes first
  for (;;) {
    const bool terminator =
        at < layout.header_length && static_cast<unsigned char>(file[at]) == kHeaderTerminator;
    if (terminator) break;
    if (at + descriptor_size > layout.header_length) {
      Unreadable(path, "falta el terminador de la lista de campos antes del byte " +
                           std::to_string(layout.header_length));
    }
    std::string_view descriptor = file.substr(at, descriptor_size);
    Column column;
    int decimals = 0;
    if (layout.flavour == Flavour::Level7) {
      column.def.name = NameOf(descriptor.substr(0, kLevel7NameSize));
      column.code = descriptor[kLevel7TypeOffset];
      column.width = static_cast<unsigned char>(descriptor[kLevel7WidthOffset]);
      decimals = static_cast<unsigned char>(descriptor[kLevel7DecimalsOffset]);
    } else {
      column.def.name = NameOf(descriptor.substr(0, kClassicNameSize));
      column.code = descriptor[kClassicTypeOffset];
      column.width = static_cast<unsigned char>(descriptor[kClassicWidthOffset]);
      decimals = static_cast<unsigned char>(descriptor[kClassicDecimalsOffset]);
      if (layout.flavour == Flavour::FoxPro && column.code == 'C') {
        column.width |= static_cast<std::size_t>(decimals) << 8;  // FoxPro's wide text fields
        decimals = 0;
      }
    }
    column.decimals = decimals;
    column.encoding = EncodingOf(layout.flavour, column.code, column.width);
    column.def.type = TypeOf(column.encoding, decimals);
    column.def.width = column.def.type == FieldType::Character ? static_cast<int>(column.width) : 0;
    column.offset = offset;
    offset += column.width;
    layout.columns.push_back(std::move(column));
    at += descriptor_size;
  }
  if (offset != layout.record_length) {
    Unreadable(path, "la longitud de registro " + std::to_string(layout.record_length) +
                         " no es la suma de los campos m\xE1s uno (" + std::to_string(offset) +
                         ")");
  }

  // Records: trust the count only as far as the file holds them. A file whose header promises
  // more rows than it holds, but that ends cleanly after a whole record, is read as far as it
  // goes (dBase leaves such files behind when it stops between writing rows and the header); a
  // file that ends inside a record is truncated.
  const std::size_t body = size - layout.header_length;
  const std::size_t whole = body / layout.record_length;
  layout.declared_records = claimed;
  const std::size_t rest = body % layout.record_length;
  if (claimed <= whole) {
    layout.records = claimed;
  } else if (rest == 0 || (rest == 1 && static_cast<unsigned char>(file[size - 1]) == kEndOfFile)) {
    layout.records = whole;
  } else {
    Unreadable(path, "el archivo est\xE1 cortado: la cabecera anuncia " + std::to_string(claimed) +
                         " registros y el archivo acaba dentro del registro " +
                         std::to_string(whole + 1));
  }
  return layout;
}

std::string NewLevel7Header(const Schema& fields, const std::filesystem::path& path, Date today) {
  auto refuse = [&](const std::string& reason) {
    throw TableError("No se puede crear la tabla " + platform::PathText(path) + ": " + reason + ".",
                     ErrorKind::Internal, TableNameFromPath(path));
  };
  if (fields.empty()) refuse("no tiene campos");
  const std::size_t header_length = kLevel7HeaderSize + kLevel7DescriptorSize * fields.size() + 1;
  if (header_length > kMaxHeaderLength) refuse("tiene demasiados campos");

  std::string header(header_length, '\0');
  header[0] = static_cast<char>(kVersionLevel7);
  header.replace(kOffsetLanguageDriverName, kLanguageDriverName.size(), kLanguageDriverName);
  header[header_length - 1] = static_cast<char>(kHeaderTerminator);

  std::set<std::string> names;
  std::size_t record_length = 1;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const FieldDef& field = fields[i];
    if (field.name.empty() || field.name.size() > kMaxNameLength) {
      refuse("el nombre de campo \"" + field.name + "\" debe tener de 1 a 31 caracteres");
    }
    for (char c : field.name) {
      if (c <= ' ' || c > '~') refuse("el nombre de campo \"" + field.name + "\" no es v\xE1lido");
    }
    if (!names.insert(AsciiUpper(field.name)).second) {
      refuse("el campo " + field.name + " est\xE1 repetido");
    }
    char code = 'C';
    int width = 0;
    switch (field.type) {
      case FieldType::Character:
        code = 'C';
        width = field.width;
        if (width < 1 || width > kMaxCharacterWidth) {
          refuse("el campo " + field.name + " debe medir de 1 a 254 caracteres");
        }
        break;
      case FieldType::Logical:
        code = 'L';
        width = kLogicalWidth;
        break;
      case FieldType::Integer:
        code = 'I';
        width = kLongWidth;
        break;
      case FieldType::Float:
        code = 'O';
        width = kDoubleWidth;
        break;
      case FieldType::Date:
        code = 'D';
        width = kDateWidth;
        break;
      case FieldType::Other:
        refuse("el campo " + field.name + " no tiene un tipo que se pueda crear");
    }
    std::size_t at = kLevel7HeaderSize + i * kLevel7DescriptorSize;
    header.replace(at, field.name.size(), field.name);
    header[at + kLevel7TypeOffset] = code;
    header[at + kLevel7WidthOffset] = static_cast<char>(width);
    record_length += static_cast<std::size_t>(width);
  }
  if (record_length > kMaxRecordLength) refuse("los registros pasan de 65535 bytes");
  WriteLe16(header, kOffsetHeaderLength, header_length);
  WriteLe16(header, kOffsetRecordLength, record_length);
  StampHeader(header, 0, today);
  return header;
}

void StampHeader(std::string& header, std::size_t records, Date today) {
  header[kOffsetLastUpdate] = static_cast<char>((today.year - 1900) & 0xFF);
  header[kOffsetLastUpdate + 1] = static_cast<char>(today.month);
  header[kOffsetLastUpdate + 2] = static_cast<char>(today.day);
  WriteLe32(header, kOffsetRecordCount, records);
}

void EncodeLong7(std::int32_t value, char* out) {
  std::uint32_t bits = static_cast<std::uint32_t>(value) ^ 0x80000000u;
  for (int i = 0; i < 4; ++i) out[i] = static_cast<char>(bits >> (24 - 8 * i) & 0xFF);
}

std::int32_t DecodeLong7(const char* in) {
  std::uint32_t bits = 0;
  for (int i = 0; i < 4; ++i) bits = bits << 8 | static_cast<unsigned char>(in[i]);
  return static_cast<std::int32_t>(bits ^ 0x80000000u);
}

void EncodeDouble7(double value, char* out) {
  constexpr std::uint64_t kSign = 0x8000000000000000ull;
  if (value == 0) value = 0.0;  // no negative zero
  std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
  bits = (bits & kSign) ? ~bits : bits | kSign;
  for (int i = 0; i < 8; ++i) out[i] = static_cast<char>(bits >> (56 - 8 * i) & 0xFF);
}

double DecodeDouble7(const char* in) {
  constexpr std::uint64_t kSign = 0x8000000000000000ull;
  std::uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits = bits << 8 | static_cast<unsigned char>(in[i]);
  bits = (bits & kSign) ? bits ^ kSign : ~bits;
  return std::bit_cast<double>(bits);
}

void EncodeFoxInteger(std::int32_t value, char* out) {
  WriteLe(static_cast<std::uint32_t>(value), out, 4);
}

std::int32_t DecodeFoxInteger(const char* in) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(ReadLe(in, 4)));
}

void EncodeFoxDouble(double value, char* out) {
  if (value == 0) value = 0.0;  // no negative zero
  WriteLe(std::bit_cast<std::uint64_t>(value), out, 8);
}

double DecodeFoxDouble(const char* in) { return std::bit_cast<double>(ReadLe(in, 8)); }

void EncodeFoxCurrency(std::int64_t ten_thousandths, char* out) {
  WriteLe(static_cast<std::uint64_t>(ten_thousandths), out, 8);
}

std::int64_t DecodeFoxCurrency(const char* in) { return static_cast<std::int64_t>(ReadLe(in, 8)); }

std::string FormatNumber(double value) {
  if (value == 0) return "0";
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string TableNameFromPath(const std::filesystem::path& path) {
  std::string file = path.filename().string();
  if (file.rfind(kStagedPrefix, 0) == 0) {
    std::size_t end = file.find(kStagedSeparator, kStagedPrefix.size());
    if (end != std::string::npos) {
      return AsciiUpper(file.substr(kStagedPrefix.size(), end - kStagedPrefix.size()));
    }
  }
  return AsciiUpper(path.stem().string());
}

}  // namespace tc::store::dbf
