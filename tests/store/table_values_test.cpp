// Field values at the edges of their encodings, written and read through the table: signs and
// ranges of the binary numbers, the byte order that makes level-7 numbers sort, numeric texts
// that do not fit or are not numbers, and which refusals name the record.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "store/table.h"
#include "support/test_support.h"
#include "table_testing.h"

namespace tc::test {
namespace {

namespace fs = std::filesystem;
using store::OpenMode;
using store::Table;

// The kind of the tc::Error that `action` throws; nullopt when it throws none.
std::optional<ErrorKind> KindOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& error) {
    return error.kind();
  }
  return std::nullopt;
}

// The bytes of field `offset`..`offset + width` of record `index` in a table file.
std::string FieldBytes(const std::string& file, std::size_t index, std::size_t offset,
                       std::size_t width) {
  const std::size_t header_length = GetLe16(file, 8);
  const std::size_t record_length = GetLe16(file, 10);
  return file.substr(header_length + index * record_length + offset, width);
}

TEST(TableValues, VisualFoxProNumbersKeepTheirSignsAndRefuseWhatDoesNotFit) {
  TempDir dir;
  RawTable raw;
  raw.version = 0x30;
  raw.fields = {{"I", 'I', 4}, {"B", 'B', 8}, {"Y", 'Y', 8}};
  raw.after_terminator = std::string(263, '\0');
  WriteFile(dir / "VFP.DBF", raw.Build());
  {
    Table table = Table::Open(dir / "VFP.DBF", OpenMode::Exclusive);
    table.Append();
    table.SetInteger("I", -1);
    table.SetFloat("B", -0.0);
    table.SetFloat("Y", -2.5);
    table.Post();
    table.Append();
    table.SetInteger("I", std::numeric_limits<std::int32_t>::min());  // not blank here
    table.SetFloat("B", -1.5);
    table.SetFloat("Y", 1.23456);  // to the nearest ten-thousandth
    EXPECT_EQ(ErrorOf([&] { table.SetFloat("Y", 1e15); }),
              "El campo Y de la tabla VFP no admite el valor 1e+15.");
    EXPECT_EQ(ErrorOf([&] { table.SetFloat("I", 2.5e9); }),
              "El campo I de la tabla VFP no admite el valor 2500000000.");
    EXPECT_EQ(ErrorOf([&] { table.SetFloat("I", 1e10); }),
              "El campo I de la tabla VFP no admite el valor 1e+10.");
    table.Post();

    // An edited key is found by its new value only.
    ASSERT_TRUE(table.Locate("I", "-1"));
    table.Edit();
    table.SetText("I", "7");
    table.Post();
    EXPECT_FALSE(table.Locate("I", "-1"));
    EXPECT_TRUE(table.Locate("I", "7"));
    EXPECT_EQ(table.RecNo(), 1);
  }
  const std::string file = ReadFile(dir / "VFP.DBF");
  EXPECT_EQ(FieldBytes(file, 0, 1, 4), std::string("\x07\0\0\0", 4));
  EXPECT_EQ(FieldBytes(file, 0, 5, 8), std::string(8, '\0'));  // no negative zero
  EXPECT_EQ(FieldBytes(file, 0, 13, 8), std::string("\x58\x9E\xFF\xFF\xFF\xFF\xFF\xFF", 8));
  EXPECT_EQ(FieldBytes(file, 1, 1, 4), std::string("\0\0\0\x80", 4));

  Table table = Table::Open(dir / "VFP.DBF", OpenMode::Shared);
  EXPECT_EQ(table.GetText("B"), "0");
  EXPECT_EQ(table.GetFloat("Y"), -2.5);
  table.Next();
  EXPECT_EQ(table.GetInteger("I"), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(table.GetText("B"), "-1.5");
  EXPECT_EQ(table.GetText("Y"), "1.2346");
  EXPECT_FALSE(table.IsBlank("I"));  // Visual FoxPro keeps nulls elsewhere
}

TEST(TableValues, Level7NumbersSortByTheirBytesAndReadBackExactly) {
  TempDir dir;
  const std::vector<std::int32_t> integers{std::numeric_limits<std::int32_t>::min() + 1,
                                           -65536, -256, -1, 0, 1, 255, 65536,
                                           std::numeric_limits<std::int32_t>::max()};
  const std::vector<double> reals{std::numeric_limits<double>::lowest(),
                                  -1e300, -2.5, -1e-300, 0.0, 1e-300, 0.1, 2.5, 1e300,
                                  std::numeric_limits<double>::max()};
  {
    Table table = Table::Create(dir / "T.DBF", {Integer("I"), Float("O")});
    for (std::size_t i = 0; i < std::max(integers.size(), reals.size()); ++i) {
      table.Append();
      if (i < integers.size()) table.SetInteger("I", integers[i]);
      if (i < reals.size()) table.SetFloat("O", reals[i]);
      table.Post();
    }
    table.Append();
    table.SetFloat("O", -0.0);  // one zero only
    table.Post();
  }
  const std::string file = ReadFile(dir / "T.DBF");
  for (std::size_t i = 1; i < integers.size(); ++i) {
    EXPECT_LT(FieldBytes(file, i - 1, 1, 4), FieldBytes(file, i, 1, 4)) << integers[i];
  }
  for (std::size_t i = 1; i < reals.size(); ++i) {
    EXPECT_LT(FieldBytes(file, i - 1, 5, 8), FieldBytes(file, i, 5, 8)) << reals[i];
  }
  EXPECT_EQ(FieldBytes(file, reals.size(), 5, 8), FieldBytes(file, 4, 5, 8));

  Table table = Table::Open(dir / "T.DBF", OpenMode::Shared);
  for (std::size_t i = 0; i < reals.size(); ++i, table.Next()) {
    if (i < integers.size()) {
      EXPECT_EQ(table.GetInteger("I"), integers[i]);
    } else {
      EXPECT_TRUE(table.IsBlank("I"));
    }
    EXPECT_EQ(table.GetFloat("O"), reals[i]);
    EXPECT_FALSE(table.IsBlank("O"));  // zero is a value, not a blank
  }
}

TEST(TableValues, NumericTextsThatAreNotNumbersAreNamedByTheirRecord) {
  TempDir dir;
  RawTable raw;
  raw.fields = {{"QTY", 'N', 5}, {"PRICE", 'N', 8, 2}, {"OK", 'L', 1}, {"WHEN", 'D', 8}};
  //              flag  QTY      PRICE      OK   WHEN
  raw.records = {std::string(" ") + "*****" + "    1.50" + "?" + "20240517",
                 std::string(" ") + "   12" + "    2.00" + "y" + "        "};
  WriteFile(dir / "III.DBF", raw.Build());
  Table table = Table::Open(dir / "III.DBF", OpenMode::Exclusive);

  EXPECT_EQ(table.GetText("QTY"), "*****");  // an overflow as dBase writes it
  EXPECT_FALSE(table.IsBlank("QTY"));
  EXPECT_EQ(ErrorOf([&] { table.GetInteger("QTY"); }),
            "El campo QTY del registro 1 de la tabla III no contiene un n\xFAmero: \"*****\".");
  EXPECT_EQ(KindOf([&] { table.GetFloat("QTY"); }), ErrorKind::TableDamaged);
  EXPECT_TRUE(table.IsBlank("OK"));
  EXPECT_EQ(table.GetText("OK"), "");
  EXPECT_FALSE(table.GetBoolean("OK"));
  EXPECT_EQ(ErrorOf([&] { table.GetBoolean("WHEN"); }),
            "El campo WHEN del registro 1 de la tabla III no es de tipo l\xF3gico.");

  table.Next();
  EXPECT_EQ(table.GetText("OK"), "T");
  EXPECT_TRUE(table.IsBlank("WHEN"));
  table.Edit();
  table.SetInteger("PRICE", 12);
  table.SetText("QTY", " +7 ");
  table.SetText("OK", "no");
  EXPECT_EQ(ErrorOf([&] { table.SetFloat("PRICE", std::numeric_limits<double>::infinity()); }),
            "El campo PRICE de la tabla III no admite un valor infinito.");
  EXPECT_EQ(ErrorOf([&] { table.SetFloat("QTY", 123456.0); }),
            "El campo QTY de la tabla III no tiene sitio para el valor 123456.");
  EXPECT_EQ(ErrorOf([&] { table.SetText("WHEN", "2024-05-17"); }),
            "El campo WHEN de la tabla III es una fecha AAAAMMDD y no admite el valor "
            "\"2024-05-17\".");
  EXPECT_EQ(KindOf([&] { table.SetBoolean("WHEN", true); }), ErrorKind::InvalidData);
  table.Post();
  EXPECT_EQ(table.GetText("PRICE"), "12");
  EXPECT_EQ(table.GetText("QTY"), "7");
  EXPECT_EQ(table.GetText("OK"), "F");
  table.Close();
  const std::string file = ReadFile(dir / "III.DBF");
  EXPECT_EQ(FieldBytes(file, 1, 1, 14), "    7   12.00F");
}

TEST(TableValues, TextsLoseTheirTrailingBlanksAndZerosHoweverLongThePadding) {
  TempDir dir;
  RawTable raw;
  raw.fields = {{"NAME", 'C', 20}};
  const std::string padded[] = {
      std::string("ab") + std::string(18, ' '),
      std::string("a b\xE9") + std::string(5, ' ') + std::string(11, '\0'),
      "12345678" + std::string(" \0 \0 \0 \0", 8) + "0000",  // a zero digit is text
      std::string(20, '\0'), std::string("x") + std::string(6, ' ') + "y" + std::string(12, ' ')};
  for (const std::string& field : padded) raw.records.push_back(" " + field);
  WriteFile(dir / "PAD.DBF", raw.Build());
  Table table = Table::Open(dir / "PAD.DBF", OpenMode::Shared);
  std::vector<std::string> read;
  for (table.First(); !table.Eof(); table.Next()) read.push_back(table.GetText("NAME"));
  EXPECT_EQ(read, (std::vector<std::string>{"ab", "a b\xE9",
                                            "12345678" + std::string(" \0 \0 \0 \0", 8) + "0000",
                                            "", "x      y"}));
}

}  // namespace
}  // namespace tc::test
