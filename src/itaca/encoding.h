// Character encodings of ITACA files: reading any encoding we accept into the UTF-8 buffer the
// parser works on, and writing UTF-8 text out in the encoding a saved file declares.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tc::itaca::detail {

enum class Charset {
  kUtf8,
  kUtf16Le,
  kUtf16Be,
  kLatin1,       // ISO-8859-1 (read with the Windows-1252 characters in 0x80-0x9F)
  kLatin9,       // ISO-8859-15
  kWindows1252,
  kAscii,
};

// The charset an encoding name stands for, compared without regard to case; nullopt when it is
// not one we read and write. "UTF-16" gives kUtf16Le: the byte order comes from the file.
std::optional<Charset> CharsetNamed(std::string_view name);
bool IsUtf16(Charset charset);

// The value of the `encoding` pseudo-attribute of the XML declaration that opens `text`
// (ASCII-compatible bytes), or nullopt when there is no declaration or it names no encoding.
std::optional<std::string> DeclaredEncoding(std::string_view text);

struct DecodedDocument {
  Charset charset;       // what the file is written in
  bool byte_order_mark;  // whether it starts with one
  bool declared;         // whether its declaration names an encoding
  // The text converted to UTF-8, or nullopt when the file is to be parsed as it lies (a UTF-8
  // byte-order mark included: the parser passes over it). Such a file is UTF-8 only if its bytes
  // are: the well-formedness check reads every one of them, and RequireUtf8 says which is not.
  std::optional<std::string> converted;
};

// Tells apart the files whose encoding we do not read, and converts the bytes of the others to
// UTF-8 when they are not read as they lie. Throws DocumentError (naming `source`,
// Windows-1252) when the encoding is one we do not read, or the bytes are not UTF-16 as they
// claim.
DecodedDocument DecodeDocument(std::string_view bytes, std::string_view source);

// For a file read as it lies (`bytes`, its mark included): throws the DocumentError that names
// the first byte that is not UTF-8, when there is one.
void RequireUtf8(const DecodedDocument& decoded, std::string_view bytes, std::string_view source);

// Builds the bytes of a file in one charset from UTF-8 pieces. A character the charset cannot
// hold becomes a character reference where markup allows one (text and attribute values) and
// '?' elsewhere (names, comments, processing instructions).
class Encoder {
 public:
  Encoder(Charset charset, bool byte_order_mark);
  // A document's text goes out in pieces of a few bytes: UTF-8, the usual case, is appended
  // inline, the other encodings converted by Put.
  void Text(std::string_view utf8) {  // references allowed
    if (charset_ == Charset::kUtf8) {
      out_ += utf8;
    } else {
      Put(utf8, true);
    }
  }
  void Markup(std::string_view utf8) {  // no references
    if (charset_ == Charset::kUtf8) {
      out_ += utf8;
    } else {
      Put(utf8, false);
    }
  }
  std::string Take() { return std::move(out_); }
  void Reserve(std::size_t bytes) { out_.reserve(out_.size() + bytes); }

 private:
  void Put(std::string_view utf8, bool references);  // converted: any encoding but UTF-8
  void PutCodePoint(char32_t code_point);
  bool Holds(char32_t code_point) const;
  Charset charset_;
  std::string out_;
};

}  // namespace tc::itaca::detail
