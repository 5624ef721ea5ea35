// The catalogue of subjects and duties built from small documents.
#include <gtest/gtest.h>

#include <string>
#include <unordered_set>
#include <vector>

#include "base/error.h"
#include "conversion/stages.h"
#include "store/schemas.h"
#include "support/conversion_run.h"
#include "support/test_support.h"

namespace tc {
namespace {

using test::ConversionRun;
using test::W;
using Texts = std::vector<std::string>;

std::string Content(std::string code, std::string course, std::string val, std::string cas = "-") {
  return "<contenido codigo='" + code + "' curso='" + course + "' nombre_val='" + val +
         "' nombre_cas='" + cas + "'/>";
}
std::string Duty(std::string code, std::string val, std::string cas = "-") {
  return "<ocupacion codigo='" + code + "' nombre_val='" + val + "' nombre_cas='" + cas + "'/>";
}
std::string Centro(const std::string& contents, const std::string& duties) {
  return "<centro><contenidos>" + contents + "</contenidos><ocupaciones>" + duties +
         "</ocupaciones></centro>";
}

// Both stages, on a CURSOST of (CLAVE, NIVEL, CURSO) rows as the courses stage leaves it.
void Convert(ConversionRun& run, const std::vector<Texts>& courses = {}) {
  store::Table table = run.tables.Create(store::CursostTable());
  for (const Texts& course : courses) {
    table.Append();
    table.SetText("CLAVE", course[0]);
    table.SetText("NIVEL", course[1]);
    table.SetText("CURSO", course[2]);
    table.Post();
  }
  table.Close();
  ImportSubjects(run.ctx);
  ImportTasks(run.ctx);
}

Texts Column(const ConversionRun& run, const std::string& field) {
  Texts values;
  for (const test::Row& row : run.Rows("ASIGNOMT")) values.push_back(row.at(field));
  return values;
}

TEST(Subjects, OneRowPerCodeWithLevelAndCourseWhileEveryContentAgrees) {
  ConversionRun run(Centro(Content("ABCDEFGHIJK", "E1", "Uno") +
                               Content("ABCDEFGHJK", "E1", "Dos") + Content("M", "E1", "Mates") +
                               Content("M", "E2", "Otro") + Content("F", "E1", "Fisica") +
                               Content("F", "B1", "Fisica") + Content("F", "E1", "Fisica") +
                               Content("Q", "X9", "Quimica"),
                           Duty("D1", "Dos") + Duty("D2", "Otro") + Duty("D3", "Cuatro")));
  Convert(run, {{"E1", "ESO", "1"}, {"E2", "ESO", "2"}, {"B1", "BAC", "1"}});
  EXPECT_EQ(Column(run, "COD"), (Texts{"ABCDEFGHJK", "M", "F", "Q", "*D3"}));
  EXPECT_EQ(Column(run, "ABREV_ITACA"), (Texts{"ABCDEFGHIJK", "M", "F", "Q", "D3"}));
  // Names of contents that gave no row of their own still keep duties of that name out.
  EXPECT_EQ(Column(run, "NOMBRE"), (Texts{"Uno", "Mates", "Fisica", "Quimica", "Cuatro"}));
  // F goes back to ESO after BAC: once emptied, the level stays empty.
  EXPECT_EQ(Column(run, "DENIVEL"), (Texts{"ESO", "ESO", "", "", ""}));
  EXPECT_EQ(Column(run, "DECURSO"), (Texts{"1", "", "1", "", ""}));
  EXPECT_EQ(run.ctx.ItacaSubjectCodes, (std::unordered_set<std::string>{"ABCDEFGHIJK", "F", "M", "Q"}));
  EXPECT_TRUE(run.ctx.UsedCodes.empty());
  EXPECT_TRUE(run.ctx.UsedNames.empty());
}

TEST(Subjects, AbbreviationsRaiseOnlyPlainLetters) {
  ConversionRun run(Centro(Content("1", "C", "Lengua Castellana y Literatura") +
                               Content("2", "C", "Matemáticas") +
                               Content("3", "C", "Educación Física y Deporte I") +
                               Content("4", "C", "Física") + Content("5", "C", "Historia del Arte"),
                           Duty("G1", "Guardia de patio") + Duty("G2", "Biblioteca")));
  Convert(run);
  EXPECT_EQ(Column(run, "CODLARGO"),
            (Texts{"LCL", W("MATEMáTICA"), "EFDI", W("FíSICA"), "HA", "GP", "BIBLIOTECA"}));
  EXPECT_EQ(Column(run, "NOMBRE")[1], W("Matemáticas"));
}

TEST(Subjects, ListsOfOneElementArePassedOver) {
  ConversionRun one_content(Centro(Content("M", "C", "Mates"),
                                   Duty("G1", "Mates") + Duty("G2", "Mates") + Duty("G3", "P")));
  Convert(one_content);
  EXPECT_EQ(Column(one_content, "COD"), (Texts{"*G1", "*G3"}));

  ConversionRun one_duty(Centro(Content("M", "C", "A") + Content("F", "C", "B"), Duty("G", "P")));
  Convert(one_duty);
  EXPECT_EQ(Column(one_duty, "COD"), (Texts{"M", "F"}));
}

TEST(Tasks, DutyCodesTakeLettersWhenTheirDigitsAreTaken) {
  ConversionRun run(Centro(Content("*900", "C", "Uno") + Content("2", "C", "Dos"),
                           Duty("G567", "A") + Duty("H567", "B") + Duty("X567", "C") +
                               Duty("A900", "D") + Duty("AB", "E") + Duty("", "F")));
  Convert(run);
  EXPECT_EQ(Column(run, "COD"), (Texts{"*900", "2", "*567", "*56A", "*56B", "*90A", "*AB", "*"}));
  EXPECT_EQ(Column(run, "CODTAREA"), (Texts{"", "", "G567", "H567", "X567", "A900", "AB", ""}));
  EXPECT_EQ(Column(run, "ESTAREA"), (Texts{"F", "F", "T", "T", "T", "T", "T", "T"}));
  EXPECT_EQ(Column(run, "ABREV_ITACA")[3], "H567");
}

// Past the last character code the run stops instead of wrapping round to control characters.
TEST(Tasks, ARunOutOfDutyCodesStopsWithTheDuty) {
  std::string duties;
  for (int i = 100; i <= 292; ++i)
    duties += Duty("Z" + std::to_string(i) + "567", "N" + std::to_string(i));
  ConversionRun run(Centro("", duties));
  try {
    Convert(run);
    FAIL() << "no error";
  } catch (const RunError& error) {
    EXPECT_EQ(std::string(error.what()),
              W("Ocupación \"Z292567\": no queda ningún código libre de la forma *56A, *56B... "
                "en ASIGNOMT"));
  }
}

TEST(Subjects, NamesAreTakenInTheRunLanguageOnly) {
  // Valencian reads nombre_val alone; the duty named like a subject gets no row.
  ConversionRun valencian(
      Centro("<contenido codigo='1' curso='C' nombre_val='Tutoria'/>"
             "<contenido codigo='2' curso='C' nombre_val='Valencià'/>",
             Duty("T", "Tutoria", "Tutoria grupo") + Duty("G", "Guardia", "Guardia")));
  Convert(valencian);
  EXPECT_EQ(Column(valencian, "NOMBRE"), (Texts{"Tutoria", W("Valencià"), "Guardia"}));

  // Any other text reads nombre_cas alone, and then the duty may get its row.
  for (const std::string& language : {std::string(kCastilian), std::string("Ingl\xE9s")}) {
    ConversionRun other(
        Centro("<contenido codigo='1' curso='C' nombre_cas='Tutoria'/>"
               "<contenido codigo='2' curso='C' nombre_cas='Castellano'/>",
               Duty("T", "Tutoria", "Tutoria grupo") + Duty("G", "Guardia", "Guardia")));
    other.state.LanguageChoice = language;
    Convert(other);
    EXPECT_EQ(Column(other, "NOMBRE"),
              (Texts{"Tutoria", "Castellano", "Tutoria grupo", "Guardia"}));
  }
}

}  // namespace
}  // namespace tc
