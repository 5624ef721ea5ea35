// The run report: what a conversion or an export did besides writing rows. The stages record,
// exactly where a rule acts, every code they rename, shorten or number, every element they pass
// over or skip, every lesson, duty or SOLUC record they leave out and every row they delete, each
// with its reason, where it is (collection, position and line of the element, or table and record
// number) and the codes a person recognises. The front ends show it (text, JSON) and keep it.
//
// Recording is cheap: an entry is a few integers and its codes' bytes in one shared buffer, so a
// region's hundreds of thousands of entries cost tens of megabytes at most. Texts are
// Windows-1252, as everywhere in the core.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/text_hash.h"
#include "report/timetable.h"

namespace tc::report {

// Why an entry was recorded. The order is the reading order of the report: renamings first,
// then what the conversion passes over, leaves out, keeps incomplete or deletes, then the export.
// The machine names (ReasonName) are stable: programs rely on them. New reasons are added at the
// end of their group; none is ever renamed.
enum class Reason : std::uint8_t {
  // Conversion: codes renamed.
  CodeNumbered,        // codigo_numerado: the code was taken, a number is added
  CodeShortened,       // codigo_acortado: the code does not fit its field, it is shortened
  DutyCodeLettered,    // codigo_con_letra: a duty's code was taken, a letter replaces a digit
  RoomWithoutCode,     // aula_sin_codigo: a room without code is named by its name's start
  // Conversion: passed over, left out, incomplete, deleted.
  SingleElementList,   // lista_de_un_elemento: a collection of exactly one element is not read
  CourseSkipped,       // curso_omitido: no parent, abbreviation not starting with a digit
  SubjectWithoutRow,   // asignatura_sin_fila: the subject's short code is taken
  DutyWithoutRow,      // ocupacion_sin_fila: the duty's name is taken
  ContentWithoutSubject,  // contenido_sin_asignatura: no ASIGNOMT row, no lessons
  ContentWithoutGroups,   // contenido_sin_grupos: its course has no group, no lessons
  OtherTemplate,       // otra_plantilla: a lesson or duty period of another template
  LessonWithoutPairing,   // sesion_sin_asignacion: no ASIGT row for its group, course, content
  LessonWithoutGroup,  // sesion_sin_grupo: a further teacher's lesson whose group is not in GRUPOST
  TeacherNotFound,     // docente_no_encontrado: counted without teacher
  RoomNotFound,        // aula_no_encontrada: counted without room
  DutyNotFound,        // ocupacion_no_encontrada: counted without duty code
  PairingWithoutLessons,  // asignacion_sin_sesiones: ASIGT row no lesson reached, deleted
  IdleGroup,           // grupo_sin_clases: pruned
  IdleTeacher,         // profesor_sin_clases: pruned
  // Export: SOLUC records.
  NotPlaced,           // sin_colocar: day or hour 0
  GroupUnknown,        // grupo_desconocido: CODGRUPO not in GRUPOST, class left out
  SubjectUnknown,      // asignatura_desconocida: ASIG not in ASIGNOMT, class left out
  DutyUnknown,         // ocupacion_desconocida: ASIG not in ASIGNOMT, duty left out
  DutyTeacherUnknown,  // profesor_de_ocupacion_desconocido: PROF not in PROFT, duty left out
  SlotUnknown,         // tramo_desconocido: HORA and MARCO not in DIASHORAST, left out
  TeacherUnknown,      // profesor_desconocido: PROF not in PROFT, class written without docente
  RoomUnknown,         // aula_desconocida: AULA not in AULAT, class written without aula
};
inline constexpr std::size_t kReasonCount = static_cast<std::size_t>(Reason::RoomUnknown) + 1;

// What an entry's reason did to the data.
enum class Effect : std::uint8_t {
  Renamed,     // renombrado: written under another code
  Skipped,     // omitido: not written at all
  Incomplete,  // incompleto: written with an empty value
  Deleted,     // borrado: a row written earlier in the run was deleted
};

// Who has to act on an entry: the first lines of the report put it under one of three headings.
enum class Level : std::uint8_t {
  Itaca,        // "Revise en ITACA": ITACA's data lose something on the way to Clepsa
  Clepsa,       // "Revise en Clepsa": Clepsa's timetable or tables are not what ITACA gets
  Information,  // "Para su información": done as always, nothing to mend
};

std::string_view ReasonName(Reason reason);  // "codigo_numerado"
std::string_view ReasonText(Reason reason);  // Spanish, one line
Effect ReasonEffect(Reason reason);
Level ReasonLevel(Reason reason);
std::string_view LevelName(Level level);   // "revise_en_itaca"
std::string_view LevelTitle(Level level);  // "Revise en ITACA"
std::string_view EffectName(Effect effect);  // "renombrado"
std::string_view EffectText(Effect effect);  // Spanish plural: "renombrados"

// Where an entry's element or row is.
struct Location {
  enum class Kind : std::uint8_t { None, Element, Record };
  Kind kind = Kind::None;
  std::string_view source;     // the collection path, or the table name
  std::uint32_t position = 0;  // Element: 1-based position in the collection; Record: record number
  std::uint32_t line = 0;      // Element: line in the document, 0 when unknown

  static Location OfElement(std::string_view collection, std::size_t position, int line);
  static Location OfRecord(std::string_view table, int record);
};

// One code of an entry: a name (an attribute of the element, or a field of the table) and its
// value.
struct Code {
  std::string_view name;
  std::string_view value;
};

// The two lists of counts a report carries besides its entries.
struct Tally {
  std::string name;  // a table ("PROFT") or an element ("horario_grupo")
  std::size_t count = 0;
};

class Report;

// An entry as read back; valid while its report lives and is not changed.
class Entry {
 public:
  Reason reason() const { return reason_; }
  const Location& location() const { return location_; }
  bool Renamed() const { return renamed_; }
  std::string_view OldCode() const;  // the code before a renaming ("" when not renamed)
  std::string_view NewCode() const;  // the code after it
  std::size_t CodeCount() const { return count_ - (renamed_ ? 2 : 0); }
  Code CodeAt(std::size_t index) const;

 private:
  friend class Report;
  const Report* report_ = nullptr;
  Reason reason_{};
  Location location_;
  bool renamed_ = false;
  std::uint32_t first_ = 0;
  std::uint32_t count_ = 0;
};

class Report {
 public:
  enum class Kind : std::uint8_t { Conversion, Export };

  explicit Report(Kind kind = Kind::Conversion) : kind_(kind) {}

  // What the run was. Texts Windows-1252; empty when not known.
  struct Header {
    std::string document;       // the ITACA file
    std::string folder;         // the working folder
    std::string template_code;  // the time template chosen
    std::string language;       // conversion: the language of the texts
    std::string school_year;    // export: the new root's curso
    std::string output;         // export: the document written
  };

  Kind kind() const { return kind_; }
  Header& header() { return header_; }
  const Header& header() const { return header_; }

  // Conversion: the rows each working table holds. Export: the slot table's rows.
  std::vector<Tally>& tables() { return tables_; }
  const std::vector<Tally>& tables() const { return tables_; }
  // Export: the elements written (horario_grupo, horario_ocupacion) and the SOLUC records read.
  std::vector<Tally>& elements() { return elements_; }
  const std::vector<Tally>& elements() const { return elements_; }
  std::vector<Tally>& read() { return read_; }
  const std::vector<Tally>& read() const { return read_; }

  // The names a person knows the codes by, as the stages met them (document or tables): the
  // first name recorded for a code stays.
  void Name(NameKind kind, std::string_view code, std::string_view name);
  std::string_view NameOf(NameKind kind, std::string_view code) const;

  // The timetables behind the first lines, the verification and the grids.
  Timetables& timetables() { return timetables_; }
  const Timetables& timetables() const { return timetables_; }

  // Recording. Add starts an entry; the codes follow on the builder it returns:
  //   report.Add(Reason::TeacherNotFound, where).Code("docente", dni);
  class Builder {
   public:
    Builder& Code(std::string_view name, std::string_view value);

   private:
    friend class Report;
    explicit Builder(Report& report) : report_(report) {}
    Report& report_;
  };
  Builder Add(Reason reason, const Location& where);
  // An entry of a renaming: the code before and after it.
  Builder Renamed(Reason reason, const Location& where, std::string_view old_code,
                  std::string_view new_code);

  // Reading.
  std::size_t Size() const { return entries_.size(); }
  bool Empty() const { return entries_.empty(); }
  Entry At(std::size_t index) const;
  std::size_t Count(Reason reason) const { return counts_[static_cast<std::size_t>(reason)]; }
  std::size_t Count(Effect effect) const;
  // The reasons that have entries, in reading order.
  std::vector<Reason> Reasons() const;
  // The indexes of the entries, grouped by reason in reading order, each group in the order the
  // entries were recorded.
  std::vector<std::size_t> Grouped() const;

 private:
  friend class Entry;

  struct StoredEntry {
    Reason reason;
    Location::Kind kind;
    std::uint8_t source;  // index into sources_
    bool renamed;
    std::uint32_t position;
    std::uint32_t line;
    std::uint32_t first_code;
    std::uint32_t code_count;
  };
  struct StoredCode {
    std::uint8_t name;  // index into names_
    std::uint32_t offset;
    std::uint32_t length;
  };

  std::uint8_t Intern(std::vector<std::string>& list, std::string_view text);
  void Push(std::string_view name, std::string_view value);

  Kind kind_;
  Header header_;
  std::vector<Tally> tables_;
  std::vector<Tally> elements_;
  std::vector<Tally> read_;
  std::vector<StoredEntry> entries_;
  std::vector<StoredCode> codes_;
  std::string bytes_;                // every code's value, one after the other
  std::vector<std::string> sources_;  // collection paths and table names met
  std::vector<std::string> names_;    // code names met
  std::size_t next_name_ = 0;         // the name after the last code's, tried first (Push)
  std::array<std::size_t, kReasonCount> counts_{};
  // Looked up by string_view without making a string (transparent hash and equality).
  using NameHash = TextHasher;
  std::array<std::unordered_map<std::string, std::string, NameHash, std::equal_to<>>,
             kNameKindCount>
      names_by_code_;
  Timetables timetables_;
};

// Reading an entry and its codes, inline: the renderings read every entry's codes, a few
// hundred thousand of them for a large school.

inline Entry Report::At(std::size_t index) const {
  const StoredEntry& stored = entries_.at(index);
  Entry entry;
  entry.report_ = this;
  entry.reason_ = stored.reason;
  entry.location_.kind = stored.kind;
  if (stored.kind != Location::Kind::None) entry.location_.source = sources_[stored.source];
  entry.location_.position = stored.position;
  entry.location_.line = stored.line;
  entry.renamed_ = stored.renamed;
  entry.first_ = stored.first_code;
  entry.count_ = stored.code_count;
  return entry;
}

inline Code Entry::CodeAt(std::size_t index) const {
  const Report::StoredCode& code = report_->codes_[first_ + (renamed_ ? 2 : 0) + index];
  return Code{report_->names_[code.name],
              std::string_view(report_->bytes_).substr(code.offset, code.length)};
}

}  // namespace tc::report
