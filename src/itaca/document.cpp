#include "itaca/document.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
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

// An element written is known by its index in the tree written.
const void* WrittenHandle(std::uint32_t index) {
  return reinterpret_cast<const void*>(std::uintptr_t{index} + 1);
}
std::uint32_t WrittenIndex(const void* node) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(node) - 1);
}

std::string Utf8Of(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

using ReadNode = detail::ElementTree::Node;
using ReadAttribute = detail::ElementTree::Attribute;

const ReadNode* ReadNodeOf(const void* node) { return static_cast<const ReadNode*>(node); }

bool IsXmlBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 0x20; }

// A path's names, from the root's down ("/centro/aulas/aula": centro, aulas, aula).
std::vector<std::string_view> NamesOf(std::string_view path) {
  std::vector<std::string_view> names;
  while (!path.empty()) {
    path.remove_prefix(1);  // the '/'
    const std::size_t slash = path.find('/');
    names.push_back(path.substr(0, slash));
    path = slash == std::string_view::npos ? std::string_view() : path.substr(slash);
  }
  return names;
}

// A document is read with the check alone up to this length, and its line ends and digest
// worked out in turn.
constexpr std::size_t kLongText = std::size_t{1} << 20;

// What a long document is read ahead for: its lessons and duty periods, most of its text. The
// reader also works out the line ends, and the digest when it is taken as the text is read: it
// starts the further past the middle for them.
detail::ReadAheadPaths TimetablesAhead(bool with_digest) {
  static const std::vector<std::vector<std::string_view>> paths{NamesOf(kGroupTimetables),
                                                                NamesOf(kDutyTimetables)};
  return {paths, kLongText, with_digest ? std::size_t{11} : std::size_t{10}};
}

// The check's gleaning for the document's: each path's names, and the values asked for of each
// element found.
struct Gleaner {
  explicit Gleaner(std::span<const Gleaning> gleanings) : gleanings(gleanings) {
    for (const Gleaning& gleaning : gleanings) {
      check.paths.push_back(NamesOf(gleaning.path));
      check.attributes.push_back(gleaning.attributes);
    }
    check.take = [this](std::size_t path, std::span<const std::optional<std::string_view>> raw) {
      values.resize(raw.size());
      parsed.resize(raw.size());
      for (std::size_t i = 0; i < raw.size(); ++i) {
        values[i] =
            raw[i] ? std::optional(detail::ParsedAttributeValue(*raw[i], parsed[i])) : std::nullopt;
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
  std::string text;          // the UTF-8 text read
  std::size_t mark = 0;      // the bytes of its byte-order mark, which are not XML
  detail::ElementTree tree;  // its elements, as the check read them
  // The document written, from ReplaceRoot on: the top-level nodes kept, with an element where
  // the new root goes, and the new root with everything in it.
  pugi::xml_document xml;
  detail::WrittenTree writing;
  bool written = false;
  std::string source;                      // UTF-8, as Source() gives it
  // The digest of the bytes read; when pending (DigestTaken::WhenAsked), of `text` once asked.
  mutable std::uint64_t digest = 0;
  mutable bool digest_pending = false;
  mutable std::mutex digest_taking;
  std::filesystem::path file;              // the file loaded, empty for Parse
  std::vector<std::uint32_t> line_breaks;  // offsets of the line ends of the text read
  detail::Charset charset = detail::Charset::kUtf8;
  bool byte_order_mark = false;

  std::string SourceText() const { return Utf8ToCp1252(source); }

  // The attribute of an element written.
  std::optional<std::string_view> WrittenAttr(const void* node, std::string_view name) const {
    const detail::WrittenTree::Attribute* attribute = writing.Find(WrittenIndex(node), name);
    if (attribute == nullptr) return std::nullopt;
    return writing.ValueOf(*attribute);
  }

  // The text the check read, where the tree's offsets count from.
  std::string_view Checked() const { return std::string_view(text).substr(mark); }

  // A name or value of the tree.
  std::string_view TreeText(std::uint32_t at, std::uint32_t size) const {
    const std::size_t checked = text.size() - mark;
    if (at < checked) return std::string_view(text.data() + mark + at, size);
    return std::string_view(tree.values.data() + (at - checked), size);
  }

  std::span<const ReadAttribute> AttributesOf(const ReadNode* node) const {
    return std::span(tree.attributes)
        .subspan(node->attributes, (node + 1)->attributes - node->attributes);
  }

  // Whether the name at `at` is `name` (never empty).
  bool NameAt(std::uint32_t at, std::string_view name) const {
    const char* const given = text.data() + mark + at;
    // The first letter and where the name ends tell most names apart before they are compared.
    return at + name.size() < text.size() - mark && *given == name.front() &&
           detail::IsNameEnd(given[name.size()]) &&
           std::memcmp(given, name.data(), name.size()) == 0;
  }

  bool NameIs(const ReadNode* node, std::string_view name) const {
    return !name.empty() && NameAt(node->name, name);
  }

  std::string_view NameAt(std::uint32_t at) const {
    const char* const name = text.data() + mark + at;
    std::size_t size = 0;
    while (!detail::IsNameEnd(name[size])) ++size;
    return std::string_view(name, size);
  }

  int LineAt(std::ptrdiff_t offset) const {
    if (offset < 0) return 0;
    const auto it = std::lower_bound(line_breaks.begin(), line_breaks.end(),
                                     static_cast<std::uint32_t>(offset));
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

  // Reads a whole file. UTF-8 is read where it lies; any other encoding is converted first.
  // The declaration keeps naming the file's own encoding, the one a save writes.
  void Read(std::string bytes, std::span<const Gleaning> gleanings = {},
            DigestTaken digest_taken = DigestTaken::AsRead) {
    detail::DecodedDocument decoded = detail::DecodeDocument(bytes, SourceText());
    charset = decoded.charset;
    byte_order_mark = decoded.byte_order_mark;
    const bool as_it_lies = !decoded.converted;
    if (!as_it_lies) digest = ContentDigest(bytes);  // the bytes read go once converted
    text = as_it_lies ? std::move(bytes) : std::move(*decoded.converted);
    std::string().swap(bytes);
    // A UTF-8 file is read where it lies, its mark included; the check reads the characters of
    // the document, and the mark is none of them. Its reading of every byte is also the UTF-8
    // check: only a file it refuses may hold bytes that are not UTF-8, named first as such.
    mark = as_it_lies && byte_order_mark ? 3 : 0;
    // The tree counts in 32 bits, its values after the text.
    constexpr std::size_t kLargest = std::size_t{1} << 31;
    if (text.size() - mark >= kLargest) {
      throw DocumentError(
          "El documento ITACA " + SourceText() + " ocupa m\xE1s de 2 GB y no se puede leer.",
          ErrorKind::DocumentUnreadable, SourceText());
    }
    // What only reads the text is done beside the check when the text is long: its digest (the
    // bytes read, when it is they) and its line ends. Over before the text is refused.
    const bool digest_beside = as_it_lies && digest_taken == DigestTaken::AsRead;
    digest_pending = as_it_lies && !digest_beside;
    auto beside = [this, digest_beside] {
      if (digest_beside) digest = ContentDigest(text);
      line_breaks = detail::LineEnds<std::uint32_t>(text);
    };
    const bool long_text = text.size() >= kLongText;
    if (!long_text) beside();
    std::optional<Gleaner> gleaner;
    if (!gleanings.empty()) gleaner.emplace(gleanings);
    if (auto fault = detail::FirstWellFormednessFault(
            Checked(), gleaner ? &gleaner->check : nullptr, &tree, TimetablesAhead(digest_beside),
            long_text ? std::function<void()>(beside) : std::function<void()>())) {
      if (as_it_lies) detail::RequireUtf8(decoded, text, SourceText());
      Refuse(*fault);
    }
    const ReadNode& root = tree.nodes.front();
    if (!NameIs(&root, kRootName)) {
      throw DocumentError("El archivo " + SourceText() +
                              " no es un documento ITACA: su elemento ra\xEDz es \"" +
                              Utf8ToCp1252(NameAt(root.name)) + "\" en lugar de \"centro\".",
                          ErrorKind::DocumentMalformed, SourceText());
    }
  }
};

// ---------------------------------------------------------------------------------------------
// Element

Element::Element(const Document* doc, const void* node, std::string_view path, std::size_t index)
    : doc_(doc), node_(node), path_(path), index_(index) {}

bool Element::Valid() const { return node_ != nullptr; }

bool Element::Written() const { return doc_ != nullptr && doc_->impl_->written; }

std::string Element::Name() const {
  if (Written()) {
    const detail::WrittenTree& tree = doc_->impl_->writing;
    return Utf8ToCp1252(tree.NameOf(tree.nodes[WrittenIndex(node_)].name));
  }
  const ReadNode* node = ReadNodeOf(node_);
  return Utf8ToCp1252(doc_->impl_->NameAt(node->name));
}

int Element::Line() const {
  if (!node_ || !doc_ || Written()) return 0;
  const Document::Impl& impl = *doc_->impl_;
  return impl.LineAt(static_cast<std::ptrdiff_t>(impl.mark + ReadNodeOf(node_)->name));
}

std::optional<std::string_view> Element::RawAttr(std::string_view name) const {
  if (Written()) return doc_->impl_->WrittenAttr(node_, name);
  const Document::Impl& impl = *doc_->impl_;
  for (const ReadAttribute& a : impl.AttributesOf(ReadNodeOf(node_))) {
    if (!name.empty() && impl.NameAt(a.name, name)) {
      return impl.TreeText(a.value, a.value_size);
    }
  }
  return std::nullopt;
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

void Element::AppendAttrText(std::string& out, std::string_view raw) {
  if (IsPlain(raw)) {
    out += raw;
  } else {
    out += AttrText(raw);
  }
}

bool Element::AttrIs(std::string_view raw, std::string_view text) {
  return IsPlain(raw) ? raw == text : AttrText(raw) == text;
}

std::optional<std::string> Element::TryAttr(std::string_view name) const {
  const auto raw = RawAttr(name);
  if (!raw) return std::nullopt;
  return AttrText(*raw);
}

void Element::RawAttrs(std::span<const std::string_view> names,
                       std::span<std::optional<std::string_view>> values) const {
  if (Written()) {
    for (std::size_t i = 0; i < names.size(); ++i) {
      values[i] = doc_->impl_->WrittenAttr(node_, names[i]);
    }
    return;
  }
  std::fill(values.begin(), values.end(), std::nullopt);
  std::size_t left = names.size();
  const Document::Impl& impl = *doc_->impl_;
  // Most told apart by their first letter (a document's attributes are not repeated), kept
  // beside for the few names a reader asks at once; no name in the text starts with a NUL.
  constexpr std::size_t kFew = 16;
  std::array<char, kFew> first{};
  const bool few = names.size() <= kFew;
  if (few) {
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (!names[i].empty()) first[i] = names[i].front();
    }
  }
  const char* const checked = impl.text.data() + impl.mark;
  for (const ReadAttribute& a : impl.AttributesOf(ReadNodeOf(node_))) {
    const char letter = checked[a.name];
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (few ? first[i] != letter : names[i].empty()) continue;
      if (values[i] || !impl.NameAt(a.name, names[i])) continue;
      values[i] = impl.TreeText(a.value, a.value_size);
      --left;
      break;
    }
    if (left == 0) break;
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

bool Element::HasAttr(std::string_view name) const { return RawAttr(name).has_value(); }

std::string Element::DialogAttr(std::string_view name) const {
  const auto raw = RawAttr(name);
  if (!raw) return {};
  // Characters up to U+0020 are single bytes in UTF-8, so trimming bytes trims characters.
  std::string_view value = *raw;
  while (!value.empty() && IsXmlBlankOrControl(value.front())) value.remove_prefix(1);
  while (!value.empty() && IsXmlBlankOrControl(value.back())) value.remove_suffix(1);
  return Utf8ToCp1252(value);
}

namespace {

// The UTF-8 text of a name or value set from Windows-1252 (`converted` holds it when it is not
// ASCII); it ends at a NUL, as a C string would.
std::string_view Utf8Text(std::string_view text, std::string& converted) {
  if (!IsAscii(text)) text = converted = Cp1252ToUtf8(text);
  return text.substr(0, std::min(text.find('\0'), text.size()));
}

}  // namespace

void Element::RequireWritten() const {
  if (!Written()) {
    throw Error("Error interno: un elemento le\xED"
                "do del documento ITACA no se puede modificar.",
                ErrorKind::Internal);
  }
}

void Element::SetAttr(std::string_view name, std::string_view value) {
  RequireWritten();
  std::string name_text, value_text;
  doc_->impl_->writing.Set(WrittenIndex(node_), Utf8Text(name, name_text),
                           Utf8Text(value, value_text), false);
}

void Element::AddAttr(std::string_view name, std::string_view value) {
  RequireWritten();
  std::string name_text, value_text;
  doc_->impl_->writing.Set(WrittenIndex(node_), Utf8Text(name, name_text),
                           Utf8Text(value, value_text), true);
}

Element Element::AppendChild(std::string_view name) {
  RequireWritten();
  std::string name_text;
  const std::uint32_t child =
      doc_->impl_->writing.Add(WrittenIndex(node_), Utf8Text(name, name_text));
  return Element(doc_, WrittenHandle(child), {}, 0);
}

// ---------------------------------------------------------------------------------------------
// Document

Document::Document() : impl_(std::make_unique<Impl>()) {}
Document::~Document() = default;
Document::Document(Document&&) noexcept = default;
Document& Document::operator=(Document&&) noexcept = default;

Document Document::Load(const std::filesystem::path& file, platform::FileSystem& files,
                        std::span<const Gleaning> gleanings, DigestTaken digest) {
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
  document.impl_->Read(std::move(bytes), gleanings, digest);
  return document;
}

Document Document::Parse(std::string_view bytes, std::string_view source,
                         std::span<const Gleaning> gleanings, DigestTaken digest) {
  Document document;
  document.impl_->source = std::string(source);
  document.impl_->Read(std::string(bytes), gleanings, digest);
  return document;
}

ElementList Document::Select(std::string_view path) const {
  ElementList list;
  const std::vector<ReadNode>& nodes = impl_->tree.nodes;
  if (path.empty() || path.front() != '/' || impl_->written || nodes.empty()) return list;
  // One walk down the path, keeping every match of each name in document order. The root is
  // the only element at the top.
  std::string_view rest = path.substr(1);
  std::size_t slash = rest.find('/');
  if (!impl_->NameIs(&nodes.front(), rest.substr(0, slash))) return list;
  std::vector<std::uint32_t> level{0};
  auto children = [&](std::uint32_t parent, auto&& each) {
    for (std::uint32_t child = parent + 1; child < nodes[parent].end; child = nodes[child].end) {
      each(child);
    }
  };
  while (slash != std::string_view::npos) {
    rest = rest.substr(slash + 1);
    slash = rest.find('/');
    const std::string_view name = rest.substr(0, slash);
    std::vector<std::uint32_t> next;
    for (const std::uint32_t parent : level) {
      children(parent, [&](std::uint32_t child) {
        if (impl_->NameIs(&nodes[child], name)) next.push_back(child);
      });
    }
    if (next.empty()) return list;
    level = std::move(next);
  }
  // The last level is the collection: a school's timetables are hundreds of thousands of
  // elements, so its list is sized once.
  list.elements_.reserve(level.size());
  for (const std::uint32_t node : level) {
    list.elements_.push_back(Element(this, &nodes[node], path, list.elements_.size()));
  }
  return list;
}

Element Document::Root() const {
  if (impl_->written) {
    const detail::WrittenTree& tree = impl_->writing;
    if (tree.nodes.empty()) return Element();
    return Element(this, WrittenHandle(0),
                   tree.NameOf(tree.nodes.front().name) == kRootName ? kCentro : "", 0);
  }
  // A document read has a `centro` root, or was refused.
  if (impl_->tree.nodes.empty()) return Element();
  return Element(this, &impl_->tree.nodes.front(), kCentro, 0);
}

Element Document::ReplaceRoot(std::string_view name) {
  // The other top-level nodes go into a tree of their own, which holds its own texts.
  pugi::xml_document kept;
  if (impl_->written) {
    const pugi::xml_node old = impl_->xml.document_element();
    for (pugi::xml_node node = impl_->xml.first_child(); node; node = node.next_sibling()) {
      if (node != old) kept.append_copy(node);
    }
  } else if (!impl_->tree.nodes.empty()) {
    // Read by the parser from the text around the root, an empty element in the root's place.
    const std::string_view checked = impl_->Checked();
    const std::string around = std::string(checked.substr(0, impl_->tree.root_begin)) + "<r/>" +
                               std::string(checked.substr(impl_->tree.root_end));
    if (!kept.load_buffer(around.data(), around.size(), kParseOptions, pugi::encoding_utf8)) {
      throw DocumentError("El analizador XML no ha podido leer lo que rodea al elemento ra\xEDz "
                          "del documento ITACA " +
                              impl_->SourceText() + ".",
                          ErrorKind::Internal, impl_->SourceText());
    }
    kept.remove_child(kept.document_element());
  }
  impl_->xml = std::move(kept);
  impl_->written = true;
  std::string().swap(impl_->text);
  impl_->tree = detail::ElementTree();
  std::vector<std::uint32_t>().swap(impl_->line_breaks);
  std::string name_text;
  const std::string_view utf8 = Utf8Text(name, name_text);
  impl_->xml.append_child(std::string(utf8).c_str());  // where the root goes
  impl_->writing = detail::WrittenTree();
  impl_->writing.Add(detail::WrittenTree::kNone, utf8);
  return Element(this, WrittenHandle(0), name == kRootName ? kCentro : "", 0);
}

void Document::ReserveWritten(std::size_t elements, std::size_t attributes_each,
                              std::size_t value_bytes_each) {
  detail::WrittenTree& tree = impl_->writing;
  tree.nodes.reserve(tree.nodes.size() + elements);
  tree.attributes.reserve(tree.attributes.size() + elements * attributes_each);
  tree.values.reserve(tree.values.size() + elements * attributes_each * value_bytes_each);
}

std::string Document::Serialize() const {
  // A document not written to is written as it was read.
  pugi::xml_document read;
  if (!impl_->written && !impl_->text.empty()) {
    const std::string_view checked = impl_->Checked();
    if (!read.load_buffer(checked.data(), checked.size(), kParseOptions, pugi::encoding_utf8)) {
      throw DocumentError(
          "El analizador XML no ha podido leer el documento ITACA " + impl_->SourceText() + ".",
          ErrorKind::Internal, impl_->SourceText());
    }
  }
  const pugi::xml_document& xml = impl_->written ? impl_->xml : read;
  // The kept declaration decides the encoding; without one the file is UTF-8.
  detail::Charset charset = detail::Charset::kUtf8;
  bool bom = false;
  const pugi::xml_node first = xml.first_child();
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
  return detail::WriteXml(xml, charset, bom, impl_->written ? &impl_->writing : nullptr);
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
std::uint64_t Document::Digest() const {
  // Under a lock rather than std::call_once, which an exception leaves stuck on some systems.
  const Impl& impl = *impl_;
  const std::lock_guard<std::mutex> lock(impl.digest_taking);
  if (impl.digest_pending) {
    if (impl.written) {
      throw Error("El resumen del documento ITACA " + impl.SourceText() +
                      " se pide despu\xE9s de sustituir su contenido.",
                  ErrorKind::Internal);
    }
    impl.digest = ContentDigest(impl.text);
    impl.digest_pending = false;
  }
  return impl.digest;
}

}  // namespace tc::itaca
