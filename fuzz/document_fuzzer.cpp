// libFuzzer target for the ITACA document loader. Whatever the bytes, loading either refuses them
// with a DocumentError or gives a document that can be read and written back out; a document
// written in UTF-8 or UTF-16 must load again. A UTF-8 document it reads must read as pugixml
// reads it: the same elements at each path, on the same lines, with the same attribute values. Any
// other exception, a crash or a sanitizer report is a finding. How to build and run it:
// fuzz/README.md.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "itaca/document.h"
#include "support/pugixml_reading.h"
#include "base/error.h"
#include "wellformed.h"

namespace {

using tc::itaca::Document;

// Whether the bytes name an encoding anywhere, in an 8-bit or a UTF-16 form. Without one the
// document is written in UTF-8, which holds every character, so the writing must load again.
bool NamesAnEncoding(std::string_view bytes) {
  using namespace std::string_view_literals;
  return bytes.find("encoding"sv) != std::string_view::npos ||
         bytes.find("e\0n\0c\0o\0d\0i\0n\0g"sv) != std::string_view::npos;
}

[[noreturn]] void Finding(const char* what, const std::string& detail) {
  std::fprintf(stderr, "%s: %s\n", what, detail.c_str());
  std::abort();
}

// A document read from UTF-8 `bytes` against pugixml's reading of them.
void CompareWithPugixml(const Document& document, std::string_view bytes) {
  std::string_view text = bytes;
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  pugi::xml_document theirs;
  if (!theirs.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8)) {
    Finding("pugixml refuses a document we read", std::string(bytes));
  }
  std::map<std::string, std::vector<pugi::xml_node>> by_path;
  tc::test::ElementsByPath(theirs, "", by_path);
  for (const auto& [path, nodes] : by_path) {
    const tc::itaca::ElementList list = document.Select(path);
    if (list.Count() != nodes.size()) Finding("another count of elements at", path);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
      if (list[i].Line() != tc::test::LineOf(text, nodes[i].offset_debug()))
        Finding("another line at", path);
      for (pugi::xml_attribute a = nodes[i].first_attribute(); a; a = a.next_attribute()) {
        const std::string_view name = a.name();
        std::optional<std::string_view> value;
        list[i].RawAttrs(std::span(&name, 1), std::span(&value, 1));
        if (value != std::string_view(a.value())) Finding("another value of", std::string(name));
      }
    }
  }
}

// The check of UTF-8 `text` with the timetables read ahead from its first byte on, against the
// check that reads everything itself: the same fault, the same tree, the same gleaned values in
// the same order.
void CompareReadingAhead(std::string_view text) {
  namespace detail = tc::itaca::detail;
  struct Reading {
    std::optional<detail::WellFormednessFault> fault;
    detail::ElementTree tree;
    std::vector<std::string> gleaned;
  };
  auto read = [text](std::size_t from) {
    Reading reading;
    detail::Gleaning gleaning;
    gleaning.paths = {{"centro", "horarios_ocupaciones", "horario_ocupacion"}};
    gleaning.attributes = {{"plantilla", "docente"}};
    gleaning.take = [&](std::size_t path, std::span<const std::optional<std::string_view>> values) {
      std::string line = std::to_string(path);
      for (const auto& value : values) line += value ? "[" + std::string(*value) + "]" : "-";
      reading.gleaned.push_back(line);
    };
    const detail::ReadAheadPaths ahead{{{"centro", "horarios_grupo", "horario_grupo"},
                                        {"centro", "horarios_ocupaciones", "horario_ocupacion"}},
                                       from,
                                       0};
    reading.fault = detail::FirstWellFormednessFault(text, &gleaning, &reading.tree, ahead);
    return reading;
  };
  const Reading alone = read(SIZE_MAX), ahead = read(0);
  if (alone.fault.has_value() != ahead.fault.has_value()) {
    Finding("read ahead, another outcome", std::string(text));
  }
  if (alone.fault) {
    if (alone.fault->offset != ahead.fault->offset || alone.fault->reason != ahead.fault->reason) {
      Finding("read ahead, another fault", alone.fault->reason + " / " + ahead.fault->reason);
    }
    return;  // what a reading was given before its fault is dropped
  }
  const auto same_nodes = [](const detail::ElementTree& a, const detail::ElementTree& b) {
    if (a.nodes.size() != b.nodes.size() || a.attributes.size() != b.attributes.size() ||
        a.values != b.values) {
      return false;
    }
    for (std::size_t i = 0; i < a.nodes.size(); ++i) {
      if (a.nodes[i].name != b.nodes[i].name || a.nodes[i].attributes != b.nodes[i].attributes ||
          a.nodes[i].end != b.nodes[i].end) {
        return false;
      }
    }
    for (std::size_t i = 0; i < a.attributes.size(); ++i) {
      if (a.attributes[i].name != b.attributes[i].name ||
          a.attributes[i].value != b.attributes[i].value ||
          a.attributes[i].value_size != b.attributes[i].value_size) {
        return false;
      }
    }
    return true;
  };
  if (!same_nodes(alone.tree, ahead.tree)) Finding("read ahead, another tree", std::string(text));
  if (alone.gleaned != ahead.gleaned) Finding("read ahead, other values", std::string(text));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  CompareReadingAhead(bytes);
  std::optional<Document> document;
  try {
    document.emplace(Document::Parse(bytes, "fuzz.xml"));
  } catch (const tc::DocumentError&) {
    return 0;  // refused, with its message
  }

  // UTF-8 as it lies: no other encoding named, no UTF-16 (marked, or told by its zero bytes).
  const bool utf16 = bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF") ||
                     bytes.find('\0') != std::string_view::npos;
  if (!utf16 && !NamesAnEncoding(bytes)) CompareWithPugixml(*document, bytes);

  // What the conversion reads: every collection, its keys and the template dialog's values.
  for (std::string_view path : {tc::itaca::kCentro, tc::itaca::kTemplates, tc::itaca::kPeriods,
                                tc::itaca::kTeachers, tc::itaca::kGroupTimetables}) {
    for (const tc::itaca::Element& element : document->Select(path)) {
      (void)element.TryAttr("codigo");
      (void)element.DialogAttr("descripcion_cas");
      (void)element.Line();
    }
  }

  std::string written;
  try {
    written = document->Serialize();
  } catch (const tc::Error& error) {
    Finding("a loaded document cannot be written", error.what());
  }
  if (!NamesAnEncoding(bytes)) {
    try {
      Document::Parse(written, "written.xml");
    } catch (const tc::Error& error) {
      Finding("a written document does not load again", error.what());
    }
  }
  return 0;
}
