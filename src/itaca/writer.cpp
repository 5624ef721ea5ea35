#include "writer.h"

#include <array>
#include <string>
#include <vector>

#include <pugixml.hpp>

namespace tc::itaca::detail {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr char kIndent = '\t';

// The bytes Escaped replaces: below 0x20 and the markup characters, in attributes the quote
// and the white space their normalisation would change too.
constexpr std::array<bool, 256> SpecialBytes(bool attribute) {
  std::array<bool, 256> special{};
  for (int b = 0; b < 0x20; ++b) {
    special[static_cast<std::size_t>(b)] = attribute || (b != '\t' && b != '\n');
  }
  special['&'] = special['<'] = special['>'] = true;
  special['"'] = attribute;
  return special;
}
constexpr std::array<bool, 256> kSpecialInAttribute = SpecialBytes(true);
constexpr std::array<bool, 256> kSpecialInText = SpecialBytes(false);

class XmlWriter {
 public:
  XmlWriter(Charset charset, bool bom) : out_(charset, bom) {}

  void TopLevel(const pugi::xml_node& document, const WrittenTree* written) {
    const pugi::xml_node root = document.find_child(
        [](const pugi::xml_node& node) { return node.type() == pugi::node_element; });
    for (pugi::xml_node node = document.first_child(); node; node = node.next_sibling()) {
      if (written != nullptr && node == root) {
        if (!written->nodes.empty()) Tree(*written);
      } else {
        Node(node, 0);
      }
      out_.Markup(kLineEnd);
    }
  }

  std::string Take() { return out_.Take(); }

 private:
  // Escapes a value; `attribute` also protects the white space that attribute normalisation
  // would otherwise turn into blanks. Control characters XML cannot carry become '?'. The runs
  // between the bytes the table marks go out whole: most values are one run.
  void Escaped(std::string_view text, bool attribute) {
    const std::array<bool, 256>& special = attribute ? kSpecialInAttribute : kSpecialInText;
    std::size_t run = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
      const char c = text[i];
      if (!special[static_cast<unsigned char>(c)]) continue;
      if (i > run) out_.Text(text.substr(run, i - run));
      out_.Markup(Replacement(c));
      run = i + 1;
    }
    if (text.size() > run) out_.Text(text.substr(run));
  }

  // What a byte the tables mark is written as.
  static std::string_view Replacement(char c) {
    switch (c) {
      case '&': return "&amp;";
      case '<': return "&lt;";
      case '>': return "&gt;";
      case '"': return "&quot;";
      case '\t': return "&#9;";
      case '\n': return "&#10;";
      case '\r': return "&#13;";
      default: return "?";
    }
  }

  void Attributes(const pugi::xml_node& node) {
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
      out_.Markup(" ");
      out_.Markup(a.name());
      out_.Markup("=\"");
      Escaped(a.value(), true);
      out_.Markup("\"");
    }
  }

  static bool HasText(const pugi::xml_node& node) {
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
      if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) return true;
    }
    return false;
  }

  void Indent(int depth) {
    if (depth > 0) out_.Markup(std::string(static_cast<std::size_t>(depth), kIndent));
  }

  // One node; `depth` < 0 inside mixed content, where no layout may be added.
  void Node(const pugi::xml_node& node, int depth) {
    switch (node.type()) {
      case pugi::node_element:
        Element(node, depth);
        break;
      case pugi::node_pcdata:
        Escaped(node.value(), false);
        break;
      case pugi::node_cdata:
        out_.Markup("<![CDATA[");
        out_.Markup(node.value());
        out_.Markup("]]>");
        break;
      case pugi::node_comment:
        out_.Markup("<!--");
        out_.Markup(node.value());
        out_.Markup("-->");
        break;
      case pugi::node_pi:
        out_.Markup("<?");
        out_.Markup(node.name());
        if (*node.value() != '\0') {
          out_.Markup(" ");
          out_.Markup(node.value());
        }
        out_.Markup("?>");
        break;
      case pugi::node_declaration:
        out_.Markup("<?");
        out_.Markup(node.name());
        Attributes(node);
        out_.Markup("?>");
        break;
      case pugi::node_doctype:
        out_.Markup("<!DOCTYPE ");
        out_.Markup(node.value());
        out_.Markup(">");
        break;
      case pugi::node_null:
      case pugi::node_document:
        break;
    }
  }

  void Element(const pugi::xml_node& node, int depth) {
    out_.Markup("<");
    out_.Markup(node.name());
    Attributes(node);
    if (!node.first_child()) {
      out_.Markup("/>");
      return;
    }
    out_.Markup(">");
    if (depth < 0 || HasText(node)) {
      for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        Node(child, -1);
      }
    } else {
      for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        out_.Markup(kLineEnd);
        Indent(depth + 1);
        Node(child, depth + 1);
      }
      out_.Markup(kLineEnd);
      Indent(depth);
    }
    out_.Markup("</");
    out_.Markup(node.name());
    out_.Markup(">");
  }

  // The elements written, from the root down: room for them taken once (most of what is
  // written), what goes before each value made once for each name.
  void Tree(const WrittenTree& tree) {
    out_.Reserve(tree.values.size() + tree.attributes.size() * 16 + tree.nodes.size() * 64);
    before_value_.clear();
    for (const std::string& name : tree.names) before_value_.push_back(" " + name + "=\"");
    Element(tree, 0, 0);
  }

  // An element written, laid out as an element read without text in it.
  void Element(const WrittenTree& tree, std::uint32_t index, int depth) {
    const WrittenTree::Node& node = tree.nodes[index];
    out_.Markup("<");
    out_.Markup(tree.NameOf(node.name));
    for (std::uint32_t a = node.first_attribute; a != WrittenTree::kNone;
         a = tree.attributes[a].next) {
      const WrittenTree::Attribute& attribute = tree.attributes[a];
      out_.Markup(before_value_[attribute.name]);
      Escaped(tree.ValueOf(attribute), true);
      out_.Markup("\"");
    }
    if (node.first_child == WrittenTree::kNone) {
      out_.Markup("/>");
      return;
    }
    out_.Markup(">");
    for (std::uint32_t child = node.first_child; child != WrittenTree::kNone;
         child = tree.nodes[child].next_sibling) {
      out_.Markup(kLineEnd);
      Indent(depth + 1);
      Element(tree, child, depth + 1);
    }
    out_.Markup(kLineEnd);
    Indent(depth);
    out_.Markup("</");
    out_.Markup(tree.NameOf(node.name));
    out_.Markup(">");
  }

  Encoder out_;
  std::vector<std::string> before_value_;  // of each name written: ` name="`
};

}  // namespace

std::uint32_t WrittenTree::Name(std::string_view name) {
  // Element after element, the attributes come in the same order: the name after the last one
  // asked for is tried first.
  if (next_name_ < names.size() && names[next_name_] == name) return next_name_++;
  for (std::uint32_t i = 0; i < names.size(); ++i) {
    if (names[i] == name) {
      next_name_ = i + 1;
      return i;
    }
  }
  names.emplace_back(name);
  next_name_ = static_cast<std::uint32_t>(names.size());
  return next_name_ - 1;
}

namespace {

// Appends `index` to a list kept by its first and last items, `next` giving an item's link.
template <typename Next>
void Append(std::uint32_t& first, std::uint32_t& last, std::uint32_t index, Next next) {
  if (last == WrittenTree::kNone) {
    first = index;
  } else {
    next(last) = index;
  }
  last = index;
}

}  // namespace

std::uint32_t WrittenTree::Add(std::uint32_t parent, std::string_view name) {
  const auto index = static_cast<std::uint32_t>(nodes.size());
  Node node;
  node.name = Name(name);
  nodes.push_back(node);
  if (parent != kNone) {
    Append(nodes[parent].first_child, nodes[parent].last_child, index,
           [this](std::uint32_t i) -> std::uint32_t& { return nodes[i].next_sibling; });
  }
  return index;
}

void WrittenTree::Set(std::uint32_t node, std::string_view name, std::string_view value,
                      bool added) {
  const auto at = static_cast<std::uint32_t>(values.size());
  values += value;
  const auto size = static_cast<std::uint32_t>(value.size());
  if (const Attribute* found = added ? nullptr : Find(node, name)) {
    Attribute& attribute = attributes[static_cast<std::size_t>(found - attributes.data())];
    attribute.value = at;
    attribute.value_size = size;
    return;
  }
  const auto index = static_cast<std::uint32_t>(attributes.size());
  attributes.push_back({Name(name), kNone, at, size});
  Append(nodes[node].first_attribute, nodes[node].last_attribute, index,
         [this](std::uint32_t i) -> std::uint32_t& { return attributes[i].next; });
}

const WrittenTree::Attribute* WrittenTree::Find(std::uint32_t node, std::string_view name) const {
  for (std::uint32_t a = nodes[node].first_attribute; a != kNone; a = attributes[a].next) {
    if (names[attributes[a].name] == name) return &attributes[a];
  }
  return nullptr;
}

std::string WriteXml(const pugi::xml_document& document, Charset charset, bool byte_order_mark,
                     const WrittenTree* root) {
  XmlWriter writer(charset, byte_order_mark);
  writer.TopLevel(document, root);
  return writer.Take();
}

}  // namespace tc::itaca::detail
