// The provisional lessons: every known content with every group of its course.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "conversion/stages.h"
#include "store/schemas.h"
#include "support/conversion_run.h"
#include "support/test_support.h"

namespace tc {
namespace {

using test::ConversionRun;
using test::Row;
using Pairs = std::vector<std::pair<std::string, std::string>>;

// GRUPOST rows (ABREV, CLAVE, CLAVECURSO) and ASIGNOMT rows (COD, ABREV_ITACA, NOMBRE) as the
// earlier stages leave them, then the stage; gives (CASIG, CGRUP) of every ASIGT row.
Pairs Assign(ConversionRun& run, const std::vector<Row>& groups, const std::vector<Row>& subjects) {
  for (const auto& [def, rows] : {std::pair{&store::GrupostTable(), &groups},
                                  std::pair{&store::AsignomtTable(), &subjects}}) {
    store::Table table = run.tables.Create(*def);
    for (const Row& row : *rows) {
      table.Append();
      for (const auto& [field, value] : row) table.SetText(field, value);
      table.Post();
    }
    table.Close();
  }
  ImportAssignments(run.ctx);
  Pairs pairs;
  for (const Row& row : run.Rows("ASIGT")) pairs.emplace_back(row.at("CASIG"), row.at("CGRUP"));
  return pairs;
}
Row Group(std::string abbrev, std::string course) {
  return {{"ABREV", abbrev}, {"CLAVE", "G" + abbrev}, {"CLAVECURSO", course},     {"TURNO", "M"},
          {"NIVEL", "ESO"},  {"CURSO", "1"},          {"GRUPO", abbrev.substr(1)}};
}
Row Subject(std::string cod, std::string itaca_code, std::string name = "") {
  return {{"COD", cod}, {"ABREV_ITACA", itaca_code}, {"NOMBRE", test::W(name)}};
}

TEST(Assignments, FiveContentsAndThreeGroupsGiveFifteenLessons) {
  std::string contents;
  std::vector<Row> subjects;
  Pairs expected;
  for (std::string i : {"1", "2", "3", "4", "5"}) {
    contents += "<contenido codigo='S" + i + "' curso='C1'/>";  // names never read
    subjects.push_back(Subject("COD" + i, "S" + i));
    for (const char* group : {"1A", "1B", "1C"}) expected.emplace_back("COD" + i, group);
  }
  ConversionRun run("<centro><contenidos>" + contents + "</contenidos></centro>");
  EXPECT_EQ(
      Assign(run, {Group("1A", "C1"), Group("2A", "C2"), Group("1B", "C1"), Group("1C", "C1")},
             subjects),
      expected);
  const std::vector<Row> rows = run.Rows("ASIGT");
  EXPECT_EQ(rows[4], (Row{{"CASIG", "COD2"},
                          {"CPROF", ""},
                          {"CGRUP", "1B"},
                          {"CAULA", ""},
                          {"TURNO", "M"},
                          {"NIVEL", "ESO"},
                          {"CURSO", "1"},
                          {"GRUPO", "B"},
                          {"HORAS", "4"},
                          {"SESIONES", "1111"},
                          {"NCONEX", ""},
                          {"CLAVE", "G1B"},
                          {"CLAVECURSO", "C1"},
                          {"CTAREA", "*479"},
                          {"ASIG_ITACA", "S2"}}));
}

// By code, else by the name in the run language; a row found by code whose COD is blank still
// lets the name be tried, and any other language text tries the code alone.
TEST(Assignments, SubjectsFoundByNameOnlyInTheTwoLanguages) {
  const std::string xml =
      "<centro><contenidos>"
      "<contenido codigo='NOPE' curso='C1' nombre_cas='Matemáticas' nombre_val='Matemàtiques'/>"
      "<contenido codigo='B1' curso='C1' nombre_cas='Otra' nombre_val='Història'/>"
      "<contenido codigo='K' curso='C1'/></contenidos></centro>";
  const std::vector<std::pair<std::string, Pairs>> cases{
      {std::string(kCastilian), {{"MAT", "1A"}, {"K", "1A"}}},
      {std::string(kValencian), {{"HIS", "1A"}, {"K", "1A"}}},
      {"OTRO", {{"K", "1A"}}}};
  for (const auto& [language, expected] : cases) {
    ConversionRun run(xml);
    run.state.LanguageChoice = language;
    EXPECT_EQ(Assign(run, {Group("1A", "C1")},
                     {Subject("MAT", "X", "Matemáticas"), Subject("", "B1"),
                      Subject("HIS", "Y", "Història"), Subject("K", "K")}),
              expected)
        << language;
  }
}

TEST(Assignments, ContentsMeetOnlyTheGroupsOfTheirOwnCourse) {
  ConversionRun run(
      "<centro><contenidos><contenido codigo='A' curso='C9'/><contenido codigo='B' curso=''/>"
      "<contenido codigo='A2' curso='C1'/><contenido codigo='A' curso='C1'/>"
      "<contenido codigo='Z' curso='C1' nombre_val='Nada'/></contenidos></centro>");
  // Two ITACA codes of one subject both give lessons; nothing is merged.
  EXPECT_EQ(Assign(run, {Group("1A", "C1"), Group("X1", ""), Group("X2", "")},
                   {Subject("A", "A"), Subject("B", "B"), Subject("A", "A2")}),
            (Pairs{{"B", "X1"}, {"B", "X2"}, {"A", "1A"}, {"A", "1A"}}));
}

TEST(Assignments, ASingleContentIsPassedOver) {
  ConversionRun run("<centro><contenidos><contenido codigo='A' curso='C1'/></contenidos></centro>");
  EXPECT_TRUE(Assign(run, {Group("1A", "C1")}, {Subject("A", "A")}).empty());
}

}  // namespace
}  // namespace tc
