#include "encoding.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <utility>

#include "base/codepage.h"
#include "base/error.h"
#include "wellformed.h"

namespace tc::itaca::detail {

namespace {

// Byte-order marks.
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";
constexpr std::string_view kUtf32LeBom{"\xFF\xFE\x00\x00", 4};
constexpr std::string_view kUtf32BeBom{"\x00\x00\xFE\xFF", 4};
// "<?" in UTF-16 without a byte-order mark, the way the XML recommendation detects it.
constexpr std::string_view kUtf16LeStart{"<\0?\0", 4};
constexpr std::string_view kUtf16BeStart{"\0<\0?", 4};

// The eight positions where ISO-8859-15 differs from ISO-8859-1.
struct Latin9Difference {
  unsigned char byte;
  char32_t code_point;
};
constexpr std::array<Latin9Difference, 8> kLatin9Differences = {{
    {0xA4, 0x20AC},  // euro sign
    {0xA6, 0x0160},  // S caron
    {0xA8, 0x0161},  // s caron
    {0xB4, 0x017D},  // Z caron
    {0xB8, 0x017E},  // z caron
    {0xBC, 0x0152},  // OE
    {0xBD, 0x0153},  // oe
    {0xBE, 0x0178},  // Y diaeresis
}};

// The bytes Windows-1252 leaves undefined: not written raw, since other readers refuse them.
constexpr std::array<unsigned char, 5> kCp1252Undefined = {0x81, 0x8D, 0x8F, 0x90, 0x9D};

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Offset of the first byte that is not well-formed UTF-8, or npos. ASCII runs go eight at a time.
std::size_t FirstInvalidUtf8(std::string_view s) {
  std::size_t i = 0;
  const std::size_t size = s.size();
  while (i < size) {
    if (i + 8 <= size && IsAsciiWord(s.data() + i)) {
      i += 8;
      continue;
    }
    const std::size_t start = i;
    bool valid;
    DecodeUtf8(s, i, valid);
    if (!valid) return start;
  }
  return std::string_view::npos;
}

std::string Utf16ToUtf8(std::string_view bytes, bool big_endian) {
  std::string out;
  out.reserve(bytes.size() / 2 + bytes.size() / 8);
  auto unit_at = [&](std::size_t i) {
    const auto a = static_cast<unsigned char>(bytes[i]);
    const auto b = static_cast<unsigned char>(bytes[i + 1]);
    return static_cast<char16_t>(big_endian ? (a << 8 | b) : (b << 8 | a));
  };
  const std::size_t units = bytes.size() / 2;
  for (std::size_t u = 0; u < units; ++u) {
    const char16_t unit = unit_at(u * 2);
    char32_t cp = unit;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      const char16_t low = u + 1 < units ? unit_at((u + 1) * 2) : 0;
      if (low >= 0xDC00 && low <= 0xDFFF) {
        cp = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (low - 0xDC00);
        ++u;
      }
    }
    // A lone surrogate stays as its own code point, for the well-formedness check to name it
    // where it lies.
    AppendUtf8(out, cp);
  }
  return out;
}

std::string EightBitToUtf8(std::string_view bytes, Charset charset) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out += c;
      continue;
    }
    char32_t cp = Cp1252ToCodePoint(byte);
    if (charset == Charset::kLatin9) {
      for (const auto& d : kLatin9Differences) {
        if (d.byte == byte) cp = d.code_point;
      }
    }
    AppendUtf8(out, cp);
  }
  return out;
}

std::string Prefix(std::string_view source) {
  return "El documento ITACA " + std::string(source);
}

[[noreturn]] void ThrowUnsupported(std::string_view source, std::string_view name) {
  throw DocumentError(Prefix(source) + " est\xE1 en la codificaci\xF3n \"" +
                      Utf8ToCp1252(name) +
                      "\", que no se puede leer (se admiten UTF-8, UTF-16, ISO-8859-1, "
                          "ISO-8859-15 y windows-1252).",
                      ErrorKind::DocumentUnreadable, std::string(source));
}

// The charset a declaration names, or the error naming it when we do not know it.
std::optional<Charset> DeclaredCharset(std::string_view text, std::string_view source) {
  const auto name = DeclaredEncoding(text);
  if (!name) return std::nullopt;
  const auto charset = CharsetNamed(*name);
  if (!charset) ThrowUnsupported(source, *name);
  return charset;
}

}  // namespace

std::optional<Charset> CharsetNamed(std::string_view name) {
  const std::string key = AsciiLowerCase(name);
  if (key == "utf-8" || key == "utf8") return Charset::kUtf8;
  if (key == "utf-16" || key == "utf-16le") return Charset::kUtf16Le;
  if (key == "utf-16be") return Charset::kUtf16Be;
  if (key == "iso-8859-1" || key == "latin1") return Charset::kLatin1;
  if (key == "iso-8859-15") return Charset::kLatin9;
  if (key == "windows-1252" || key == "cp1252") return Charset::kWindows1252;
  if (key == "us-ascii" || key == "ascii") return Charset::kAscii;
  return std::nullopt;
}

bool IsUtf16(Charset charset) {
  return charset == Charset::kUtf16Le || charset == Charset::kUtf16Be;
}

std::optional<std::string> DeclaredEncoding(std::string_view text) {
  constexpr std::string_view kOpen = "<?xml";
  if (text.substr(0, kOpen.size()) != kOpen || text.size() <= kOpen.size() ||
      !IsXmlSpace(text[kOpen.size()])) {
    return std::nullopt;
  }
  const std::size_t end = text.find("?>");
  const std::string_view declaration = text.substr(0, end);
  constexpr std::string_view kEncoding = "encoding";
  std::size_t pos = declaration.find(kEncoding);
  if (pos == std::string_view::npos) return std::nullopt;
  pos += kEncoding.size();
  while (pos < declaration.size() && IsXmlSpace(declaration[pos])) ++pos;
  if (pos >= declaration.size() || declaration[pos] != '=') return std::nullopt;
  ++pos;
  while (pos < declaration.size() && IsXmlSpace(declaration[pos])) ++pos;
  if (pos >= declaration.size() || (declaration[pos] != '"' && declaration[pos] != '\'')) {
    return std::nullopt;
  }
  const char quote = declaration[pos++];
  const std::size_t close = declaration.find(quote, pos);
  if (close == std::string_view::npos) return std::nullopt;
  return std::string(declaration.substr(pos, close - pos));
}

DecodedDocument DecodeDocument(std::string_view bytes, std::string_view source) {
  // A byte-order mark decides how the file is read; the declaration must still name an encoding
  // we know, because a saved file is written in the one it names.
  if (bytes.substr(0, 4) == kUtf32LeBom || bytes.substr(0, 4) == kUtf32BeBom) {
    ThrowUnsupported(source, "UTF-32");
  }
  if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
    const std::string_view body = bytes.substr(kUtf8Bom.size());
    return {Charset::kUtf8, true, DeclaredCharset(body, source).has_value(), std::nullopt};
  }
  const bool le_bom = bytes.substr(0, 2) == kUtf16LeBom;
  const bool be_bom = bytes.substr(0, 2) == kUtf16BeBom;
  if (le_bom || be_bom || bytes.substr(0, 4) == kUtf16LeStart ||
      bytes.substr(0, 4) == kUtf16BeStart) {
    const bool big_endian = be_bom || (!le_bom && bytes.substr(0, 4) == kUtf16BeStart);
    const bool bom = le_bom || be_bom;
    if (bytes.size() % 2 != 0) {
      throw DocumentError(Prefix(source) +
                              " no est\xE1 escrito en UTF-16: tiene un n\xFAmero impar de bytes.",
                          ErrorKind::DocumentUnreadable, std::string(source));
    }
    std::string utf8 = Utf16ToUtf8(bytes.substr(bom ? 2 : 0), big_endian);
    const bool declared = DeclaredCharset(utf8, source).has_value();
    return {big_endian ? Charset::kUtf16Be : Charset::kUtf16Le, bom, declared, std::move(utf8)};
  }

  // Eight-bit files: the declaration says which code page, UTF-8 when it names none.
  const auto declared = DeclaredCharset(bytes, source);
  const Charset charset = declared.value_or(Charset::kUtf8);
  if (IsUtf16(charset)) {
    throw DocumentError(Prefix(source) + " declara la codificaci\xF3n \"" +
                        Utf8ToCp1252(DeclaredEncoding(bytes).value_or("UTF-16")) +
                            "\", pero no est\xE1 escrito en UTF-16.",
                        ErrorKind::DocumentUnreadable, std::string(source));
  }
  if (charset == Charset::kUtf8 || charset == Charset::kAscii) {
    return {charset, false, declared.has_value(), std::nullopt};
  }
  return {charset, false, true, EightBitToUtf8(bytes, charset)};
}

void RequireUtf8(const DecodedDocument& decoded, std::string_view bytes, std::string_view source) {
  const std::string_view body = bytes.substr(decoded.byte_order_mark ? kUtf8Bom.size() : 0);
  const std::size_t bad = FirstInvalidUtf8(body);
  if (bad == std::string_view::npos) return;
  std::string where = " no est\xE1 escrito en UTF-8 (l\xEDnea " +
                      std::to_string(PositionIn(body, bad).line) + ")";
  if (decoded.byte_order_mark) {
    where += ", aunque empieza con la marca de UTF-8.";
  } else if (decoded.declared) {
    where += ", que es la codificaci\xF3n que declara.";
  } else {
    where += " y no declara ninguna otra codificaci\xF3n.";
  }
  throw DocumentError(Prefix(source) + where, ErrorKind::DocumentUnreadable, std::string(source));
}

Encoder::Encoder(Charset charset, bool byte_order_mark) : charset_(charset) {
  if (byte_order_mark) {
    if (charset == Charset::kUtf16Le) out_ = kUtf16LeBom;
    if (charset == Charset::kUtf16Be) out_ = kUtf16BeBom;
    if (charset == Charset::kUtf8) out_ = kUtf8Bom;
  }
}

bool Encoder::Holds(char32_t cp) const {
  switch (charset_) {
    case Charset::kUtf8:
    case Charset::kUtf16Le:
    case Charset::kUtf16Be:
      return true;
    case Charset::kAscii:
      return cp < 0x80;
    case Charset::kLatin1:
      // 0x80-0x9F are read back as Windows-1252 characters: never written raw.
      return cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF);
    case Charset::kLatin9:
      for (const auto& d : kLatin9Differences) {
        if (d.code_point == cp) return true;
        if (d.byte == cp) return false;
      }
      return cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF);
    case Charset::kWindows1252: {
      const int byte = CodePointToCp1252(cp);
      return byte >= 0 && std::find(kCp1252Undefined.begin(), kCp1252Undefined.end(),
                                    static_cast<unsigned char>(byte)) == kCp1252Undefined.end();
    }
  }
  return false;
}

void Encoder::PutCodePoint(char32_t cp) {
  switch (charset_) {
    case Charset::kUtf8:
      AppendUtf8(out_, cp);
      return;
    case Charset::kUtf16Le:
    case Charset::kUtf16Be: {
      auto unit = [this](char16_t u) {
        const char high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xFF);
        if (charset_ == Charset::kUtf16Le) {
          out_ += low;
          out_ += high;
        } else {
          out_ += high;
          out_ += low;
        }
      };
      if (cp >= 0x10000) {
        unit(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
        unit(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
      } else {
        unit(static_cast<char16_t>(cp));
      }
      return;
    }
    case Charset::kLatin9:
      for (const auto& d : kLatin9Differences) {
        if (d.code_point == cp) {
          out_ += static_cast<char>(d.byte);
          return;
        }
      }
      out_ += static_cast<char>(cp);
      return;
    case Charset::kWindows1252:
      out_ += static_cast<char>(CodePointToCp1252(cp));
      return;
    case Charset::kLatin1:
    case Charset::kAscii:
      out_ += static_cast<char>(cp);
      return;
  }
}

void Encoder::Put(std::string_view utf8, bool references) {
  std::size_t i = 0;
  while (i < utf8.size()) {
    bool valid;
    const char32_t cp = DecodeUtf8(utf8, i, valid);
    if (Holds(cp)) {
      PutCodePoint(cp);
    } else if (references) {
      const std::string reference = "&#" + std::to_string(static_cast<unsigned long>(cp)) + ";";
      for (char c : reference) PutCodePoint(static_cast<unsigned char>(c));
    } else {
      PutCodePoint('?');
    }
  }
}

}  // namespace tc::itaca::detail
