// The Linux transclepsa and the Windows transclepsa.exe (run under Wine) on the same documents, in
// folders and files with accented names: the conversion writes the same bytes into every working
// table, and the export the same document, but for the date of the export, which each writes in
// its user's formats (the Windows program as a Spanish user's, from the Windows user locale).
//
// Built in the Linux build when TC_WINDOWS_BUILD_DIR names a Windows build
// (scripts/build-windows.sh; ./test.sh builds both).
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "platform/platform.h"
#include "support/process.h"
#include "support/test_support.h"

namespace tc::test {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

const fs::path kSource = fs::path(TC_SOURCE_DIR);
const fs::path kWindowsBuild = fs::path(TC_WINDOWS_BUILD_DIR);

std::string Utf8(const fs::path& path) { return platform::PathToUtf8(path); }
fs::path Path(std::string_view utf8) { return platform::PathFromUtf8(utf8); }

// A Unix path as the Windows program may also be given it: Z: is the Unix root under Wine.
std::string WindowsStyle(const fs::path& path) {
  std::string text = "Z:" + Utf8(path);
  for (char& c : text) c = c == '/' ? '\\' : c;
  return text;
}

struct Day {
  int year, month, day;
  bool operator==(const Day&) const = default;
};

Day Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

// The files of a folder with their bytes.
std::map<std::string, std::string> Files(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (!entry.is_regular_file()) continue;  // our own folder: backups, dated by each program
    files[Utf8(entry.path().filename())] = ReadFile(entry.path());
  }
  return files;
}

// The date of last update in a dBase header (bytes 1 to 3): the day each program wrote the table.
std::map<std::string, std::string> WithoutTableDates(std::map<std::string, std::string> files) {
  for (auto& [name, bytes] : files) {
    if (bytes.size() > 4) bytes.replace(1, 3, "YMD");
  }
  return files;
}

// What a program printed, without the lines that name its own folders, with LF line ends.
std::string WithoutPaths(std::string text) {
  for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
  return std::regex_replace(text, std::regex("(Tablas escritas en|Documento escrito:) [^\n]*\n"),
                            "$1 ...\n");
}

std::string ExportDate(const std::string& xml) {
  std::smatch found;
  if (!std::regex_search(xml, found, std::regex("fecha_exportacion=\"([^\"]*)\""))) return "";
  return found[1];
}

std::string WithoutExportDate(const std::string& xml) {
  return std::regex_replace(xml, std::regex("fecha_exportacion=\"[^\"]*\""),
                            "fecha_exportacion=\"...\"");
}

// How the Windows program is told its working folder.
enum class FolderGiven { UnixPath, WindowsPath, Environment };

struct Case {
  std::string name;
  std::vector<std::string> convert_flags;
  std::vector<std::string> export_flags;
  FolderGiven folder;
};

class CrossCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(kWindowsBuild / "transclepsa.exe"))
        << "no Windows program in " << kWindowsBuild << ": run scripts/build-windows.sh";
    python = FindProgram("python3");
    ASSERT_TRUE(python) << "python3 is needed to make the documents and Clepsa's timetable";
  }

  // One side's place: <root>/<side>/Centre Ñandú/ with the document and the working folder.
  struct Side {
    fs::path folder;
    fs::path document;
    fs::path data;
  };

  Side MakeSide(const std::string& side, const std::string& document_bytes) {
    Side made;
    made.folder = dir / side / Path("Centre \xC3\x91" "and\xC3\xBA \xC3\xA0\xC3\xA9\xC3\xAF\xC3\xB2");
    made.document = made.folder / Path("centro \xC3\xB1" "a\xC3\xB1o.xml");  // centro ñaño.xml
    made.data = made.folder / Path("ZTEMP Clepsa \xC3\xB1");
    fs::create_directories(made.data);
    WriteFile(made.document, document_bytes);
    return made;
  }

  ProgramOutcome Linux(const Args& args) {
    return RunProgram(fs::path(TC_CLI_PATH), {args, {{"LC_ALL", "C"}}, {}});
  }

  ProgramOutcome Windows(Args args, const Side& side, FolderGiven folder) {
    EnvironmentChanges environment;  // tc-wine runs it as a Spanish user's (es_ES.UTF-8)
    if (folder == FolderGiven::Environment) {
      environment["TRANSCLEPSA_ZTEMP"] = WindowsStyle(side.data);
    } else {
      args.push_back("--data-dir");
      args.push_back(folder == FolderGiven::WindowsPath ? WindowsStyle(side.data) : Utf8(side.data));
    }
    args.insert(args.begin(), Utf8(kWindowsBuild / "transclepsa.exe"));
    return RunProgram(kWindowsBuild / "tc-wine", {args, environment, {}});
  }

  std::string Python(const Args& args) {
    const ProgramOutcome outcome = RunProgram(*python, {args, {}, {}});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    return outcome.out;
  }

  // Converts and exports `document` with both programs and compares what they leave.
  void Check(const std::string& document, const Case& c) {
    SCOPED_TRACE(c.name);
    const Day first_day = Today();
    const Side linux_side = MakeSide("Linux", document);
    const Side windows_side = MakeSide("Windows", document);

    Args convert{"convert", Utf8(linux_side.document), "--data-dir", Utf8(linux_side.data)};
    convert.insert(convert.end(), c.convert_flags.begin(), c.convert_flags.end());
    const ProgramOutcome linux_converted = Linux(convert);
    ASSERT_EQ(linux_converted.status, 0) << linux_converted.err;
    convert = {"convert", Utf8(windows_side.document)};
    convert.insert(convert.end(), c.convert_flags.begin(), c.convert_flags.end());
    const ProgramOutcome windows_converted = Windows(convert, windows_side, c.folder);
    ASSERT_EQ(windows_converted.status, 0) << windows_converted.err;
    EXPECT_EQ(WithoutPaths(windows_converted.out), WithoutPaths(linux_converted.out));
    EXPECT_EQ(windows_converted.err, linux_converted.err);

    // Clepsa's part: one timetable, copied into both working folders.
    Python({Utf8(kSource / "examples" / "make_demo_soluc.py"), Utf8(linux_side.data)});
    fs::copy_file(linux_side.data / "SOLUC.DBF", windows_side.data / "SOLUC.DBF");

    Args exported{"export", Utf8(linux_side.document), "--data-dir", Utf8(linux_side.data)};
    exported.insert(exported.end(), c.export_flags.begin(), c.export_flags.end());
    const ProgramOutcome linux_exported = Linux(exported);
    ASSERT_EQ(linux_exported.status, 0) << linux_exported.err;
    exported = {"export", Utf8(windows_side.document)};
    exported.insert(exported.end(), c.export_flags.begin(), c.export_flags.end());
    const ProgramOutcome windows_exported = Windows(exported, windows_side, c.folder);
    ASSERT_EQ(windows_exported.status, 0) << windows_exported.err;
    EXPECT_EQ(WithoutPaths(windows_exported.out), WithoutPaths(linux_exported.out));
    const Day last_day = Today();

    // Every table byte for byte (the day written into each header too, unless midnight came).
    auto linux_tables = Files(linux_side.data);
    auto windows_tables = Files(windows_side.data);
    if (!(first_day == last_day)) {
      linux_tables = WithoutTableDates(linux_tables);
      windows_tables = WithoutTableDates(windows_tables);
    }
    EXPECT_EQ(linux_tables.size(), 8u);  // the seven working tables and SOLUC
    for (const auto& [name, bytes] : linux_tables) {
      ASSERT_EQ(windows_tables.count(name), 1u) << name << " missing on Windows";
      EXPECT_TRUE(windows_tables.at(name) == bytes) << name << " differs";
    }
    EXPECT_EQ(windows_tables.size(), linux_tables.size());

    // The documents: the same but for the date of the export.
    const fs::path result = Path("ResultadoClepsacentro \xC3\xB1" "a\xC3\xB1o.xml");
    ASSERT_TRUE(fs::exists(linux_side.folder / result));
    ASSERT_TRUE(fs::exists(windows_side.folder / result));
    const std::string linux_xml = ReadFile(linux_side.folder / result);
    const std::string windows_xml = ReadFile(windows_side.folder / result);
    EXPECT_TRUE(WithoutExportDate(windows_xml) == WithoutExportDate(linux_xml));
    const auto entries = fs::directory_iterator(windows_side.folder);
    EXPECT_EQ(std::distance(fs::begin(entries), fs::end(entries)), 3);  // no stray file

    // Linux in the C locale: dd/mm/yyyy hh:mm:ss. Windows with a Spanish user: the day first,
    // hours 0 to 23 (Wine writes the Spanish short date without leading zeros).
    char day[16];
    std::snprintf(day, sizeof day, "%02d/%02d/%04d ", last_day.day, last_day.month,
                  last_day.year);
    EXPECT_TRUE(std::regex_match(ExportDate(linux_xml),
                                 std::regex(std::string(day) + "[0-2][0-9]:[0-5][0-9]:[0-5][0-9]")))
        << ExportDate(linux_xml);
    std::snprintf(day, sizeof day, "0?%d/0?%d/%04d ", last_day.day, last_day.month,
                  last_day.year);
    EXPECT_TRUE(std::regex_match(ExportDate(windows_xml),
                                 std::regex(std::string(day) + "[12]?[0-9]:[0-5][0-9]:[0-5][0-9]")))
        << ExportDate(windows_xml);
  }

  TempDir dir;
  std::optional<fs::path> python;
};

TEST_F(CrossCheck, TheSampleSchool) {
  Check(ReadFile(kSource / "examples" / "ies_exemple.xml"),
        {"defaults, folder as a Unix path", {}, {}, FolderGiven::UnixPath});
}

// The sample school written in Windows-1252, as ITACA may write it, converted for the afternoon
// in Castilian.
TEST_F(CrossCheck, TheSampleSchoolInWindows1252) {
  std::string document = ReadFile(kSource / "examples" / "ies_exemple.xml");
  const std::string utf8 = "encoding=\"UTF-8\"";
  ASSERT_NE(document.find(utf8), std::string::npos);
  document.replace(document.find(utf8), utf8.size(), "encoding=\"windows-1252\"");
  Check(Utf8ToCp1252(document),
        {"afternoon, Castilian, idle kept, folder as a Windows path",
         {"--template", "VESPRA", "--language", "CASTELLANO", "--keep-idle"},
         {"--school-year", "2025"},
         FolderGiven::WindowsPath});
}

// A large school made by the benchmarks' generator: both templates, every row.
TEST_F(CrossCheck, AGeneratedLargeSchool) {
  Python({Utf8(kSource / "bench" / "make_school.py"), "1", Utf8(dir / "escuela.xml")});
  Check(ReadFile(dir / "escuela.xml"),
        {"all templates, folder from TRANSCLEPSA_ZTEMP",
         {"--all-templates"},
         {"--template", "PT"},
         FolderGiven::Environment});
}

}  // namespace
}  // namespace tc::test
