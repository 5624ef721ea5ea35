#include "writer.h"

#include <array>

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

  void TopLevel(const pugi::xml_node& document) {
    for (pugi::xml_node node = document.first_child(); node; node = node.next_sibling()) {
      Node(node, 0);
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

  Encoder out_;
};

}  // namespace

std::string WriteXml(const pugi::xml_document& document, Charset charset, bool byte_order_mark) {
  XmlWriter writer(charset, byte_order_mark);
  writer.TopLevel(document);
  return writer.Take();
}

}  // namespace tc::itaca::detail
