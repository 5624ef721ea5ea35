// The report's first lines: what to mend in ITACA, what to look at in Clepsa and what was done as
// always, said as a head of studies knows it (names with their codes beside them, hours), without
// machine names or places, which stay in the details.
#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/text_hash.h"
#include "report/render.h"
#include "report/report.h"
#include "report/timetable.h"
#include "wording.h"

namespace tc::report {

namespace {

// At most this many items in one line; the rest are counted ("y 7 más").
constexpr std::size_t kItemsPerLine = 12;
// At most this many lines of one kind (one per group, teacher, clash...); the rest are counted
// in one closing line. The JSON lists every one.
constexpr std::size_t kLinesPerKind = 30;

// The value of the entry's code `name`, "" when it has none.
std::string_view CodeOf(const Entry& entry, std::string_view name) {
  for (std::size_t i = 0; i < entry.CodeCount(); ++i) {
    const Code code = entry.CodeAt(i);
    if (code.name == name) return code.value;
  }
  return {};
}

// The values of the entry's codes `names` (each the first of that name, "" when it has none), in
// one walk over its codes.
template <std::size_t N>
std::array<std::string_view, N> CodesOf(const Entry& entry,
                                        const std::array<std::string_view, N>& names) {
  std::array<std::string_view, N> values;
  std::array<bool, N> found{};
  for (std::size_t i = 0; i < entry.CodeCount(); ++i) {
    const Code code = entry.CodeAt(i);
    for (std::size_t n = 0; n < N; ++n) {
      if (!found[n] && code.name == names[n]) {
        values[n] = code.value;
        found[n] = true;
      }
    }
  }
  return values;
}

// Items joined as Spanish lists them: "a, b y c"; past kItemsPerLine, "a, b... y 7 más".
std::string Listed(const std::vector<std::string>& items) {
  std::string out;
  const std::size_t shown = std::min(items.size(), kItemsPerLine);
  for (std::size_t i = 0; i < shown; ++i) {
    if (i > 0) out += (i + 1 == shown && shown == items.size()) ? " y " : ", ";
    out += items[i];
  }
  if (shown < items.size()) out += " y " + std::to_string(items.size() - shown) + " m\xE1s";
  return out;
}

// Keys in the order they were first met, each with its items.
class Grouping {
 public:
  std::vector<std::string>& operator[](const std::string& key) {
    auto [at, added] = index_.try_emplace(key, keys_.size());
    if (added) {
      keys_.push_back(key);
      items_.emplace_back();
    }
    return items_[at->second];
  }
  std::size_t Size() const { return keys_.size(); }
  const std::string& Key(std::size_t i) const { return keys_[i]; }
  const std::vector<std::string>& Items(std::size_t i) const { return items_[i]; }

 private:
  std::map<std::string, std::size_t> index_;
  std::vector<std::string> keys_;
  std::vector<std::vector<std::string>> items_;
};

// Keys in the order they were first met, numbered; the views point into the report, which
// outlives the lines.
class FirstMet {
 public:
  std::size_t Of(std::string_view key) {
    auto [at, added] = index_.try_emplace(key, keys_.size());
    if (added) keys_.push_back(key);
    return at->second;
  }
  std::size_t Size() const { return keys_.size(); }
  std::string_view Key(std::size_t i) const { return keys_[i]; }

 private:
  std::unordered_map<std::string_view, std::size_t> index_;
  std::vector<std::string_view> keys_;
};

// Counted items in first-met order: "Matemàtiques (MAT) 3 h".
class Tally {
 public:
  void Add(const std::string& item, double hours = 1) {
    auto [at, added] = index_.try_emplace(item, items_.size());
    if (added) items_.push_back({item, 0});
    items_[at->second].second += hours;
  }
  bool Empty() const { return items_.empty(); }
  std::vector<std::string> Texts() const {
    std::vector<std::string> out;
    for (const auto& [item, hours] : items_) out.push_back(item + " " + HoursText(hours));
    return out;
  }

 private:
  std::unordered_map<std::string, std::size_t> index_;
  std::vector<std::pair<std::string, double>> items_;
};

class Lines {
 public:
  explicit Lines(const Report& report) : report_(report), order_(report.Grouped()) {
    std::size_t at = 0;
    for (std::size_t i = 0; i < kReasonCount; ++i) {
      starts_[i] = at;
      at += report.Count(static_cast<Reason>(i));
    }
  }

  // The name with its code, worked out once for each code: the lines name the same codes again
  // and again.
  const std::string& Named(NameKind kind, std::string_view code) const {
    auto& named = named_[static_cast<std::size_t>(kind)];
    auto found = named.find(code);
    if (found == named.end()) {
      found = named.emplace(std::string(code), report::Named(report_, kind, code)).first;
    }
    return found->second;
  }
  const std::string& Group(std::string_view code) const { return Named(NameKind::Group, code); }
  const std::string& Subject(std::string_view code) const { return Named(NameKind::Subject, code); }
  const std::string& Teacher(std::string_view code) const { return Named(NameKind::Teacher, code); }
  const std::string& Room(std::string_view code) const { return Named(NameKind::Room, code); }

  // A lesson as its group, subject and teacher: "1ESOA Matemàtiques (MAT) con Pérez, Ana (PA)".
  std::string Class(std::string_view group, std::string_view subject,
                    std::string_view teacher) const {
    std::string text = Group(group) + " " + Subject(subject);
    if (!teacher.empty()) text += " con " + Teacher(teacher);
    return text;
  }

  std::string SlotText(int day, const std::string& period) const {
    std::string text(DayName(day));
    text += ", sesi\xF3n " + period;
    for (const Period& known : report_.timetables().periods) {
      if (known.order == period) {
        text += " (" + known.from + "-" + known.to + ")";
        break;
      }
    }
    return text;
  }

  // The entries of one reason, in recording order.
  std::vector<Entry> Of(Reason reason) const {
    const std::size_t start = starts_[static_cast<std::size_t>(reason)];
    std::vector<Entry> entries;
    entries.reserve(report_.Count(reason));
    for (std::size_t i = start; i < start + report_.Count(reason); ++i) {
      entries.push_back(report_.At(order_[i]));
    }
    return entries;
  }

  const Report& report() const { return report_; }

 private:
  const Report& report_;
  std::vector<std::size_t> order_;  // the entries grouped by reason (Report::Grouped)
  std::array<std::size_t, kReasonCount> starts_{};  // where each reason's group starts in order_
  mutable std::array<std::unordered_map<std::string, std::string, TextHasher, std::equal_to<>>,
                     kNameKindCount>
      named_;
};

void Add(std::vector<std::string>& out, std::string line) { out.push_back(std::move(line)); }

// The lines of one kind: Take says whether the next one is still shown (build it only then);
// the lines past kLinesPerKind are counted in a closing line.
class KindLines {
 public:
  explicit KindLines(std::vector<std::string>& out) : out_(out) {}
  ~KindLines() {
    if (count_ > kLinesPerKind) {
      out_.push_back("... y " + std::to_string(count_ - kLinesPerKind) +
                     " m\xE1s como estas (el informe JSON las tiene todas).");
    }
  }
  KindLines(const KindLines&) = delete;
  KindLines& operator=(const KindLines&) = delete;
  bool Take() { return ++count_ <= kLinesPerKind; }
  void Add(std::string line) { out_.push_back(std::move(line)); }

 private:
  std::vector<std::string>& out_;
  std::size_t count_ = 0;
};

// A name with its code beside it, or whichever of the two is known.
std::string WithCode(std::string_view name, std::string_view code) {
  if (name.empty()) return std::string(code);
  if (code.empty()) return std::string(name);
  return std::string(name) + " (" + std::string(code) + ")";
}

// One line of every entry of a reason, each named by two of its codes: "lead name (code), ... end".
void NamedList(const Lines& lines, Reason reason, std::string_view name, std::string_view code,
               std::string_view lead, std::string_view end, std::vector<std::string>& out) {
  std::vector<std::string> items;
  for (const Entry& entry : lines.Of(reason)) {
    items.push_back(WithCode(CodeOf(entry, name), CodeOf(entry, code)));
  }
  if (!items.empty()) Add(out, std::string(lead) + Listed(items) + std::string(end));
}

// ---- Conversion -------------------------------------------------------------------------------

// Lessons and duty periods whose teacher, room or duty is not in the document: by that code.
void MissingCodes(const Lines& lines, std::vector<std::string>& out) {
  const Report& report = lines.report();
  struct Missing {
    Reason reason;
    std::string_view code;
    std::string_view lead;
    std::string_view lessons_end;
  };
  for (const Missing& missing :
       {Missing{Reason::TeacherNotFound, "docente",
                "Docente %s no est\xE1 entre los docentes del documento: ", " quedan sin profesor"},
        Missing{Reason::RoomNotFound, "aula",
                "Aula %s no est\xE1 entre las aulas del documento: ", " quedan sin aula"},
        Missing{Reason::DutyNotFound, "ocupacion",
                "Ocupaci\xF3n %s no est\xE1 entre las ocupaciones del documento: ",
                " quedan sin ocupaci\xF3n"}}) {
    if (report.Count(missing.reason) == 0) continue;
    // The codes in the order met; the lessons and duty periods only of those shown.
    FirstMet order;
    std::vector<std::pair<Tally, Tally>> by_code;  // lessons, duty periods
    for (const Entry& entry : lines.Of(missing.reason)) {
      const std::size_t key = order.Of(CodeOf(entry, missing.code));
      if (key >= kLinesPerKind) continue;
      if (key == by_code.size()) by_code.emplace_back();
      auto& [lessons, duties] = by_code[key];
      if (!CodeOf(entry, "grupo").empty() || CodeOf(entry, "ocupacion").empty()) {
        lessons.Add(lines.Group(CodeOf(entry, "grupo")) + " " +
                    lines.Subject(CodeOf(entry, "contenido")));
      } else if (missing.reason == Reason::DutyNotFound) {
        duties.Add(lines.Teacher(CodeOf(entry, "docente")));
      } else {
        duties.Add(lines.Subject(CodeOf(entry, "ocupacion")));
      }
    }
    KindLines kind(out);
    for (std::size_t i = 0; i < order.Size(); ++i) {
      if (!kind.Take()) continue;
      const std::string_view code = order.Key(i);
      const auto& [lessons, duties] = by_code[i];
      std::string line(missing.lead);
      line.replace(line.find("%s"), 2, code);
      if (!lessons.Empty()) line += Listed(lessons.Texts()) + std::string(missing.lessons_end);
      if (!duties.Empty()) {
        if (!lessons.Empty()) line += "; ";
        std::vector<std::string> texts;
        for (std::string text : duties.Texts()) {
          // "Guàrdia (232001) 3 h" reads "3 h de Guàrdia (232001)".
          const std::size_t space = text.rfind(' ', text.size() - 3);
          texts.push_back(text.substr(space + 1) + " de " + text.substr(0, space));
        }
        line += Listed(texts) + (missing.reason == Reason::DutyNotFound
                                     ? " quedan sin c\xF3"
                                       "digo de ocupaci\xF3n"
                                     : " de ocupaci\xF3n quedan sin profesor");
      }
      kind.Add(line + ".");
    }
  }
}

void LessonsLeftOut(const Lines& lines, std::vector<std::string>& out) {
  for (Reason reason : {Reason::LessonWithoutPairing, Reason::LessonWithoutGroup}) {
    Grouping by_group;
    std::map<std::string, Tally> tallies;
    for (const Entry& entry : lines.Of(reason)) {
      const std::string group(CodeOf(entry, "grupo"));
      by_group[group];
      tallies[group].Add(lines.Subject(CodeOf(entry, "contenido")) + " del curso " +
                         std::string(CodeOf(entry, "curso")));
    }
    KindLines kind(out);
    for (std::size_t i = 0; i < by_group.Size(); ++i) {
      if (!kind.Take()) continue;
      const std::string& group = by_group.Key(i);
      kind.Add("Grupo " + lines.Group(group) + ": " + Listed(tallies[group].Texts()) +
               (reason == Reason::LessonWithoutPairing
                    ? " no se importan: el grupo no tiene ese contenido en su curso."
                    : " de otro profesor no se importan: el grupo no est\xE1 en GRUPOST."));
    }
  }
}

void ContentsAndCourses(const Lines& lines, std::vector<std::string>& out) {
  std::vector<std::string> contents;
  for (const Entry& entry : lines.Of(Reason::ContentWithoutSubject)) {
    contents.push_back(lines.Subject(CodeOf(entry, "contenido")) + " del curso " +
                       std::string(CodeOf(entry, "curso")));
  }
  if (!contents.empty()) {
    Add(out, "Contenidos sin asignatura: " + Listed(contents) + "; sus sesiones no se importan.");
  }
  NamedList(lines, Reason::CourseSkipped, "abreviatura", "codigo",
            "Cursos sin curso padre cuya abreviatura no empieza por una cifra: ",
            "; no se importan.", out);
  for (const Entry& entry : lines.Of(Reason::SingleElementList)) {
    // "/centro/docentes/docente" is the list of "docentes".
    std::string_view path = entry.location().source;
    path = path.substr(0, path.rfind('/'));
    Add(out, "La lista de " + std::string(path.substr(path.rfind('/') + 1)) +
                 " tiene un solo elemento: no se importa, como si estuviera vac\xED"
                 "a.");
  }
}

// The ASIGT rows Clepsa will place with something missing: by group, each subject with its
// hours and what it lacks.
void IncompleteRows(const Lines& lines, std::vector<std::string>& out) {
  const Timetables& timetables = lines.report().timetables();
  Grouping by_group;
  std::size_t rows = 0, no_teacher = 0, no_room = 0;
  for (const Load& load : timetables.asked) {
    if (load.duty) continue;
    const bool teacher = load.teacher.empty(), room = load.room.empty();
    if (!teacher && !room && !timetables.provisional_hours) continue;
    ++rows;
    no_teacher += teacher ? 1 : 0;
    no_room += room ? 1 : 0;
    std::string lacks = HoursText(load.hours);
    if (timetables.provisional_hours) lacks += " provisionales";
    if (teacher && room) {
      lacks += " sin profesor ni aula";
    } else if (teacher) {
      lacks += " sin profesor";
    } else if (room) {
      lacks += " sin aula";
    }
    // Subject and what it lacks, kept apart so that what every subject lacks is said once.
    auto& items = by_group[load.group];
    items.push_back(lines.Subject(load.subject));
    items.push_back(lacks);
  }
  if (rows == 0) return;
  std::string line = std::to_string(rows) + " asignaturas de grupo llegan a Clepsa incompletas";
  std::vector<std::string> what;
  if (no_teacher > 0) what.push_back(std::to_string(no_teacher) + " sin profesor");
  if (no_room > 0) what.push_back(std::to_string(no_room) + " sin aula");
  if (timetables.provisional_hours) what.push_back("todas con las 4 h provisionales");
  line += " (" + Listed(what) + ")";
  if (timetables.provisional_hours) {
    line += ": se import\xF3 con los datos de todas las plantillas, que no cuentan horas";
  }
  Add(out, line + ".");
  KindLines kind(out);
  for (std::size_t i = 0; i < by_group.Size(); ++i) {
    if (!kind.Take()) continue;
    const std::vector<std::string>& pairs = by_group.Items(i);
    bool alike = true;
    for (std::size_t at = 3; at < pairs.size(); at += 2) alike = alike && pairs[at] == pairs[1];
    std::vector<std::string> items;
    for (std::size_t at = 0; at < pairs.size(); at += 2) {
      items.push_back(alike ? pairs[at] : pairs[at] + " " + pairs[at + 1]);
    }
    kind.Add("Grupo " + lines.Group(by_group.Key(i)) +
             (alike ? ", " + pairs[1] + " cada una" : "") + ": " + Listed(items) + ".");
  }
}

void Renamings(const Lines& lines, std::vector<std::string>& out) {
  struct Kind {
    Reason reason;
    std::string_view title;
  };
  for (const Kind& kind :
       {Kind{Reason::CodeNumbered, "C\xF3"
                                   "digos repetidos, numerados en Clepsa: "},
        Kind{Reason::CodeShortened, "C\xF3"
                                    "digos demasiado largos, acortados en Clepsa: "},
        Kind{Reason::DutyCodeLettered, "C\xF3"
                                       "digos de ocupaci\xF3n repetidos, con letra: "},
        Kind{Reason::RoomWithoutCode, "Aulas sin c\xF3"
                                      "digo, nombradas por su nombre: "}}) {
    std::vector<std::string> items;
    for (const Entry& entry : lines.Of(kind.reason)) {
      std::string item = std::string(entry.OldCode()) + " -> " + std::string(entry.NewCode());
      const std::string_view name = CodeOf(entry, "nombre");
      if (!name.empty()) item += " (" + std::string(name) + ")";
      items.push_back(item);
    }
    if (!items.empty()) Add(out, std::string(kind.title) + Listed(items) + ".");
  }
}

void Information(const Lines& lines, std::vector<std::string>& out) {
  const Report& report = lines.report();
  Renamings(lines, out);
  std::vector<std::string> rows;
  for (const Entry& entry : lines.Of(Reason::SubjectWithoutRow)) {
    rows.push_back(lines.Subject(CodeOf(entry, "contenido")));
  }
  if (!rows.empty()) {
    Add(out, "Contenidos cuyo c\xF3"
             "digo corto ya tiene otra asignatura (sin fila propia): " +
                 Listed(rows) + ".");
  }
  rows.clear();
  for (const Entry& entry : lines.Of(Reason::DutyWithoutRow)) {
    rows.push_back(lines.Subject(CodeOf(entry, "ocupacion")));
  }
  if (!rows.empty()) {
    Add(out, "Ocupaciones cuyo nombre ya tiene otra asignatura u ocupaci\xF3n (sin fila propia): " +
                 Listed(rows) + ".");
  }
  if (const std::size_t count = report.Count(Reason::ContentWithoutGroups); count > 0) {
    Add(out, std::to_string(count) + " contenidos de cursos sin grupos: no dan asignaturas.");
  }
  if (report.Count(Reason::OtherTemplate) > 0) {
    std::size_t lessons = 0, duties = 0;
    std::vector<std::string> templates;
    std::string_view source;  // the collection of the entry before, and whether it is of duties
    bool of_duties = false;
    for (const Entry& entry : lines.Of(Reason::OtherTemplate)) {
      if (entry.location().source != source) {
        source = entry.location().source;
        of_duties = source.find("ocupacion") != std::string_view::npos;
      }
      (of_duties ? duties : lessons)++;
      const std::string_view code = CodeOf(entry, "plantilla");
      if (std::find(templates.begin(), templates.end(), code) == templates.end()) {
        templates.emplace_back(code);
      }
    }
    std::vector<std::string> what;
    if (lessons > 0) what.push_back(std::to_string(lessons) + " sesiones");
    if (duties > 0) what.push_back(std::to_string(duties) + " periodos de ocupaci\xF3n");
    Add(out,
        "De otras plantillas (" + Listed(templates) + ") no se importan " + Listed(what) + ".");
  }
  FirstMet pairings;  // by group, each with its rows
  std::vector<std::size_t> rows_of;
  for (const Entry& entry : lines.Of(Reason::PairingWithoutLessons)) {
    const std::size_t key = pairings.Of(CodeOf(entry, "CLAVE"));
    if (key == rows_of.size()) rows_of.push_back(0);
    ++rows_of[key];
  }
  if (pairings.Size() > 0) {
    std::vector<std::string> items;
    for (std::size_t i = 0; i < pairings.Size(); ++i) {
      items.push_back(lines.Group(pairings.Key(i)) + " " + std::to_string(rows_of[i]));
    }
    Add(out, "Asignaturas de grupo sin sesiones en la plantilla, quitadas: " + Listed(items) + ".");
  }
  NamedList(lines, Reason::IdleGroup, "DESCRIP", "CLAVE",
            "Grupos sin clases en la plantilla, quitados: ", ".", out);
  NamedList(lines, Reason::IdleTeacher, "NOMBRE", "DNI",
            "Docentes sin clases en la plantilla, quitados: ", ".", out);
}

// ---- Export -----------------------------------------------------------------------------------

// SOLUC records left out or written incomplete, by the code that went wrong.
void ExportEntries(const Lines& lines, std::vector<std::string>& out) {
  struct Kind {
    Reason reason;
    std::string_view by;  // the code the line is about, "" for the group
    std::string_view lead;
    std::string_view end;
  };
  for (const Kind& kind : {
           Kind{Reason::NotPlaced, "", "Clepsa no ha colocado: ", ""},
           Kind{Reason::GroupUnknown, "CODGRUPO",
                "Grupo %s no est\xE1 en GRUPOST: ", " no se escriben"},
           Kind{Reason::SubjectUnknown, "ASIG",
                "Asignatura %s no est\xE1 en ASIGNOMT: ", " no se escriben"},
           Kind{Reason::DutyUnknown, "ASIG",
                "Ocupaci\xF3n %s no est\xE1 en ASIGNOMT: ", " no se escriben"},
           Kind{Reason::DutyTeacherUnknown, "PROF",
                "Profesor %s no est\xE1 en PROFT: ", " de ocupaci\xF3n no se escriben"},
           Kind{Reason::SlotUnknown, "HORA",
                "Hora %s sin tramo en la plantilla: ", " no se escriben"},
           Kind{Reason::TeacherUnknown, "PROF",
                "Profesor %s no est\xE1 en PROFT: ", " se escriben sin docente"},
           Kind{Reason::RoomUnknown, "AULA",
                "Aula %s no est\xE1 en AULAT: ", " se escriben sin aula"},
       }) {
    // The keys in the order met; the items only of those shown.
    FirstMet order;
    // Each record's group, subject and teacher, whether it is a duty period's, and its key's place.
    struct Record {
      std::string_view group, subject, teacher;
      bool duty;
      std::size_t key;
    };
    std::vector<Record> records;
    for (const Entry& entry : lines.Of(kind.reason)) {
      const auto [group, subject, teacher, by] =
          CodesOf(entry, std::array<std::string_view, 4>{"CODGRUPO", "ASIG", "PROF", kind.by});
      const bool duty = group.empty() && entry.CodeCount() == 5;
      const std::string_view key = kind.by.empty() ? (duty ? std::string_view() : group) : by;
      records.push_back({group, subject, teacher, duty, order.Of(key)});
    }
    // The records of the keys shown, counted alike first (thousands of records name a few
    // hundred lessons), then each such lesson's text made once and tallied with its count, in
    // the order its first record came.
    std::vector<Tally> tallies(std::min(order.Size(), kLinesPerKind));
    std::unordered_map<std::string, std::size_t> alike;
    std::vector<std::pair<const Record*, double>> counted;
    std::string key;
    for (const Record& record : records) {
      if (record.key >= tallies.size()) continue;
      key.clear();
      for (std::string_view part : {record.group, record.subject, record.teacher}) {
        key += part;
        key += '\0';
      }
      key += record.duty ? 'o' : 'c';
      key.append(reinterpret_cast<const char*>(&record.key), sizeof record.key);
      const auto [found, added] = alike.try_emplace(key, counted.size());
      if (added) counted.emplace_back(&record, 0);
      counted[found->second].second += 1;
    }
    for (const auto& [record, count] : counted) {
      tallies[record->key].Add(
          record->duty ? lines.Subject(record->subject) + " de " + lines.Teacher(record->teacher)
                       : lines.Class(record->group, record->subject, record->teacher),
          count);
    }
    KindLines shown(out);
    for (std::size_t i = 0; i < order.Size(); ++i) {
      if (!shown.Take()) continue;
      std::string lead(kind.lead);
      if (const std::size_t at = lead.find("%s"); at != std::string::npos) {
        const NameKind name_kind = kind.by == "CODGRUPO" ? NameKind::Group
                                   : kind.by == "ASIG"   ? NameKind::Subject
                                   : kind.by == "AULA"   ? NameKind::Room
                                                         : NameKind::Teacher;
        lead.replace(
            at, 2,
            kind.by == "HORA" ? std::string(order.Key(i)) : lines.Named(name_kind, order.Key(i)));
      }
      shown.Add(lead + Listed(tallies[i].Texts()) + std::string(kind.end) + ".");
    }
  }
}

std::string LessonText(const Lines& lines, const LessonView& lesson) {
  std::string text = lesson.duty || lesson.group.empty()
                         ? lines.Subject(lesson.subject) + (lesson.teacher.empty()
                                                                ? std::string()
                                                                : (lesson.duty ? " de " : " con ") +
                                                                      lines.Teacher(lesson.teacher))
                         : lines.Class(lesson.group, lesson.subject, lesson.teacher);
  if (!lesson.room.empty()) text += " en " + lines.Room(lesson.room);
  return text;
}

void Verified(const Lines& lines, std::vector<std::string>& clepsa,
              std::vector<std::string>& information) {
  const Timetables& timetables = lines.report().timetables();
  if (!timetables.verified) return;
  const Verification& verification = timetables.verification;

  // By group the classes; by teacher every difference of a teacher (or only the duties). The
  // keys in the order met; the items and totals only of those shown.
  auto by = [&](const std::vector<HoursDifference>& differences, bool by_teacher,
                const std::vector<HoursTotal>& totals, std::string_view expected,
                std::string_view actual, bool duties_only = false) {
    FirstMet order;
    std::vector<std::pair<const HoursDifference*, std::size_t>> listed;
    for (const HoursDifference& d : differences) {
      if (by_teacher ? d.teacher.empty() || (duties_only && !d.duty) : d.duty) continue;
      listed.emplace_back(&d, order.Of(by_teacher ? d.teacher : d.group));
    }
    std::vector<std::vector<std::string>> items(std::min(order.Size(), kLinesPerKind));
    for (const auto& [d, key] : listed) {
      if (key >= items.size()) continue;
      std::string item =
          d->duty ? lines.Subject(d->subject)
          : by_teacher
              ? lines.Group(d->group) + " " + lines.Subject(d->subject)
              : lines.Subject(d->subject) +
                    (d->teacher.empty() ? " sin profesor" : " con " + lines.Teacher(d->teacher));
      items[key].push_back(item + " " + HoursText(d->expected) + " " + std::string(expected) +
                           " y " + HoursText(d->actual) + " " + std::string(actual));
    }
    KindLines shown(clepsa);
    for (std::size_t i = 0; i < order.Size(); ++i) {
      if (!shown.Take()) continue;
      const std::string_view key = order.Key(i);
      const HoursTotal* total = FindTotal(totals, key);
      const double first = total ? total->expected : 0, second = total ? total->actual : 0;
      const std::string who =
          by_teacher ? "Docente " + lines.Teacher(key) : "Grupo " + lines.Group(key);
      shown.Add(who + " (" + HoursText(first) + " " + std::string(expected) + ", " +
                HoursText(second) + " " + std::string(actual) + "): " + Listed(items[i]) + ".");
    }
  };
  if (!verification.document.empty()) {
    Add(clepsa, "El documento escrito no tiene las horas del documento de ITACA en la plantilla:");
    by(verification.document, false, verification.document_groups, "en ITACA", "escritas");
    by(verification.document, true, verification.document_teachers, "en ITACA", "escritas");
  }
  if (!verification.clepsa.empty()) {
    Add(clepsa, "Clepsa no ha colocado las horas que pide ASIGT:");
    by(verification.clepsa, false, verification.clepsa_groups, "pedidas", "colocadas");
    by(verification.clepsa, true, verification.clepsa_teachers, "pedidas", "colocadas", true);
  }
  for (const auto* list : {&verification.without_teacher, &verification.without_room}) {
    if (list->empty()) continue;
    Tally tally;
    for (const LessonView lesson : *list) {
      tally.Add(lines.Group(lesson.group) + " " + lines.Subject(lesson.subject));
    }
    Add(clepsa, std::string(list == &verification.without_teacher ? "Clases escritas sin docente: "
                                                                  : "Clases escritas sin aula: ") +
                    Listed(tally.Texts()) + ".");
  }
  bool clashes = false;
  {
    KindLines teachers(clepsa), rooms(clepsa), groups(information);
    for (const Clash& clash : verification.clashes) {
      clashes = clashes || clash.kind != Clash::Kind::Group;
      KindLines& shown = clash.kind == Clash::Kind::Teacher ? teachers
                         : clash.kind == Clash::Kind::Room  ? rooms
                                                            : groups;
      if (!shown.Take()) continue;
      std::vector<std::string> items;
      for (const std::size_t index : clash.lessons) {
        LessonView told = timetables.written[index];
        if (clash.kind == Clash::Kind::Group) told.group = {};  // the line names it once
        items.push_back(LessonText(lines, told));
      }
      const std::string when = lines.SlotText(clash.day, clash.period);
      switch (clash.kind) {
        case Clash::Kind::Teacher:
          shown.Add("Docente " + lines.Teacher(clash.code) + " en dos sitios el " + when + ": " +
                    Listed(items) + ".");
          break;
        case Clash::Kind::Room:
          shown.Add("Aula " + lines.Room(clash.code) + " con dos clases el " + when + ": " +
                    Listed(items) + ".");
          break;
        case Clash::Kind::Group:
          shown.Add("Grupo " + lines.Group(clash.code) + " con dos clases a la vez el " + when +
                    ": " + Listed(items) + " (desdoble o clase compartida).");
          break;
      }
    }
  }
  if (verification.document.empty() && verification.clepsa.empty() && !clashes) {
    Add(information,
        "Comprobado: cada grupo y cada docente tienen las horas del documento de ITACA en la "
        "plantilla, Clepsa ha colocado las horas que pide ASIGT y nadie est\xE1 en dos sitios a "
        "la vez.");
  }
}

}  // namespace

LevelLines RenderLevels(const Report& report) {
  const Lines lines(report);
  LevelLines out;
  auto& itaca = out[static_cast<std::size_t>(Level::Itaca)];
  auto& clepsa = out[static_cast<std::size_t>(Level::Clepsa)];
  auto& information = out[static_cast<std::size_t>(Level::Information)];
  if (report.kind() == Report::Kind::Conversion) {
    MissingCodes(lines, itaca);
    LessonsLeftOut(lines, itaca);
    ContentsAndCourses(lines, itaca);
    IncompleteRows(lines, clepsa);
    Information(lines, information);
  } else {
    ExportEntries(lines, clepsa);
    Verified(lines, clepsa, information);
  }
  return out;
}

std::string RenderLevelsText(const Report& report) { return RenderLevelsText(RenderLevels(report)); }

std::string RenderLevelsText(const LevelLines& levels) {
  std::string out;
  for (Level level : {Level::Itaca, Level::Clepsa, Level::Information}) {
    const auto& lines = levels[static_cast<std::size_t>(level)];
    out += std::string(LevelTitle(level)) + (lines.empty() ? ": nada\n" : ":\n");
    for (const std::string& line : lines) out += "  " + line + "\n";
  }
  return out;
}

}  // namespace tc::report
