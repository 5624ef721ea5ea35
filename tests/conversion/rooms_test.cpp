// AULAT from the rooms of a document.
#include <gtest/gtest.h>

#include <set>

#include "conversion/stages.h"
#include "support/conversion_run.h"
#include "support/test_support.h"

namespace tc {
namespace {

using test::ConversionRun;
using Codes = std::vector<std::string>;

Codes Column(const std::vector<test::Row>& rows, const std::string& field) {
  Codes values;
  for (const auto& row : rows) values.push_back(row.at(field));
  return values;
}

TEST(ImportRooms, CodesMadeUniqueAndCutToTenCharacters) {
  std::string many;  // more than 99 repeats of a long code still fit and stay unique
  for (int i = 0; i < 101; ++i) many += R"(<aula codigo="LABORATORIO" nombre="Lab"/>)";
  ConversionRun run(R"(<centro><aulas>
    <aula codigo=" A1 " nombre="Aula 1"/> <aula codigo="A1" nombre="Aula 2"/>
    <aula codigo="a1" nombre="Aula 3"/> <aula codigo="" nombre=" Laboratorio de Física"/>
    <aula codigo="  " nombre="Laboratorio 2"/> <aula codigo="ABCDEFGHIJKL" nombre="Doce"/>
    <aula codigo="ABCDEFGHIJ" nombre="Diez"/> <aula codigo="ABCDEFGHIJ" nombre="Diez"/>
    <aula codigo="ABCDEFGHIJK" nombre="Once"/>)" +
                    many + "</aulas></centro>");
  ImportRooms(run.context());

  auto rows = run.Rows("AULAT");
  auto codes = Column(rows, "ABREV");
  EXPECT_EQ(Codes(codes.begin(), codes.begin() + 9),
            (Codes{"A1", "A11", "a12", "Labo", "Labo1", "ABCDEFGH1", "ABCDEFGHIJ", "ABCDEFGH2",
                   "ABCDEFGH3"}));
  EXPECT_EQ(codes[9], "LABORATO1");
  EXPECT_EQ(codes[9 + 99], "LABORAT100");
  EXPECT_EQ(std::set<std::string>(codes.begin(), codes.end()).size(), codes.size());
  auto itaca_codes = Column(rows, "ABREV_ITACA");
  EXPECT_EQ(
      Codes(itaca_codes.begin(), itaca_codes.begin() + 9),
      (Codes{"A1", "A1", "a1", "", "", "ABCDEFGHIJKL", "ABCDEFGHIJ", "ABCDEFGHIJ", "ABCDEFGHIJK"}));
  EXPECT_EQ(rows[3].at("NOMBRE"), test::W("Laboratorio de Física"));
}

TEST(ImportRooms, OneRoomIsPassedOver) {
  ConversionRun run(R"(<centro><aulas><aula codigo="A1" nombre="Aula"/></aulas></centro>)");
  ImportRooms(run.context());
  EXPECT_TRUE(run.Rows("AULAT").empty());
}

}  // namespace
}  // namespace tc
