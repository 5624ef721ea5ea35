// Windows-1252, the code page in which Clepsa stores its text, and the conversions at the edges
// of the core: UTF-8 (XML, command line, Qt) and UTF-16 (Windows API). Inside the core all text
// is Windows-1252 bytes on every platform.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace tc {

// UTF-8 to Windows-1252; a character Windows-1252 cannot hold, or an invalid UTF-8 sequence,
// becomes '?'.
std::string Utf8ToCp1252(std::string_view utf8);
// Windows-1252 to UTF-8. The five bytes Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) map to the C1 control characters of the same value, so the conversion is lossless.
std::string Cp1252ToUtf8(std::string_view text);
// The same conversion of a text in its own buffer, from the end backwards: for a large text (a
// report of tens of megabytes) that would otherwise be copied whole into a second one.
void ConvertCp1252ToUtf8InPlace(std::string& text);
std::string Utf16ToCp1252(std::u16string_view utf16);
// The Unicode code point of one Windows-1252 byte.
char32_t Cp1252ToCodePoint(unsigned char byte);
// The Windows-1252 byte of a code point, or -1 when the code page has none.
int CodePointToCp1252(char32_t code_point);

// UTF-8 primitives shared by the conversions here and the XML edge. ReadUtf8 reads the sequence
// at `at` (within `utf8`): `valid` is false for an ill-formed one (a byte that starts none, a
// sequence cut short, an overlong form, beyond U+10FFFF), whose `length` is then the bytes read
// up to the fault. A surrogate decodes like any other code point: the UTF-16 reader keeps a lone
// one so that the XML check can name it. DecodeUtf8 reads one sequence at `i`, advances `i` past
// the bytes it used and returns the code point, or U+FFFD with `valid` false for an ill-formed
// sequence or a surrogate.
struct Utf8Sequence {
  char32_t code_point;
  std::size_t length;
  bool valid;
};
Utf8Sequence ReadUtf8(std::string_view utf8, std::size_t at);
char32_t DecodeUtf8(std::string_view utf8, std::size_t& i, bool& valid);
void AppendUtf8(std::string& out, char32_t code_point);
// The UTF-8 bytes of a code point written at `out`, which has room for four; how many.
std::size_t EncodeUtf8(char32_t code_point, char* out);
// Whether the eight bytes at `at` are all ASCII: the one test of the readers and converters that
// pass over runs of ASCII a word at a time.
inline bool IsAsciiWord(const char* at) {
  std::uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return (word & 0x8080808080808080ULL) == 0;
}
// `cp1252` appended to `out` as UTF-8; runs of ASCII are copied whole.
void AppendCp1252AsUtf8(std::string& out, std::string_view cp1252);

// Letter case over the letters of Windows-1252, accented ones included (a-z, à-þ except ÷, š, œ,
// ž, ÿ and their capitals).
std::string UpperCase(std::string_view text);
std::string LowerCase(std::string_view text);
// Upper (lower) case of the ASCII letters a-z (A-Z) only; every other byte stays as it is: for
// names the system or a file format compares without regard to case (file names, extensions,
// INI keys, encoding names).
std::string AsciiUpperCase(std::string_view text);
std::string AsciiLowerCase(std::string_view text);
// Equality without regard to letter case, over the letters of Windows-1252.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace tc
