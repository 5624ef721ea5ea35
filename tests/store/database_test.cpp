// The working folder as a set of tables: file names whatever their letter case, deleting and
// re-creating tables, a missing folder; and a run's tables staged aside, committed or dropped,
// also when the disk fails half-way.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <stdexcept>

#include "platform/platform.h"
#include "store/database.h"
#include "store/schemas.h"
#include "store/staged_tables.h"
#include "support/faulty_files.h"
#include "support/table_rows.h"
#include "support/test_support.h"
#include "table_testing.h"

namespace tc::test {
namespace {

namespace fs = std::filesystem;
using store::Database;
using store::OpenMode;
using store::StagedTables;
using store::Table;

// Every file of a folder with its bytes.
std::map<std::string, std::string> Snapshot(const fs::path& dir) { return FolderFiles(dir); }

class DatabaseTest : public ::testing::Test {
 protected:

  // A teachers' table holding one row with this code, at `file` in the folder.
  void Teachers(const std::string& file, const std::string& code) {
    Table table = Table::Create(dir / file, store::ProftTable().fields);
    table.Append();
    table.SetText("ABREV", code);
    table.Post();
    table.Close();
  }

  std::vector<std::string> Codes(const fs::path& file, const char* field = "ABREV") {
    std::vector<std::string> codes;
    for (const Row& row : ReadRows(file)) codes.push_back(row.at(field));
    return codes;
  }

  TempDir dir;
  FaultyFileSystem files;  // the database's own; tests make it fail where they choose
  Database db{dir.path(), files};
};

TEST_F(DatabaseTest, FindsTablesWhateverTheLetterCaseOfTheirNames) {
  Teachers("soluc.dbf", "X1");
  EXPECT_EQ(db.TablePath("SOLUC"), dir / "soluc.dbf");
  EXPECT_EQ(db.TablePath("Soluc", ".dbf"), dir / "soluc.dbf");
  EXPECT_TRUE(db.Exists("SOLUC"));
  Table table = db.Open("SOLUC", OpenMode::Exclusive);
  EXPECT_EQ(table.Name(), "SOLUC");
  EXPECT_EQ(table.GetText("ABREV"), "X1");
  // Names not there yet are upper case.
  EXPECT_EQ(db.TablePath("proft"), dir / "PROFT.DBF");
  EXPECT_EQ(db.TablePath("proft", ".mdx"), dir / "PROFT.MDX");
  EXPECT_FALSE(db.Exists("PROFT"));
  EXPECT_EQ(db.Dir(), dir.path());
}

TEST_F(DatabaseTest, RecreateDeletesTheTableFilesAndCreatesAnUpperCaseTable) {
  Teachers("proft.dbf", "OLD");
  WriteFile(dir / "Proft.Mdx", "index");
  Teachers("SOLUC.DBF", "S");
  WriteFile(dir / "NOTAS.TXT", "otra cosa");
  WriteFile(dir / "PROFTX.DBF", "no es la tabla");
  const auto before = Snapshot(dir.path());

  Table table = db.Recreate(store::ProftTable());
  EXPECT_TRUE(table.Active());
  EXPECT_EQ(table.Path(), dir / "PROFT.DBF");
  EXPECT_EQ(table.RecordCount(), 0);
  table.Close();

  auto after = Snapshot(dir.path());
  EXPECT_EQ(after.count("proft.dbf"), 0u);
  EXPECT_EQ(after.count("Proft.Mdx"), 0u);
  EXPECT_EQ(after.count("PROFT.DBF"), 1u);
  for (const char* untouched : {"SOLUC.DBF", "NOTAS.TXT", "PROFTX.DBF"}) {
    EXPECT_EQ(after[untouched], before.at(untouched)) << untouched;
  }
  EXPECT_EQ(after.size(), 4u);
}

TEST_F(DatabaseTest, ALeftOverIndexIsDeletedAndTheTableCreated) {
  WriteFile(dir / "PROFT.MDX", "index");
  db.Recreate(store::ProftTable()).Close();
  EXPECT_FALSE(fs::exists(dir / "PROFT.MDX"));
  EXPECT_TRUE(fs::exists(dir / "PROFT.DBF"));
}

TEST_F(DatabaseTest, DeleteFilesTakesTheTableThenItsIndexAndReportsNoFailure) {
  Teachers("PROFT.DBF", "A");
  WriteFile(dir / "PROFT.MDX", "index");
  std::vector<std::string> removed;
  files.SetBefore([&](std::string_view operation, const fs::path& path) {
    if (operation != "remove") return;
    removed.push_back(path.filename().string());
    if (path.extension() == ".DBF") throw Error("disco protegido");
  });
  EXPECT_NO_THROW(db.DeleteFiles("proft"));
  EXPECT_EQ(removed, (std::vector<std::string>{"PROFT.DBF", "PROFT.MDX"}));
  EXPECT_TRUE(fs::exists(dir / "PROFT.DBF"));  // its deletion failed, silently
  EXPECT_FALSE(fs::exists(dir / "PROFT.MDX"));
  files.SetBefore(nullptr);
  EXPECT_NO_THROW(db.DeleteFiles("NADA"));  // nothing there: nothing to do
}

TEST_F(DatabaseTest, AMissingFolderIsNamedAndNeverCreated) {
  Database missing(dir / "ZTEMP");
  EXPECT_EQ(
      ErrorOf([&] { missing.Recreate(store::ProftTable()); }),
      "No se puede crear la tabla PROFT: no existe la carpeta " + (dir / "ZTEMP").string() + ".");
  EXPECT_EQ(
      ErrorOf([&] { missing.Open("SOLUC", OpenMode::Shared); }),
      "No se puede abrir la tabla SOLUC: no existe la carpeta " + (dir / "ZTEMP").string() + ".");
  EXPECT_FALSE(fs::exists(dir / "ZTEMP"));
  EXPECT_EQ(ErrorOf([&] { db.Open("SOLUC", OpenMode::Shared); }),
            "No se encuentra la tabla SOLUC en la carpeta " + dir.path().string() + ".");
  // Messages are Windows-1252 text like every other text of the core, folder names included.
  Database accented(dir.path() / platform::PathFromUtf8("Horaris de Mar\xC3\xAD" "a"));
  const std::string separator(1, static_cast<char>(fs::path::preferred_separator));
  EXPECT_EQ(ErrorOf([&] { accented.Open("SOLUC", OpenMode::Shared); }),
            "No se puede abrir la tabla SOLUC: no existe la carpeta " + dir.path().string() +
                separator + "Horaris de Mar\xED" "a.");
}

TEST_F(DatabaseTest, ASecondConversionReplacesEveryWorkingTableAndLeavesSolucAlone) {
  Teachers("SOLUC.DBF", "S");
  const std::string soluc = ReadFile(dir / "SOLUC.DBF");
  for (int run = 0; run < 2; ++run) {
    for (const store::TableDef* def : store::WorkingTables()) {
      Table table = db.Recreate(*def);
      EXPECT_EQ(table.RecordCount(), 0) << def->name;
      table.Append();
      table.SetText(def->fields[0].name, "R" + std::to_string(run));
      table.Post();
    }
  }
  for (const store::TableDef* def : store::WorkingTables()) {
    EXPECT_EQ(Codes(db.TablePath(def->name), def->fields[0].name.c_str()),
              (std::vector<std::string>{"R1"}));
  }
  EXPECT_EQ(ReadFile(dir / "SOLUC.DBF"), soluc);
}

TEST_F(DatabaseTest, ATableHeldByAnotherProgramIsNotReplaced) {
  Teachers("PROFT.DBF", "OLD");
  Table holder = Table::Open(dir / "PROFT.DBF", OpenMode::Exclusive);
  EXPECT_EQ(ErrorOf([&] { db.Recreate(store::ProftTable()); }),
            "La tabla PROFT est\xE1 en uso por otro programa.");
  EXPECT_EQ(ErrorOf([&] { db.Open("PROFT", OpenMode::Shared); }),
            "La tabla PROFT est\xE1 en uso por otro programa.");
  holder.Close();
  EXPECT_EQ(Codes(dir / "PROFT.DBF"), (std::vector<std::string>{"OLD"}));
}

// ---- Staging -----------------------------------------------------------------------------------

class StagingTest : public DatabaseTest {
 protected:
  void SetUp() override {
    Teachers("PROFT.DBF", "OLD");
    WriteFile(dir / "PROFT.MDX", "index");
    Teachers("AULAT.DBF", "ROOM");
    Teachers("SOLUC.DBF", "S");
    before = Snapshot(dir.path());
  }

  // A run that rebuilds PROFT and CURSOST and drops AULAT.
  void StageRun() {
    staged.emplace(db);
    EXPECT_TRUE(staged->Pending());
    Table teachers = staged->Create(store::ProftTable());
    teachers.Append();
    teachers.SetText("ABREV", "NEW");
    teachers.Post();
    teachers.Close();
    staged->Create(store::CursostTable()).Close();
    staged->Remove("AULAT");
  }

  bool StrayFiles() const {
    for (const auto& entry : fs::directory_iterator(dir.path())) {
      const std::string name = entry.path().filename().string();
      if (name.find("~") != std::string::npos || name.find(".tmp") != std::string::npos) {
        return true;
      }
    }
    return false;
  }

  std::map<std::string, std::string> before;
  std::optional<StagedTables> staged;
};

TEST_F(StagingTest, StagedTablesAreFoundFirstAndTheFolderWaitsForCommit) {
  StageRun();
  const fs::path file = staged->File("PROFT").value();
  EXPECT_EQ(file.parent_path(), dir.path());
  EXPECT_EQ(file.filename().string().rfind("~TC_PROFT~", 0), 0u) << file;
  EXPECT_EQ(Codes(file), (std::vector<std::string>{"NEW"}));
  Table table = staged->Open("proft", OpenMode::Exclusive);
  EXPECT_EQ(table.Name(), "PROFT");
  EXPECT_EQ(table.GetText("ABREV"), "NEW");
  table.Close();
  EXPECT_FALSE(staged->File("AULAT"));
  EXPECT_TRUE(staged->File("CURSOST"));
  EXPECT_EQ(ErrorOf([&] { staged->Open("AULAT", OpenMode::Shared); }),
            "No se encuentra la tabla AULAT en la carpeta " + dir.path().string() + ".");
  // Until Commit the real files are as they were.
  auto now = Snapshot(dir.path());
  for (const auto& [name, bytes] : before) EXPECT_EQ(now[name], bytes) << name;

  staged->Commit();
  EXPECT_FALSE(staged->Pending());
  EXPECT_EQ(Codes(dir / "PROFT.DBF"), (std::vector<std::string>{"NEW"}));
  EXPECT_TRUE(fs::exists(dir / "CURSOST.DBF"));
  EXPECT_FALSE(fs::exists(dir / "PROFT.MDX"));
  EXPECT_FALSE(fs::exists(dir / "AULAT.DBF"));
  EXPECT_EQ(ReadFile(dir / "SOLUC.DBF"), before.at("SOLUC.DBF"));
  EXPECT_FALSE(StrayFiles());
  EXPECT_EQ(db.TablePath("PROFT"), dir / "PROFT.DBF");
}

// A staged table closed by one stage opens for the next from memory; an older copy closed late
// never replaces the newer one, and what the next stage sees is always what the file holds.
TEST_F(StagingTest, KeptImagesNeverGoStale) {
  StageRun();
  Table first = staged->Open("PROFT", OpenMode::Shared);
  Table second = staged->Open("PROFT", OpenMode::Shared);
  first.Append();
  first.SetText("ABREV", "MORE");
  first.Post();
  first.Close();   // saved: its image is the file's content now
  second.Close();  // unchanged, loaded before that save: its older image is not kept
  Table third = staged->Open("PROFT", OpenMode::Shared);
  std::vector<std::string> codes;
  for (third.First(); !third.Eof(); third.Next()) codes.push_back(third.GetText("ABREV"));
  third.Close();
  EXPECT_EQ(codes, (std::vector<std::string>{"NEW", "MORE"}));
  EXPECT_EQ(Codes(staged->File("PROFT").value()), codes);
}

// The staged set holds only what the run created: the folder's own tables are read through the
// folder, and after Commit or Drop nothing more is staged.
TEST_F(StagingTest, OnlyTablesTheRunCreatedOpenFromTheStagedSet) {
  StageRun();
  EXPECT_EQ(ErrorOf([&] { staged->Open("SOLUC", OpenMode::Shared); }),
            "No se encuentra la tabla SOLUC en la carpeta " + dir.path().string() + ".");
  Table soluc = staged->Folder().Open("SOLUC", OpenMode::Shared);
  EXPECT_EQ(soluc.GetText("ABREV"), "S");
  soluc.Close();
  EXPECT_TRUE(staged->Touches("aulat"));    // removed
  EXPECT_TRUE(staged->Touches("CURSOST"));  // created
  EXPECT_FALSE(staged->Touches("SOLUC"));
  EXPECT_FALSE(staged->File("SOLUC"));

  staged->Commit();
  EXPECT_FALSE(staged->Commit());  // nothing left to commit
  EXPECT_THROW(staged->Create(store::AulatTable()), std::logic_error);
  EXPECT_THROW(staged->Open("PROFT", OpenMode::Shared), std::logic_error);
  EXPECT_THROW(staged->Remove("PROFT"), std::logic_error);
  EXPECT_FALSE(StrayFiles());
}

// A table closed after its staged set was dropped keeps its bytes nowhere and breaks nothing.
TEST_F(StagingTest, ATableOutlivingItsStagedSetClosesSafely) {
  StageRun();
  Table teachers = staged->Open("PROFT", OpenMode::Shared);
  staged.reset();
  EXPECT_NO_THROW(teachers.Close());
#ifndef _WIN32
  // (Windows keeps a file open by the table: its removal waits for the next run.)
  EXPECT_EQ(Snapshot(dir.path()), before);
#endif
}

TEST_F(StagingTest, DiscardAndTheDestructorLeaveTheFolderAsItWas) {
  StageRun();
  staged->Drop();
  EXPECT_FALSE(staged->Pending());
  EXPECT_EQ(Snapshot(dir.path()), before);
  {
    StagedTables other{Database(dir.path())};
    other.Create(store::ProftTable()).Close();
    other.Remove("SOLUC");
  }
  EXPECT_EQ(Snapshot(dir.path()), before);
}

TEST_F(StagingTest, ACommitReplacesATableWrittenInLowerCase) {
  fs::rename(dir / "PROFT.DBF", dir / "proft.dbf");
  before = Snapshot(dir.path());
  StageRun();
  staged->Commit();
  // The names as the folder lists them: on Windows "proft.dbf" also finds PROFT.DBF.
  const auto after = Snapshot(dir.path());
  EXPECT_EQ(after.count("proft.dbf"), 0u);
  EXPECT_EQ(after.count("PROFT.DBF"), 1u);
  EXPECT_EQ(Codes(dir / "PROFT.DBF"), (std::vector<std::string>{"NEW"}));
  EXPECT_FALSE(StrayFiles());
}

TEST_F(StagingTest, ARenameFailingAnywhereInCommitLeavesTheOldFilesAndNoStrayFile) {
  for (const bool lower_case : {false, true}) {
    if (lower_case) {
      fs::rename(dir / "PROFT.DBF", dir / "proft.dbf");
      before = Snapshot(dir.path());
    }
    for (int failing = 1;; ++failing) {
      SCOPED_TRACE("rename " + std::to_string(failing) + (lower_case ? " lower case" : ""));
      StageRun();
      int renames = 0;
      files.SetBefore([&](std::string_view operation, const fs::path&) {
        if (operation == "rename" && ++renames == failing) throw Error("disco lleno");
      });
      std::string error = ErrorOf([&] { staged->Commit(); });
      files.SetBefore(nullptr);
      if (error == "(sin error)") {
        EXPECT_GT(failing, 2);  // at least the two staged tables moved
        break;
      }
      EXPECT_EQ(error, "No se pueden guardar las tablas en la carpeta " + dir.path().string() +
                           ". disco lleno");
      EXPECT_FALSE(staged->Pending());
      EXPECT_EQ(Snapshot(dir.path()), before);
      ASSERT_LT(failing, 20);
    }
    EXPECT_FALSE(StrayFiles());
    EXPECT_EQ(Codes(dir / "PROFT.DBF"), (std::vector<std::string>{"NEW"}));
    // Back to the starting point for the next round.
    for (const auto& entry : fs::directory_iterator(dir.path())) fs::remove_all(entry.path());
    SetUp();
  }
}

// The stages' saves do not wait for the disk: the commit puts every staged table there, all
// together, before its journal names them; a table that cannot get there leaves the folder as it
// was.
TEST_F(StagingTest, TheCommitSyncsEveryStagedTableBeforeItsJournal) {
  std::vector<std::string> seen;
  files.SetBefore([&](std::string_view operation, const fs::path& path) {
    seen.push_back(std::string(operation) + " " + path.filename().string());
  });
  StageRun();
  for (const std::string& operation : seen) EXPECT_NE(operation.rfind("sync", 0), 0u) << operation;
  seen.clear();
  staged->Commit();
  files.SetBefore(nullptr);
  auto first = [&](std::string_view start) {
    const auto at = std::find_if(seen.begin(), seen.end(), [&](const std::string& operation) {
      return operation.rfind(start, 0) == 0;
    });
    return at - seen.begin();
  };
  const auto journal = first("write diario.txt");
  ASSERT_LT(journal, static_cast<std::ptrdiff_t>(seen.size()));
  EXPECT_LT(first("sync ~TC_PROFT~"), journal);
  EXPECT_LT(first("sync ~TC_CURSOST~"), journal);
  EXPECT_EQ(Codes(dir / "PROFT.DBF"), (std::vector<std::string>{"NEW"}));

  for (const auto& entry : fs::directory_iterator(dir.path())) fs::remove_all(entry.path());
  SetUp();
  StageRun();
  files.SetBefore([](std::string_view operation, const fs::path&) {
    if (operation == "sync") throw Error("disco lleno");
  });
  EXPECT_EQ(ErrorOf([&] { staged->Commit(); }),
            "No se pueden guardar las tablas en la carpeta " + dir.path().string() +
                ". disco lleno");
  files.SetBefore(nullptr);
  EXPECT_EQ(Snapshot(dir.path()), before);
  EXPECT_FALSE(StrayFiles());
}

TEST_F(StagingTest, AFullDiskWhileWritingAStagedTableLeavesNothingBehind) {
  staged.emplace(db);
  Table teachers = staged->Create(store::ProftTable());
  teachers.Append();
  teachers.SetText("ABREV", "NEW");
  teachers.Post();
  files.SetBefore([](std::string_view operation, const fs::path&) {
    if (operation == "write") throw Error("disco lleno");
  });
  EXPECT_EQ(ErrorOf([&] { teachers.Close(); }), "No se puede guardar la tabla PROFT. disco lleno");
  EXPECT_EQ(ErrorOf([&] { staged->Create(store::AulatTable()); }),
            "No se puede crear la tabla AULAT. disco lleno");
  files.SetBefore(nullptr);
  staged->Drop();
  EXPECT_EQ(Snapshot(dir.path()), before);
}

TEST_F(StagingTest, CommitWaitsForATableHeldByAnotherProgram) {
  StageRun();
  Table holder = Table::Open(dir / "AULAT.DBF", OpenMode::Exclusive);
  EXPECT_EQ(ErrorOf([&] { staged->Commit(); }), "La tabla AULAT est\xE1 en uso por otro programa.");
  holder.Close();
  EXPECT_EQ(Snapshot(dir.path()), before);
}

#ifdef _WIN32
// Clepsa with a table open (shared with readers and writers, not with its replacement): the
// commit moves nothing and names the table.
TEST_F(StagingTest, CommitWaitsForATableClepsaHasOpen) {
  StageRun();
  {
    HeldAsByClepsa clepsa(dir / "PROFT.DBF");
    EXPECT_EQ(ErrorOf([&] { staged->Commit(); }),
              "La tabla PROFT est\xE1 en uso por otro programa.");
  }
  EXPECT_FALSE(staged->Pending());
  EXPECT_EQ(Snapshot(dir.path()), before);
}
#endif

TEST_F(DatabaseTest, AFullDiskOnClosingKeepsTheOldTable) {
  Teachers("PROFT.DBF", "OLD");
  const auto before = Snapshot(dir.path());
  for (const char* failing : {"write", "rename"}) {
    files.SetBefore([&](std::string_view operation, const fs::path&) {
      if (operation == failing) throw Error("disco lleno");
    });
    Table table = db.Open("PROFT", OpenMode::Exclusive);
    table.Append();
    table.SetText("ABREV", "NEW");
    table.Post();
    EXPECT_EQ(ErrorOf([&] { table.Close(); }), "No se puede guardar la tabla PROFT. disco lleno");
    EXPECT_FALSE(table.Active());
    files.SetBefore(nullptr);
    EXPECT_EQ(Snapshot(dir.path()), before) << failing;
  }
}

}  // namespace
}  // namespace tc::test
