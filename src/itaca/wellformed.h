// The well-formedness check of ITACA documents, and the reading of their elements. A lenient
// parser lets through much that is not XML (repeated attributes, undefined entities, forbidden
// characters, markup after the root...), and a document like that would be converted as if it
// were fine. This scanner reads the decoded text once, stops at the first fault with its place
// and a reason the user can act on, and notes the elements and attributes as it passes them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tc::itaca::detail {

// A place in a text: 1-based line and column, columns counted in characters.
struct TextPosition {
  int line = 1;
  int column = 1;
};

// The offsets of the line ends in `text` before `limit`: a line ends at LF, or at a CR not
// followed by LF (old Mac files). In 32 bits for a text under 4 GB (a document's, kept while it
// is read: eight bytes a line would be a tenth of the text again).
template <typename Offset = std::size_t>
std::vector<Offset> LineEnds(std::string_view text, std::size_t limit = std::string_view::npos);

// The position of byte `offset` of UTF-8 `text`, lines as LineEnds counts them. Every character
// of the files we read becomes one character of the UTF-8 text, so this is also the position in
// the original file.
TextPosition PositionIn(std::string_view text, std::size_t offset);

struct WellFormednessFault {
  enum class Kind {
    kNotWellFormed,
    kDocumentType,  // a <!DOCTYPE>: well formed or not, a document ITACA does not carry one
  };
  Kind kind = Kind::kNotWellFormed;
  std::size_t offset = 0;  // the byte of `text` where the fault lies
  TextPosition position;   // the same as line and column
  std::string reason;      // Spanish, Windows-1252, in lower case and without a final full stop
};

// Elements the check hands over as it reads them, for a reader that takes them from the text
// rather than from the tree: those at one of `paths` (each the names from the root's down).
struct Gleaning {
  std::vector<std::vector<std::string_view>> paths;
  std::vector<std::vector<std::string_view>> attributes;  // the names read, for each path
  // Each one's values of its path's names (as written: references and all; nullopt when it has
  // none), with the index of its path, as its start tag ends.
  std::function<void(std::size_t path, std::span<const std::optional<std::string_view>> values)>
      take;
};

// The elements of a text the check found well formed, as it read them, in document order: for
// readers of names and attribute values, which need no other node. Offsets are of the text
// checked; the text must be under 2 GB. A name ends at the first byte that cannot be in one
// (IsNameEnd): a blank, '=', '/' or '>' always follows it.
struct ElementTree {
  struct Node {
    std::uint32_t name;        // where its name starts
    std::uint32_t attributes;  // its first in `attributes`; the next node's first ends them
    std::uint32_t end;         // the index after its last descendant
  };
  struct Attribute {
    std::uint32_t name;
    // Its value as the parser gives it (ParsedAttributeValue): the text as written, or from the
    // text's size on, in `values`.
    std::uint32_t value;
    std::uint32_t value_size;
  };
  std::vector<Node> nodes;  // each element, then one more whose `attributes` ends the last's
  std::vector<Attribute> attributes;
  std::string values;  // the values that are not their text as written
  // The root element, from its '<' to the end of its end tag.
  std::size_t root_begin = 0;
  std::size_t root_end = 0;
};

// Whether the byte after a name in a well-formed text ends it.
inline bool IsNameEnd(char c) {
  return c == ' ' || c == '=' || c == '>' || c == '/' || c == '\t' || c == '\n' || c == '\r';
}

// An attribute's value as written in a well-formed text, made what the parser gives of it:
// references replaced by their characters (UTF-8), and tab, line feed and carriage return (a CR
// LF pair once) by blanks. The value itself when it has none of them, else `out`.
std::string_view ParsedAttributeValue(std::string_view raw, std::string& out);

// What of a long text is read ahead, beside the check (FirstWellFormednessFault): from `from`
// bytes of text up, the elements at `paths` (each the names from the root's down) in its second
// half, on a thread of their own, put into the tree or handed to the gleaning in their turn. The
// outcome is the same as without.
// The thread starts reading at `start` sixteenths of the text: past the middle by about what it
// has to do besides (`beside`, below), so that the check and it end together.
struct ReadAheadPaths {
  std::vector<std::vector<std::string_view>> paths;
  std::size_t from = std::size_t{1} << 20;
  std::size_t start = 8;
};

// The first fault of `text` (UTF-8 without the file's byte-order mark; the code point of a lone
// UTF-16 surrogate is read as such and refused) as a whole XML document without a document type
// declaration, or nullopt when it is well formed. One pass, linear in the size of the text. The
// elements a gleaning takes, and those inside them, are not in `tree`. What a gleaning or the
// tree was given before a fault is to be dropped.
// `beside`, work that only reads the text, is done beside the check (by the thread that reads
// ahead once it has read, or on one of its own) and is over when the check returns; its failure
// is the check's.
std::optional<WellFormednessFault> FirstWellFormednessFault(
    std::string_view text, Gleaning* gleaning = nullptr, ElementTree* tree = nullptr,
    const ReadAheadPaths& ahead = {}, const std::function<void()>& beside = {});

}  // namespace tc::itaca::detail
