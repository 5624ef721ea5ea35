// The row rules of the table engine: walking, appending, editing, posting, deleting, packing,
// record numbers, lookups, field access and the messages of its errors.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/platform.h"
#include "store/table.h"
#include "support/faulty_files.h"
#include "support/table_rows.h"
#include "support/test_support.h"
#include "table_testing.h"

namespace tc::test {
namespace {

using store::OpenMode;
using store::Table;

class TableRules : public ::testing::Test {
 protected:
  std::filesystem::path path() const { return dir / "PRUEBA.DBF"; }

  Table Create() {
    return Table::Create(path(), {Char("COD", 10), Char("NOMBRE", 80), Logical("ESTAREA"),
                                  Integer("NUM"), Float("HORAS")});
  }

  // A table with rows whose COD is each of `codes`, closed.
  void Fill(std::initializer_list<const char*> codes) {
    Table table = Create();
    for (const char* code : codes) {
      table.Append();
      table.SetText("COD", code);
      table.Post();
    }
    table.Close();
  }

  std::vector<std::string> Codes(Table& table) {
    std::vector<std::string> codes;
    for (table.First(); !table.Eof(); table.Next()) codes.push_back(table.GetText("COD"));
    return codes;
  }

  std::vector<std::string> CodesOnDisk() {
    Table table = Table::Open(path(), OpenMode::Shared);
    return Codes(table);
  }

  std::vector<std::string> FilesInFolder() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

  TempDir dir;
};

TEST_F(TableRules, ValuesComeBackAfterClosingAndOpening) {
  Table table = Create();
  EXPECT_TRUE(table.Active());
  EXPECT_EQ(table.Name(), "PRUEBA");
  table.Append();
  table.SetText("COD", "A1");
  table.SetText("NOMBRE", W("Educación Física"));
  table.SetBoolean("ESTAREA", true);
  table.SetInteger("NUM", -42);
  table.SetFloat("HORAS", 2.5);
  table.Post();
  table.Append();
  table.SetText("COD", "B2");
  table.SetBoolean("ESTAREA", false);
  table.SetInteger("NUM", 3);
  table.SetFloat("HORAS", 4);
  table.Post();
  table.Close();
  EXPECT_FALSE(table.Active());

  auto rows = ReadRows(path());
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], (Row{{"COD", "A1"},
                          {"NOMBRE", W("Educación Física")},
                          {"ESTAREA", "T"},
                          {"NUM", "-42"},
                          {"HORAS", "2.5"}}));
  EXPECT_EQ(rows[1],
            (Row{{"COD", "B2"}, {"NOMBRE", ""}, {"ESTAREA", "F"}, {"NUM", "3"}, {"HORAS", "4"}}));

  Table again = Table::Open(path(), OpenMode::Exclusive);
  EXPECT_EQ(again.GetInteger("NUM"), -42);
  EXPECT_DOUBLE_EQ(again.GetFloat("HORAS"), 2.5);
  EXPECT_TRUE(again.GetBoolean("ESTAREA"));
  ASSERT_EQ(again.Fields().size(), 5u);
  EXPECT_EQ(again.Fields()[1].name, "NOMBRE");
  EXPECT_EQ(again.Fields()[1].width, 80);
  EXPECT_EQ(again.Fields()[3].type, store::FieldType::Integer);
  EXPECT_EQ(again.Fields()[4].type, store::FieldType::Float);
  EXPECT_TRUE(again.HasField("horas"));
  EXPECT_FALSE(again.HasField("HORA"));
}

TEST_F(TableRules, FieldsNeverSetStayBlank) {
  Table table = Create();
  table.Append();
  table.SetText("COD", "A1");
  table.Post();
  for (const char* field : {"NOMBRE", "ESTAREA", "NUM", "HORAS"}) {
    EXPECT_TRUE(table.IsBlank(field)) << field;
    EXPECT_EQ(table.GetText(field), "") << field;
  }
  EXPECT_EQ(table.GetInteger("NUM"), 0);
  EXPECT_EQ(table.GetFloat("HORAS"), 0.0);
  EXPECT_FALSE(table.GetBoolean("ESTAREA"));

  // Zero is a value, not a blank.
  table.Edit();
  table.SetInteger("NUM", 0);
  table.SetFloat("HORAS", 0);
  table.Post();
  EXPECT_FALSE(table.IsBlank("NUM"));
  EXPECT_EQ(table.GetText("NUM"), "0");
  EXPECT_EQ(table.GetText("HORAS"), "0");
  table.Close();
  Table again = Table::Open(path(), OpenMode::Shared);
  EXPECT_FALSE(again.IsBlank("NUM"));
  EXPECT_TRUE(again.IsBlank("ESTAREA"));
}

TEST_F(TableRules, AnEmptyTextBlanksAFieldOfAnyType) {
  Table table = Create();
  table.Append();
  table.SetText("COD", "A1");
  table.SetText("NUM", "12");
  table.SetText("HORAS", "1.5");
  table.SetText("ESTAREA", "T");
  table.Post();
  EXPECT_EQ(table.GetInteger("NUM"), 12);
  EXPECT_EQ(table.GetFloat("HORAS"), 1.5);
  table.Edit();
  for (const char* field : {"COD", "NUM", "HORAS", "ESTAREA"}) table.SetText(field, "");
  table.Post();
  for (const char* field : {"COD", "NUM", "HORAS", "ESTAREA"}) EXPECT_TRUE(table.IsBlank(field));
  table.Edit();
  table.SetInteger("NUM", 7);
  table.Clear("NUM");
  table.Post();
  EXPECT_TRUE(table.IsBlank("NUM"));
}

TEST_F(TableRules, TextsAreCutToTheFieldWidth) {
  const std::string name95(95, 'n');
  Table table = Create();
  table.Append();
  table.SetText("NOMBRE", name95 + "   ");
  table.SetText("COD", "ABCDEFGHIJKLMNO");
  table.Post();
  table.Close();
  auto rows = ReadRows(path());
  EXPECT_EQ(rows[0]["NOMBRE"], name95.substr(0, 80));
  EXPECT_EQ(rows[0]["COD"], "ABCDEFGHIJ");
}

TEST_F(TableRules, PendingRowIsWrittenOnPositioningOnlyWhenAFieldWasSet) {
  Table table = Create();
  table.Append();
  table.SetText("COD", "A");
  table.First();  // written
  table.Append();
  table.First();  // nothing set: dropped
  table.Append();
  table.SetText("COD", "B");
  table.Append();  // B written, a new pending row starts
  table.SetText("COD", "C");
  table.Next();  // written
  table.Append();
  table.SetText("COD", "D");
  EXPECT_TRUE(table.Locate("COD", "A"));  // D written first, then found A
  table.Append();
  table.Post();  // an explicit Post writes even a blank row
  table.Append();
  table.SetText("COD", "E");
  table.Close();  // dropped
  EXPECT_EQ(CodesOnDisk(), (std::vector<std::string>{"A", "B", "C", "D", ""}));
}

TEST_F(TableRules, EditIsWrittenOnPostOrPositioningAndDroppedOnClose) {
  Fill({"A", "B", "C"});
  Table table = Table::Open(path(), OpenMode::Exclusive);
  table.Edit();
  table.SetText("COD", "A2");
  EXPECT_EQ(table.GetText("COD"), "A2");  // the pending row is what reads see
  table.Next();
  table.Edit();
  table.SetText("COD", "B2");
  table.Post();
  EXPECT_EQ(table.RecNo(), 2);
  table.Next();
  table.Edit();
  table.SetText("COD", "C2");
  table.Close();
  EXPECT_EQ(CodesOnDisk(), (std::vector<std::string>{"A2", "B2", "C"}));
}

TEST_F(TableRules, AppendDroppedKeepsTheCurrentRow) {
  Fill({"A", "B"});
  Table table = Table::Open(path(), OpenMode::Shared);
  table.Next();
  table.Append();
  EXPECT_EQ(table.RecNo(), 3);  // the number the row would get
  EXPECT_FALSE(table.Eof());
  table.Next();  // drops the empty row and moves on from B
  EXPECT_TRUE(table.Eof());
  EXPECT_EQ(table.RecordCount(), 2);
}

TEST_F(TableRules, RecordNumbersFollowTheFileUntilPack) {
  Fill({"A", "B", "C", "D"});
  Table table = Table::Open(path(), OpenMode::Exclusive);
  EXPECT_EQ(table.RecNo(), 1);  // an opened table stands on its first row
  table.Next();
  EXPECT_EQ(table.RecNo(), 2);
  table.Delete();  // B goes, C becomes current
  EXPECT_EQ(table.GetText("COD"), "C");
  EXPECT_EQ(table.RecNo(), 3);
  EXPECT_EQ(table.RecordCount(), 3);
  table.Append();
  table.SetText("COD", "E");
  table.Post();
  EXPECT_EQ(table.RecNo(), 5);  // after the last one, deleted rows counted
  EXPECT_EQ(table.GetText("COD"), "E");
  ASSERT_TRUE(table.Locate("COD", "D"));
  EXPECT_EQ(table.RecNo(), 4);
  EXPECT_FALSE(table.Locate("COD", "B"));  // deleted rows are not found
  EXPECT_EQ(table.RecNo(), 4);             // and a failed lookup stays where it was

  table.Pack();
  EXPECT_EQ(table.RecNo(), 1);
  std::vector<int> numbers;
  for (table.First(); !table.Eof(); table.Next()) numbers.push_back(table.RecNo());
  EXPECT_EQ(numbers, (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(table.RecNo(), 0);
  ASSERT_TRUE(table.Locate("COD", "E"));
  EXPECT_EQ(table.RecNo(), 4);
  table.Close();
  EXPECT_EQ(CodesOnDisk(), (std::vector<std::string>{"A", "C", "D", "E"}));
}

TEST_F(TableRules, DeletingTheLastRowReachesTheEnd) {
  Fill({"A", "B"});
  Table table = Table::Open(path(), OpenMode::Exclusive);
  table.Next();
  table.Delete();
  EXPECT_TRUE(table.Eof());
  EXPECT_EQ(table.RecNo(), 0);
  EXPECT_EQ(ErrorOf([&] { table.Delete(); }),
            "No se puede borrar: la tabla PRUEBA no tiene registro actual.");
  EXPECT_EQ(ErrorOf([&] { table.GetText("COD"); }),
            "No se puede leer el campo COD: la tabla PRUEBA no tiene registro actual.");
}

TEST_F(TableRules, DeletingEveryRowThenPackingLeavesAnEmptyFile) {
  Fill({"A", "B", "C"});
  Table table = Table::Open(path(), OpenMode::Exclusive);
  table.First();
  while (!table.Eof()) table.Delete();
  EXPECT_EQ(table.RecordCount(), 0);
  table.Pack();
  EXPECT_TRUE(table.Eof());
  table.Close();
  std::string bytes = ReadFile(path());
  EXPECT_EQ(GetLe32(bytes, 4), 0u);  // no record left, deleted or not
  EXPECT_EQ(bytes.size(), GetLe16(bytes, 8) + 1u);
  EXPECT_EQ(bytes.back(), '\x1A');
}

TEST_F(TableRules, PackNeedsTheTableToItself) {
  Fill({"A", "B"});
  Table table = Table::Open(path(), OpenMode::Shared);
  {
    Table other = Table::Open(path(), OpenMode::Shared);
    table.Delete();
    EXPECT_EQ(ErrorOf([&] { table.Pack(); }), "La tabla PRUEBA est\xE1 en uso por otro programa.");
    EXPECT_EQ(Codes(table), (std::vector<std::string>{"B"}));  // still skipped
    EXPECT_EQ(table.RecNo(), 0);
  }
  table.Pack();
  table.First();
  EXPECT_EQ(table.RecNo(), 1);
  table.Close();
  EXPECT_EQ(GetLe32(ReadFile(path()), 4), 1u);
  EXPECT_EQ(CodesOnDisk(), (std::vector<std::string>{"B"}));
}

TEST_F(TableRules, DeletedRowsStayInTheFileUntilPack) {
  Fill({"A", "B"});
  {
    Table table = Table::Open(path(), OpenMode::Exclusive);
    table.Delete();
  }  // closed by the destructor, changes kept
  std::string bytes = ReadFile(path());
  const unsigned header = GetLe16(bytes, 8), record = GetLe16(bytes, 10);
  EXPECT_EQ(GetLe32(bytes, 4), 2u);
  EXPECT_EQ(bytes[header], '*');
  EXPECT_EQ(bytes[header + record], ' ');
  EXPECT_EQ(CodesOnDisk(), (std::vector<std::string>{"B"}));
}

TEST_F(TableRules, LocateComparesWholeStoredTextsExactly) {
  Table table = Table::Create(path(), {Char("HORA", 8), Char("MARCO", 1), Char("COD", 10)});
  auto add = [&](const char* hora, const char* marco, const char* cod) {
    table.Append();
    table.SetText("HORA", hora);
    table.SetText("MARCO", marco);
    table.SetText("COD", cod);
    table.Post();
  };
  add("03", "0", "r1");
  add("3", "1", "r2");
  add("3", "0", "r3");
  add("3", "0", "r4");
  add("ABC", "0", "r5");
  add("ABCDEFGH", "0", "r6");

  ASSERT_TRUE(table.Locate("HORA;MARCO", {"3", "0"}));
  EXPECT_EQ(table.GetText("COD"), "r3");  // not 3/1, not 03/0; the first of two
  std::vector<std::string> values{"3", "1"};
  ASSERT_TRUE(table.Locate("HORA;MARCO", values));
  EXPECT_EQ(table.GetText("COD"), "r2");
  EXPECT_FALSE(table.Locate("HORA;MARCO", {"3", "2"}));
  EXPECT_EQ(table.GetText("COD"), "r2");

  EXPECT_FALSE(table.Locate("HORA", "abc"));  // letter case counts
  ASSERT_TRUE(table.Locate("HORA", "ABC"));   // stored padded, found without the blanks
  EXPECT_EQ(table.GetText("COD"), "r5");
  EXPECT_FALSE(table.Locate("HORA", "ABC "));  // the whole given text is compared
  EXPECT_FALSE(table.Locate("HORA", "AB"));
  EXPECT_FALSE(table.Locate("HORA", "ABCDEFGHI"));  // longer than the field: never equal
  ASSERT_TRUE(table.Locate("hora", "ABCDEFGH"));
  EXPECT_EQ(table.GetText("COD"), "r6");

  EXPECT_EQ(ErrorOf([&] { table.Locate("HORA;MARCO", "3"); }),
            "No se puede buscar en la tabla PRUEBA por HORA;MARCO: hay 2 campos y 1 valores.");
  EXPECT_EQ(ErrorOf([&] {
              table.Locate("HORA;MINUTOS", {"3", "0"});
            }),
            "La tabla PRUEBA no tiene el campo MINUTOS.");
}

TEST_F(TableRules, LocateFollowsEditsAppendsAndDeletes) {
  Fill({"A", "B", "A"});
  Table table = Table::Open(path(), OpenMode::Exclusive);
  ASSERT_TRUE(table.Locate("COD", "A"));
  EXPECT_EQ(table.RecNo(), 1);
  table.Edit();
  table.SetText("COD", "Z");
  table.Post();
  ASSERT_TRUE(table.Locate("COD", "A"));
  EXPECT_EQ(table.RecNo(), 3);
  ASSERT_TRUE(table.Locate("COD", "Z"));
  EXPECT_EQ(table.RecNo(), 1);
  table.Edit();
  table.SetText("COD", "A");  // back: first in file order again
  table.Post();
  ASSERT_TRUE(table.Locate("COD", "A"));
  EXPECT_EQ(table.RecNo(), 1);
  table.Delete();
  ASSERT_TRUE(table.Locate("COD", "A"));
  EXPECT_EQ(table.RecNo(), 3);
  table.Append();
  table.SetText("COD", "N");
  EXPECT_TRUE(table.Locate("COD", "N"));  // the pending row is written before the lookup
  EXPECT_EQ(table.RecNo(), 4);
  table.Pack();
  ASSERT_TRUE(table.Locate("COD", "N"));
  EXPECT_EQ(table.RecNo(), 3);
}

TEST_F(TableRules, LocateOnNumbersComparesTheirText) {
  Table table = Create();
  table.Append();
  table.SetInteger("NUM", 3);
  table.SetFloat("HORAS", 2.5);
  table.Post();
  table.Append();
  table.Post();
  EXPECT_TRUE(table.Locate("NUM;HORAS", {"3", "2.5"}));
  EXPECT_EQ(table.RecNo(), 1);
  EXPECT_FALSE(table.Locate("NUM", "03"));
  EXPECT_TRUE(table.Locate("NUM", ""));  // the blank one
  EXPECT_EQ(table.RecNo(), 2);
}

TEST_F(TableRules, NumbersConvertBetweenTypes) {
  Table table = Create();
  table.Append();
  table.SetFloat("NUM", 2.5);  // rounded half away from zero
  table.SetInteger("HORAS", 7);
  table.SetInteger("COD", -15);
  table.SetFloat("NOMBRE", 0.1);
  table.SetText("ESTAREA", "false");
  table.Post();
  EXPECT_EQ(table.GetInteger("NUM"), 3);
  EXPECT_EQ(table.GetText("HORAS"), "7");
  EXPECT_EQ(table.GetInteger("COD"), -15);
  EXPECT_EQ(table.GetText("NOMBRE"), "0.1");
  EXPECT_DOUBLE_EQ(table.GetFloat("NOMBRE"), 0.1);
  EXPECT_FALSE(table.GetBoolean("ESTAREA"));
  EXPECT_EQ(table.GetText("ESTAREA"), "F");

  table.Edit();
  table.SetInteger("NUM", std::numeric_limits<std::int32_t>::max());
  table.SetFloat("HORAS", -1e-3);
  table.SetText("COD", "x1");
  table.Post();
  EXPECT_EQ(table.GetInteger("NUM"), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(table.GetText("HORAS"), "-0.001");
  EXPECT_EQ(ErrorOf([&] { table.GetInteger("COD"); }),
            "El campo COD del registro 1 de la tabla PRUEBA no contiene un n\xFAmero: \"x1\".");
  EXPECT_EQ(ErrorOf([&] { table.GetInteger("ESTAREA"); }),
            "El campo ESTAREA del registro 1 de la tabla PRUEBA no es num\xE9rico.");

  table.Edit();
  EXPECT_EQ(ErrorOf([&] { table.SetInteger("NUM", std::numeric_limits<std::int32_t>::min()); }),
            "El campo NUM de la tabla PRUEBA no admite el valor -2147483648.");
  EXPECT_EQ(ErrorOf([&] { table.SetText("NUM", "doce"); }),
            "El campo NUM de la tabla PRUEBA es num\xE9rico y no admite el valor \"doce\".");
  EXPECT_EQ(ErrorOf([&] { table.SetFloat("HORAS", std::nan("")); }),
            "El campo HORAS de la tabla PRUEBA no admite un valor que no es un n\xFAmero.");
  EXPECT_EQ(ErrorOf([&] { table.SetText("ESTAREA", "quiz\xE1s"); }),
            "El campo ESTAREA de la tabla PRUEBA es l\xF3gico y no admite el valor \"quiz\xE1s\".");
  EXPECT_EQ(ErrorOf([&] { table.SetBoolean("NUM", true); }),
            "El campo NUM de la tabla PRUEBA no es de tipo l\xF3gico.");
}

TEST_F(TableRules, MisuseGivesClearErrors) {
  Fill({"A"});
  Table table = Table::Open(path(), OpenMode::Shared);
  EXPECT_EQ(ErrorOf([&] { table.GetText("NADA"); }), "La tabla PRUEBA no tiene el campo NADA.");
  EXPECT_EQ(ErrorOf([&] { table.SetText("COD", "B"); }),
            "No se puede cambiar el campo COD de la tabla PRUEBA: no se est\xE1 a\xF1"
            "adiendo ni editando ning\xFAn registro.");
  table.Close();
  table.Close();  // closing twice does nothing
  EXPECT_EQ(ErrorOf([&] { table.First(); }), "La tabla PRUEBA no est\xE1 abierta.");
  EXPECT_TRUE(table.Eof());

  Table closed;
  EXPECT_FALSE(closed.Active());
  EXPECT_EQ(closed.Name(), "");
  EXPECT_EQ(ErrorOf([&] { closed.Append(); }), "La tabla no est\xE1 abierta.");
  EXPECT_EQ(
      ErrorOf([&] { Table::Open(dir / "NADA.DBF", OpenMode::Shared); }),
      "No se encuentra la tabla NADA: no existe el archivo " + (dir / "NADA.DBF").string() + ".");
}

// A field found once reads and writes as its name does, in the opening it was found in only.
TEST_F(TableRules, AFieldFoundOnceIsTheNamedFieldOfThatOpening) {
  Fill({"A  ", "B"});
  Table table = Table::Open(path(), OpenMode::Exclusive);
  const Table::Field cod = table.FieldOf("cod");
  const Table::Field hours = table.FieldOf("HORAS");
  table.First();
  table.Edit();
  table.SetText(cod, "C");
  table.SetFloat(hours, 2.5);
  table.Post();
  EXPECT_EQ(table.GetText("COD"), "C");
  EXPECT_EQ(table.GetTextView(cod), "C");
  EXPECT_EQ(table.GetFloat(hours), 2.5);
  EXPECT_FALSE(table.IsBlank(hours));
  EXPECT_EQ(table.GetInteger(table.FieldOf("NUM")), 0);
  EXPECT_TRUE(table.IsBlank(table.FieldOf("NUM")));
  EXPECT_EQ(ErrorOf([&] { table.FieldOf("NADA"); }), "La tabla PRUEBA no tiene el campo NADA.");
  EXPECT_EQ(ErrorOf([&] { table.GetTextView(hours); }),
            "El campo HORAS de la tabla PRUEBA no es de caracteres: no se puede leer como texto "
            "sin convertirlo.");
  table.Close();

  Table again = Table::Open(path(), OpenMode::Shared);
  again.First();
  for (const Table::Field stale : {cod, Table::Field()}) {
    EXPECT_EQ(ErrorOf([&] { again.GetText(stale); }),
              "El campo pedido no es de esta apertura de la tabla PRUEBA.");
  }
  EXPECT_EQ(Codes(again), (std::vector<std::string>{"C", "B"}));
}

TEST_F(TableRules, ClosingAnUnchangedTableWritesNothing) {
  Fill({"A"});
  int writes = 0;
  FaultyFileSystem counting([&](std::string_view operation, const std::filesystem::path&) {
    if (operation == "write") ++writes;
  });
  {
    Table table = Table::Open(path(), OpenMode::Exclusive, counting);
    for (table.First(); !table.Eof(); table.Next()) table.GetText("COD");
    table.Locate("COD", "A");
    table.Edit();
    table.Post();  // nothing set: same bytes
    table.Append();
    table.Close();
  }
  EXPECT_EQ(writes, 0);
}

TEST_F(TableRules, ExclusiveOpeningsConflictWithinTheProgram) {
  Fill({"A"});
  {
    Table first = Table::Open(path(), OpenMode::Shared);
    Table second = Table::Open(path(), OpenMode::Shared);  // readers share
    EXPECT_EQ(ErrorOf([&] { Table::Open(path(), OpenMode::Exclusive); }),
              "La tabla PRUEBA est\xE1 en uso por otro programa.");
  }
  Table exclusive = Table::Open(path(), OpenMode::Exclusive);
  EXPECT_EQ(ErrorOf([&] { Table::Open(path(), OpenMode::Shared); }),
            "La tabla PRUEBA est\xE1 en uso por otro programa.");
  EXPECT_EQ(ErrorOf([&] { Table::Create(path(), {Char("COD", 10)}); }),
            "La tabla PRUEBA est\xE1 en uso por otro programa.");
  exclusive.Close();
  EXPECT_NO_THROW(Table::Open(path(), OpenMode::Exclusive));
}

// Two tables of the program on one file: the one that saves replaces the file, also on Windows
// where the other still has it open; the other keeps the rows it read and, unchanged, writes
// nothing when it closes.
TEST_F(TableRules, ATableSavesWhileAnotherOfTheProgramHasTheFileOpen) {
  Fill({"A"});
  Table reader = Table::Open(path(), OpenMode::Shared);
  Table writer = Table::Open(path(), OpenMode::Shared);
  writer.Append();
  writer.SetText("COD", "B");
  writer.Post();
  writer.Close();
  EXPECT_EQ(CodesOnDisk(), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(Codes(reader), (std::vector<std::string>{"A"}));
  reader.Close();
  EXPECT_EQ(CodesOnDisk(), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(FilesInFolder(), (std::vector<std::string>{"PRUEBA.DBF"}));
}

#ifdef _WIN32
// Clepsa holding the table open keeps it from being replaced: saving, opening it alone and
// creating it again say the table is in use, and the file keeps its rows.
TEST_F(TableRules, ATableClepsaHasOpenIsInUseAndKeepsItsRows) {
  Fill({"A"});
  Table table = Table::Open(path(), OpenMode::Shared);
  table.Append();
  table.SetText("COD", "B");
  table.Post();
  {
    HeldAsByClepsa clepsa(path());
    const std::string in_use = "La tabla PRUEBA est\xE1 en uso por otro programa.";
    EXPECT_EQ(ErrorOf([&] { table.Close(); }), in_use);
    EXPECT_EQ(ErrorOf([&] { Table::Open(path(), OpenMode::Exclusive); }), in_use);
    EXPECT_EQ(ErrorOf([&] { Table::Create(path(), {Char("COD", 10)}); }), in_use);
    EXPECT_EQ(CodesOnDisk(), (std::vector<std::string>{"A"}));  // reading is shared
  }
  EXPECT_EQ(CodesOnDisk(), (std::vector<std::string>{"A"}));
  EXPECT_EQ(FilesInFolder(), (std::vector<std::string>{"PRUEBA.DBF"}));
}
#endif

TEST_F(TableRules, CreateRefusesFieldListsItCannotStore) {
  EXPECT_EQ(ErrorOf([&] { Table::Create(path(), {}); }),
            "No se puede crear la tabla " + path().string() + ": no tiene campos.");
  EXPECT_EQ(ErrorOf([&] { Table::Create(path(), {Char("COD", 0)}); }),
            "No se puede crear la tabla " + path().string() +
                ": el campo COD debe medir de 1 a 254 caracteres.");
  EXPECT_EQ(ErrorOf([&] {
              Table::Create(path(), {Char("COD", 3), Integer("cod")});
            }),
            "No se puede crear la tabla " + path().string() + ": el campo cod est\xE1 repetido.");
  EXPECT_EQ(ErrorOf([&] { Table::Create(path(), {Char("UN_NOMBRE_DE_CAMPO_DE_32_LETRAS_", 3)}); }),
            "No se puede crear la tabla " + path().string() +
                ": el nombre de campo \"UN_NOMBRE_DE_CAMPO_DE_32_LETRAS_\" debe tener de 1 a 31 "
                "caracteres.");
  EXPECT_FALSE(std::filesystem::exists(path()));
  EXPECT_EQ(ErrorOf([&] { Table::Create(dir / "NO" / "T.DBF", {Char("A", 1)}); }),
            "No se puede crear la tabla T: no existe la carpeta " + (dir / "NO").string() + ".");
}

}  // namespace
}  // namespace tc::test
