// Helpers for the table engine's tests: field lists, the message of an expected error, and
// dBase files built byte by byte.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "store/table.h"

namespace tc::test {

inline store::FieldDef Char(const char* name, int width) {
  return {name, store::FieldType::Character, width};
}
inline store::FieldDef Logical(const char* name) { return {name, store::FieldType::Logical, 0}; }
inline store::FieldDef Integer(const char* name) { return {name, store::FieldType::Integer, 0}; }
inline store::FieldDef Float(const char* name) { return {name, store::FieldType::Float, 0}; }

// The message of the tc::Error that `action` throws, or "(sin error)".
inline std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& error) {
    return error.what();
  }
  return "(sin error)";
}

inline void PutLe16(std::string& bytes, std::size_t at, unsigned value) {
  bytes[at] = static_cast<char>(value & 0xFF);
  bytes[at + 1] = static_cast<char>(value >> 8 & 0xFF);
}

inline void PutLe32(std::string& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i) & 0xFF);
}

inline std::uint32_t GetLe32(std::string_view bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

inline unsigned GetLe16(std::string_view bytes, std::size_t at) {
  return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
}

// One field of a hand-made file: name, type letter, width, decimals.
struct RawField {
  std::string name;
  char type;
  int width;
  int decimals = 0;
};

// A dBase file built byte by byte. Classic layout (32-byte header and descriptors) unless
// `level7`; `after_terminator` bytes follow the descriptor terminator (a Visual FoxPro backlink
// or a level-7 field-properties block); each record is given whole, deletion flag first.
struct RawTable {
  unsigned char version = 0x03;
  bool level7 = false;
  unsigned char language_driver = 0x57;
  std::vector<RawField> fields;
  std::string after_terminator;
  std::vector<std::string> records;
  bool end_marker = true;

  std::string Build() const {
    const std::size_t header_size = level7 ? 68 : 32;
    const std::size_t descriptor_size = level7 ? 48 : 32;
    std::string header(header_size, '\0');
    header[0] = static_cast<char>(version);
    header[1] = 124;  // 2024-05-17
    header[2] = 5;
    header[3] = 17;
    if (level7) {
      header.replace(32, 8, "DBWINUS0");
    } else {
      header[29] = static_cast<char>(language_driver);
    }
    unsigned record_length = 1;
    for (const RawField& field : fields) {
      std::string descriptor(descriptor_size, '\0');
      descriptor.replace(0, field.name.size(), field.name);
      if (level7) {
        descriptor[32] = field.type;
        descriptor[33] = static_cast<char>(field.width & 0xFF);
        descriptor[34] = static_cast<char>(field.decimals);
      } else {
        descriptor[11] = field.type;
        descriptor[16] = static_cast<char>(field.width & 0xFF);
        descriptor[17] = static_cast<char>(field.width > 255 ? field.width >> 8 : field.decimals);
      }
      header += descriptor;
      record_length += static_cast<unsigned>(field.width);
    }
    header += '\x0D';
    header += after_terminator;
    PutLe32(header, 4, static_cast<std::uint32_t>(records.size()));
    PutLe16(header, 8, static_cast<unsigned>(header.size()));
    PutLe16(header, 10, record_length);
    std::string file = header;
    for (const std::string& record : records) file += record;
    if (end_marker) file += '\x1A';
    return file;
  }
};

}  // namespace tc::test
