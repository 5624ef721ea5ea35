// Group timetables: the lessons of the chosen time template turn ImportAssignments' provisional
// ASIGT rows into the real ones (hours, teacher and room per pairing, one row per teacher) and
// remove the pairings no lesson reached.
#include <array>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "base/text.h"
#include "conversion/stages.h"
#include "element_codes.h"
#include "store/asigt_fields.h"
#include "store/found.h"

namespace tc {

namespace {

// The codes of one lesson of the selected template, as read from its horario_grupo element.
struct Lesson {
  std::string_view group;    // grupo
  std::string_view course;   // curso
  std::string_view content;  // contenido
  std::string_view teacher;  // docente (DNI)
  std::string_view room;     // aula (ITACA code)
  std::string_view day;      // dia_semana, empty when absent (for the report's timetable)
  std::string_view period;   // sesion_orden, the same
  std::size_t element;       // its index in the collection, for the report
};

// The lessons of the selected template, their codes kept together.
class LessonList {
 public:
  void Add(const itaca::Element& element, std::size_t index) {
    // The five codes every lesson must have, then the two the report's timetable shows.
    static constexpr std::array<std::string_view, 7> kCodes = {
        "grupo", "curso", "contenido", "docente", "aula", "dia_semana", "sesion_orden"};
    codes_.Add(element, index, kCodes, 5);
  }
  void Reserve(std::size_t lessons) { codes_.Reserve(lessons, 64); }
  std::size_t Count() const { return codes_.Count(); }
  Lesson operator[](std::size_t i) const {
    const auto c = codes_.Codes(i);
    return {c[0], c[1], c[2], c[3], c[4], c[5], c[6], codes_.Index(i)};
  }

  // The lessons as the report's timetable shows them, with room for `more` after them.
  report::Lessons ReportLessons(std::size_t more) const {
    report::Lessons shown;
    shown.reserve(Count() + more);
    for (std::size_t i = 0; i < Count(); ++i) {
      const Lesson lesson = (*this)[i];
      shown.Add(DayOfWeek(lesson.day), lesson.period, lesson.group, lesson.content, lesson.teacher,
                lesson.room, false);
    }
    return shown;
  }

 private:
  ElementCodes<7> codes_;
};

// The fields of a GRUPOST row that a further teacher's ASIGT row copies.
struct GroupFields {
  std::string turno, nivel, curso, grupo;
};

// The codes of a lesson as the report names it.
void NameLesson(report::Report::Builder entry, const Lesson& lesson) {
  entry.Code("grupo", lesson.group)
      .Code("curso", lesson.course)
      .Code("contenido", lesson.content)
      .Code("docente", lesson.teacher)
      .Code("aula", lesson.room);
}

// Fills CPROF and CAULA of the row being edited where they are still blank.
void FillBlankTeacherAndRoom(store::Table& asig, const store::AsigtFields& fields,
                             const std::string& teacher_code, const std::string& room_code) {
  if (AllTrim(asig.GetTextView(fields.teacher)).empty()) asig.SetText(fields.teacher, teacher_code);
  if (AllTrim(asig.GetTextView(fields.room)).empty()) asig.SetText(fields.room, room_code);
}

// One more lesson on the current row: HORAS + 1, blank teacher and room filled.
void CountOneMore(store::Table& asig, const store::AsigtFields& fields,
                  const std::string& teacher_code, const std::string& room_code) {
  asig.Edit();
  asig.SetFloat(fields.hours, asig.GetFloat(fields.hours) + 1);
  FillBlankTeacherAndRoom(asig, fields, teacher_code, room_code);
  asig.Post();
}

}  // namespace

// The collection of group timetables, and the lessons of the selected template in it, with what
// reading them records: the elements of other templates, and the fault (a missing attribute) that
// ended the reading, once the elements before it are recorded.
struct GroupLessons {
  itaca::ElementList elements;
  LessonList lessons;
  std::vector<std::pair<std::size_t, std::string>> other_templates;  // element, its template
  std::exception_ptr fault;
};

namespace {

// Read from the document alone: nothing recorded yet, nothing asked.
std::shared_ptr<GroupLessons> ReadGroupLessons(const itaca::Document& document,
                                               const std::string& template_code) {
  auto read = std::make_shared<GroupLessons>();
  read->elements = document.Select(itaca::kGroupTimetables);
  const std::span<const itaca::Element> listed = read->elements.Listed();
  read->lessons.Reserve(listed.size());
  constexpr std::string_view kTemplate[] = {"plantilla"};
  std::optional<std::string_view> templ[1];
  try {
    for (std::size_t i = 0; i < listed.size(); ++i) {
      const itaca::Element& element = listed[i];
      element.RawAttrs(kTemplate, templ);
      if (!templ[0]) element.Attr(kTemplate[0]);  // refused, naming it
      if (!itaca::Element::AttrIs(*templ[0], template_code)) {
        read->other_templates.emplace_back(i, itaca::Element::AttrText(*templ[0]));
        continue;
      }
      read->lessons.Add(element, i);
    }
  } catch (...) {
    read->fault = std::current_exception();
  }
  return read;
}

}  // namespace

void ReadGroupLessonsBeside(ConversionContext& ctx) {
  ctx.group_lessons = std::async([&document = ctx.document, code = ctx.state.SelectedTemplateCode] {
    return ReadGroupLessons(document, code);
  });
}

TemplatesTaken ImportGroupTimetables(ConversionContext& ctx) {
  // Read beside the earlier stages, or now: nothing of it is recorded or raised before its turn.
  const bool read_beside = ctx.group_lessons.valid();
  const std::shared_ptr<GroupLessons> read =
      read_beside ? ctx.group_lessons.get()
                  : ReadGroupLessons(ctx.document, ctx.state.SelectedTemplateCode);
  if (read_beside) ReadDutyPeriodsBeside(ctx);  // on the thread just freed
  const itaca::ElementList& elements = read->elements;
  if (elements.Empty()) return TemplatesTaken::All;

  // Yes keeps ASIGT as ImportAssignments wrote it and lets the later stages take every template.
  if (ctx.questions.Confirm(Question::ImportAllTemplates)) return TemplatesTaken::All;

  // The lessons of the selected template, read before any table is touched so that a missing
  // attribute ends the run with the tables unchanged. A list of exactly one element is passed
  // over like an empty one, as with every collection of the conversion: every pairing then goes.
  const std::span<const itaca::Element> listed = TakeList(ctx, elements);
  for (const auto& [index, templ] : read->other_templates) {
    ctx.report.Add(report::Reason::OtherTemplate, Where(listed[index])).Code("plantilla", templ);
  }
  if (read->fault) std::rethrow_exception(read->fault);
  LessonList& lessons = read->lessons;

  auto asig = ctx.tables.Open(store::AsigtTable().name, store::OpenMode::Exclusive);
  asig.Reserve(lessons.Count());  // a lesson adds one row at most
  auto groups = ctx.tables.Open(store::GrupostTable().name, store::OpenMode::Exclusive);
  auto teachers = ctx.tables.Open(store::ProftTable().name, store::OpenMode::Exclusive);
  auto rooms = ctx.tables.Open(store::AulatTable().name, store::OpenMode::Exclusive);

  // Whether a lesson of the selected template was counted on or created each ASIGT row, by
  // record number.
  std::vector<bool> matched_rows(static_cast<std::size_t>(asig.RecordCount()) + 1);
  auto matched = [&matched_rows](int row) {
    const auto at = static_cast<std::size_t>(row);
    return at < matched_rows.size() && matched_rows[at];
  };
  auto match = [&matched_rows](int row) {
    const auto at = static_cast<std::size_t>(row);
    if (at >= matched_rows.size()) matched_rows.resize(at + 1);
    const bool first = !matched_rows[at];
    matched_rows[at] = true;
    return first;
  };

  // Each teacher's, room's and group's row found once: GRUPOST, PROFT and AULAT do not change
  // here.
  store::FoundField teacher_codes(teachers, "DNI", "ABREV");
  store::FoundField room_codes(rooms, "ABREV_ITACA", "ABREV");
  store::Found<GroupFields> group_fields;  // by ABREV
  const store::AsigtFields fields(asig);
  for (std::size_t i = 0; i < lessons.Count(); ++i) {
    const Lesson lesson = lessons[i];
    if (!asig.Locate("CLAVE;CLAVECURSO;ASIG_ITACA",
                     {lesson.group, lesson.course, lesson.content})) {
      // A lesson whose pairing ImportAssignments did not create is ignored.
      NameLesson(
          ctx.report.Add(report::Reason::LessonWithoutPairing, Where(elements[lesson.element])),
          lesson);
      continue;
    }
    const int pairing_row = asig.RecNo();
    const std::string pairing_teacher(asig.GetTextView(fields.teacher));

    const std::optional<std::string>& teacher = teacher_codes.Of(lesson.teacher);
    const std::string teacher_code = teacher.value_or("");
    const std::optional<std::string>& room = room_codes.Of(lesson.room);
    const std::string room_code = room.value_or("");

    if (match(pairing_row)) {
      // First lesson on this row: its hours start again from 1 (replacing the default 4).
      asig.Edit();
      asig.SetFloat(fields.hours, 1);
      FillBlankTeacherAndRoom(asig, fields, teacher_code, room_code);
      asig.Post();
    } else if (pairing_teacher == teacher_code) {
      CountOneMore(asig, fields, teacher_code, room_code);
    } else if (asig.Locate("CLAVE;CLAVECURSO;ASIG_ITACA;CPROF",
                           {lesson.group, lesson.course, lesson.content, teacher_code})) {
      CountOneMore(asig, fields, teacher_code, room_code);  // a further teacher met before
    } else {
      // A further teacher of this pairing gets a row of its own, with the pairing row's subject
      // and group and the group's fields; without the group in GRUPOST the lesson is not counted.
      const std::string subject = asig.GetText(fields.subject);
      const std::string group_code = asig.GetText(fields.group);
      const std::optional<GroupFields>& group = group_fields.Of(group_code, [&] {
        return groups.Locate("ABREV", group_code)
                   ? std::optional(GroupFields{groups.GetText("TURNO"), groups.GetText("NIVEL"),
                                               groups.GetText("CURSO"), groups.GetText("GRUPO")})
                   : std::nullopt;
      });
      if (!group) {
        NameLesson(
            ctx.report.Add(report::Reason::LessonWithoutGroup, Where(elements[lesson.element]))
                .Code("CGRUP", group_code),
            lesson);
        continue;
      }
      asig.Append();
      asig.SetText(fields.subject, subject);
      asig.SetText(fields.teacher, teacher_code);
      asig.SetText(fields.group, group_code);
      asig.SetText(fields.room, room_code);
      asig.SetText(fields.shift, group->turno);
      asig.SetText(fields.level, group->nivel);
      asig.SetText(fields.year, group->curso);
      asig.SetText(fields.group_letter, group->grupo);
      asig.SetFloat(fields.hours, 1);
      asig.SetText(fields.sessions, "1111");
      asig.SetText(fields.key, lesson.group);
      asig.SetText(fields.course_key, lesson.course);
      asig.SetText(fields.content, lesson.content);
      asig.SetText(fields.task, "*479");
      asig.Post();
      match(asig.RecNo());
    }

    // Counted: a teacher or a room the lesson names but the tables do not hold is left empty.
    if (!teacher && !lesson.teacher.empty()) {
      NameLesson(ctx.report.Add(report::Reason::TeacherNotFound, Where(elements[lesson.element])),
                 lesson);
    }
    if (!room && !lesson.room.empty()) {
      NameLesson(ctx.report.Add(report::Reason::RoomNotFound, Where(elements[lesson.element])),
                 lesson);
    }
  }

  // Pairings that no lesson of the selected template reached are removed.
  asig.First();
  while (!asig.Eof()) {
    if (!matched(asig.RecNo())) {
      ctx.report
          .Add(report::Reason::PairingWithoutLessons,
               report::Location::OfRecord(store::AsigtTable().name, asig.RecNo()))
          .Code("CLAVE", asig.GetText("CLAVE"))
          .Code("CLAVECURSO", asig.GetText("CLAVECURSO"))
          .Code("ASIG_ITACA", asig.GetText("ASIG_ITACA"))
          .Code("CGRUP", asig.GetText("CGRUP"))
          .Code("CASIG", asig.GetText("CASIG"));
      asig.Delete();  // the next row becomes current
    } else {
      asig.Next();
    }
  }
  try {
    asig.Pack();
  } catch (const TableError&) {
    // A failed pack leaves the rows marked as deleted, which every reader skips.
  }

  asig.Close();
  groups.Close();
  teachers.Close();
  rooms.Close();
  // Every lesson of the template was read (a list of one element is not): the report's
  // timetable takes them rather than reading them again. They are kept as read (codes in one
  // text) and made the report's lessons once the duty periods are counted, in one list sized
  // for both.
  if (ctx.keep_report_timetable && listed.size() == elements.Count()) {
    ctx.template_classes = [kept = std::make_shared<const LessonList>(std::move(lessons))](
                               std::size_t more) { return kept->ReportLessons(more); };
  }
  return TemplatesTaken::OnlySelected;
}

}  // namespace tc
