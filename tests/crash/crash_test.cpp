// The real transclepsa killed (SIGKILL, as a power cut or the task manager would) at file
// operation after file operation of a conversion, an export and a restore; after the next run of
// the program, the working folder and the document beside the ITACA file hold exactly the files
// from before the run or exactly those of a run that was not interrupted, and nothing else of
// ours.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/process.h"
#include "support/test_support.h"

namespace tc::test {
namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;

const fs::path kSample = fs::path(TC_SOURCE_DIR) / "examples" / "ies_exemple.xml";
const fs::path kSolution = fs::path(TC_SOURCE_DIR) / "tests" / "golden" / "sample" / "SOLUC.DBF";

// What a run is about: the working folder's own files and the files beside the ITACA document,
// the export's time stamp left out (two exports a second apart differ only there).
Files Visible(const fs::path& root) {
  Files files;
  for (const auto& [name, bytes] : FolderFiles(root)) {
    if (name.find("TransClepsaItaca/") != std::string::npos) continue;  // our backups
    static const std::regex stamp("fecha_exportacion=\"[^\"]*\"");
    files[name] = std::regex_replace(bytes, stamp, "fecha_exportacion=\"\"");
  }
  return files;
}

ProgramOutcome Transclepsa(const std::vector<std::string>& args,
                           EnvironmentChanges environment = {}) {
  ProgramRun run;
  run.args = args;
  environment["TRANSCLEPSA_ZTEMP"] = std::nullopt;
  if (environment.count("LD_PRELOAD") != 0) {
    // In a build with the address sanitizer, its library is not the first one loaded then.
    const char* options = std::getenv("ASAN_OPTIONS");
    environment["ASAN_OPTIONS"] =
        std::string(options != nullptr ? options : "") + ":verify_asan_link_order=0";
  }
  run.environment = std::move(environment);
  return RunProgram(TC_CLI_PATH, run);
}

void Succeed(const std::vector<std::string>& args) {
  const ProgramOutcome outcome = Transclepsa(args);
  ASSERT_EQ(outcome.status, 0) << outcome.err;
}

// One kind of run: how its folder is prepared (in `root`: the working folder ZTEMP and the ITACA
// document centro.xml) and the arguments of the run that is killed.
struct Scenario {
  std::string name;
  std::function<void(const fs::path& root)> prepare;
  std::function<std::vector<std::string>(const fs::path& root)> args;
};

std::vector<std::string> Convert(const fs::path& root, const std::string& template_code) {
  return {"convert", (root / "centro.xml").string(), "--data-dir", (root / "ZTEMP").string(),
          "--template", template_code, "-q"};
}

std::vector<std::string> Export(const fs::path& root, const std::string& template_code) {
  return {"export", (root / "centro.xml").string(), "--data-dir", (root / "ZTEMP").string(),
          "--template", template_code, "-q"};
}

void Converted(const fs::path& root, const std::string& template_code) {
  fs::create_directories(root / "ZTEMP");
  fs::copy_file(kSample, root / "centro.xml", fs::copy_options::overwrite_existing);
  Succeed(Convert(root, template_code));
}

const std::vector<Scenario>& Scenarios() {
  static const std::vector<Scenario> scenarios = {
      {"conversion", [](const fs::path& root) { Converted(root, "VESPRA"); },
       [](const fs::path& root) { return Convert(root, "MATI"); }},
      {"exportacion",
       [](const fs::path& root) {
         Converted(root, "MATI");
         fs::copy_file(kSolution, root / "ZTEMP" / "SOLUC.DBF");
         std::vector<std::string> other = Export(root, "VESPRA");
         other.push_back("--force");  // another template than the conversion's
         Succeed(other);
       },
       [](const fs::path& root) { return Export(root, "MATI"); }},
      {"restauracion",
       [](const fs::path& root) {
         Converted(root, "VESPRA");
         Succeed(Convert(root, "MATI"));
       },
       [](const fs::path& root) {
         return std::vector<std::string>{"restore", "1", "--data-dir", (root / "ZTEMP").string()};
       }},
  };
  return scenarios;
}

// The file operations at which the run is killed: every one of the last ones (where the commit
// is) and a spread of the earlier ones.
std::vector<long> KillPoints(long operations) {
  constexpr long kLast = 45, kEarlier = 15;
  std::set<long> points;
  for (long k = std::max(1L, operations - kLast + 1); k <= operations; ++k) points.insert(k);
  const long earlier = operations - kLast;
  for (long i = 1; earlier > 0 && i <= kEarlier; ++i) points.insert(i * earlier / kEarlier);
  points.erase(0);
  return {points.begin(), points.end()};
}

class CrashTest : public ::testing::TestWithParam<std::size_t> {};

TEST_P(CrashTest, KilledAtAnyFileOperationTheFolderIsWhollyOldOrWhollyNewAfterTheNextRun) {
  const Scenario& scenario = Scenarios()[GetParam()];
  const fs::path shim = TC_KILL_SHIM;

  TempDir prepared;
  ASSERT_NO_FATAL_FAILURE(scenario.prepare(prepared.path()));
  const Files old_files = Visible(prepared.path());

  // The run left alone: the new set, and how many file operations it makes.
  long operations = 0;
  Files new_files;
  {
    TempDir whole;
    fs::copy(prepared.path(), whole.path(), fs::copy_options::recursive);
    const fs::path count = whole / "operaciones.txt";
    const ProgramOutcome outcome = Transclepsa(
        scenario.args(whole.path()), {{"LD_PRELOAD", shim.string()}, {"TC_COUNT_FILE", count.string()}});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    operations = std::stol(ReadFile(count));
    fs::remove(count);
    new_files = Visible(whole.path());
  }
  ASSERT_NE(old_files, new_files);
  ASSERT_GT(operations, 10);

  int old_seen = 0, new_seen = 0;
  for (const long kill_at : KillPoints(operations)) {
    TempDir root;
    fs::copy(prepared.path(), root.path(), fs::copy_options::recursive);
    const ProgramOutcome killed =
        Transclepsa(scenario.args(root.path()),
                    {{"LD_PRELOAD", shim.string()}, {"TC_KILL_AT", std::to_string(kill_at)}});
    EXPECT_EQ(killed.status, -1) << scenario.name << ": not killed at " << kill_at;

    // The next run of the program, whichever it is, puts the folder right first.
    const ProgramOutcome next = Transclepsa(
        {"restore", "--list", "--data-dir", (root / "ZTEMP").string()});
    EXPECT_EQ(next.status, 0) << next.err;

    const Files now = Visible(root.path());
    const bool is_old = now == old_files, is_new = now == new_files;
    EXPECT_TRUE(is_old || is_new) << scenario.name << ": a mix after a kill at " << kill_at;
    old_seen += is_old;
    new_seen += is_new;
    EXPECT_EQ(LeftoversOfARun(root.path()), std::vector<std::string>{})
        << scenario.name << ": left after a kill at " << kill_at;
  }
  // Kills before the commit point and after it were both tried.
  EXPECT_GT(old_seen, 0);
  EXPECT_GT(new_seen, 0);
}

INSTANTIATE_TEST_SUITE_P(Runs, CrashTest, ::testing::Values(0u, 1u, 2u),
                         [](const ::testing::TestParamInfo<std::size_t>& info) {
                           return Scenarios()[info.param].name;
                         });

}  // namespace
}  // namespace tc::test
