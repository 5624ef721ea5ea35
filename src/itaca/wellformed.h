// The well-formedness check of ITACA documents. pugixml builds the tree but lets through much that
// is not XML (repeated attributes, undefined entities, forbidden characters, markup after the
// root...), and a document like that would be converted as if it were fine. This scanner reads
// the decoded text once, before pugixml, and stops at the first fault with its place and a
// reason the user can act on.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tc::itaca::detail {

// A place in a text: 1-based line and column, columns counted in characters.
struct TextPosition {
  int line = 1;
  int column = 1;
};

// The offsets of the line ends in `text` before `limit`: a line ends at LF, or at a CR not
// followed by LF (old Mac files).
std::vector<std::size_t> LineEnds(std::string_view text,
                                  std::size_t limit = std::string_view::npos);

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
  // Filled by the check: where each one lies in the text, from its '<' to the end of its end tag.
  std::vector<std::pair<std::size_t, std::size_t>> ranges;
};

// An attribute's value as written in a well-formed text, made what the parser gives of it:
// references replaced by their characters (UTF-8), and tab, line feed and carriage return (a CR
// LF pair once) by blanks. The value itself when it has none of them, else `out`.
std::string_view ParsedAttributeValue(std::string_view raw, std::string& out);

// The first fault of `text` (UTF-8 without the file's byte-order mark; the code point of a lone
// UTF-16 surrogate is read as such and refused) as a whole XML document without a document type
// declaration, or nullopt when it is well formed. One pass, linear in the size of the text. What
// a gleaning was given before a fault is to be dropped.
std::optional<WellFormednessFault> FirstWellFormednessFault(std::string_view text,
                                                            Gleaning* gleaning = nullptr);

}  // namespace tc::itaca::detail
