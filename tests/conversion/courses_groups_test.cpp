// CURSOST and GRUPOST from the courses, teachings, course links and groups of a document.
#include <gtest/gtest.h>

#include <set>

#include "base/error.h"
#include "conversion/stages.h"
#include "support/conversion_run.h"
#include "support/test_support.h"

namespace tc {
namespace {

using test::ConversionRun;
using test::Row;
using Codes = std::vector<std::string>;

Codes Column(const std::vector<Row>& rows, const std::string& field) {
  Codes values;
  for (const auto& row : rows) values.push_back(row.at(field));
  return values;
}

// A group with the given code and tutors, in the document's form.
std::string Group(const std::string& code, const std::string& tutors = R"(tutor_ppal="")") {
  // An empty tutor_sec unless `tutors` gives one: an attribute may appear once per element.
  const std::string secondary =
      tutors.find("tutor_sec=") == std::string::npos ? R"( tutor_sec="")" : "";
  return R"(<grupo codigo=")" + code + R"(" nombre="G" turno="M" ensenanza="3001" )" + tutors +
         secondary + "/>";
}

// A teacher whose initials are those of the two surnames and "A".
std::string Teacher(const std::string& surname1, const std::string& surname2,
                    const std::string& document) {
  return R"(<docente apellido1=")" + surname1 + R"(" apellido2=")" + surname2 +
         R"(" nombre="Ana" tipo_docente="P" documento=")" + document +
         R"(" ensenanza="E" email1="a@example.org"/>)";
}

// Teachers first: the groups' tutors are found in PROFT.
void RunStages(ConversionRun& run) {
  ImportTeachers(run.context());
  ImportCoursesAndGroups(run.context());
}

TEST(ImportCoursesAndGroups, CoursesTakenBySkippedByParentAndAbbreviation) {
  // Skipped courses lack codigo and ensenanza: they are never read.
  ConversionRun run(R"(<centro><ensenanzas>
      <ensenanza ensenanza="3001" abreviatura="ESO"/>
      <ensenanza ensenanza="3002" abreviatura="BACHILLER"/>
      <ensenanza ensenanza="3001" abreviatura="OTRA"/>
    </ensenanzas><cursos>
      <curso padre="" abreviatura="ESO1"/> <curso padre="" abreviatura=""/>
      <curso padre=" " abreviatura=" 1ESO " codigo="C1" ensenanza="3001"/>
      <curso padre="C1" abreviatura="BACH" codigo="CODIGOLARGO" ensenanza="3002"/>
      <curso padre="" abreviatura="2" codigo="C3" ensenanza="9999"/>
    </cursos></centro>)");
  run.state.SelectedTemplateShift = "Matutino";
  RunStages(run);

  auto rows = run.Rows("CURSOST");
  ASSERT_EQ(rows.size(), 3u);
  // clang-format off
  EXPECT_EQ(rows[0], (Row{{"ABREV", "1ES"}, {"TURNO", "M"}, {"NIVEL", "ESO"}, {"CURSO", "1"},
                          {"CLAVE", "C1"}, {"ESTUD", "1ESO"}}));
  EXPECT_EQ(rows[1], (Row{{"ABREV", "BAC"}, {"TURNO", "M"}, {"NIVEL", "BACHI"}, {"CURSO", "B"},
                          {"CLAVE", "CODIGOLARG"}, {"ESTUD", "BACH"}}));
  // clang-format on
  EXPECT_EQ(rows[2].at("NIVEL"), "");
}

TEST(ImportCoursesAndGroups, CollectionsOfOneElementArePassedOver) {
  // One teaching: no level, and the courses' ensenanza is not read. One link: no course.
  ConversionRun run(R"(<centro>
    <ensenanzas><ensenanza ensenanza="3001" abreviatura="ESO"/></ensenanzas>
    <cursos><curso padre="" abreviatura="1ESO" codigo="C1"/></cursos>
    <cursos_grupo><curso_grupo grupo="1A" curso="C1"/></cursos_grupo>
    <grupos>)" + Group("1A") + Group("1B") + "</grupos></centro>");
  RunStages(run);
  EXPECT_TRUE(run.Rows("CURSOST").empty());
  EXPECT_EQ(Column(run.Rows("GRUPOST"), "NIVEL"), (Codes{"", ""}));
  EXPECT_EQ(Column(run.Rows("GRUPOST"), "CLAVECURSO"), (Codes{"", ""}));

  ConversionRun one_group("<centro><grupos>" + Group("1A") + "</grupos></centro>");
  RunStages(one_group);
  EXPECT_TRUE(one_group.Rows("GRUPOST").empty());
}

TEST(ImportCoursesAndGroups, GroupRowJoinsLevelCourseAndTutor) {
  ConversionRun run("<centro><docentes>" + Teacher("Ruiz", "Sanz", "111A") +
                    Teacher("Rey", "Sol", "222B") + Teacher("Otro", "", "222B") +
                    Teacher("Sin", "", "") + Teacher("Largo", "", "123456789012345X") +
                    R"(</docentes><ensenanzas>
      <ensenanza ensenanza="3001" abreviatura="ESO"/> <ensenanza ensenanza="3" abreviatura="B"/>
    </ensenanzas><cursos_grupo>
      <curso_grupo grupo="1a" curso="C0"/> <curso_grupo grupo="1A" curso="C1"/>
      <curso_grupo grupo="1A" curso="C9"/>
    </cursos_grupo><grupos>)" + Group("1A", R"(tutor_ppal="222B")") +
                    Group("2B", R"(tutor_ppal=" " tutor_sec="111A")") +
                    Group("B", R"(tutor_ppal="999Z")") + Group("3C") +
                    Group("4D", R"(tutor_ppal="123456789012345X")") + "</grupos></centro>");
  RunStages(run);

  auto rows = run.Rows("GRUPOST");
  ASSERT_EQ(rows.size(), 5u);
  // clang-format off
  EXPECT_EQ(rows[0], (Row{{"ABREV", "1A"}, {"TURNO", "M"}, {"NIVEL", "ESO"}, {"CURSO", "1"},
                          {"GRUPO", "A"}, {"DESCRIP", "G"}, {"MARCO", "0"}, {"CLAVE", "1A"},
                          {"CLAVECURSO", "C1"}, {"ENSENANZA", "3001"}, {"TUTOR", "RSA1"}}));
  // clang-format on
  // tutor_sec when tutor_ppal is empty; an unknown DNI; no tutor at all (not the teacher
  // without DNI); a DNI longer than the field (stored cut, searched whole).
  EXPECT_EQ(Column(rows, "TUTOR"), (Codes{"RSA1", "RSA", "", "", ""}));
  EXPECT_EQ(rows[2].at("CURSO"), "B");  // a one-character code gives both
  EXPECT_EQ(rows[2].at("GRUPO"), "B");
  EXPECT_EQ(rows[2].at("CLAVECURSO"), "");
}

TEST(ImportCoursesAndGroups, GroupCodesMadeUniqueWithinTenCharacters) {
  std::string groups;
  for (const char* code :
       {"1A", "1a", "1A", "ABCDEFGHIJ", "ABCDEFGHIJ", "ABCDEFGHIJKL", "ABCDEFGHXXKL"}) {
    groups += Group(code);
  }
  for (int i = 0; i < 110; ++i) groups += Group("LONGCODE10");
  ConversionRun run("<centro><grupos>" + groups + "</grupos></centro>");
  RunStages(run);

  auto rows = run.Rows("GRUPOST");
  auto codes = Column(rows, "ABREV");
  EXPECT_EQ(Codes(codes.begin(), codes.begin() + 7),
            (Codes{"1A", "1a1", "1A2", "ABCDEFGHIJ", "ABCDEFGHI1", "ABCDEFGHKL", "ABCDEFGHX1"}));
  EXPECT_EQ(rows[1].at("CLAVE"), "1a");
  EXPECT_EQ(rows[5].at("CLAVE"), "ABCDEFGHIJ");
  // LONGCODE10, LONGCODE11 ... LONGCODE19; then LONGCODE110 would shorten to the taken
  // LONGCODE10, so LONGCODE20 follows; from 100 on the code is cut to make room for the number.
  EXPECT_EQ(codes[7 + 10], "LONGCODE20");
  EXPECT_EQ(codes[7 + 90], "LONGCOD100");
  EXPECT_EQ(std::set<std::string>(codes.begin(), codes.end()).size(), codes.size());
}

// The old indexes stay while the stage fails, and go with the commit of a run that succeeds.
TEST(ImportCoursesAndGroups, OldIndexFilesGoWithTheCommitAndAMissingAttributeStops) {
  ConversionRun run("<centro><grupos>" + Group("1A") +
                    R"(<grupo codigo="1B" nombre="" ensenanza="" tutor_ppal="1"/>)" +
                    "</grupos></centro>");
  test::WriteFile(run.dir / "GRUPOST.MDX", "old index");
  test::WriteFile(run.dir / "CURSOST.MDX", "old index");
  try {
    RunStages(run);
    FAIL() << "a group without turno must stop the stage";
  } catch (const DocumentError& error) {
    EXPECT_STREQ(error.what(),
                 "Falta el atributo \"turno\" en /centro/grupos/grupo (elemento 2, l\xEDnea 1) "
                 "de prueba.xml");
  }
  run.tables.Drop();
  EXPECT_TRUE(std::filesystem::exists(run.dir / "GRUPOST.MDX"));
  EXPECT_TRUE(std::filesystem::exists(run.dir / "CURSOST.MDX"));

  ConversionRun good("<centro><grupos>" + Group("1A") + Group("1B") + "</grupos></centro>");
  test::WriteFile(good.dir / "GRUPOST.MDX", "old index");
  test::WriteFile(good.dir / "CURSOST.MDX", "old index");
  RunStages(good);
  good.tables.Commit();
  EXPECT_FALSE(std::filesystem::exists(good.dir / "GRUPOST.MDX"));
  EXPECT_FALSE(std::filesystem::exists(good.dir / "CURSOST.MDX"));
  EXPECT_EQ(test::ReadRows(good.dir / "GRUPOST.DBF").size(), 2u);
}

}  // namespace
}  // namespace tc
