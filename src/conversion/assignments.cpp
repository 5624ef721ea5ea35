// ASIGT, the lessons to timetable: one provisional row for every subject content and every group
// of the content's course, with the default load of 4 one-hour sessions and no teacher or room.
// The group timetables stage then puts in the real hours, teachers and rooms and drops the rows
// that no lesson reached.
#include <string>
#include <string_view>
#include <unordered_map>

#include "conversion/stages.h"
#include "store/asigt_fields.h"
#include "store/schemas.h"

namespace tc {

namespace {

constexpr double kDefaultHours = 4;
constexpr std::string_view kDefaultSessions = "1111";  // four sessions of one hour
constexpr std::string_view kLessonTask = "*479";       // CTAREA of every subject lesson row

// COD of the content's subject: by its ITACA code first, then by its name in the run's language.
// A language text other than the two of the combo box looks up by code only. A row found by code
// whose COD is blank counts as not found, so the name still gets its chance.
std::string SubjectCodeOf(const itaca::Element& content, const std::string& itaca_code,
                          const ConversionState& state, store::Table& subjects) {
  std::string code;
  if (subjects.Locate("ABREV_ITACA", itaca_code)) code = subjects.GetText("COD");
  if (code.empty() && state.LanguageChoice == kCastilian &&
      subjects.Locate("NOMBRE", content.Attr("nombre_cas"))) {
    code = subjects.GetText("COD");
  }
  if (code.empty() && state.LanguageChoice == kValencian &&
      subjects.Locate("NOMBRE", content.Attr("nombre_val"))) {
    code = subjects.GetText("COD");
  }
  return code;
}

}  // namespace

void ImportAssignments(ConversionContext& ctx) {
  store::Table lessons = ctx.tables.Create(store::AsigtTable());
  store::Table groups = ctx.tables.Open(store::GrupostTable().name, store::OpenMode::Exclusive);
  store::Table subjects = ctx.tables.Open(store::AsignomtTable().name, store::OpenMode::Exclusive);
  const itaca::ElementList contents = ctx.document.Select(itaca::kContents);

  // The room for the rows taken at once: a row for every content and group of its course at
  // most, rather than the table copied into twice the room again and again as it grows.
  std::unordered_map<std::string, std::size_t> groups_of_course;
  for (groups.First(); !groups.Eof(); groups.Next())
    ++groups_of_course[groups.GetText("CLAVECURSO")];
  std::size_t rows = 0;
  for (const itaca::Element& content : contents.Listed()) {
    const auto found = groups_of_course.find(content.Attr("curso"));
    if (found != groups_of_course.end()) rows += found->second;
  }
  lessons.Reserve(rows);

  // The fields written on every row and read from every group, found once.
  using Field = store::Table::Field;
  const store::AsigtFields row(lessons);
  const Field group_abbrev = groups.FieldOf("ABREV"), group_shift = groups.FieldOf("TURNO"),
              group_level = groups.FieldOf("NIVEL"), group_year = groups.FieldOf("CURSO"),
              group_letter_of = groups.FieldOf("GRUPO"), group_key = groups.FieldOf("CLAVE");

  // The list rule, recorded in the report by the subjects stage, which reads the same list.
  for (const itaca::Element& content : contents.Listed()) {
    const std::string course = content.Attr("curso");
    const std::string itaca_code = content.Attr("codigo");

    // A content whose subject is unknown gives no rows.
    const std::string subject = SubjectCodeOf(content, itaca_code, ctx.state, subjects);
    if (subject.empty()) {
      ctx.report.Add(report::Reason::ContentWithoutSubject, Where(content))
          .Code("contenido", itaca_code)
          .Code("curso", course);
      continue;
    }

    // One row for every group linked to the content's course, in GRUPOST order. A content
    // without a course pairs with the groups that have no course link.
    bool found = groups.Locate("CLAVECURSO", course);
    if (!found) {
      ctx.report.Add(report::Reason::ContentWithoutGroups, Where(content))
          .Code("contenido", itaca_code)
          .Code("curso", course);
    }
    for (; found; found = groups.LocateNext("CLAVECURSO", course)) {
      // The group's fields as views of its row, which stays as it is.
      lessons.Append();
      lessons.SetText(row.subject, subject);
      lessons.SetText(row.group, groups.GetTextView(group_abbrev));
      lessons.SetText(row.room, "");
      lessons.SetText(row.shift, groups.GetTextView(group_shift));
      lessons.SetText(row.level, groups.GetTextView(group_level));
      lessons.SetText(row.year, groups.GetTextView(group_year));
      lessons.SetText(row.group_letter, groups.GetTextView(group_letter_of));
      lessons.SetFloat(row.hours, kDefaultHours);
      lessons.SetText(row.sessions, kDefaultSessions);
      lessons.SetText(row.key, groups.GetTextView(group_key));
      lessons.SetText(row.course_key, course);
      lessons.SetText(row.task, kLessonTask);
      lessons.SetText(row.content, itaca_code);
      lessons.Post();
    }
  }

  lessons.Close();
  groups.Close();
  subjects.Close();
}

}  // namespace tc
