// pugixml's reading of a document, to hold the loader's own reading to: its elements by path, in
// document order, and the line each is on.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

namespace tc::test {

// The elements under `parent` by absolute path ("/centro/docentes/docente"), in document order.
inline void ElementsByPath(pugi::xml_node parent, const std::string& path,
                           std::map<std::string, std::vector<pugi::xml_node>>& found) {
  for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
    if (child.type() != pugi::node_element) continue;
    const std::string child_path = path + "/" + child.name();
    found[child_path].push_back(child);
    ElementsByPath(child, child_path, found);
  }
}

// The line of byte `offset` of `text`, lines ending at LF or at a CR alone, as the loader counts
// them.
inline int LineOf(std::string_view text, std::ptrdiff_t offset) {
  int line = 1;
  for (std::ptrdiff_t i = 0; i < offset; ++i) {
    line += text[i] == '\n' || (text[i] == '\r' && (i + 1 == offset || text[i + 1] != '\n'));
  }
  return line;
}

}  // namespace tc::test
