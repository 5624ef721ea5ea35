#include "support/dbf_text.h"

#include <cstdint>
#include <cstring>
#include <sstream>
#include <vector>

#include "base/codepage.h"

namespace tc::test {

namespace {

std::uint32_t Le(std::string_view bytes, std::size_t at, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) {
    value = (value << 8) | static_cast<unsigned char>(bytes.at(at + static_cast<std::size_t>(i)));
  }
  return value;
}

std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 0xF];
  }
  return out;
}

// Non-zero bytes of a reserved area, as "offset:hex" or "-" when all are zero.
std::string Reserved(std::string_view bytes, std::size_t from, std::size_t to) {
  std::string_view area = bytes.substr(from, to - from);
  if (area.find_first_not_of('\0') == std::string_view::npos) return "-";
  return std::to_string(from) + ":" + Hex(area);
}

struct Field {
  std::string name;
  char type;
  std::size_t width;
};

// Level-7 binary numbers: big-endian with the sign bit flipped; all zeros is blank.
std::string Decoded(char type, std::string_view raw) {
  if (raw.find_first_not_of('\0') == std::string_view::npos) return "vacío";
  if (type == 'I' && raw.size() == 4) {
    std::uint32_t bits = 0;
    for (unsigned char c : raw) bits = (bits << 8) | c;
    return std::to_string(static_cast<std::int32_t>(bits ^ 0x80000000u));
  }
  if (type == 'O' && raw.size() == 8) {
    std::uint64_t bits = 0;
    for (unsigned char c : raw) bits = (bits << 8) | c;
    bits = (bits & (1ull << 63)) ? bits ^ (1ull << 63) : ~bits;
    double value;
    std::memcpy(&value, &bits, sizeof value);
    std::ostringstream out;
    out << value;
    return out.str();
  }
  return "?";
}

}  // namespace

std::string DbfAsText(std::string_view bytes) {
  std::ostringstream out;
  const unsigned char version = static_cast<unsigned char>(bytes.at(0));
  const bool level7 = (version & 0x07) == 0x04;
  const std::uint32_t records = Le(bytes, 4, 4);
  const std::uint32_t header_length = Le(bytes, 8, 2);
  const std::uint32_t record_length = Le(bytes, 10, 2);
  const std::size_t fixed = level7 ? 68 : 32;
  const std::size_t descriptor = level7 ? 48 : 32;
  out << "versión " << Hex(bytes.substr(0, 1)) << "  registros " << records << "  cabecera "
      << header_length << "  registro " << record_length << "  idioma "
      << Hex(bytes.substr(29, 1));
  if (level7) out << " " << std::string(bytes.substr(32, 32).substr(0, bytes.substr(32, 32).find('\0')));
  out << "\nreservado " << Reserved(bytes, 12, 29) << " " << Reserved(bytes, 30, 32);
  if (level7) out << " " << Reserved(bytes, 64, 68);
  out << "\ncampos:\n";

  std::vector<Field> fields;
  std::size_t at = fixed;
  while (at < bytes.size() && bytes[at] != '\x0D') {
    std::string_view d = bytes.substr(at, descriptor);
    const std::size_t name_size = level7 ? 32 : 11;
    std::string name(d.substr(0, name_size).substr(0, d.substr(0, name_size).find('\0')));
    const std::size_t type_at = level7 ? 32 : 11;
    const char type = d[type_at];
    const std::size_t width = static_cast<unsigned char>(d[type_at + 1 + (level7 ? 0 : 4)]);
    const std::size_t decimals = static_cast<unsigned char>(d[type_at + 2 + (level7 ? 0 : 4)]);
    out << "  " << name << " " << type << " " << width << "." << decimals << " resto "
        << Reserved(d, type_at + (level7 ? 3 : 7), descriptor) << "\n";
    fields.push_back({name, type, width});
    at += descriptor;
  }
  out << "terminador " << at << " tras él " << Hex(bytes.substr(at, header_length - at)) << "\n";

  out << "filas:\n";
  for (std::uint32_t r = 0; r < records; ++r) {
    std::size_t start = header_length + static_cast<std::size_t>(r) * record_length;
    std::string_view record = bytes.substr(start, record_length);
    out << r + 1 << (record[0] == '*' ? " *" : record[0] == ' ' ? "  " : " ?");
    std::size_t offset = 1;
    for (const Field& field : fields) {
      std::string_view raw = record.substr(offset, field.width);
      if (field.type == 'C' || field.type == 'L' || field.type == 'N' || field.type == 'D') {
        out << " |" << Cp1252ToUtf8(raw);
      } else {
        out << " |" << Hex(raw) << "=" << Decoded(field.type, raw);
      }
      offset += field.width;
    }
    out << " |\n";
  }
  const std::size_t end = header_length + static_cast<std::size_t>(records) * record_length;
  out << "final " << Hex(bytes.substr(std::min(end, bytes.size()))) << "\n";
  return out.str();
}

}  // namespace tc::test
