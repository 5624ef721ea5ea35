#include "base/codepage.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace tc {

namespace {

constexpr char kReplacement = '?';

// Code points of the bytes 0x80-0x9F, the only range where Windows-1252 differs from ISO-8859-1.
// The five bytes the code page leaves undefined keep their own value (C1 controls).
constexpr std::array<char16_t, 32> kHighControlRange = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

// Byte 0x80-0x9F of a code point outside Latin-1, or -1.
int HighRangeByte(char32_t code_point) {
  for (std::size_t i = 0; i < kHighControlRange.size(); ++i) {
    if (kHighControlRange[i] == code_point) return static_cast<int>(0x80 + i);
  }
  return -1;
}

// Letter pairs of Windows-1252 outside the regular ranges.
constexpr unsigned char kSmallSCaron = 0x9A, kCapitalSCaron = 0x8A;
constexpr unsigned char kSmallOE = 0x9C, kCapitalOE = 0x8C;
constexpr unsigned char kSmallZCaron = 0x9E, kCapitalZCaron = 0x8E;
constexpr unsigned char kSmallYDiaeresis = 0xFF, kCapitalYDiaeresis = 0x9F;
// The regular accented range: à (0xE0) to þ (0xFE) and À (0xC0) to Þ (0xDE), less the
// division sign (0xF7) and the multiplication sign (0xD7).
constexpr unsigned char kSmallAGrave = 0xE0, kSmallThorn = 0xFE, kDivisionSign = 0xF7;
constexpr unsigned char kCapitalAGrave = 0xC0, kCapitalThorn = 0xDE, kMultiplicationSign = 0xD7;
constexpr unsigned char kCaseDistance = 0x20;

struct CaseTables {
  std::array<unsigned char, 256> upper{};
  std::array<unsigned char, 256> lower{};
  CaseTables() {
    for (int i = 0; i < 256; ++i) upper[i] = lower[i] = static_cast<unsigned char>(i);
    auto pair = [this](unsigned char small, unsigned char capital) {
      upper[small] = capital;
      lower[capital] = small;
    };
    for (unsigned char c = 'a'; c <= 'z'; ++c) pair(c, c - kCaseDistance);
    for (unsigned char c = kSmallAGrave; c <= kSmallThorn; ++c) {
      if (c != kDivisionSign) pair(c, c - kCaseDistance);
    }
    static_assert(kDivisionSign - kCaseDistance == kMultiplicationSign);
    static_assert(kSmallThorn - kCaseDistance == kCapitalThorn);
    static_assert(kSmallAGrave - kCaseDistance == kCapitalAGrave);
    pair(kSmallSCaron, kCapitalSCaron);
    pair(kSmallOE, kCapitalOE);
    pair(kSmallZCaron, kCapitalZCaron);
    pair(kSmallYDiaeresis, kCapitalYDiaeresis);
  }
};

const CaseTables& Cases() {
  static const CaseTables tables;
  return tables;
}

std::string MapBytes(std::string_view text, const std::array<unsigned char, 256>& table) {
  std::string result(text);
  for (char& c : result) c = static_cast<char>(table[static_cast<unsigned char>(c)]);
  return result;
}

char ToCp1252OrReplacement(char32_t cp) {
  int byte = CodePointToCp1252(cp);
  return byte < 0 ? kReplacement : static_cast<char>(byte);
}

}  // namespace

char32_t Cp1252ToCodePoint(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kHighControlRange[byte - 0x80];
  return byte;
}

int CodePointToCp1252(char32_t code_point) {
  if (code_point < 0x80 || (code_point >= 0xA0 && code_point <= 0xFF)) {
    return static_cast<int>(code_point);
  }
  return HighRangeByte(code_point);
}

std::string Utf8ToCp1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
      // A run of ASCII, the same in both, copied whole.
      std::size_t end = i + 1;
      while (end < utf8.size() && static_cast<unsigned char>(utf8[end]) < 0x80) ++end;
      out.append(utf8.data() + i, end - i);
      i = end;
      continue;
    }
    // An invalid sequence gives one replacement for the bytes read so far.
    bool valid = false;
    const char32_t cp = DecodeUtf8(utf8, i, valid);
    out += valid ? ToCp1252OrReplacement(cp) : kReplacement;
  }
  return out;
}

Utf8Sequence ReadUtf8(std::string_view s, std::size_t at) {
  const auto lead = static_cast<unsigned char>(s[at]);
  if (lead < 0x80) return {lead, 1, true};
  // Length and smallest code point of the sequence, so that overlong forms are refused.
  std::size_t length = 0;
  char32_t cp = 0, minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, cp = lead & 0x1F, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, cp = lead & 0x0F, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, cp = lead & 0x07, minimum = 0x10000;
  } else {
    return {0xFFFD, 1, false};
  }
  for (std::size_t taken = 1; taken < length; ++taken) {
    if (at + taken >= s.size() || (static_cast<unsigned char>(s[at + taken]) & 0xC0) != 0x80) {
      return {0xFFFD, taken, false};
    }
    cp = (cp << 6) | (static_cast<unsigned char>(s[at + taken]) & 0x3F);
  }
  if (cp < minimum || cp > 0x10FFFF) return {0xFFFD, length, false};
  return {cp, length, true};
}

char32_t DecodeUtf8(std::string_view s, std::size_t& i, bool& valid) {
  const Utf8Sequence sequence = ReadUtf8(s, i);
  i += sequence.length;
  valid = sequence.valid && !(sequence.code_point >= 0xD800 && sequence.code_point <= 0xDFFF);
  return valid ? sequence.code_point : char32_t{0xFFFD};
}

std::size_t EncodeUtf8(char32_t cp, char* out) {
  if (cp < 0x80) {
    out[0] = static_cast<char>(cp);
    return 1;
  }
  if (cp < 0x800) {
    out[0] = static_cast<char>(0xC0 | (cp >> 6));
    out[1] = static_cast<char>(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (cp >> 12));
    out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (cp & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (cp >> 18));
  out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (cp & 0x3F));
  return 4;
}

void AppendUtf8(std::string& out, char32_t cp) {
  char bytes[4];
  out.append(bytes, EncodeUtf8(cp, bytes));
}

void AppendCp1252AsUtf8(std::string& out, std::string_view cp1252) {
  std::size_t run = 0;  // where the ASCII since the last other byte begins: copied whole
  for (std::size_t i = 0; i < cp1252.size(); ++i) {
    const auto byte = static_cast<unsigned char>(cp1252[i]);
    if (byte < 0x80) continue;
    out.append(cp1252.data() + run, i - run);
    AppendUtf8(out, Cp1252ToCodePoint(byte));
    run = i + 1;
  }
  out.append(cp1252.data() + run, cp1252.size() - run);
}

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  AppendCp1252AsUtf8(out, text);
  return out;
}

void ConvertCp1252ToUtf8InPlace(std::string& text) {
  // Most of a report is ASCII: it is passed over eight bytes at a time, both when the bytes
  // UTF-8 adds are counted and when the text is moved back to make room for them.
  const std::size_t size = text.size();
  std::size_t extra = 0;
  char bytes[4];
  for (std::size_t i = 0; i < size;) {
    if (i + 8 <= size && IsAsciiWord(text.data() + i)) {
      i += 8;
    } else {
      const auto byte = static_cast<unsigned char>(text[i++]);
      if (byte >= 0x80) extra += EncodeUtf8(Cp1252ToCodePoint(byte), bytes) - 1;
    }
  }
  if (extra == 0) return;
  text.resize(size + extra);
  char* const data = text.data();
  std::size_t to = size + extra;  // the converted text begins here; filled from the end
  std::size_t end = size;         // the bytes not yet moved end here
  while (end > 0) {
    std::size_t start = end;  // the ASCII before `end`, moved whole
    while (start >= 8 && IsAsciiWord(data + start - 8)) start -= 8;
    while (start > 0 && static_cast<unsigned char>(data[start - 1]) < 0x80) --start;
    to -= end - start;
    std::memmove(data + to, data + start, end - start);
    if (start == 0) break;
    const std::size_t length =
        EncodeUtf8(Cp1252ToCodePoint(static_cast<unsigned char>(data[start - 1])), bytes);
    to -= length;
    std::memcpy(data + to, bytes, length);
    end = start - 1;
  }
}

std::string Utf16ToCp1252(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    const char16_t unit = utf16[i];
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      // A surrogate pair (outside the code page whatever it holds) counts as one character.
      if (i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) ++i;
      out += kReplacement;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      out += kReplacement;
    } else {
      out += ToCp1252OrReplacement(unit);
    }
  }
  return out;
}

std::string UpperCase(std::string_view text) { return MapBytes(text, Cases().upper); }

std::string LowerCase(std::string_view text) { return MapBytes(text, Cases().lower); }

std::string AsciiUpperCase(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - kCaseDistance);
  }
  return result;
}

std::string AsciiLowerCase(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + kCaseDistance);
  }
  return result;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  const auto& upper = Cases().upper;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (upper[static_cast<unsigned char>(a[i])] != upper[static_cast<unsigned char>(b[i])]) {
      return false;
    }
  }
  return true;
}

}  // namespace tc
