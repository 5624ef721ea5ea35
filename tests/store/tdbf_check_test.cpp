// Independent readers of the tables we write: Free Pascal's TDbf (a dBase engine written to
// behave like BDE), through a small dump program compiled here, and the structure checker
// dbf_dump.py. Each reads every working table with a full sample row and a nearly blank one.
#include <gtest/gtest.h>

#include <sstream>

#include "store/database.h"
#include "store/schemas.h"
#include "support/process.h"
#include "support/test_support.h"

namespace tc::test {
namespace {

namespace fs = std::filesystem;
using store::FieldType;

// The sample row: every text as wide as its field (an accented letter in it, and longer names
// cut), true, zero for MAXALUM (zero, not blank), -12 for other integers, 2.5 for HORAS.
std::string SampleText(const store::FieldDef& field) {
  return (field.name + "\xC1" + std::string(200, 'z'))
      .substr(0, static_cast<std::size_t>(field.width));
}

// Writes the seven working tables into `dir`: the sample row, then a row with only its first
// field set.
void WriteWorkingTables(const fs::path& dir) {
  store::Database db(dir);
  for (const store::TableDef* def : store::WorkingTables()) {
    store::Table table = db.Recreate(*def);
    table.Append();
    for (const store::FieldDef& field : def->fields) {
      switch (field.type) {
        case FieldType::Character:
          table.SetText(field.name, SampleText(field));
          break;
        case FieldType::Logical:
          table.SetBoolean(field.name, true);
          break;
        case FieldType::Integer:
          table.SetInteger(field.name, field.name == "MAXALUM" ? 0 : -12);
          break;
        case FieldType::Float:
          table.SetFloat(field.name, 2.5);
          break;
        default:
          break;
      }
    }
    table.Post();
    table.Append();
    table.SetText(def->fields[0].name, "R2");
    table.Post();
    table.Close();
  }
}

// What the dump program should print for a table.
std::string ExpectedDump(const store::TableDef& def) {
  std::ostringstream out;
  out << "LEVEL 7\n";
  for (const store::FieldDef& field : def.fields) {
    switch (field.type) {
      case FieldType::Character:
        out << "FIELD " << field.name << " C " << field.width << " 0\n";
        break;
      case FieldType::Logical:
        out << "FIELD " << field.name << " L 1 0\n";
        break;
      case FieldType::Integer:
        out << "FIELD " << field.name << " I 4 0\n";
        break;
      case FieldType::Float:
        out << "FIELD " << field.name << " O 8 0\n";
        break;
      default:
        break;
    }
  }
  std::string full, blank;
  for (std::size_t i = 0; i < def.fields.size(); ++i) {
    const store::FieldDef& field = def.fields[i];
    std::string value;
    switch (field.type) {
      case FieldType::Character:
        value = SampleText(field);
        break;
      case FieldType::Logical:
        value = "T";
        break;
      case FieldType::Integer:
        value = field.name == "MAXALUM" ? "0" : "-12";
        break;
      case FieldType::Float:
        value = "2.5";
        break;
      default:
        break;
    }
    full += (i ? "|" : "") + value;
    blank += (i ? "|" : "") + std::string(i ? "NULL" : "R2");
  }
  out << "ROW " << full << "\nROW " << blank << "\n";
  return out.str();
}

TEST(IndependentReaders, TdbfReadsEveryWorkingTableAsWritten) {
  const std::optional<fs::path> fpc = FindProgram("fpc");
  if (!fpc) GTEST_SKIP() << "Free Pascal (fpc) is not installed";
  TempDir build;
  const fs::path source = fs::path(TC_SOURCE_DIR) / "tests" / "store" / "tdbf" / "tdbfdump.pas";
  const ProgramOutcome compiled = RunProgram(
      *fpc, {{"-O1", "-FE" + PathArgument(*fpc, build.path()),
              "-FU" + PathArgument(*fpc, build.path()), PathArgument(*fpc, source)},
             {},
             {}});
  ASSERT_EQ(compiled.status, 0) << compiled.out << compiled.err;
  // fpc builds a program for the system it runs on: under Wine a Linux one, which Wine starts.
  fs::path dump = build / "tdbfdump";
  if (!fs::exists(dump)) dump = build / "tdbfdump.exe";

  TempDir dir;
  WriteWorkingTables(dir.path());
  for (const store::TableDef* def : store::WorkingTables()) {
    const ProgramOutcome read =
        RunProgram(dump, {{PathArgument(dump, dir / (def->name + ".DBF"))}, {}, {}});
    EXPECT_EQ(read.status, 0) << def->name << "\n" << read.out << read.err;
    EXPECT_EQ(read.out, ExpectedDump(*def)) << def->name;
  }
}

TEST(IndependentReaders, DbfDumpFindsNoStructuralProblem) {
  const fs::path tool = fs::path(TC_SOURCE_DIR) / "tests" / "tools" / "dbf_dump.py";
  const std::optional<fs::path> python = FindProgram("python3");
  if (!python) GTEST_SKIP() << "python3 is not installed";
  TempDir dir;
  WriteWorkingTables(dir.path());
  for (const store::TableDef* def : store::WorkingTables()) {
    const ProgramOutcome checked = RunProgram(
        *python,
        {{PathArgument(*python, tool), PathArgument(*python, dir / (def->name + ".DBF"))}, {}, {}});
    EXPECT_EQ(checked.status, 0) << def->name << "\n" << checked.out << checked.err;
    EXPECT_NE(checked.out.find("ldname=DBWINUS0, codec=cp1252"), std::string::npos)
        << checked.out;
  }
}

}  // namespace
}  // namespace tc::test
