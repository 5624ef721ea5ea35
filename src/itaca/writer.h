// Serialisation of a document in a given charset, with our own layout: one node per line,
// elements indented with tabs, lines ended with CR LF as the Windows programs that read these
// files expect.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "encoding.h"

namespace pugi {
class xml_document;
}

namespace tc::itaca::detail {

// The elements of a document being written, from its root down: a timetable's hundreds of
// thousands of attributes as a few numbers each, their names once, their values (UTF-8) one after
// another in one text. Elements and attributes are only ever added.
struct WrittenTree {
  static constexpr std::uint32_t kNone = UINT32_MAX;
  struct Node {
    std::uint32_t name = 0;  // in names
    std::uint32_t first_attribute = kNone;
    std::uint32_t last_attribute = kNone;
    std::uint32_t first_child = kNone;
    std::uint32_t last_child = kNone;
    std::uint32_t next_sibling = kNone;
  };
  struct Attribute {
    std::uint32_t name = 0;  // in names
    std::uint32_t next = kNone;
    std::uint32_t value = 0;  // in values
    std::uint32_t value_size = 0;
  };

  std::vector<Node> nodes;  // the root first
  std::vector<Attribute> attributes;
  std::vector<std::string> names;
  std::string values;

  std::string_view NameOf(std::uint32_t name) const { return names[name]; }
  std::string_view ValueOf(const Attribute& attribute) const {
    return std::string_view(values).substr(attribute.value, attribute.value_size);
  }
  // The index of a name (UTF-8), added when new.
  std::uint32_t Name(std::string_view name);
  // A new element with that name (UTF-8), the last child of `parent` (kNone for the root).
  std::uint32_t Add(std::uint32_t parent, std::string_view name);
  // The attribute `name` of an element set to `value` (UTF-8): replaced where it is, or added
  // last; `added` says that the element does not have it (no search).
  void Set(std::uint32_t node, std::string_view name, std::string_view value, bool added);
  // The attribute of an element, when it has it.
  const Attribute* Find(std::uint32_t node, std::string_view name) const;

 private:
  std::uint32_t next_name_ = 0;  // the name after the one Name gave last
};

// The document with our own layout; with `root`, the element of `document` is only where that
// tree is written.
std::string WriteXml(const pugi::xml_document& document, Charset charset, bool byte_order_mark,
                     const WrittenTree* root = nullptr);

}  // namespace tc::itaca::detail
