// The table files themselves: the bytes of the level-7 tables we write, the flavours we read
// (files built byte by byte and files written by real dBase and FoxPro installations), and
// damaged files, which must give one clear error and never a crash.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "store/schemas.h"
#include "store/table.h"
#include "support/test_support.h"
#include "table_testing.h"

namespace tc::test {
namespace {

namespace fs = std::filesystem;
using store::FieldType;
using store::OpenMode;
using store::Table;

fs::path FixturesDir() { return fs::path(TC_SOURCE_DIR) / "tests" / "fixtures"; }

// Every live row of a table file as texts, field by field, reading every field.
std::vector<std::vector<std::string>> Dump(const fs::path& file) {
  Table table = Table::Open(file, OpenMode::Shared);
  std::vector<std::vector<std::string>> rows;
  for (table.First(); !table.Eof(); table.Next()) {
    std::vector<std::string> row;
    for (const auto& field : table.Fields()) {
      row.push_back(table.GetText(field.name));
      table.IsBlank(field.name);
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

std::string Hex(std::string_view bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (!out.empty()) out += ' ';
    out += digits[c >> 4];
    out += digits[c & 0xF];
  }
  return out;
}

// ---- What we write -----------------------------------------------------------------------------

TEST(TableFormat, HeadersMatchTheLayoutTdbfWritesForEveryWorkingTable) {
  const fs::path fixtures = FixturesDir() / "tdbf";
  TempDir dir;
  for (const store::TableDef* def : store::WorkingTables()) {
    SCOPED_TRACE(def->name);
    Table::Create(dir / (def->name + ".DBF"), def->fields).Close();
    std::string ours = ReadFile(dir / (def->name + ".DBF"));
    std::string theirs = ReadFile(fixtures / (def->name + ".DBF"));
    const unsigned header_length = GetLe16(theirs, 8);
    ASSERT_EQ(GetLe16(ours, 8), header_length);
    EXPECT_EQ(header_length, 68 + 48 * def->fields.size() + 1);
    EXPECT_EQ(ours.size(), header_length + 1u);
    EXPECT_EQ(ours.back(), '\x1A');
    theirs.resize(header_length);
    ours.resize(header_length);

    // Expected differences: the date, the row count, the language driver's name (ours says
    // 'ascii' ANSI, TDbf's 'WEurope' ANSI: the same code page 1252) and the physical type of the
    // floating-point field (O/8 here, N/18.8 there), with the record length that follows from it.
    EXPECT_EQ(theirs.substr(32, 8), "DBWINWE0");
    EXPECT_EQ(ours.substr(32, 8), "DBWINUS0");
    theirs.replace(1, 7, ours.substr(1, 7));
    theirs.replace(32, 32, ours.substr(32, 32));
    unsigned record_length = GetLe16(theirs, 10);
    for (std::size_t i = 0; i < def->fields.size(); ++i) {
      const std::size_t at = 68 + 48 * i;
      if (def->fields[i].type == FieldType::Float) {
        EXPECT_EQ(theirs.substr(at + 32, 3), std::string("N\x12\x08", 3));
        EXPECT_EQ(ours.substr(at + 32, 3), std::string("O\x08\x00", 3));
        theirs.replace(at + 32, 3, ours.substr(at + 32, 3));
        record_length = record_length - 18 + 8;
      }
    }
    PutLe16(theirs, 10, record_length);
    EXPECT_EQ(Hex(ours), Hex(theirs));
  }
}

TEST(TableFormat, ValuesAreStoredAsLevel7Encodings) {
  TempDir dir;
  Table table =
      Table::Create(dir / "T.DBF", {Char("C", 3), Logical("L"), Integer("I"), Float("O")});
  auto add = [&](const char* text, int logical, std::optional<int> integer,
                 std::optional<double> real) {
    table.Append();
    if (*text) table.SetText("C", text);
    if (logical >= 0) table.SetBoolean("L", logical == 1);
    if (integer) table.SetInteger("I", *integer);
    if (real) table.SetFloat("O", *real);
    table.Post();
  };
  add("ab", 1, 5, 1.0);
  add("", 0, -1, 0.0);
  add("xyz", -1, std::nullopt, -2.5);
  add("", -1, 0, std::nullopt);
  table.Delete();  // the last row, to see its flag
  table.Close();

  const std::string file = ReadFile(dir / "T.DBF");
  const unsigned header_length = GetLe16(file, 8);
  ASSERT_EQ(GetLe16(file, 10), 1u + 3 + 1 + 4 + 8);
  ASSERT_EQ(GetLe32(file, 4), 4u);
  ASSERT_EQ(file.size(), header_length + 4 * 17 + 1u);
  auto record = [&](int i) { return Hex(file.substr(header_length + 17 * i, 17)); };
  //                flag C        L  I            O
  EXPECT_EQ(record(0), "20 61 62 20 54 80 00 00 05 BF F0 00 00 00 00 00 00");
  EXPECT_EQ(record(1), "20 20 20 20 46 7F FF FF FF 80 00 00 00 00 00 00 00");
  EXPECT_EQ(record(2), "20 78 79 7A 20 00 00 00 00 3F FB FF FF FF FF FF FF");
  EXPECT_EQ(record(3), "2A 20 20 20 20 80 00 00 00 00 00 00 00 00 00 00 00");
  EXPECT_EQ(file.back(), '\x1A');
  EXPECT_EQ(file[0], '\x04');
  EXPECT_EQ(file[29], '\0');
}

// ---- Flavours read -----------------------------------------------------------------------------

TEST(TableFormat, ReadsDbase3AndWritesItBackInItsOwnFlavour) {
  TempDir dir;
  RawTable raw;
  raw.version = 0x03;
  raw.fields = {
      {"NAME", 'C', 10}, {"QTY", 'N', 5}, {"PRICE", 'N', 8, 2}, {"OK", 'L', 1}, {"WHEN", 'D', 8}};
  raw.records = {" Ana          12    2.50T20240517", "*Bob           1    1.00F20240101",
                 std::string(33, ' ')};
  WriteFile(dir / "III.DBF", raw.Build());
  {
    Table table = Table::Open(dir / "III.DBF", OpenMode::Exclusive);
    EXPECT_EQ(table.Fields()[1].type, FieldType::Integer);
    EXPECT_EQ(table.Fields()[2].type, FieldType::Float);
    EXPECT_EQ(table.Fields()[3].type, FieldType::Logical);
    EXPECT_EQ(table.Fields()[4].type, FieldType::Date);
    EXPECT_EQ(table.RecordCount(), 2);
    EXPECT_EQ(table.GetText("NAME"), "Ana");
    EXPECT_EQ(table.GetText("QTY"), "12");
    EXPECT_EQ(table.GetInteger("QTY"), 12);
    EXPECT_EQ(table.GetText("PRICE"), "2.5");
    EXPECT_TRUE(table.GetBoolean("OK"));
    EXPECT_EQ(table.GetText("WHEN"), "20240517");
    table.Next();
    EXPECT_EQ(table.RecNo(), 3);
    for (const char* field : {"NAME", "QTY", "PRICE", "OK", "WHEN"}) {
      EXPECT_TRUE(table.IsBlank(field)) << field;
      EXPECT_EQ(table.GetText(field), "") << field;
    }
    table.Edit();
    table.SetInteger("QTY", -7);
    table.SetFloat("PRICE", 3.125);  // two decimals: rounded
    table.SetText("WHEN", "20250102");
    EXPECT_EQ(ErrorOf([&] { table.SetInteger("QTY", 123456); }),
              "El campo QTY de la tabla III no tiene sitio para el valor 123456.");
    table.Post();
  }
  const std::string file = ReadFile(dir / "III.DBF");
  EXPECT_EQ(file[0], '\x03');
  EXPECT_EQ(file[29], '\x57');
  EXPECT_EQ(file.substr(GetLe16(file, 8) + 2 * 33, 33),
            std::string(" ") + std::string(10, ' ') + "   -7    3.12 20250102");
  EXPECT_EQ(Dump(dir / "III.DBF"),
            (std::vector<std::vector<std::string>>{{"Ana", "12", "2.5", "T", "20240517"},
                                                   {"", "-7", "3.12", "", "20250102"}}));
}

TEST(TableFormat, ReadsLevel7WithAPropertiesBlockAndOtherTypes) {
  TempDir dir;
  RawTable raw;
  raw.version = 0x04;
  raw.level7 = true;
  raw.fields = {{"ID", '+', 4}, {"Nombre largo", 'C', 6}, {"N", 'I', 4},
                {"X", 'O', 8},  {"STAMP", '@', 8},        {"P", 'N', 6, 2}};
  raw.after_terminator = std::string("\0\0\x10\0\0\0\x10\0\0\0\x10\0\x10\0\x10\0", 16);
  std::string record = " ";
  record += std::string("\x80\0\0\x07", 4);
  record += "hola  ";
  record += std::string("\x7F\xFF\xFF\xF6", 4);      // -10
  record += std::string("\xC0\x04\0\0\0\0\0\0", 8);  // 2.5
  record += std::string("\x42\xCC\0\0\0\0\0\0", 8);
  record += "  1.50";
  raw.records = {record};
  WriteFile(dir / "L7.DBF", raw.Build());
  Table table = Table::Open(dir / "L7.DBF", OpenMode::Shared);
  EXPECT_EQ(table.GetInteger("ID"), 7);
  EXPECT_EQ(table.GetText("nombre largo"), "hola");
  EXPECT_EQ(table.GetInteger("N"), -10);
  EXPECT_EQ(table.GetFloat("X"), 2.5);
  EXPECT_EQ(table.Fields()[4].type, FieldType::Other);
  EXPECT_EQ(table.GetText("P"), "1.5");
  EXPECT_TRUE(table.Locate("Nombre largo;N", {"hola", "-10"}));
}

TEST(TableFormat, ReadsVisualFoxProBinaryNumbersAndWideTexts) {
  TempDir dir;
  RawTable raw;
  raw.version = 0x30;
  raw.language_driver = 0x03;
  raw.fields = {
      {"I", 'I', 4}, {"B", 'B', 8}, {"Y", 'Y', 8}, {"WIDE", 'C', 300}, {"_NullFlags", '0', 1}};
  raw.after_terminator = std::string(263, '\0');  // the backlink
  std::string record = " ";
  record += std::string("\xF9\xFF\xFF\xFF", 4);        // -7
  record += std::string("\0\0\0\0\0\0\x04\x40", 8);    // 2.5
  record += std::string("\x20\xBF\x02\0\0\0\0\0", 8);  // 18.0000
  record += std::string(299, 'w') + " ";
  record += '\0';
  raw.records = {record};
  WriteFile(dir / "VFP.DBF", raw.Build());
  {
    Table table = Table::Open(dir / "VFP.DBF", OpenMode::Exclusive);
    EXPECT_EQ(table.GetInteger("I"), -7);
    EXPECT_EQ(table.GetText("B"), "2.5");
    EXPECT_EQ(table.GetText("Y"), "18");
    EXPECT_EQ(table.GetText("WIDE"), std::string(299, 'w'));
    EXPECT_EQ(table.Fields()[3].width, 300);
    EXPECT_EQ(table.Fields()[4].type, FieldType::Other);
    table.Append();
    table.SetInteger("I", 9);
    table.SetFloat("Y", 1.25);
    table.Post();
  }
  const std::string file = ReadFile(dir / "VFP.DBF");
  EXPECT_EQ(file[0], '\x30');
  EXPECT_EQ(GetLe16(file, 8), 32u + 5 * 32 + 1 + 263);  // the backlink stays
  EXPECT_EQ(Dump(dir / "VFP.DBF"),
            (std::vector<std::vector<std::string>>{{"-7", "2.5", "18", std::string(299, 'w'), ""},
                                                   {"9", "0", "1.25", "", ""}}));
}

TEST(TableFormat, RefusesUnknownVersions) {
  TempDir dir;
  std::string file(600, '\0');
  file[0] = '\x07';
  WriteFile(dir / "X.DBF", file);
  EXPECT_EQ(ErrorOf([&] { Table::Open(dir / "X.DBF", OpenMode::Shared); }),
            "El archivo " + (dir / "X.DBF").string() +
                " no es una tabla dBase que se pueda leer: versi\xF3n 0x07 desconocida.");
}

// ---- Files written by other programs -----------------------------------------------------------

TEST(TableFormat, EveryFixtureReadsOrIsRefusedClearly) {
  const fs::path fixtures = FixturesDir() / "dbase";
  const std::map<std::string, std::size_t> rows{{"cp1251.dbf", 4},
                                                {"dbase_03.dbf", 14},
                                                {"dbase_03_cyrillic.dbf", 2},
                                                {"dbase_30.dbf", 34},
                                                {"dbase_31.dbf", 77},
                                                {"dbase_32.dbf", 1},
                                                {"dbase_83.dbf", 67},
                                                {"dbase_83_missing_memo.dbf", 67},
                                                {"dbase_8b.dbf", 10},
                                                {"dbase_8b_incorrect_record_count.dbf", 10},
                                                {"dbase_8c.dbf", 10},
                                                {"dbase_f5.dbf", 975},
                                                {"foxpro_types.dbf", 2},
                                                {"mazovia.dbf", 2},
                                                {"polygon.dbf", 1}};
  int seen = 0;
  for (const auto& entry : fs::directory_iterator(fixtures)) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() != ".dbf") continue;
    SCOPED_TRACE(name);
    ++seen;
    if (name == "dbase_02.dbf") {
      EXPECT_EQ(ErrorOf([&] { Dump(entry.path()); }),
                "El archivo " + entry.path().string() +
                    " es una tabla de dBase II, un formato que no se puede leer.");
      continue;
    }
    ASSERT_TRUE(rows.count(name)) << "a fixture this test does not know";
    std::vector<std::vector<std::string>> dump;
    EXPECT_NO_THROW(dump = Dump(entry.path()));
    EXPECT_EQ(dump.size(), rows.at(name));
  }
  EXPECT_EQ(seen, 16);
}

TEST(TableFormat, FixtureValuesReadAsTheirWritersMeantThem) {
  const fs::path fixtures = FixturesDir() / "dbase";
  {
    Table table = Table::Open(fixtures / "dbase_03.dbf", OpenMode::Shared);
    EXPECT_EQ(table.GetText("Point_ID"), "0507121");
    EXPECT_EQ(table.GetText("Max_PDOP"), "5.2");
    EXPECT_EQ(table.GetText("Date_Visit"), "20050712");
    EXPECT_EQ(table.GetInteger("Unfilt_Pos"), 2);
    EXPECT_TRUE(table.IsBlank("Std_Dev") == false);
    table.Next();
    EXPECT_TRUE(table.IsBlank("Std_Dev"));
  }
  EXPECT_EQ(Dump(fixtures / "dbase_8b_incorrect_record_count.dbf"),
            Dump(fixtures / "dbase_8b.dbf"));
  {
    Table table = Table::Open(fixtures / "dbase_8b.dbf", OpenMode::Shared);
    EXPECT_EQ(table.GetText("CHARACTER"), "One");
    EXPECT_EQ(table.GetFloat("FLOAT"), 1.23456789012346);
    EXPECT_TRUE(table.GetBoolean("LOGICAL"));
    EXPECT_EQ(table.Fields()[5].type, FieldType::Other);
  }
  {
    Table table = Table::Open(fixtures / "dbase_8c.dbf", OpenMode::Shared);
    std::vector<int> ids;
    for (; !table.Eof(); table.Next()) ids.push_back(table.GetInteger("ID"));
    EXPECT_EQ(ids, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    ASSERT_TRUE(table.Locate("Name", "Giant Maori Wrasse"));
    EXPECT_EQ(table.GetText("Length CM"), "228");
  }
  {
    Table table = Table::Open(fixtures / "dbase_31.dbf", OpenMode::Shared);
    EXPECT_EQ(table.GetText("PRODUCTNAM"), "Chai");
    EXPECT_EQ(table.GetFloat("UNITPRICE"), 18.0);
    EXPECT_EQ(table.GetInteger("UNITSINSTO"), 39);
    EXPECT_FALSE(table.GetBoolean("DISCONTINU"));
  }
  {
    Table table = Table::Open(fixtures / "mazovia.dbf", OpenMode::Shared);
    EXPECT_EQ(table.GetText("A1"), "2020-01-04");  // a zero flag byte is a live row too
  }
  {
    Table table = Table::Open(fixtures / "polygon.dbf", OpenMode::Shared);
    EXPECT_TRUE(table.Fields().empty());
    EXPECT_EQ(table.RecordCount(), 1);
  }
}

// ---- Damaged files -----------------------------------------------------------------------------

class DamagedTable : public ::testing::Test {
 protected:
  void SetUp() override {
    Table table = Table::Create(dir / "GOOD.DBF", {Char("COD", 4), Integer("N")});
    for (const char* code : {"A", "B", "C"}) {
      table.Append();
      table.SetText("COD", code);
      table.SetInteger("N", 1);
      table.Post();
    }
    table.Close();
    good = ReadFile(dir / "GOOD.DBF");
    header_length = GetLe16(good, 8);
    record_length = GetLe16(good, 10);
  }

  // Opens `bytes` as a table; the error message, or "" when it opened.
  std::string Open(const std::string& bytes, std::vector<std::string>* codes = nullptr) {
    WriteFile(path(), bytes);
    std::string error = ErrorOf([&] {
      Table table = Table::Open(path(), OpenMode::Shared);
      for (; !table.Eof(); table.Next()) {
        if (codes) codes->push_back(table.GetText("COD"));
      }
    });
    return error == "(sin error)" ? "" : error;
  }

  std::string Says(const std::string& reason) const {
    return "El archivo " + path().string() + " no es una tabla dBase que se pueda leer: " + reason +
           ".";
  }

  fs::path path() const { return dir / "BAD.DBF"; }

  TempDir dir;
  std::string good;
  unsigned header_length = 0;
  unsigned record_length = 0;
};

TEST_F(DamagedTable, EveryCutInsideTheHeaderIsRefused) {
  EXPECT_EQ(Open(""), Says("el archivo est\xE1 vac\xEDo"));
  EXPECT_EQ(
      Open(good.substr(0, 40)),
      Says("la cabecera est\xE1 cortada (el archivo tiene 40 bytes y la cabecera necesita 68)"));
  for (unsigned cut = 68; cut < header_length; ++cut) {
    EXPECT_EQ(Open(good.substr(0, cut)),
              Says("la cabecera dice medir " + std::to_string(header_length) +
                   " bytes y el archivo solo tiene " + std::to_string(cut)))
        << cut;
  }
  for (unsigned cut = 1; cut < 68; ++cut) {
    EXPECT_NE(Open(good.substr(0, cut)).find(path().string()), std::string::npos) << cut;
  }
}

TEST_F(DamagedTable, ACutInsideARecordIsRefusedAndACutBetweenRecordsReadsWhatIsThere) {
  for (unsigned cut = header_length; cut < good.size() - 1; ++cut) {
    const unsigned whole = (cut - header_length) / record_length;
    std::vector<std::string> codes;
    std::string error = Open(good.substr(0, cut), &codes);
    if ((cut - header_length) % record_length == 0) {
      EXPECT_EQ(error, "") << cut;
      EXPECT_EQ(codes.size(), whole) << cut;
    } else {
      EXPECT_EQ(error, Says("el archivo est\xE1 cortado: la cabecera anuncia 3 registros y el "
                            "archivo acaba dentro del registro " +
                            std::to_string(whole + 1)))
          << cut;
    }
  }
}

TEST_F(DamagedTable, ARecordCountThatLiesIsReadAsFarAsTheFileGoes) {
  std::string bytes = good;
  std::vector<std::string> codes;
  PutLe32(bytes, 4, 1000000);  // more than the file holds, which ends cleanly
  EXPECT_EQ(Open(bytes, &codes), "");
  EXPECT_EQ(codes, (std::vector<std::string>{"A", "B", "C"}));

  codes.clear();
  PutLe32(bytes, 4, 2);  // fewer: the rest is not the table's
  EXPECT_EQ(Open(bytes, &codes), "");
  EXPECT_EQ(codes, (std::vector<std::string>{"A", "B"}));

  PutLe32(bytes, 4, 0xFFFFFFFF);
  bytes += "xx";  // and a tail that is not a whole record
  EXPECT_EQ(Open(bytes), Says("el archivo est\xE1 cortado: la cabecera anuncia 4294967295 "
                              "registros y el archivo acaba dentro del registro 4"));
}

TEST_F(DamagedTable, LengthsThatDisagreeAreRefused) {
  std::string bytes = good;
  PutLe16(bytes, 8, 60000);
  EXPECT_EQ(Open(bytes), Says("la cabecera dice medir 60000 bytes y el archivo solo tiene " +
                              std::to_string(good.size())));
  bytes = good;
  PutLe16(bytes, 8, 50);
  EXPECT_EQ(Open(bytes), Says("la longitud de cabecera 50 es menor que el m\xEDnimo, 69"));
  bytes = good;
  PutLe16(bytes, 10, record_length + 1);
  EXPECT_EQ(Open(bytes),
            Says("la longitud de registro 10 no es la suma de los campos m\xE1s uno (9)"));
  bytes = good;
  PutLe16(bytes, 10, 0);
  EXPECT_EQ(Open(bytes), Says("la longitud de registro es 0"));
  bytes = good;
  bytes[header_length - 1] = 'X';  // the terminator gone
  EXPECT_EQ(Open(bytes), Says("falta el terminador de la lista de campos antes del byte " +
                              std::to_string(header_length)));
}

TEST_F(DamagedTable, RandomDamageNeverCrashes) {
  std::mt19937 random(20240517);
  for (int round = 0; round < 1000; ++round) {
    std::string bytes = good;
    const int flips = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < flips; ++i) {
      std::size_t at = random() % (header_length + 8);
      bytes[at] = static_cast<char>(random());
    }
    if (random() % 4 == 0) bytes.resize(random() % bytes.size());
    WriteFile(path(), bytes);
    try {
      Table table = Table::Open(path(), OpenMode::Shared);
      for (; !table.Eof(); table.Next()) {
        for (const auto& field : table.Fields()) {
          table.GetText(field.name);
          table.IsBlank(field.name);
          try {
            table.GetFloat(field.name);
          } catch (const TableError&) {
          }
        }
      }
    } catch (const TableError& error) {
      EXPECT_NE(std::string(error.what()).find(path().string()), std::string::npos) << error.what();
    }
  }
}

}  // namespace
}  // namespace tc::test
