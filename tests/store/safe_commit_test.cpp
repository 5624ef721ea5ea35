// Replacing a set of files together: the old ones kept as numbered generations, a failure at any
// file operation undone on the spot, a process that dies at any file operation finished or undone
// by the next run, and a generation put back (and that undone in turn).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <map>
#include <set>
#include <string>
#include <thread>

#include "base/error.h"
#include "platform/platform.h"
#include "store/database.h"
#include "store/safe_commit.h"
#include "support/faulty_files.h"
#include "support/test_support.h"

namespace tc::test {
namespace {

namespace fs = std::filesystem;
using store::CommitPlan;
using Files = std::map<std::string, std::string>;

const Files kOld = {{"A.DBF", "a1"}, {"B.DBF", "b1"}, {"D.MDX", "d1"}};
const Files kNew = {{"A.DBF", "a2"}, {"B.DBF", "b2"}, {"C.DBF", "c2"}};

// The files of the working folder itself (our folder left out).
Files TopLevel(const fs::path& dir) {
  Files files;
  for (const auto& [name, bytes] : FolderFiles(dir)) {
    if (name.find('/') == std::string::npos) files[name] = bytes;
  }
  return files;
}

// A folder holding the old files, and the plan of a commit in it: A and B replaced, C created,
// D.MDX removed.
CommitPlan OldFilesAndPlan(const fs::path& run) {
  for (const auto& [name, bytes] : kOld) WriteFile(run / name, bytes);
  CommitPlan plan;
  plan.run = "conversion";
  for (const char* table : {"A", "B", "C"}) {
    const fs::path staged = run / (std::string("~TC_") + table + "~0000000" + table + ".tmp");
    WriteFile(staged, std::string(1, static_cast<char>(std::tolower(table[0]))) + "2");
    plan.replacements.push_back({staged, run / (std::string(table) + ".DBF"), true});
  }
  plan.removals = {run / "D.MDX"};
  return plan;
}

class SafeCommitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const auto& [name, bytes] : kOld) WriteFile(dir / name, bytes);
  }

  // Stages the new files and plans their commit: A and B replaced, C created, D.MDX removed.
  CommitPlan Plan(const std::string& suffix = "2") {
    CommitPlan plan;
    plan.run = "conversion";
    plan.document = "/datos/centro.xml";
    plan.extras = {{"informe.txt", "informe", {}}};
    for (const char* table : {"A", "B", "C"}) {
      const fs::path staged = platform::TemporaryPath(real, dir.path(), std::string("~TC_") + table + "~");
      WriteFile(staged, std::string(1, static_cast<char>(std::tolower(table[0]))) + suffix);
      plan.replacements.push_back({staged, dir / (std::string(table) + ".DBF"), true});
    }
    plan.removals = {dir / "D.MDX"};
    return plan;
  }

  TempDir dir;
  platform::FileSystem& real = platform::RealFileSystem();
};

TEST_F(SafeCommitTest, TheOldFilesAreKeptAsNumberedGenerationsUpToTheNumberToKeep) {
  const auto first = store::CommitFiles(real, dir.path(), Plan());
  EXPECT_EQ(TopLevel(dir.path()), kNew);
  EXPECT_TRUE(LeftoversOfARun(dir.path()).empty());
  ASSERT_TRUE(first);
  EXPECT_EQ(first->number, 1);
  EXPECT_EQ(first->files, (std::vector<std::string>{"A.DBF", "B.DBF", "D.MDX"}));
  EXPECT_EQ(first->absent, (std::vector<std::string>{"C.DBF"}));

  // What the list reads back from the generation's own description.
  const auto listed = store::ListGenerations(real, dir.path());
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].run, "conversion");
  EXPECT_EQ(listed[0].document, "/datos/centro.xml");
  EXPECT_EQ(listed[0].files, first->files);
  EXPECT_EQ(listed[0].absent, first->absent);
  EXPECT_EQ(ReadFile(listed[0].folder / "A.DBF"), "a1");
  EXPECT_EQ(ReadFile(listed[0].folder / "D.MDX"), "d1");
  EXPECT_EQ(ReadFile(listed[0].folder / "informe.txt"), "informe");

  // The number to keep comes from our settings file; the numbers go on growing.
  EXPECT_EQ(store::GenerationsToKeep(real, dir.path()), 10);
  for (const char* bad : {"0", "-3", "diez", ""}) {
    platform::WriteIniValue(real, store::SettingsFile(dir.path()), "Copias", "Conservar", bad);
    EXPECT_EQ(store::GenerationsToKeep(real, dir.path()), 10) << bad;
  }
  platform::WriteIniValue(real, store::SettingsFile(dir.path()), "Copias", "Conservar", "2");
  EXPECT_EQ(store::GenerationsToKeep(real, dir.path()), 2);
  for (int run = 3; run <= 5; ++run) {
    CommitPlan plan = Plan(std::to_string(run));
    plan.generations_to_keep = store::GenerationsToKeep(real, dir.path());
    store::CommitFiles(real, dir.path(), plan);
  }
  std::vector<int> numbers;
  for (const auto& generation : store::ListGenerations(real, dir.path())) {
    numbers.push_back(generation.number);
  }
  EXPECT_EQ(numbers, (std::vector<int>{3, 4}));
  EXPECT_EQ(real.List(store::BackupsFolder(dir.path())).size(), 2u);  // nothing left of the others
  EXPECT_EQ(ReadFile(dir / "A.DBF"), "a5");
}

// A generation being removed when the run was stopped is no generation any more, and the next
// run removes what is left of it.
TEST_F(SafeCommitTest, AGenerationBeingRemovedIsNoneAndTheNextRunRemovesIt) {
  store::CommitFiles(real, dir.path(), Plan());
  const std::filesystem::path doomed = store::BackupsFolder(dir.path()) / "0001~quitada";
  real.Rename(store::ListGenerations(real, dir.path()).at(0).folder, doomed);
  EXPECT_TRUE(store::ListGenerations(real, dir.path()).empty());
  store::Recover(real, dir.path());
  EXPECT_FALSE(real.IsFolder(doomed));
}

TEST_F(SafeCommitTest, AFirstRunIntoAnEmptyFolderKeepsItsReportAndIsUndoneToEmpty) {
  for (const auto& [name, bytes] : kOld) fs::remove(dir / name);
  CommitPlan bare = Plan();
  bare.extras.clear();
  EXPECT_FALSE(store::CommitFiles(real, dir.path(), bare));  // nothing to keep, no report
  for (const auto& [name, bytes] : kNew) fs::remove(dir / name);

  // A report to keep makes the generation; one rendered on demand is rendered once.
  CommitPlan plan = Plan();
  int rendered = 0;
  plan.extras.push_back({"informe.json", {}, [&rendered](const PieceSink& pieces) {
                           pieces(std::to_string(++rendered));
                         }});
  const auto first = store::CommitFiles(real, dir.path(), plan);
  ASSERT_TRUE(first);
  EXPECT_EQ(rendered, 1);
  EXPECT_TRUE(first->files.empty());
  EXPECT_EQ(first->absent, (std::vector<std::string>{"A.DBF", "B.DBF", "C.DBF"}));
  EXPECT_EQ(ReadFile(first->folder / "informe.txt"), "informe");
  EXPECT_EQ(ReadFile(first->folder / "informe.json"), "1");
  store::Database(dir.path()).Restore(*first);
  EXPECT_EQ(TopLevel(dir.path()), Files{});
}

TEST_F(SafeCommitTest, ReportFilesRenderedSideBySideAreEachKeptAndOneThatFailsUndoesTheCommit) {
  CommitPlan plan = Plan();
  std::atomic<int> calls = 0;
  for (const char* name : {"uno.txt", "dos.json", "tres.html", "cuatro.txt"}) {
    plan.extras.push_back({name, {}, [name, &calls](const PieceSink& pieces) {
                             ++calls;
                             pieces(std::string(name) + " ");
                             pieces(std::string(100000, 'x'));
                           }});
  }
  const auto generation = store::CommitFiles(real, dir.path(), plan);
  ASSERT_TRUE(generation);
  EXPECT_EQ(calls, 4);
  for (const char* name : {"uno.txt", "dos.json", "tres.html", "cuatro.txt"}) {
    EXPECT_EQ(ReadFile(generation->folder / name),
              std::string(name) + " " + std::string(100000, 'x'));
  }

  // A rendering that fails (no memory left), at once or after a piece written, fails the commit
  // before anything has moved.
  for (const bool after_a_piece : {false, true}) {
    CommitPlan failing = Plan("3");
    failing.extras.push_back({"informe.html", {}, [after_a_piece](const PieceSink& pieces) {
                                if (after_a_piece) pieces("<p>uno</p>");
                                throw std::bad_alloc();
                              }});
    EXPECT_THROW(store::CommitFiles(real, dir.path(), failing), std::bad_alloc);
    for (const auto& replacement : failing.replacements) fs::remove(replacement.staged);
    EXPECT_EQ(TopLevel(dir.path()), kNew) << after_a_piece;
    EXPECT_EQ(store::ListGenerations(real, dir.path()).size(), 1u) << after_a_piece;
    EXPECT_TRUE(LeftoversOfARun(dir.path()).empty()) << after_a_piece;
  }
}

// The rendering to render first starts before the others, though listed last, and does not
// hold them back: the others wait for it to start, and it for the last of them to end.
TEST_F(SafeCommitTest, TheRenderingToRenderFirstStartsFirstAndHoldsNoneBack) {
  CommitPlan plan = Plan();
  plan.extras.clear();
  std::promise<void> page_started, text_rendered;
  std::shared_future<void> started = page_started.get_future().share();
  std::shared_future<void> rendered = text_rendered.get_future().share();
  const auto after = [](const std::shared_future<void>& event) {
    return std::string(event.wait_for(std::chrono::seconds(20)) == std::future_status::ready
                           ? "despu\xE9s"
                           : "antes");
  };
  plan.extras.push_back(
      {"informe.json", {}, [&](const PieceSink& pieces) { pieces(after(started)); }});
  plan.extras.push_back({"informe.txt", {}, [&](const PieceSink& pieces) {
                           pieces(after(started));
                           text_rendered.set_value();
                         }});
  plan.extras.push_back({"informe.html", {}, [&](const PieceSink& pieces) {
                           page_started.set_value();
                           pieces(after(rendered));
                         }});
  plan.extras.back().render_first = true;
  const auto generation = store::CommitFiles(real, dir.path(), plan);
  ASSERT_TRUE(generation);
  for (const char* name : {"informe.json", "informe.txt", "informe.html"}) {
    EXPECT_EQ(ReadFile(generation->folder / name), "despu\xE9s") << name;
  }
}

// A file rendered in pieces is written as they come: the first is in the file before the second
// is rendered.
TEST_F(SafeCommitTest, AFileRenderedInPiecesIsWrittenAsTheyCome) {
  CommitPlan plan = Plan();
  bool written_first = false;
  plan.extras.push_back({"informe.html", {}, [this, &written_first](const PieceSink& pieces) {
                           pieces("<p>uno</p>");
#ifndef _WIN32  // Windows keeps a file being written from every reader
                           for (int wait = 0; wait < 2000 && !written_first; ++wait) {
                             for (const auto& [name, bytes] : FolderFiles(dir.path())) {
                               written_first = written_first || (name.ends_with("/informe.html") &&
                                                                 bytes == "<p>uno</p>");
                             }
                             if (!written_first) {
                               std::this_thread::sleep_for(std::chrono::milliseconds(10));
                             }
                           }
#endif
                           pieces("<p>dos</p>");
                         }});
  const auto generation = store::CommitFiles(real, dir.path(), plan);
  ASSERT_TRUE(generation);
  EXPECT_EQ(ReadFile(generation->folder / "informe.html"), "<p>uno</p><p>dos</p>");
#ifndef _WIN32
  EXPECT_TRUE(written_first);
#endif
}

TEST_F(SafeCommitTest, AReadOnlyFileIsRefusedByNameAndAReplacedFileKeepsItsMode) {
  fs::permissions(dir / "B.DBF", fs::perms::owner_write | fs::perms::group_write |
                                     fs::perms::others_write,
                  fs::perm_options::remove);
  const CommitPlan plan = Plan();
  try {
    store::CommitFiles(real, dir.path(), plan);
    ADD_FAILURE() << "a read-only file was replaced";
  } catch (const Error& error) {
    EXPECT_EQ(error.kind(), ErrorKind::DiskOrPermission);
    EXPECT_NE(std::string(error.what()).find("B.DBF es de solo lectura"), std::string::npos)
        << error.what();
  }
  for (const auto& replacement : plan.replacements) fs::remove(replacement.staged);
  EXPECT_EQ(TopLevel(dir.path()), kOld);
  EXPECT_TRUE(LeftoversOfARun(dir.path()).empty());

#ifndef _WIN32
  fs::permissions(dir / "B.DBF", fs::perms::owner_write, fs::perm_options::add);
  fs::permissions(dir / "A.DBF", fs::perms::owner_read | fs::perms::owner_write,
                  fs::perm_options::replace);
  store::CommitFiles(real, dir.path(), Plan());
  EXPECT_EQ(fs::status(dir / "A.DBF").permissions(),
            fs::perms::owner_read | fs::perms::owner_write);
#endif
}

// Every operation of a commit is tried as the one that fails (a full disk, a rename refused):
// the commit throws and the folder is as before, or the failure came after the commit was whole.
TEST_F(SafeCommitTest, AFailureAtAnyOperationLeavesTheOldFilesOrTheWholeNewSet) {
  int operations = 0;
  {
    TempDir run;
    FaultyFileSystem counting([&](std::string_view, const fs::path&) { ++operations; });
    store::CommitFiles(counting, run.path(), OldFilesAndPlan(run.path()));
  }
  ASSERT_GT(operations, 10);
  int failed = 0;
  for (int fail_at = 1; fail_at <= operations; ++fail_at) {
    TempDir run;
    const CommitPlan plan = OldFilesAndPlan(run.path());
    int seen = 0;
    FaultyFileSystem faulty([&](std::string_view operation, const fs::path& path) {
      if (++seen == fail_at) {
        throw Error("fallo en " + std::string(operation) + " " + path.string(),
                    ErrorKind::DiskOrPermission);
      }
    });
    bool threw = false;
    try {
      store::CommitFiles(faulty, run.path(), plan);
    } catch (const Error&) {
      threw = true;
      ++failed;
      for (const auto& replacement : plan.replacements) fs::remove(replacement.staged);
    }
    const Files now = TopLevel(run.path());
    if (threw) {
      EXPECT_EQ(now, kOld) << "failing operation " << fail_at;
    } else {
      EXPECT_EQ(now, kNew) << "failing operation " << fail_at;
    }
    // What a failure after the commit point leaves (a journal that could not be removed, a
    // generation that could not be published) goes with the next run.
    store::Recover(real, run.path());
    EXPECT_EQ(TopLevel(run.path()), now) << "failing operation " << fail_at;
    EXPECT_EQ(LeftoversOfARun(run.path()), std::vector<std::string>{})
        << "failing operation " << fail_at;
  }
  EXPECT_GT(failed, operations / 2);
}

// The process dies at an operation: it and everything after it never happen. The next run's
// recovery then finds the old files or the whole new set, never a mix, and nothing of ours left.
TEST_F(SafeCommitTest, AProcessDyingAtAnyOperationIsFinishedOrUndoneByTheNextRun) {
  struct Died {};
  std::set<Files> outcomes;
  for (int die_at = 1;; ++die_at) {
    TempDir run;
    const CommitPlan plan = OldFilesAndPlan(run.path());
    int seen = 0;
    FaultyFileSystem dying([&](std::string_view, const fs::path&) {
      if (++seen >= die_at) throw Died{};
    });
    bool died = false;
    try {
      store::CommitFiles(dying, run.path(), plan);
    } catch (const Died&) {
      died = true;
    }
    if (!died) break;  // every operation has been tried

    const bool journal = fs::exists(store::JournalFile(run.path()));
    const store::Recovery recovery = store::Recover(real, run.path());
    EXPECT_EQ(recovery.finished_commit, journal) << "died at operation " << die_at;
    const Files now = TopLevel(run.path());
    EXPECT_TRUE(now == kOld || now == kNew) << "died at operation " << die_at;
    EXPECT_EQ(LeftoversOfARun(run.path()), std::vector<std::string>{})
        << "died at operation " << die_at;
    outcomes.insert(now);
    if (journal) {
      EXPECT_EQ(now, kNew) << "died at operation " << die_at;
      // The generation is published with the tables.
      EXPECT_EQ(store::ListGenerations(real, run.path()).size(), 1u) << die_at;
    }
  }
  EXPECT_EQ(outcomes.size(), 2u);  // some deaths came before the commit point, some after
}

TEST_F(SafeCommitTest, AGenerationPutBackReplacesCreatesAndRemovesAndIsItselfKept) {
  const auto first = store::CommitFiles(real, dir.path(), Plan());
  ASSERT_TRUE(first);
  store::Database db(dir.path());
  const auto undo = db.Restore(*first);
  EXPECT_EQ(TopLevel(dir.path()), kOld);  // C.DBF, which the run created, goes
  EXPECT_TRUE(LeftoversOfARun(dir.path()).empty());
  ASSERT_TRUE(undo);
  EXPECT_EQ(undo->run, "restauracion");
  EXPECT_EQ(undo->document.rfind("copia 0001 (conversi\xC3\xB3n, ", 0), 0u) << undo->document;
  EXPECT_EQ(undo->files, (std::vector<std::string>{"A.DBF", "B.DBF", "C.DBF"}));
  EXPECT_EQ(undo->absent, (std::vector<std::string>{"D.MDX"}));

  // The restore undone: the new set again.
  db.Restore(*undo);
  EXPECT_EQ(TopLevel(dir.path()), kNew);

  // A generation missing one of its files is refused before anything changes.
  fs::remove(first->folder / "B.DBF");
  EXPECT_THROW(db.Restore(*first), Error);
  EXPECT_EQ(TopLevel(dir.path()), kNew);
  EXPECT_TRUE(LeftoversOfARun(dir.path()).empty());
}

}  // namespace
}  // namespace tc::test
