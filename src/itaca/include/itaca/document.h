// The ITACA interchange document: loading (any of the encodings ITACA and editors produce),
// element lists by absolute path, attribute values as trimmed Windows-1252 text, and writing a
// new document for the export.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace tc::itaca {

// Collection paths of the document.
inline constexpr std::string_view kCentro = "/centro";
inline constexpr std::string_view kTemplates = "/centro/plantillas_horario/plantilla_horario";
inline constexpr std::string_view kPeriods = "/centro/sesiones_horario/sesion_horario";
inline constexpr std::string_view kContents = "/centro/contenidos/contenido";
inline constexpr std::string_view kDuties = "/centro/ocupaciones/ocupacion";
inline constexpr std::string_view kTeachers = "/centro/docentes/docente";
inline constexpr std::string_view kRooms = "/centro/aulas/aula";
inline constexpr std::string_view kCourses = "/centro/cursos/curso";
inline constexpr std::string_view kTeachings = "/centro/ensenanzas/ensenanza";
inline constexpr std::string_view kCourseGroupLinks = "/centro/cursos_grupo/curso_grupo";
inline constexpr std::string_view kGroups = "/centro/grupos/grupo";
inline constexpr std::string_view kGroupTimetables = "/centro/horarios_grupo/horario_grupo";
inline constexpr std::string_view kDutyTimetables =
    "/centro/horarios_ocupaciones/horario_ocupacion";

class Document;

// One element of the document. A light handle: valid while its Document lives.
class Element {
 public:
  Element() = default;

  bool Valid() const;
  std::string Name() const;
  // Line of the element in the loaded file (1-based), 0 when unknown (a created element).
  int Line() const;
  // The collection path it was selected by and its 1-based position there (for reports).
  std::string_view Collection() const { return path_; }
  std::size_t Position() const { return index_ + 1; }

  // The attribute's value as Windows-1252 text, trimmed with AllTrim. Throws DocumentError naming
  // the element's path, its line and position, and the attribute when it is absent.
  std::string Attr(std::string_view name) const;
  // The same, or nullopt when the attribute is absent.
  std::optional<std::string> TryAttr(std::string_view name) const;
  // TryAttr of each name, values[i] for names[i], in one walk over the element's attributes:
  // for a reader that takes several attributes of each of many elements.
  void TryAttrs(std::span<const std::string_view> names,
                std::span<std::optional<std::string>> values) const;
  bool HasAttr(std::string_view name) const;
  // Several attributes at once, in one walk of the element's attributes, as the document holds
  // them (UTF-8, untrimmed; absent: nullopt), for readers of a whole timetable that convert only
  // the values they keep. The views live as long as the document's tree (those of an element
  // written, until the next attribute is set).
  void RawAttrs(std::span<const std::string_view> names,
                std::span<std::optional<std::string_view>> values) const;
  // The text TryAttr gives of a value RawAttrs gave: Windows-1252, trimmed.
  static std::string AttrText(std::string_view raw);
  // AttrText(raw) appended to `out`, a plain value without a copy of its own.
  static void AppendAttrText(std::string& out, std::string_view raw);
  // Whether AttrText(raw) is `text`, without converting a value of plain ASCII without blanks
  // around it (most are).
  static bool AttrIs(std::string_view raw, std::string_view text);
  // The value as the template dialog reads it: every leading and trailing character up to and
  // including the blank (control characters too) removed from the Unicode text, then converted
  // to Windows-1252. Absent reads as "".
  std::string DialogAttr(std::string_view name) const;

  // Writing, on the elements of the document being written (ReplaceRoot's and those appended to
  // it): sets an attribute (value in Windows-1252); attributes keep the order they are set.
  void SetAttr(std::string_view name, std::string_view value);
  // The same for an attribute the element does not have (one of a new element's, each set
  // once): added last without a search of those it has.
  void AddAttr(std::string_view name, std::string_view value);
  // Appends a new child element and returns it.
  Element AppendChild(std::string_view name);

 private:
  friend class Document;
  friend class ElementList;
  Element(const Document* doc, const void* node, std::string_view path, std::size_t index);
  // Whether it is an element of the document being written (from ReplaceRoot on) rather than
  // one read.
  bool Written() const;
  void RequireWritten() const;  // throws an internal Error for an element read
  std::optional<std::string_view> RawAttr(std::string_view name) const;
  const Document* doc_ = nullptr;
  const void* node_ = nullptr;  // the node read, or the written one's index + 1
  std::string_view path_;       // the collection path it was selected by (for messages)
  std::size_t index_ = 0;       // its position in that collection (0-based)
};

// The elements under an absolute path, in document order. An absent collection is empty.
class ElementList {
 public:
  std::size_t Count() const { return elements_.size(); }
  bool Empty() const { return elements_.empty(); }
  const Element& operator[](std::size_t index) const { return elements_[index]; }
  const Element& At(std::size_t index) const { return elements_.at(index); }
  auto begin() const { return elements_.begin(); }
  auto end() const { return elements_.end(); }

  // The list rule of every reader of a collection: a collection of exactly one element is passed
  // over like an empty one, as ITACA's other readers do (do not "fix" it). The elements to read:
  // all of them, or none.
  std::span<const Element> Listed() const& {
    if (elements_.size() < 2) return {};
    return elements_;
  }
  std::span<const Element> Listed() const&& = delete;

 private:
  friend class Document;
  std::vector<Element> elements_;
};

// Elements a reader takes as the document is read, which the tree then leaves out (their
// collection stays, empty): for a reader of a few attributes of a collection of hundreds of
// thousands, which would otherwise cost a node of each.
struct Gleaning {
  std::string_view path;                     // as Select takes it; outlives the load
  std::vector<std::string_view> attributes;  // the names read
  // Each element's values of those names, in their order (nullopt when it has none), as RawAttrs
  // gives them; the texts last as long as the call.
  std::function<void(std::span<const std::optional<std::string_view>> values)> take;
};

// When a loaded document's digest (Digest) is taken: as it is read, beside the check (for a
// reader that records which document it read), or only if asked, while the document still holds
// what it read (a reader that never asks saves the work).
enum class DigestTaken { AsRead, WhenAsked };

class Document {
 public:
  Document();  // an empty document
  ~Document();
  Document(Document&&) noexcept;
  Document& operator=(Document&&) noexcept;

  // Loads a whole file. Throws DocumentError when the file cannot be read, its encoding is not
  // one we read (the message names it), it is not well-formed XML (the line and column of the
  // first fault and what is wrong there), it has a document type declaration (never read: its
  // entities would change the data) or its root element is not `centro` (naming the root found).
  // The elements of `gleanings` are handed to them as the document is read, and are not in it.
  static Document Load(const std::filesystem::path& file,
                       platform::FileSystem& files = platform::RealFileSystem(),
                       std::span<const Gleaning> gleanings = {},
                       DigestTaken digest = DigestTaken::AsRead);
  // The same from bytes in memory; `source` names the origin in messages.
  static Document Parse(std::string_view bytes, std::string_view source = "documento",
                        std::span<const Gleaning> gleanings = {},
                        DigestTaken digest = DigestTaken::AsRead);

  // Elements under an absolute path such as "/centro/docentes/docente", in document order, as
  // read (none once ReplaceRoot has replaced them). `path` must outlive the list (the path
  // constants above do).
  ElementList Select(std::string_view path) const;
  // The root element (invalid when there is none).
  Element Root() const;

  // Export: removes the root element with everything in it, keeps the other top-level nodes
  // (declaration, comments, processing instructions) and appends a new root of this name. The
  // text read goes too: no element read before is valid afterwards.
  Element ReplaceRoot(std::string_view name);
  // Export, after ReplaceRoot: room taken at once for the document to be written, about so many
  // elements of so many attributes each, their values of about so many bytes. Room never written
  // to is never touched, and too little grows as it is needed.
  void ReserveWritten(std::size_t elements, std::size_t attributes_each,
                      std::size_t value_bytes_each);

  // Saves atomically (temporary file beside `file`, then moved into place) in the encoding that
  // the kept XML declaration names (UTF-8 when there is none); a character that encoding cannot
  // hold is written as a character reference. Throws DocumentError on failure.
  void Save(const std::filesystem::path& file,
            platform::FileSystem& files = platform::RealFileSystem()) const;
  // The bytes Save would write.
  std::string Serialize() const;

  // The source named in messages (the file path as UTF-8, or the `source` given to Parse).
  const std::string& Source() const;
  // ContentDigest of the bytes the document was read from (0 for an empty document). Of one
  // loaded with DigestTaken::WhenAsked, asked before ReplaceRoot (an internal error after).
  std::uint64_t Digest() const;

  struct Impl;

 private:
  friend class Element;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tc::itaca
