#include "export/solution_export.h"

#include <array>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <future>
#include <iterator>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "base/codepage.h"
#include "base/error.h"
#include "base/key_counts.h"
#include "itaca/document.h"
#include "platform/file_system.h"
#include "platform/platform.h"
#include "report/report.h"
#include "report/timetable.h"
#include "store/asigt_fields.h"
#include "store/staged_tables.h"
#include "store/found.h"
#include "store/schemas.h"
#include "store/table.h"

namespace tc {

namespace {

namespace fs = std::filesystem;
using store::FieldType;
using store::OpenMode;
using store::Table;

constexpr std::string_view kOutputPrefix = "ResultadoClepsa";

// Element and attribute names of the written document.
constexpr std::string_view kRootElement = "centro";
constexpr std::string_view kClassContainer = "horarios_grupo";
constexpr std::string_view kClassElement = "horario_grupo";
constexpr std::string_view kDutyContainer = "horarios_ocupaciones";
constexpr std::string_view kDutyElement = "horario_ocupacion";

// Day letters by SOLUC.DIA, 1 Monday to 7 Sunday.
constexpr std::string_view kDayLetters[] = {"L", "M", "X", "J", "V", "S", "D"};

// The SOLUC fields the export reads.
constexpr std::string_view kSolucFields[] = {"ASIG",  "TAREA",    "DIA",  "HORA",
                                             "MARCO", "CODGRUPO", "PROF", "AULA"};

// The day letter of a day number; any number outside 1 to 7 has none.
std::string_view DayLetter(std::int32_t day) {
  return day < 1 || day > 7 ? std::string_view() : kDayLetters[day - 1];
}

// A number in its standard text form: a whole number without decimals (3 gives "3").
std::string NumberText(double value) {
  if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e15) {
    return std::to_string(static_cast<long long>(value));
  }
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.15g", value);
  return buffer;
}

}  // namespace

CentreIdentity ReadIdentity(const itaca::Document& document) {
  const itaca::ElementList centres = document.Select(itaca::kCentro);
  if (centres.Empty()) {
    throw DocumentError("No se puede exportar " + Utf8ToCp1252(document.Source()) +
                            ": el documento no tiene el elemento /centro.",
                        ErrorKind::DocumentMalformed, Utf8ToCp1252(document.Source()));
  }
  const itaca::Element& centre = centres[0];
  auto take = [&](std::string_view name) {
    std::optional<std::string> value = centre.TryAttr(name);
    if (!value) {
      throw DocumentError("No se puede exportar " + Utf8ToCp1252(document.Source()) +
                              ": el elemento /centro (l\xEDnea " + std::to_string(centre.Line()) +
                              ") no tiene el atributo \"" + std::string(name) + "\".",
                          ErrorKind::AttributeMissing, "/centro");
    }
    return std::move(*value);
  };
  CentreIdentity identity;
  identity.codigo = take("codigo");
  identity.denominacion = take("denominacion");
  identity.curso = take("curso");
  identity.version = take("version");
  return identity;
}

struct SolutionTables::Tables {
  Table soluc, grupos, cursos, profesores, aulas, asignaturas, tramos, asignaciones;
};

namespace {

// The eight tables of an export, in the order they are opened, each with the member that holds
// it open and whether it is the one the run rebuilt (staged) rather than the working folder's.
struct ExportTable {
  std::string name;
  Table SolutionTables::Tables::*member;
  bool rebuilt = false;
};
const std::array<ExportTable, 8>& OpenedTables() {
  using T = SolutionTables::Tables;
  static const std::array<ExportTable, 8> tables{{
      {std::string(store::kSolucTable), &T::soluc},
      {store::GrupostTable().name, &T::grupos},
      {store::CursostTable().name, &T::cursos},
      {store::ProftTable().name, &T::profesores},
      {store::AulatTable().name, &T::aulas},
      {store::AsignomtTable().name, &T::asignaturas},
      {store::DiashorastTable().name, &T::tramos, true},
      {store::AsigtTable().name, &T::asignaciones},
  }};
  return tables;
}

}  // namespace

const std::vector<std::string>& ExportTables() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> list;
    for (const ExportTable& table : OpenedTables()) list.push_back(table.name);
    return list;
  }();
  return names;
}

SolutionTables::SolutionTables(store::StagedTables& tables) : tables_(std::make_unique<Tables>()) {
  // Every table is opened before any is checked: a table missing or held is named first.
  for (const ExportTable& table : OpenedTables()) {
    tables_.get()->*table.member = table.rebuilt
                                       ? tables.Open(table.name, OpenMode::Exclusive)
                                       : tables.Folder().Open(table.name, OpenMode::Exclusive);
  }
  for (const ExportTable& table : OpenedTables()) (tables_.get()->*table.member).RequireComplete();
}

SolutionTables::~SolutionTables() = default;

void SolutionTables::Close() {
  for (const ExportTable& table : OpenedTables()) (tables_.get()->*table.member).Close();
}

namespace {

// Reads Clepsa's SOLUC records, whatever dBase flavour wrote them: character fields as stored,
// numeric ones (if Clepsa's layout makes any of the text fields numeric) in their text form.
// Each record's fields are read once (Read), however many times the export and its report ask.
class SolucReader {
 public:
  explicit SolucReader(const Table& soluc) : soluc_(soluc) {
    for (std::size_t i = 0; i < std::size(kSolucFields); ++i) {
      const std::string_view field = kSolucFields[i];
      if (!soluc_.HasField(field)) {
        throw TableError("La tabla " + soluc_.Name() + " (" + platform::PathText(soluc_.Path()) +
                             ") no tiene el campo " + std::string(field) + ".",
                         ErrorKind::TableDamaged, soluc_.Name());
      }
      types_[i] = TypeOf(field);
      fields_[i] = soluc_.FieldOf(field);
    }
  }

  // Reads the current record's fields. DIA and HORA as numbers too: from the value just read
  // when the field is numeric (blank reads as 0), else read again as numbers.
  void Read() {
    bool day_read = false, hour_read = false;
    for (std::size_t i = 0; i < std::size(kSolucFields); ++i) {
      const Table::Field field = fields_[i];
      switch (types_[i]) {
        case FieldType::Integer: {
          const bool blank = soluc_.IsBlank(field);
          const std::int32_t value = blank ? 0 : soluc_.GetInteger(field);
          texts_[i] = blank ? std::string() : std::to_string(value);
          if (i == kDay) {
            day_ = value;
            day_read = true;
          } else if (i == kHour) {
            hour_ = value;
            hour_read = true;
          }
          break;
        }
        case FieldType::Float: {
          const bool blank = soluc_.IsBlank(field);
          const double value = blank ? 0 : soluc_.GetFloat(field);
          texts_[i] = blank ? std::string() : NumberText(value);
          if (i == kHour) {
            hour_ = value;
            hour_read = true;
          }
          break;
        }
        case FieldType::Character:
          texts_[i].assign(soluc_.GetTextView(field));
          break;
        default:
          texts_[i] = soluc_.GetText(field);
      }
    }
    if (!day_read) day_ = soluc_.GetInteger(fields_[kDay]);
    if (!hour_read) hour_ = soluc_.GetFloat(fields_[kHour]);
  }

  // Field text of the record read, for one of kSolucFields.
  const std::string& Text(std::string_view field) const {
    std::size_t i = 0;
    while (kSolucFields[i] != field) ++i;
    return texts_[i];
  }
  // DIA as a number (blank reads as 0).
  std::int32_t Day() const { return day_; }

  // A class has a subject code different from its task code; a duty carries the same code twice.
  bool IsDuty() const { return Text("ASIG") == Text("TAREA"); }

  // The record's slot in Clepsa's terms, or nullopt when Clepsa left it unplaced (day or hour 0).
  struct Placement {
    std::int32_t day = 0;
    std::string hour;       // the hour's text, first key into DIASHORAST
    std::string frame_key;  // first character of MARCO, second key into DIASHORAST
  };
  // Whether Clepsa placed it, without the texts of its slot.
  bool IsPlaced() const { return day_ != 0 && hour_ != 0; }
  std::optional<Placement> Placed() const {
    if (!IsPlaced()) return std::nullopt;
    Placement placement;
    placement.day = day_;
    placement.hour = Text("HORA");
    placement.frame_key = Text("MARCO").substr(0, 1);
    return placement;
  }

 private:
  FieldType TypeOf(std::string_view field) const {
    for (const auto& def : soluc_.Fields()) {
      if (def.name == field) return def.type;
    }
    return FieldType::Character;
  }

  static constexpr std::size_t kDay = 2, kHour = 3;  // DIA and HORA in kSolucFields

  const Table& soluc_;
  std::array<FieldType, std::size(kSolucFields)> types_{};
  std::array<Table::Field, std::size(kSolucFields)> fields_;
  std::array<std::string, std::size(kSolucFields)> texts_;
  std::int32_t day_ = 0;
  double hour_ = 0;
};

// A group, a teacher and a period as the working tables give them.
struct GroupRow {
  std::string clave;
  std::string clave_curso;
  std::string ensenanza;
};
struct TeacherRow {
  std::string dni;
  std::string ensenanza;
};
struct Slot {
  std::string order;
  std::string from;
  std::string to;
};

using store::Found;

// The five lookups of the export, each by whole key, exactly and case-sensitively, the first row
// in file order winning: Locate on the tables the run holds, once per key.
class Lookups {
 public:
  explicit Lookups(SolutionTables::Tables& t)
      : t_(t),
        subjects_(t.asignaturas, "COD", "ABREV_ITACA"),
        rooms_(t.aulas, "ABREV", "ABREV_ITACA") {}

  // Each lookup's answer is kept by the lookups, there and unchanged while they are.
  const std::optional<GroupRow>& Group(const std::string& abrev) const {
    return groups_.Of(abrev, [&]() -> std::optional<GroupRow> {
      if (!t_.grupos.Locate("ABREV", abrev)) return std::nullopt;
      return GroupRow{t_.grupos.GetText("CLAVE"), t_.grupos.GetText("CLAVECURSO"),
                      t_.grupos.GetText("ENSENANZA")};
    });
  }
  const std::optional<std::string>& Subject(const std::string& cod) const {
    return subjects_.Of(cod);
  }
  const std::optional<TeacherRow>& Teacher(const std::string& abrev) const {
    return teachers_.Of(abrev, [&]() -> std::optional<TeacherRow> {
      if (!t_.profesores.Locate("ABREV", abrev)) return std::nullopt;
      return TeacherRow{t_.profesores.GetText("DNI"), t_.profesores.GetText("ENSENANZA")};
    });
  }
  const std::optional<std::string>& Room(const std::string& abrev) const {
    return rooms_.Of(abrev);
  }
  // The slot of an hour and frame. The key has no day, so the first row of the hour is found,
  // which is Monday's: kept on purpose, every day of an hour carries the same period and times.
  const std::optional<Slot>& FindSlot(const std::string& hour, const std::string& frame) const {
    // One key of both texts, the hour's length first so that no two pairs make the same key.
    std::string key = std::to_string(hour.size());
    key += ':';
    key += hour;
    key += frame;
    return slots_.Of(key, [&]() -> std::optional<Slot> {
      if (!t_.tramos.Locate("HORA;MARCO", {hour, frame})) return std::nullopt;
      return Slot{t_.tramos.IsBlank("SESION_ORDEN")
                      ? std::string()
                      : std::to_string(t_.tramos.GetInteger("SESION_ORDEN")),
                  t_.tramos.GetText("HORADESDE"), t_.tramos.GetText("HORAHASTA")};
    });
  }

 private:
  SolutionTables::Tables& t_;
  mutable Found<GroupRow> groups_;
  mutable store::FoundField subjects_;
  mutable Found<TeacherRow> teachers_;
  mutable store::FoundField rooms_;
  mutable Found<Slot> slots_;
};

// The numbers in the written timetable of the codes the lookups keep, each found by where it is
// kept (there, unchanged, for the whole walk) rather than by its text: an open table of
// addresses, at most half full.
class KeptCodes {
 public:
  explicit KeptCodes(report::Lessons& lessons) : lessons_(lessons), slots_(64) {}

  std::uint32_t Of(const std::string& code) {
    if ((size_ + 1) * 2 > slots_.size()) Grow();
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = Spread(&code) & mask;; at = (at + 1) & mask) {
      Slot& slot = slots_[at];
      if (slot.code == &code) return slot.number;
      if (slot.code == nullptr) {
        slot = {&code, lessons_.Code(code)};
        ++size_;
        return slot.number;
      }
    }
  }

 private:
  struct Slot {
    const std::string* code = nullptr;
    std::uint32_t number = 0;
  };
  static std::size_t Spread(const std::string* code) {
    return static_cast<std::size_t>(
        reinterpret_cast<std::uintptr_t>(code) * 0x9E3779B97F4A7C15ull >> 16);
  }
  void Grow() {
    std::vector<Slot> old(slots_.size() * 2);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
      if (slot.code == nullptr) continue;
      std::size_t at = Spread(slot.code) & mask;
      while (slots_[at].code != nullptr) at = (at + 1) & mask;
      slots_[at] = slot;
    }
  }

  report::Lessons& lessons_;
  std::vector<Slot> slots_;
  std::size_t size_ = 0;
};

// The report's entries of the record being written: where it is in SOLUC and its codes. Without
// a report nothing is recorded.
class Notes {
 public:
  Notes(report::Report* report, const Table& soluc, const SolucReader& record)
      : report_(report), soluc_(soluc), record_(record) {
    if (report_) kept_.emplace(report_->timetables().written);
  }

  // A record left out: false, for the pass to return.
  bool Skip(report::Reason reason, bool duty) const {
    Note(reason, duty);
    return false;
  }

  // What the verification and the grids need of the record: the lesson as written, or as Clepsa
  // gave it when it is left out (the period when the hour has one), in ITACA's codes where the
  // tables know them, so that the grids of its group, teacher and room show it.
  void Lesson(std::int32_t day, std::string_view period, std::string_view group,
              std::string_view subject, std::string_view teacher, std::string_view room, bool duty,
              bool left_out = false) const {
    if (report_) {
      report_->timetables().written.Add(day, period, group, subject, teacher, room, duty, left_out);
    }
  }
  // A lesson written, its codes the lookups' own (null for a code it has none of: a duty
  // period's group and room, a class's missing teacher or room).
  void Written(std::int32_t day, const std::string& period, const std::string* group,
               const std::string& subject, const std::string* teacher, const std::string* room,
               bool duty) const {
    if (!report_) return;
    static const std::string kNone;
    const auto of = [this](const std::string* code) { return kept_->Of(code ? *code : kNone); };
    report_->timetables().written.AddNumbered(
        day, {of(&period), of(group), of(&subject), of(teacher), of(room)}, duty);
  }
  void LeftOut(std::int32_t day, const std::string& hour, const std::string& frame,
               const Lookups& lookups, bool duty) const {
    if (!report_) return;
    const auto& slot = lookups.FindSlot(hour, frame);
    const std::string subject = record_.Text("ASIG"), teacher = record_.Text("PROF");
    const std::string subject_code = lookups.Subject(subject).value_or(subject);
    const auto& known_teacher = lookups.Teacher(teacher);
    std::string group, room;
    if (!duty) {
      group = record_.Text("CODGRUPO");
      room = record_.Text("AULA");
      if (const auto& known_group = lookups.Group(group)) group = known_group->clave;
      room = lookups.Room(room).value_or(room);
    }
    Lesson(day, slot ? slot->order : hour, group, subject_code,
           known_teacher ? known_teacher->dni : teacher, room, duty, true);
  }
  // A record Clepsa left unplaced: noted, and kept for the lists below the grids.
  bool SkipUnplaced(bool duty, const Lookups& lookups) const {
    if (report_) {
      LeftOut(record_.Day(), record_.Text("HORA"), record_.Text("MARCO").substr(0, 1),
              lookups, duty);
    }
    return Skip(report::Reason::NotPlaced, duty);
  }
  // A record left out after Clepsa placed it: noted, and kept for the grids.
  bool SkipPlaced(report::Reason reason, bool duty, const SolucReader::Placement& placed,
                  const Lookups& lookups) const {
    LeftOut(placed.day, placed.hour, placed.frame_key, lookups, duty);
    return Skip(reason, duty);
  }

  void Note(report::Reason reason, bool duty) const {
    if (!report_) return;
    auto entry =
        report_->Add(reason, report::Location::OfRecord(store::kSolucTable, soluc_.RecNo()));
    const std::span<const std::string_view> fields =
        duty ? std::span<const std::string_view>(kDutyFields)
             : std::span<const std::string_view>(kClassFields);
    for (std::string_view field : fields) entry.Code(field, record_.Text(field));
  }

 private:
  static constexpr std::string_view kClassFields[] = {"DIA",  "HORA", "MARCO", "CODGRUPO",
                                                      "ASIG", "PROF", "AULA"};
  static constexpr std::string_view kDutyFields[] = {"DIA", "HORA", "MARCO", "ASIG", "PROF"};

  report::Report* report_;
  const Table& soluc_;
  const SolucReader& record_;
  mutable std::optional<KeptCodes> kept_;  // with a report
};

// An element the walk decided on: its kind and its attributes' texts, each kept by the lookups
// (there, unchanged, for the whole walk) or constant.
struct PlannedElement {
  bool duty = false;
  std::string_view day_letter;
  const Slot* slot = nullptr;
  const GroupRow* group = nullptr;         // a class's
  const std::string* subject = nullptr;    // a class's content, a duty's occupation
  const std::string* teacher = nullptr;    // DNI; none for a class without a known teacher
  const std::string* ensenanza = nullptr;  // a duty's, its teacher's
  const std::string* room = nullptr;       // a class's, when known
};

// The element written: horario_grupo or horario_ocupacion, the last in its container.
void WritePlanned(const PlannedElement& planned, const std::string& template_code,
                  itaca::Element& classes, itaca::Element& duties) {
  static const std::string kNone;
  itaca::Element entry =
      planned.duty ? duties.AppendChild(kDutyElement) : classes.AppendChild(kClassElement);
  // The first five attributes of both kinds: template, day and the slot's period.
  entry.AddAttr("plantilla", template_code);
  entry.AddAttr("dia_semana", planned.day_letter);
  entry.AddAttr("sesion_orden", planned.slot->order);
  entry.AddAttr("hora_desde", planned.slot->from);
  entry.AddAttr("hora_hasta", planned.slot->to);
  if (planned.duty) {
    entry.AddAttr("docente", *planned.teacher);
    entry.AddAttr("ensenanza", *planned.ensenanza);
    entry.AddAttr("ocupacion", *planned.subject);
    return;
  }
  entry.AddAttr("grupo", planned.group->clave);
  entry.AddAttr("ensenanza", planned.group->ensenanza);
  entry.AddAttr("curso", planned.group->clave_curso);
  entry.AddAttr("contenido", *planned.subject);
  entry.AddAttr("docente", planned.teacher ? *planned.teacher : kNone);
  entry.AddAttr("aula", planned.room ? *planned.room : kNone);
  entry.AddAttr("idioma", "");
}

// The elements the walk decides on, written into the document beside it, in the order decided
// (the document is the writer's alone until Finish). In turn at Finish when no thread can be
// had. A failed walk closes the writer as it goes: what was handed over is written, then dropped
// with the document.
class BesideWriter {
 public:
  BesideWriter(const std::string& template_code, itaca::Element& classes, itaca::Element& duties)
      : worker_(std::async([this, &template_code, &classes, &duties] {
          std::vector<PlannedElement> batch;
          while (Take(batch)) {
            for (const PlannedElement& planned : batch) {
              WritePlanned(planned, template_code, classes, duties);
            }
          }
        })) {
    batch_.reserve(kBatch);
  }
  BesideWriter(const BesideWriter&) = delete;
  BesideWriter& operator=(const BesideWriter&) = delete;
  ~BesideWriter() {
    Close();
    if (worker_.valid()) worker_.wait();
  }

  void Add(const PlannedElement& planned) {
    batch_.push_back(planned);
    if (batch_.size() == kBatch) Hand();
  }
  // Every element written, or the writer's fault raised.
  void Finish() {
    Hand();
    Close();
    worker_.get();
  }

 private:
  static constexpr std::size_t kBatch = 512;

  void Hand() {
    if (batch_.empty()) return;
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      handed_.push_back(std::move(batch_));
    }
    ready_.notify_one();
    batch_ = std::vector<PlannedElement>();
    batch_.reserve(kBatch);
  }
  void Close() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      closed_ = true;
    }
    ready_.notify_one();
  }
  // The next batch into `batch`; false once closed and all taken.
  bool Take(std::vector<PlannedElement>& batch) {
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait(lock, [this] { return closed_ || !handed_.empty(); });
    if (handed_.empty()) return false;
    batch = std::move(handed_.front());
    handed_.pop_front();
    return true;
  }

  std::vector<PlannedElement> batch_;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::vector<PlannedElement>> handed_;
  bool closed_ = false;
  std::future<void> worker_;  // last: started once the rest is made
};

// One class record of SOLUC: a horario_grupo for a placed class. A class whose group, subject or
// slot is not found is left out; an unknown teacher or room only leaves that value empty.
bool WriteClass(const SolucReader& record, const Lookups& lookups, BesideWriter& writer,
                const Notes& notes) {
  using report::Reason;
  const auto placed = record.Placed();
  if (!placed) return notes.SkipUnplaced(false, lookups);
  const auto& group = lookups.Group(record.Text("CODGRUPO"));
  if (!group) return notes.SkipPlaced(Reason::GroupUnknown, false, *placed, lookups);
  const auto& content = lookups.Subject(record.Text("ASIG"));
  if (!content) return notes.SkipPlaced(Reason::SubjectUnknown, false, *placed, lookups);
  const std::string teacher_code = record.Text("PROF");
  const auto& teacher = lookups.Teacher(teacher_code);
  const std::string room_code = record.Text("AULA");
  const auto& room = lookups.Room(room_code);
  const auto& slot = lookups.FindSlot(placed->hour, placed->frame_key);
  if (!slot) return notes.SkipPlaced(Reason::SlotUnknown, false, *placed, lookups);
  // Written: a teacher or room code the tables do not hold leaves that value empty (a class
  // without either is not a code that went missing).
  if (!teacher && !teacher_code.empty()) notes.Note(Reason::TeacherUnknown, false);
  if (!room && !room_code.empty()) notes.Note(Reason::RoomUnknown, false);

  PlannedElement planned;
  planned.day_letter = DayLetter(placed->day);
  planned.slot = &*slot;
  planned.group = &*group;
  planned.subject = &*content;
  planned.teacher = teacher ? &teacher->dni : nullptr;
  planned.room = room ? &*room : nullptr;
  writer.Add(planned);
  notes.Written(placed->day, slot->order, &group->clave, *content,
                teacher ? &teacher->dni : nullptr, room ? &*room : nullptr, false);
  return true;
}

// One duty record of SOLUC: a horario_ocupacion for a placed teacher duty. Unlike a class, a duty
// whose teacher is not found is left out, as is one whose duty code or slot is not found.
bool WriteDuty(const SolucReader& record, const Lookups& lookups, BesideWriter& writer,
               const Notes& notes) {
  using report::Reason;
  const auto placed = record.Placed();
  if (!placed) return notes.SkipUnplaced(true, lookups);
  const auto& duty = lookups.Subject(record.Text("ASIG"));
  if (!duty) return notes.SkipPlaced(Reason::DutyUnknown, true, *placed, lookups);
  const auto& teacher = lookups.Teacher(record.Text("PROF"));
  if (!teacher) return notes.SkipPlaced(Reason::DutyTeacherUnknown, true, *placed, lookups);
  const auto& slot = lookups.FindSlot(placed->hour, placed->frame_key);
  if (!slot) return notes.SkipPlaced(Reason::SlotUnknown, true, *placed, lookups);

  PlannedElement planned;
  planned.duty = true;
  planned.day_letter = DayLetter(placed->day);
  planned.slot = &*slot;
  planned.subject = &*duty;
  planned.teacher = &teacher->dni;
  planned.ensenanza = &teacher->ensenanza;
  writer.Add(planned);
  notes.Written(placed->day, slot->order, nullptr, *duty, &teacher->dni, nullptr, true);
  return true;
}

// The names of the tables' codes, Clepsa's and ITACA's, for the report's lines and grids.
void NameCodes(SolutionTables::Tables& t, report::Report& report) {
  using report::NameKind;
  struct Source {
    Table* table;
    NameKind kind;
    const char* clepsa;
    const char* itaca;
    const char* name;
  };
  for (const Source& source :
       {Source{&t.grupos, NameKind::Group, "ABREV", "CLAVE", "DESCRIP"},
        Source{&t.asignaturas, NameKind::Subject, "COD", "ABREV_ITACA", "NOMBRE"},
        Source{&t.profesores, NameKind::Teacher, "ABREV", "DNI", "NOMBRE"},
        Source{&t.aulas, NameKind::Room, "ABREV", "ABREV_ITACA", "NOMBRE"}}) {
    Table& table = *source.table;
    for (table.First(); !table.Eof(); table.Next()) {
      const std::string name = table.GetText(source.name);
      report.Name(source.kind, table.GetText(source.clepsa), name);
      report.Name(source.kind, table.GetText(source.itaca), name);
    }
  }
}

// The hours ASIGT asks Clepsa to place, by group, subject and teacher (Clepsa's codes).
void AskedHours(Table& asignaciones, report::Timetables& timetables) {
  timetables.asked.reserve(static_cast<std::size_t>(asignaciones.RecordCount()));
  // Read as views of each row: the rows are only read.
  const store::AsigtFields fields(asignaciones);
  for (asignaciones.First(); !asignaciones.Eof(); asignaciones.Next()) {
    report::Load load;
    load.duty = asignaciones.GetTextView(fields.task) != "*479";
    if (!load.duty) load.group = asignaciones.GetTextView(fields.group);
    load.subject = asignaciones.GetTextView(fields.subject);
    load.teacher = asignaciones.GetTextView(fields.teacher);
    load.room = asignaciones.GetTextView(fields.room);
    load.hours = asignaciones.GetFloat(fields.hours);
    timetables.asked.push_back(std::move(load));
  }
}

// SOLUC's placed records counted by group, subject and teacher, as ASIGT names them: their codes
// numbered as the report's list of them numbers them.
class PlacedHours {
 public:
  // Sized once for the records' keys: a school's timetable puts about two records on each.
  explicit PlacedHours(std::size_t records) : hours_(records / 2) {}
  void Count(const SolucReader& record) {
    if (!record.IsPlaced()) return;
    const bool duty = record.IsDuty();
    hours_.Add({placed_.Code(duty ? std::string_view() : record.Text("CODGRUPO")),
                placed_.Code(record.Text("ASIG")), placed_.Code(record.Text("PROF")), duty});
  }
  // In no particular order: the verification sorts what it finds.
  void Into(report::Timetables& timetables) {
    placed_.Reserve(hours_.Size());
    hours_.ForEach([&](const Key& key, double hours) {
      placed_.AddNumbered(key[3] != 0, key[0], key[1], key[2], hours);
    });
    timetables.placed = std::move(placed_);
  }

 private:
  using Key = KeyCounts<4>::Key;  // group, subject, teacher, whether a duty
  KeyCounts<4> hours_;
  report::HoursList placed_;
};

}  // namespace

ExportCounts WriteTimetable(SolutionTables& solution, itaca::Document& document,
                            const CentreIdentity& identity, const ExportChoice& choice,
                            report::Report* report) {
  SolutionTables::Tables& tables = solution.tables();

  // A new root in place of the old one: nothing of the input's content is written back. First,
  // so that the old tree's memory is free again for what the report keeps.
  itaca::Element root = document.ReplaceRoot(kRootElement);
  root.SetAttr("codigo", identity.codigo);
  root.SetAttr("denominacion", identity.denominacion);
  root.SetAttr("curso", choice.school_year);
  root.SetAttr("fecha_exportacion", choice.export_date);
  root.SetAttr("version", identity.version);
  // An element of a dozen short attributes for every SOLUC record at most: the room taken once,
  // rather than the whole timetable copied into twice the room as it grows.
  document.ReserveWritten(static_cast<std::size_t>(tables.soluc.RecordCount()), 12, 8);

  // What the verification compares the written timetable with besides ITACA's own of the
  // template (the caller's, read before the old root goes): the tables' names, ASIGT's hours, the
  // template's periods. ASIGT's hours are read beside the walk: nothing else here reads that
  // table or that list, and the walk waits for them before it ends.
  std::future<void> asked;
  if (report) {
    report::Timetables& timetables = report->timetables();
    asked = std::async([&tables, &timetables] { AskedHours(tables.asignaciones, timetables); });
    timetables.written.reserve(static_cast<std::size_t>(tables.soluc.RecordCount()));
    NameCodes(tables, *report);
    for (tables.tramos.First(); !tables.tramos.Eof(); tables.tramos.Next()) {
      if (tables.tramos.IsBlank("SESION_ORDEN")) continue;
      const std::string order = std::to_string(tables.tramos.GetInteger("SESION_ORDEN"));
      bool known = false;
      for (const report::Period& period : timetables.periods)
        known = known || period.order == order;
      if (!known) {
        timetables.periods.push_back(
            {order, tables.tramos.GetText("HORADESDE"), tables.tramos.GetText("HORAHASTA")});
      }
    }
  }

  // Both containers are written, even when empty, classes first. One walk over SOLUC fills
  // both: each container receives its records in SOLUC order, as two walks would give them.
  ExportCounts counts;
  counts.slots = static_cast<std::size_t>(tables.tramos.RecordCount());
  itaca::Element classes = root.AppendChild(kClassContainer);
  itaca::Element duties = root.AppendChild(kDutyContainer);
  const Lookups lookups(tables);
  SolucReader record(tables.soluc);
  const Notes notes(report, tables.soluc, record);
  const std::string& code = choice.template_code;
  PlacedHours placed(report ? static_cast<std::size_t>(tables.soluc.RecordCount()) : 0);
  {
    BesideWriter writer(code, classes, duties);
    for (tables.soluc.First(); !tables.soluc.Eof(); tables.soluc.Next()) {
      ++counts.records;
      record.Read();
      if (report) placed.Count(record);
      if (record.IsDuty()) {
        if (WriteDuty(record, lookups, writer, notes)) ++counts.duty_periods;
      } else {
        if (WriteClass(record, lookups, writer, notes)) ++counts.group_lessons;
      }
    }
    writer.Finish();
  }
  if (report) placed.Into(report->timetables());
  if (asked.valid()) asked.get();
  return counts;
}

std::optional<store::GenerationInfo> SaveAndCommit(itaca::Document document,
                                                   const fs::path& output,
                                                   store::StagedTables& tables,
                                                   store::CommitDetails details) {
  platform::FileSystem& files = tables.Folder().Files();
  const fs::path& working_dir = tables.Folder().Dir();
  const fs::path folder = output.parent_path().empty() ? fs::path(".") : output.parent_path();
  const fs::path staged =
      platform::TemporaryPath(files, folder, platform::PathToUtf8(output.filename()) + ".~");
  // Recorded before it exists: if the process dies before the commit, the next run removes it.
  store::RecordExternalTemporary(files, working_dir, staged);
  try {
    {
      const std::string bytes = document.Serialize();
      document = itaca::Document();
      const std::string_view piece(bytes);
      files.WriteNewFile(staged, std::span<const std::string_view>(&piece, 1));
    }
    details.external.push_back({staged, output, true, true});
    std::optional<store::GenerationInfo> generation = tables.Commit(details);
    store::ForgetExternalTemporaries(files, working_dir);
    return generation;
  } catch (...) {
    // Whatever stopped the save or the commit: the staged document goes, the error goes on.
    try {
      if (files.IsFile(staged)) files.Remove(staged);
      store::ForgetExternalTemporaries(files, working_dir);
    } catch (...) {
      // The run's own error is the one to report; the next run removes what is left.
    }
    throw;
  }
}

fs::path ExportFileName(const fs::path& itaca_file) {
  fs::path name(kOutputPrefix);
  name += itaca_file.filename();
  return itaca_file.parent_path() / name;
}

}  // namespace tc
