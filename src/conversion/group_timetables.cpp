// Group timetables: the lessons of the chosen time template turn ImportAssignments' provisional
// ASIGT rows into the real ones (hours, teacher and room per pairing, one row per teacher) and
// remove the pairings no lesson reached.
#include <string>
#include <unordered_set>
#include <vector>

#include "base/error.h"
#include "conversion/stages.h"
#include "store/text.h"

namespace tc {

namespace {

// One lesson of the selected template, as read from its horario_grupo element.
struct Lesson {
  std::string group;    // grupo
  std::string course;   // curso
  std::string content;  // contenido
  std::string teacher;  // docente (DNI)
  std::string room;     // aula (ITACA code)
  std::size_t element;  // its index in the collection, for the report
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
void FillBlankTeacherAndRoom(store::Table& asig, const std::string& teacher_code,
                             const std::string& room_code) {
  if (AllTrim(asig.GetText("CPROF")).empty()) asig.SetText("CPROF", teacher_code);
  if (AllTrim(asig.GetText("CAULA")).empty()) asig.SetText("CAULA", room_code);
}

// One more lesson on the current row: HORAS + 1, blank teacher and room filled.
void CountOneMore(store::Table& asig, const std::string& teacher_code,
                  const std::string& room_code) {
  asig.Edit();
  asig.SetFloat("HORAS", asig.GetFloat("HORAS") + 1);
  FillBlankTeacherAndRoom(asig, teacher_code, room_code);
  asig.Post();
}

}  // namespace

TemplatesTaken ImportGroupTimetables(ConversionContext& ctx) {
  const auto elements = ctx.document.Select(itaca::kGroupTimetables);
  if (elements.Empty()) return TemplatesTaken::All;

  // Yes keeps ASIGT as ImportAssignments wrote it and lets the later stages take every template.
  if (ctx.questions.Confirm(Question::ImportAllTemplates)) return TemplatesTaken::All;

  // The lessons of the selected template, read before any table is touched so that a missing
  // attribute ends the run with the tables unchanged. A list of exactly one element is passed
  // over like an empty one, as with every collection of the conversion: every pairing then goes.
  std::vector<Lesson> lessons;
  const std::span<const itaca::Element> listed = TakeList(ctx, elements);
  for (std::size_t i = 0; i < listed.size(); ++i) {
    const itaca::Element& element = listed[i];
    if (std::string templ = element.Attr("plantilla"); templ != ctx.state.SelectedTemplateCode) {
      ctx.report.Add(report::Reason::OtherTemplate, Where(element)).Code("plantilla", templ);
      continue;
    }
    lessons.push_back({element.Attr("grupo"), element.Attr("curso"), element.Attr("contenido"),
                       element.Attr("docente"), element.Attr("aula"), i});
  }

  auto asig = ctx.tables.Open(store::AsigtTable().name, store::OpenMode::Exclusive);
  auto groups = ctx.tables.Open(store::GrupostTable().name, store::OpenMode::Exclusive);
  auto teachers = ctx.tables.Open(store::ProftTable().name, store::OpenMode::Exclusive);
  auto rooms = ctx.tables.Open(store::AulatTable().name, store::OpenMode::Exclusive);

  // Record numbers of the ASIGT rows a lesson of the selected template was counted on or created.
  std::unordered_set<int> matched_rows;

  for (const auto& lesson : lessons) {
    if (!asig.Locate("CLAVE;CLAVECURSO;ASIG_ITACA",
                     {lesson.group, lesson.course, lesson.content})) {
      // A lesson whose pairing ImportAssignments did not create is ignored.
      NameLesson(ctx.report.Add(report::Reason::LessonWithoutPairing,
                                Where(elements[lesson.element])),
                 lesson);
      continue;
    }
    const int pairing_row = asig.RecNo();
    const std::string pairing_teacher = asig.GetText("CPROF");

    const bool teacher_found = teachers.Locate("DNI", lesson.teacher);
    const std::string teacher_code = teacher_found ? teachers.GetText("ABREV") : std::string();
    const bool room_found = rooms.Locate("ABREV_ITACA", lesson.room);
    const std::string room_code = room_found ? rooms.GetText("ABREV") : std::string();

    if (matched_rows.insert(pairing_row).second) {
      // First lesson on this row: its hours start again from 1 (replacing the default 4).
      asig.Edit();
      asig.SetFloat("HORAS", 1);
      FillBlankTeacherAndRoom(asig, teacher_code, room_code);
      asig.Post();
    } else if (pairing_teacher == teacher_code) {
      CountOneMore(asig, teacher_code, room_code);
    } else if (asig.Locate("CLAVE;CLAVECURSO;ASIG_ITACA;CPROF",
                           {lesson.group, lesson.course, lesson.content, teacher_code})) {
      CountOneMore(asig, teacher_code, room_code);  // a further teacher met before
    } else {
      // A further teacher of this pairing gets a row of its own, with the pairing row's subject
      // and group and the group's fields; without the group in GRUPOST the lesson is not counted.
      const std::string subject = asig.GetText("CASIG");
      const std::string group_code = asig.GetText("CGRUP");
      if (!groups.Locate("ABREV", group_code)) {
        NameLesson(ctx.report.Add(report::Reason::LessonWithoutGroup,
                                  Where(elements[lesson.element]))
                       .Code("CGRUP", group_code),
                   lesson);
        continue;
      }
      asig.Append();
      asig.SetText("CASIG", subject);
      asig.SetText("CPROF", teacher_code);
      asig.SetText("CGRUP", group_code);
      asig.SetText("CAULA", room_code);
      asig.SetText("TURNO", groups.GetText("TURNO"));
      asig.SetText("NIVEL", groups.GetText("NIVEL"));
      asig.SetText("CURSO", groups.GetText("CURSO"));
      asig.SetText("GRUPO", groups.GetText("GRUPO"));
      asig.SetFloat("HORAS", 1);
      asig.SetText("SESIONES", "1111");
      asig.SetText("CLAVE", lesson.group);
      asig.SetText("CLAVECURSO", lesson.course);
      asig.SetText("ASIG_ITACA", lesson.content);
      asig.SetText("CTAREA", "*479");
      asig.Post();
      matched_rows.insert(asig.RecNo());
    }

    // Counted: a teacher or a room the lesson names but the tables do not hold is left empty.
    if (!teacher_found && !lesson.teacher.empty()) {
      NameLesson(ctx.report.Add(report::Reason::TeacherNotFound, Where(elements[lesson.element])),
                 lesson);
    }
    if (!room_found && !lesson.room.empty()) {
      NameLesson(ctx.report.Add(report::Reason::RoomNotFound, Where(elements[lesson.element])),
                 lesson);
    }
  }

  // Pairings that no lesson of the selected template reached are removed.
  asig.First();
  while (!asig.Eof()) {
    if (matched_rows.count(asig.RecNo()) == 0) {
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
  return TemplatesTaken::OnlySelected;
}

}  // namespace tc
