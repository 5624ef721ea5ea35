#include "itaca/document.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <utility>

#include <pugixml.hpp>

#include "base/codepage.h"
#include "base/digest.h"
#include "base/error.h"
#include "base/text.h"
#include "encoding.h"
#include "platform/platform.h"
#include "wellformed.h"
#include "writer.h"

namespace tc::itaca {

namespace {

constexpr std::string_view kRootName = "centro";
// The top-level nodes are kept for the export, so the parser must keep them too.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_declaration |
                                   pugi::parse_comments | pugi::parse_pi | pugi::parse_doctype;

// Spanish for the parser's reasons.
const char* ParseProblem(pugi::xml_parse_status status) {
  switch (status) {
    case pugi::status_unrecognized_tag:
      return "etiqueta no reconocida";
    case pugi::status_bad_pi:
      return "declaraci\xF3n XML o instrucci\xF3n de proceso mal formada";
    case pugi::status_bad_comment:
      return "comentario mal formado";
    case pugi::status_bad_cdata:
      return "secci\xF3n CDATA mal formada";
    case pugi::status_bad_doctype:
      return "declaraci\xF3n de tipo de documento mal formada";
    case pugi::status_bad_pcdata:
      return "texto mal formado";
    case pugi::status_bad_start_element:
      return "etiqueta de apertura mal formada";
    case pugi::status_bad_attribute:
      return "atributo mal formado";
    case pugi::status_bad_end_element:
      return "etiqueta de cierre mal formada";
    case pugi::status_end_element_mismatch:
      return "la etiqueta de cierre no corresponde a la de apertura o falta";
    case pugi::status_no_document_element:
      return "no contiene ning\xFAn elemento";
    default:
      return "error interno del analizador XML";
  }
}

pugi::xml_node NodeOf(const void* node) {
  return pugi::xml_node(static_cast<pugi::xml_node_struct*>(const_cast<void*>(node)));
}

std::string Utf8Of(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// Whether a node's or attribute's name (NUL-terminated) is `name`, compared as it is read: the
// readers ask for a few names among the many attributes and elements of a large document.
bool NameIs(const char* given, std::string_view name) {
  for (const char c : name) {
    if (c == '\0' || *given != c) return false;  // the terminating NUL ends `given` first
    ++given;
  }
  return *given == '\0';
}

std::optional<std::string_view> RawAttr(const void* node, std::string_view name) {
  for (pugi::xml_attribute a = NodeOf(node).first_attribute(); a; a = a.next_attribute()) {
    if (NameIs(a.name(), name)) return std::string_view(a.value());
  }
  return std::nullopt;
}

bool IsXmlBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 0x20; }

// The check's gleaning for the document's: each path's names, and the values asked for of each
// element found.
struct Gleaner {
  explicit Gleaner(std::span<const Gleaning> gleanings) : gleanings(gleanings) {
    for (const Gleaning& gleaning : gleanings) {
      std::vector<std::string_view>& names = check.paths.emplace_back();
      std::string_view rest = gleaning.path;
      while (!rest.empty()) {
        rest.remove_prefix(1);  // the '/'
        const std::size_t slash = rest.find('/');
        names.push_back(rest.substr(0, slash));
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
      }
      check.attributes.push_back(gleaning.attributes);
    }
    check.take = [this](std::size_t path, std::span<const std::optional<std::string_view>> raw) {
      values.resize(raw.size());
      parsed.resize(raw.size());
      for (std::size_t i = 0; i < raw.size(); ++i) {
        values[i] = raw[i] ? std::optional(detail::ParsedAttributeValue(*raw[i], parsed[i])) : std::nullopt;
      }
      this->gleanings[path].take(values);
    };
  }

  std::span<const Gleaning> gleanings;
  detail::Gleaning check;
  std::vector<std::optional<std::string_view>> values;
  std::vector<std::string> parsed;  // the values that are not the text as written
};

}  // namespace

struct Document::Impl {
  std::string text;  // the UTF-8 text the tree was parsed in (in place: its nodes point into it)
  pugi::xml_document xml;
  std::string source;                      // UTF-8, as Source() gives it
  std::uint64_t digest = 0;                // of the bytes read
  std::filesystem::path file;              // the file loaded, empty for Parse
  std::vector<std::size_t> line_breaks;    // offsets of the line ends of the text read
  // Where gleaned elements were cut out of the text parsed: the offset in it, and how many bytes
  // of the text read were gone by then.
  std::vector<std::pair<std::size_t, std::size_t>> cuts;
  detail::Charset charset = detail::Charset::kUtf8;
  bool byte_order_mark = false;

  std::string SourceText() const { return Utf8ToCp1252(source); }

  int LineAt(std::ptrdiff_t offset) const {
    if (offset < 0) return 0;
    const auto cut = std::upper_bound(cuts.begin(), cuts.end(),
                                      std::pair(static_cast<std::size_t>(offset), SIZE_MAX));
    if (cut != cuts.begin()) offset += static_cast<std::ptrdiff_t>(std::prev(cut)->second);
    const auto it = std::lower_bound(line_breaks.begin(), line_breaks.end(),
                                     static_cast<std::size_t>(offset));
    return static_cast<int>(it - line_breaks.begin()) + 1;
  }

  // The first fault the well-formedness check finds, as the user reads it.
  [[noreturn]] void Refuse(const detail::WellFormednessFault& fault) const {
    const std::string where = "l\xEDnea " + std::to_string(fault.position.line) + ", columna " +
                              std::to_string(fault.position.column);
    if (fault.kind == detail::WellFormednessFault::Kind::kDocumentType) {
      throw DocumentError("El documento ITACA " + SourceText() +
                              " tiene una declaraci\xF3n de tipo de documento (<!DOCTYPE>) en la " +
                              where + ": ITACA no las escribe y no se admiten.",
                          ErrorKind::DocumentMalformed, SourceText());
    }
    throw DocumentError("El documento ITACA " + SourceText() + " no es un XML bien formado (" +
                            where + "): " + fault.reason + ".",
                        ErrorKind::DocumentMalformed, SourceText());
  }

  // Parses a whole file. UTF-8 is parsed where it lies; any other encoding is converted first.
  // The declaration keeps naming the file's own encoding, the one a save writes.
  void Read(std::string bytes, std::span<const Gleaning> gleanings = {}) {
    detail::DecodedDocument decoded = detail::DecodeDocument(bytes, SourceText());
    charset = decoded.charset;
    byte_order_mark = decoded.byte_order_mark;
    const bool as_it_lies = !decoded.converted;
    text = as_it_lies ? std::move(bytes) : std::move(*decoded.converted);
    std::string().swap(bytes);
    // A UTF-8 file is parsed where it lies, its mark included; the check reads the characters of
    // the document, and the mark is none of them. Its reading of every byte is also the UTF-8
    // check: only a file it refuses may hold bytes that are not UTF-8, named first as such.
    const std::size_t mark = as_it_lies && byte_order_mark ? 3 : 0;
    std::optional<Gleaner> gleaner;
    if (!gleanings.empty()) gleaner.emplace(gleanings);
    if (auto fault = detail::FirstWellFormednessFault(std::string_view(text).substr(mark),
                                                      gleaner ? &gleaner->check : nullptr)) {
      if (as_it_lies) detail::RequireUtf8(decoded, text, SourceText());
      Refuse(*fault);
    }
    line_breaks = detail::LineEnds(text);
    // The gleaned elements cut out of the text: the parser never sees them, and every other
    // node keeps its line (LineAt adds back what was cut before it).
    if (gleaner && !gleaner->check.ranges.empty()) {
      const auto& ranges = gleaner->check.ranges;
      std::size_t kept = mark + ranges.front().first;
      cuts.reserve(ranges.size());
      for (std::size_t i = 0; i < ranges.size(); ++i) {
        const std::size_t from = mark + ranges[i].second;
        const std::size_t to = i + 1 < ranges.size() ? mark + ranges[i + 1].first : text.size();
        cuts.emplace_back(kept, from - kept);
        std::memmove(text.data() + kept, text.data() + from, to - from);
        kept += to - from;
      }
      text.resize(kept);
    }
    // The check has let through only well-formed XML: the parser fails now for want of memory,
    // or where it disagrees with the check (which would be a fault of ours, named as such).
    const pugi::xml_parse_result result =
        xml.load_buffer_inplace(text.data(), text.size(), kParseOptions, pugi::encoding_utf8);
    if (result.status == pugi::status_out_of_memory) {
      throw DocumentError("No hay memoria suficiente para leer el documento ITACA " +
                              SourceText() + ".",
                          ErrorKind::Internal, SourceText());
    }
    if (!result) {
      throw DocumentError("El analizador XML no ha podido leer el documento ITACA " +
                              SourceText() + " (l\xEDnea " +
                              std::to_string(LineAt(result.offset)) + "): " +
                              ParseProblem(result.status) + ".",
                          ErrorKind::DocumentMalformed, SourceText());
    }

    const pugi::xml_node root = xml.document_element();
    if (root.name() != kRootName) {
      throw DocumentError("El archivo " + SourceText() +
                              " no es un documento ITACA: su elemento ra\xEDz es \"" +
                              Utf8ToCp1252(root.name()) + "\" en lugar de \"centro\".",
                          ErrorKind::DocumentMalformed, SourceText());
    }
  }
};

// ---------------------------------------------------------------------------------------------
// Element

Element::Element(const Document* doc, const void* node, std::string_view path, std::size_t index)
    : doc_(doc), node_(node), path_(path), index_(index) {}

bool Element::Valid() const { return node_ != nullptr; }

std::string Element::Name() const { return Utf8ToCp1252(NodeOf(node_).name()); }

int Element::Line() const {
  if (!node_ || !doc_) return 0;
  return doc_->impl_->LineAt(NodeOf(node_).offset_debug());
}

namespace {

// ASCII is the same text in Windows-1252 and in UTF-8: most names and values need no converting.
bool IsAscii(std::string_view text) {
  return std::none_of(text.begin(), text.end(),
                      [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// A value of plain ASCII without blanks around it: its text is itself.
bool IsPlain(std::string_view raw) {
  return IsAscii(raw) && (raw.empty() || (raw.front() != ' ' && raw.back() != ' '));
}

}  // namespace

std::string Element::AttrText(std::string_view raw) {
  if (IsPlain(raw)) return std::string(raw);
  std::string value = Utf8ToCp1252(raw);
  // Most values carry no blanks around them: spare those the copy.
  if (!value.empty() && (value.front() == ' ' || value.back() == ' ')) value = AllTrim(value);
  return value;
}

bool Element::AttrIs(std::string_view raw, std::string_view text) {
  return IsPlain(raw) ? raw == text : AttrText(raw) == text;
}

std::optional<std::string> Element::TryAttr(std::string_view name) const {
  const auto raw = RawAttr(node_, name);
  if (!raw) return std::nullopt;
  return AttrText(*raw);
}

void Element::RawAttrs(std::span<const std::string_view> names,
                       std::span<std::optional<std::string_view>> values) const {
  std::fill(values.begin(), values.end(), std::nullopt);
  std::size_t left = names.size();
  for (pugi::xml_attribute a = NodeOf(node_).first_attribute(); a && left > 0;
       a = a.next_attribute()) {
    // The name read once for all the names asked, most told apart by their first letter.
    const char* name = a.name();
    for (std::size_t i = 0; i < names.size(); ++i) {
      // The first attribute of a name counts, as for TryAttr.
      if (values[i] || (!names[i].empty() && *name != names[i].front()) ||
          !NameIs(name, names[i])) {
        continue;
      }
      values[i] = std::string_view(a.value());
      --left;
      break;
    }
  }
}

void Element::TryAttrs(std::span<const std::string_view> names,
                       std::span<std::optional<std::string>> values) const {
  // Up to eight names in each walk, without a buffer on the heap.
  constexpr std::size_t kAtOnce = 8;
  std::array<std::optional<std::string_view>, kAtOnce> raw;
  for (std::size_t from = 0; from < names.size(); from += kAtOnce) {
    const std::size_t count = std::min(kAtOnce, names.size() - from);
    RawAttrs(names.subspan(from, count), std::span(raw).first(count));
    for (std::size_t i = 0; i < count; ++i) {
      values[from + i] = raw[i] ? std::optional<std::string>(AttrText(*raw[i])) : std::nullopt;
    }
  }
}

std::string Element::Attr(std::string_view name) const {
  if (auto value = TryAttr(name)) return std::move(*value);
  // Where: the collection and position the reader walked, the line, the file.
  std::string where = path_.empty() ? Name() : std::string(path_);
  where += " (elemento " + std::to_string(index_ + 1);
  if (const int line = Line(); line > 0) where += ", l\xEDnea " + std::to_string(line);
  where += ")";
  if (doc_) where += " de " + doc_->impl_->SourceText();
  throw DocumentError("Falta el atributo \"" + std::string(name) + "\" en " + where,
                      ErrorKind::AttributeMissing, where);
}

bool Element::HasAttr(std::string_view name) const { return RawAttr(node_, name).has_value(); }

std::string Element::DialogAttr(std::string_view name) const {
  const auto raw = RawAttr(node_, name);
  if (!raw) return {};
  // Characters up to U+0020 are single bytes in UTF-8, so trimming bytes trims characters.
  std::string_view value = *raw;
  while (!value.empty() && IsXmlBlankOrControl(value.front())) value.remove_prefix(1);
  while (!value.empty() && IsXmlBlankOrControl(value.back())) value.remove_suffix(1);
  return Utf8ToCp1252(value);
}

namespace {

// An attribute's value set from Windows-1252; it ends at a NUL, as a C string would.
void SetValue(pugi::xml_attribute attribute, std::string_view value) {
  const bool ascii = IsAscii(value);
  const std::string converted = ascii ? std::string() : Cp1252ToUtf8(value);
  const std::string_view text = ascii ? value : std::string_view(converted);
  attribute.set_value(text.data(), std::min(text.find('\0'), text.size()));
}

std::string AttrKey(std::string_view name) {
  return IsAscii(name) ? std::string(name) : Cp1252ToUtf8(name);
}

}  // namespace

void Element::SetAttr(std::string_view name, std::string_view value) {
  pugi::xml_node node = NodeOf(node_);
  const std::string key = AttrKey(name);
  pugi::xml_attribute attribute = node.attribute(key.c_str());
  if (!attribute) attribute = node.append_attribute(key.c_str());
  SetValue(attribute, value);
}

void Element::AddAttr(std::string_view name, std::string_view value) {
  SetValue(NodeOf(node_).append_attribute(AttrKey(name).c_str()), value);
}

Element Element::AppendChild(std::string_view name) {
  pugi::xml_node child = NodeOf(node_).append_child(Cp1252ToUtf8(name).c_str());
  return Element(doc_, child.internal_object(), {}, 0);
}

// ---------------------------------------------------------------------------------------------
// Document

Document::Document() : impl_(std::make_unique<Impl>()) {}
Document::~Document() = default;
Document::Document(Document&&) noexcept = default;
Document& Document::operator=(Document&&) noexcept = default;

Document Document::Load(const std::filesystem::path& file, platform::FileSystem& files,
                        std::span<const Gleaning> gleanings) {
  Document document;
  document.impl_->source = Utf8Of(file);
  document.impl_->file = file;
  std::string bytes;
  try {
    bytes = files.ReadFile(file);
  } catch (const platform::FileError& error) {
    throw DocumentError("No se puede leer el documento ITACA " + document.impl_->SourceText() +
                            ": " + error.reason() + ".",
                        error.kind() == ErrorKind::InputMissing ? ErrorKind::InputMissing
                                                                : ErrorKind::DocumentUnreadable,
                        document.impl_->SourceText());
  }
  document.impl_->digest = ContentDigest(bytes);
  document.impl_->Read(std::move(bytes), gleanings);
  return document;
}

Document Document::Parse(std::string_view bytes, std::string_view source,
                         std::span<const Gleaning> gleanings) {
  Document document;
  document.impl_->source = std::string(source);
  document.impl_->digest = ContentDigest(bytes);
  document.impl_->Read(std::string(bytes), gleanings);
  return document;
}

ElementList Document::Select(std::string_view path) const {
  ElementList list;
  if (path.empty() || path.front() != '/') return list;
  // One walk down the path, keeping every match of each name in document order.
  std::vector<pugi::xml_node> level{impl_->xml};
  std::string_view rest = path.substr(1);
  for (;;) {
    const std::size_t slash = rest.find('/');
    const std::string_view name = rest.substr(0, slash);
    const bool last = slash == std::string_view::npos;
    std::vector<pugi::xml_node> next;
    // Whether every element under the level has the name: a collection's usually holds nothing
    // else, and its names are then not compared a second time.
    bool only_matches = false;
    if (last) {
      // The matches counted first: a collection's list is sized once (a school's timetables
      // are hundreds of thousands of elements).
      std::size_t matches = 0;
      std::size_t elements = 0;
      for (const pugi::xml_node& parent : level) {
        for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
          if (child.type() != pugi::node_element) continue;
          ++elements;
          matches += NameIs(child.name(), name);
        }
      }
      list.elements_.reserve(matches);
      only_matches = matches == elements;
    }
    for (const pugi::xml_node& parent : level) {
      for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element || (!only_matches && !NameIs(child.name(), name))) {
          continue;
        }
        if (last) {
          list.elements_.push_back(
              Element(this, child.internal_object(), path, list.elements_.size()));
        } else {
          next.push_back(child);
        }
      }
    }
    if (last || next.empty()) break;
    level = std::move(next);
    rest = rest.substr(slash + 1);
  }
  return list;
}

Element Document::Root() const {
  const pugi::xml_node root = impl_->xml.document_element();
  if (!root) return Element();
  return Element(this, root.internal_object(), root.name() == kRootName ? kCentro : "", 0);
}

Element Document::ReplaceRoot(std::string_view name) {
  // The other top-level nodes are copied into a tree of their own, which holds its own texts: the
  // parsed tree points into the text it was read from, which then goes with the old root.
  pugi::xml_document kept;
  const pugi::xml_node old = impl_->xml.document_element();
  for (pugi::xml_node node = impl_->xml.first_child(); node; node = node.next_sibling()) {
    if (node != old) kept.append_copy(node);
  }
  impl_->xml = std::move(kept);
  std::string().swap(impl_->text);
  std::vector<std::size_t>().swap(impl_->line_breaks);
  std::vector<std::pair<std::size_t, std::size_t>>().swap(impl_->cuts);
  pugi::xml_node root = impl_->xml.append_child(Cp1252ToUtf8(name).c_str());
  return Element(this, root.internal_object(), name == kRootName ? kCentro : "", 0);
}

std::string Document::Serialize() const {
  // The kept declaration decides the encoding; without one the file is UTF-8.
  detail::Charset charset = detail::Charset::kUtf8;
  bool bom = false;
  const pugi::xml_node first = impl_->xml.first_child();
  if (first.type() == pugi::node_declaration) {
    const std::string_view name = first.attribute("encoding").value();
    if (!name.empty()) {
      const auto named = detail::CharsetNamed(name);
      if (!named) {
        throw DocumentError("No se puede escribir en la codificaci\xF3n \"" + Utf8ToCp1252(name) +
                                "\" el documento " + impl_->SourceText() + ".",
                            ErrorKind::DocumentUnreadable, impl_->SourceText());
      }
      charset = *named;
      // "UTF-16" takes the byte order of the file read and needs its mark; the names with an
      // explicit byte order are written without one.
      if (detail::IsUtf16(charset) && name.size() == std::strlen("UTF-16")) {
        if (detail::IsUtf16(impl_->charset)) charset = impl_->charset;
        bom = true;
      }
    }
  }
  if (charset == detail::Charset::kUtf8 && impl_->charset == detail::Charset::kUtf8) {
    bom = impl_->byte_order_mark;
  }
  return detail::WriteXml(impl_->xml, charset, bom);
}

void Document::Save(const std::filesystem::path& file, platform::FileSystem& files) const {
  if (!impl_->file.empty() && files.SameFile(file, impl_->file)) {
    throw DocumentError("No se puede guardar sobre el documento ITACA de entrada " +
                            impl_->SourceText() + ".",
                        ErrorKind::Internal, impl_->SourceText());
  }
  const std::string bytes = Serialize();
  try {
    platform::WriteFileAtomically(files, file, bytes);
  } catch (const DocumentError&) {
    throw;
  } catch (const Error& error) {
    throw DocumentError(error.what(), error.kind(), error.where());
  }
}

const std::string& Document::Source() const { return impl_->source; }
std::uint64_t Document::Digest() const { return impl_->digest; }

}  // namespace tc::itaca
