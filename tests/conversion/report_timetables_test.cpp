// ITACA's own timetable of the template as the report keeps it: lesson by lesson for the
// conversion's grids, as hours by group, subject and teacher for the export's verification.
#include <gtest/gtest.h>

#include <future>
#include <map>
#include <string>

#include "conversion/conversion.h"
#include "itaca/document.h"
#include "report/timetable.h"

namespace tc {
namespace {

// The hours of each key, duties marked: "1A/MAT/T1", "*/GU/T1".
std::map<std::string, double> ByKey(const report::HoursList& list) {
  std::map<std::string, double> hours;
  list.ForEach([&](bool duty, const std::string& group, const std::string& subject,
                   const std::string& teacher, double count) {
    hours[(duty ? "*" : "") + group + "/" + subject + "/" + teacher] += count;
  });
  return hours;
}

TEST(TemplateHours, TheTemplatesLessonsAndDutiesCountedAsTheLessonsRead) {
  const std::string text =
      "<centro><horarios_grupo>"
      "<horario_grupo plantilla='PM' dia_semana='L' grupo='1A' contenido='MAT' docente='T1'/>"
      "<horario_grupo plantilla=' PM ' grupo='1A' contenido='MAT' docente='T1' aula='A2'/>"
      "<horario_grupo plantilla='PM' grupo='1A' contenido='Matem&#224;tiques'/>"
      "<horario_grupo plantilla='PT' grupo='1A' contenido='MAT' docente='T1'/>"
      "<horario_grupo grupo='1A' contenido='MAT' docente='T1'/>"
      // The template last, and names alike in their first letter before the ones read.
      "<horario_grupo dia_semana='M' grupo='1B' curso='1' contenido='FIS' docente='T2' "
      "plantilla='PM'/>"
      "</horarios_grupo><horarios_ocupaciones>"
      "<horario_ocupacion plantilla='PM' docente='T1' ocupacion='GU'/>"
      "<horario_ocupacion plantilla='PM' docente='T1' ocupacion='GU' grupo='1A'/>"
      "</horarios_ocupaciones></centro>";
  const itaca::Document document = itaca::Document::Parse(text);
  TemplateHoursCount count;
  const itaca::Document counted = itaca::Document::Parse(text, "documento", count.Gleanings());
  const std::map<std::string, double> hours = ByKey(count.Of("PM"));
  EXPECT_EQ(hours, (std::map<std::string, double>{
                       {"1A/MAT/T1", 2}, {"1A/Matem\xE0tiques/", 1}, {"1B/FIS/T2", 1}, {"*/GU/T1", 2}}));
  // Lesson by lesson the same hours.
  report::HoursList lessons;
  for (const report::Lesson& l : TemplateTimetable(document, "PM"))
    lessons.Add(l.duty, l.group, l.subject, l.teacher, 1);
  EXPECT_EQ(ByKey(lessons), hours);
  EXPECT_EQ(ByKey(count.Of("")), (std::map<std::string, double>{{"1A/MAT/T1", 1}}));
  // Counted, they are not in the tree; their collections are.
  EXPECT_TRUE(counted.Select(itaca::kGroupTimetables).Empty());
  EXPECT_TRUE(counted.Select(itaca::kDutyTimetables).Empty());
  EXPECT_EQ(counted.Select("/centro/horarios_ocupaciones").Count(), 1u);
}

// The texts are kept as they are read: counted on another thread, once the document is gone.
TEST(TemplateHours, CountedOnAnotherThreadOnceTheDocumentIsGone) {
  TemplateHoursCount count;
  {
    const std::string text =
        "<centro><horarios_grupo><horario_grupo plantilla='PM' grupo='1A' contenido='MAT' "
        "docente='T&#49;'/></horarios_grupo></centro>";
    const itaca::Document document = itaca::Document::Parse(text, "documento", count.Gleanings());
  }
  EXPECT_EQ(std::async(std::launch::async, [&count] { return ByKey(count.Of("PM")); }).get(),
            (std::map<std::string, double>{{"1A/MAT/T1", 1}}));
}

}  // namespace
}  // namespace tc
