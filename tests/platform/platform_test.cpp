// The platform seam: working folder, whole-file reads, atomic writes under faults, locks within
// the program and between programs, date formats and INI editing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <cstdio>
#include <map>
#include <regex>
#include <thread>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#endif

#include "base/error.h"
#include "platform/file_system.h"
#include "support/faulty_files.h"
#include "platform/platform.h"
#include "store/table.h"
#include "store/table_testing.h"
#include "support/process.h"
#include "support/test_support.h"

namespace tc::test {
namespace {

namespace fs = std::filesystem;
using platform::FileLock;
using store::Table;

// Sets environment variables for one test and puts the old values back afterwards.
class Environment {
 public:
  ~Environment() {
    for (const auto& [name, value] : saved_) Put(name, value);
  }
  void Set(const std::string& name, const std::optional<std::string>& value) {
    if (!saved_.count(name)) {
      const char* old = std::getenv(name.c_str());
      saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    Put(name, value);
  }

 private:
  static void Put(const std::string& name, const std::optional<std::string>& value) {
#ifdef _WIN32
    _putenv_s(name.c_str(), value ? value->c_str() : "");
#else
    if (value) {
      setenv(name.c_str(), value->c_str(), 1);
    } else {
      unsetenv(name.c_str());
    }
#endif
  }
  std::map<std::string, std::optional<std::string>> saved_;
};

class PlatformTest : public ::testing::Test {
 protected:
  platform::FileSystem& files = platform::RealFileSystem();
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  TempDir dir;
};

TEST_F(PlatformTest, WorkingFolderTakesTheOverrideThenTheEnvironmentThenWine) {
  Environment environment;
  environment.Set("TRANSCLEPSA_ZTEMP", "/datos/ztemp");
  environment.Set("WINEPREFIX", "/home/ana/.wine-clepsa");
  EXPECT_EQ(platform::WorkingDir(fs::path("/otra")), fs::path("/otra"));
  EXPECT_EQ(platform::WorkingDir(), fs::path("/datos/ztemp"));
  environment.Set("TRANSCLEPSA_ZTEMP", std::nullopt);
#ifdef _WIN32
  EXPECT_EQ(platform::WorkingDir(), fs::path("C:\\ZTEMP"));
#else
  EXPECT_EQ(platform::WorkingDir(), fs::path("/home/ana/.wine-clepsa/drive_c/ZTEMP"));
  environment.Set("WINEPREFIX", std::nullopt);
  environment.Set("HOME", "/home/ana");
  EXPECT_EQ(platform::WorkingDir(), fs::path("/home/ana/.wine/drive_c/ZTEMP"));
#endif
}

TEST_F(PlatformTest, TheExecutableFolderHoldsThisProgram) {
  EXPECT_TRUE(fs::exists(platform::ExecutableDir() / "test_platform") ||
              fs::exists(platform::ExecutableDir() / "test_platform.exe"));
}

TEST_F(PlatformTest, ReadingAMissingFileNamesIt) {
  const std::string message = ErrorOf([&] { files.ReadFile(dir / "NADA.DBF"); });
  EXPECT_EQ(message.rfind("No se puede leer el archivo " + (dir / "NADA.DBF").string() + ": ", 0),
            0u)
      << message;
  WriteFile(dir / "A.BIN", std::string("a\0b\x1A", 4));
  EXPECT_EQ(files.ReadFile(dir / "A.BIN"), std::string("a\0b\x1A", 4));
}

#ifndef _WIN32
// A file whose size the system does not tell beforehand (a pipe) is read whole, past the room
// taken for a file of unknown size, and an empty one as empty.
TEST_F(PlatformTest, AFileOfUnknownSizeIsReadWhole) {
  const fs::path pipe = dir / "tuberia";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  std::string sent(200000, 'x');
  for (std::size_t i = 0; i < sent.size(); i += 997) sent[i] = static_cast<char>('a' + i % 26);
  for (const std::string& text : {sent, std::string()}) {
    std::thread writer([&] {
      std::FILE* out = std::fopen(pipe.c_str(), "wb");
      if (out == nullptr) return;
      std::fwrite(text.data(), 1, text.size(), out);
      std::fclose(out);
    });
    EXPECT_EQ(files.ReadFile(pipe), text);
    writer.join();
  }
}

// A write the system's file-size limit refuses says so, in Spanish.
TEST_F(PlatformTest, AWriteOverTheFileSizeLimitSaysSo) {
  struct rlimit old_limit {};
  ::getrlimit(RLIMIT_FSIZE, &old_limit);
  struct rlimit limit = old_limit;
  limit.rlim_cur = 1024;
  void (*old_handler)(int) = ::signal(SIGXFSZ, SIG_IGN);
  ::setrlimit(RLIMIT_FSIZE, &limit);
  const std::string message = ErrorOf(
      [&] { platform::WriteFileAtomically(files, dir / "G.DBF", std::string(4096, 'x')); });
  ::setrlimit(RLIMIT_FSIZE, &old_limit);
  ::signal(SIGXFSZ, old_handler);
  EXPECT_EQ(message, "No se puede escribir el archivo " + (dir / "G.DBF").string() +
                         ": el archivo pasar\xED" "a del tama\xF1o m\xE1ximo que el sistema "
                         "permite escribir.");
}
#endif

TEST_F(PlatformTest, AtomicWritesReplaceWholeOrNotAtAll) {
  const fs::path file = dir / "T.DBF";
  platform::WriteFileAtomically(files, file, "primero");
  EXPECT_EQ(ReadFile(file), "primero");
#ifndef _WIN32
  ::chmod(file.c_str(), 0640);
#endif
  platform::WriteFileAtomically(files, file, "segundo");
  EXPECT_EQ(ReadFile(file), "segundo");
#ifndef _WIN32
  struct stat info {};
  ::stat(file.c_str(), &info);
  EXPECT_EQ(info.st_mode & 0777, 0640u);  // the replacement keeps the old permissions
#endif
  for (const char* failing : {"write", "mode", "rename"}) {
    std::vector<std::string> operations;
    FaultyFileSystem faulty([&](std::string_view operation, const fs::path& path) {
      operations.push_back(std::string(operation));
      if (operation == failing) {
        throw platform::FileError("sin sitio", ErrorKind::DiskOrPermission, path.string(),
                                  "no queda espacio en el disco");
      }
    });
    EXPECT_EQ(ErrorOf([&] { platform::WriteFileAtomically(faulty, file, "tercero"); }),
              "No se puede escribir el archivo " + file.string() +
                  ": no queda espacio en el disco.");
    EXPECT_EQ(ReadFile(file), "segundo") << failing;
    EXPECT_EQ(Files(), (std::vector<std::string>{"T.DBF"})) << failing;
    EXPECT_EQ(operations.front(), "write");
  }
  EXPECT_EQ(ErrorOf([&] {
              platform::WriteFileAtomically(files, dir / "NO" / "T.DBF", "x");
            }).rfind("No se puede escribir el archivo " + (dir / "NO" / "T.DBF").string(), 0),
            0u);
}

// A file written from its pieces as they come: each written before the next is asked for (on a
// file system that writes as they come), and one whose pieces fail leaves no file.
TEST_F(PlatformTest, AFileWrittenFromItsPiecesHoldsThemAllOrIsNotThere) {
  FaultyFileSystem gathering;  // gathers the pieces and writes them at once
  for (platform::FileSystem* system : {&files, static_cast<platform::FileSystem*>(&gathering)}) {
    const fs::path file = dir / "informe.json";
    std::vector<std::string> seen;  // what the file held as each piece was asked for
    const std::vector<std::string> pieces = {"uno ", "", "dos ", "tres"};
    std::size_t next = 0;
    system->WriteNewFileFrom(file, [&]() -> std::optional<std::string_view> {
#ifndef _WIN32  // Windows keeps a file being written from every reader
      seen.push_back(fs::exists(file) ? ReadFile(file) : "-");
#endif
      if (next == pieces.size()) return std::nullopt;
      return pieces[next++];
    });
    EXPECT_EQ(ReadFile(file), "uno dos tres");
#ifndef _WIN32
    const std::vector<std::string> as_they_come = {"", "uno ", "uno ", "uno dos ", "uno dos tres"};
    const std::vector<std::string> gathered = {"-", "-", "-", "-", "-"};
    EXPECT_EQ(seen, system == &files ? as_they_come : gathered);
#endif

    // A source that fails after a piece: its error goes on, and the file is not there.
    fs::remove(file);
    bool given = false;
    EXPECT_THROW(system->WriteNewFileFrom(file,
                                          [&]() -> std::optional<std::string_view> {
                                            if (given) throw std::bad_alloc();
                                            given = true;
                                            return "uno";
                                          }),
                 std::bad_alloc);
    EXPECT_EQ(Files(), std::vector<std::string>{});
  }
}

TEST_F(PlatformTest, LocksShareReadersAndKeepWritersApart) {
  const fs::path file = dir / "T.DBF";
  WriteFile(file, "x");
  {
    auto reader = FileLock::TryAcquire(file, false);
    auto other_reader = FileLock::TryAcquire(file, false);
    ASSERT_TRUE(reader && other_reader);
    EXPECT_FALSE(FileLock::TryAcquire(file, true));
  }
  auto writer = FileLock::TryAcquire(file, true);
  ASSERT_TRUE(writer);
  EXPECT_FALSE(FileLock::TryAcquire(file, false));
  EXPECT_FALSE(FileLock::TryAcquire(file, true));
  FileLock moved = std::move(*writer);
  EXPECT_FALSE(FileLock::TryAcquire(file, true));
  moved.Release();
  EXPECT_TRUE(FileLock::TryAcquire(file, true));
  EXPECT_THROW(FileLock::TryAcquire(dir / "NADA", false), Error);
}

// ---- Another program ----------------------------------------------------------------------------

// Some checks need a second program: this test program started again with TC_PLATFORM_CHILD
// naming the check and TC_PLATFORM_FILE its file. It makes the check before any test runs,
// prints what it found on standard output and ends.
void ChildCheck(const std::string& check, const fs::path& file) {
  std::string found;
  if (check == "open-shared") {
    found = ErrorOf([&] { Table::Open(file, store::OpenMode::Shared); });
  } else if (check == "lock-shared") {
    found = FileLock::TryAcquire(file, false) ? "lector s\xED" : "lector no";
  } else if (check == "lock-exclusive") {
    found = FileLock::TryAcquire(file, true) ? "exclusivo s\xED" : "exclusivo no";
  }
  std::fwrite(found.data(), 1, found.size(), stdout);
  std::fflush(stdout);
}

const bool kIsChild = [] {
  auto check = platform::EnvironmentVariable("TC_PLATFORM_CHILD");
  if (!check) return false;
  const auto file = platform::EnvironmentVariable("TC_PLATFORM_FILE");
  ChildCheck(*check, platform::PathFromUtf8(file.value_or("")));
  std::exit(0);
}();

// What the other program found, with these environment changes besides.
std::string InOtherProgram(const std::string& check, const fs::path& file) {
#ifdef _WIN32
  const fs::path self = platform::ExecutableDir() / "test_platform.exe";
#else
  const fs::path self = platform::ExecutableDir() / "test_platform";
#endif
  const ProgramOutcome outcome = RunProgram(
      self, {{}, {{"TC_PLATFORM_CHILD", check}, {"TC_PLATFORM_FILE", platform::PathToUtf8(file)}}, {}});
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  return outcome.out;
}

TEST_F(PlatformTest, LocksConflictBetweenProcesses) {
  Table table = store::Table::Create(dir / "PROFT.DBF", {Char("ABREV", 10)});
  table.Close();
  Table held = Table::Open(dir / "PROFT.DBF", store::OpenMode::Exclusive);
  EXPECT_EQ(InOtherProgram("open-shared", dir / "PROFT.DBF"),
            "La tabla PROFT est\xE1 en uso por otro programa.");
  held.Close();
  Table reader = Table::Open(dir / "PROFT.DBF", store::OpenMode::Shared);
  EXPECT_EQ(InOtherProgram("lock-shared", dir / "PROFT.DBF"), "lector s\xED");
  EXPECT_EQ(InOtherProgram("lock-exclusive", dir / "PROFT.DBF"), "exclusivo no");
  reader.Close();
  EXPECT_EQ(InOtherProgram("lock-exclusive", dir / "PROFT.DBF"), "exclusivo s\xED");
}

// Replacing a file that this program holds (another table object of it has the file open) works
// on every system; on Windows the file held steps aside and goes when its holder lets it go.
TEST_F(PlatformTest, AFileThisProgramHoldsIsStillReplacedWhole) {
  const fs::path file = dir / "T.DBF";
  const fs::path other = dir / "O.DBF";
  platform::WriteFileAtomically(files, file, "primero");
  {
    auto reader = FileLock::TryAcquire(file, false);
    ASSERT_TRUE(reader);
    platform::WriteFileAtomically(files, file, "segundo");
    EXPECT_EQ(files.ReadFile(file), "segundo");
    platform::WriteFileAtomically(files, file, "tercero");
    EXPECT_EQ(files.ReadFile(file), "tercero");
    auto second_reader = FileLock::TryAcquire(file, false);
    platform::WriteFileAtomically(files, other, "otro");
    files.Rename(other, file);
    EXPECT_EQ(files.ReadFile(file), "otro");
  }
  EXPECT_EQ(Files(), (std::vector<std::string>{"T.DBF"}));
}

#ifdef _WIN32
// Clepsa holds the tables it has open without sharing their deletion: Windows will not replace
// such a file, and the error says who has it.
TEST_F(PlatformTest, AFileHeldByAnotherProgramIsInUseAndStaysAsItWas) {
  const fs::path file = dir / "T.DBF";
  const fs::path other = dir / "O.DBF";
  platform::WriteFileAtomically(files, file, "primero");
  platform::WriteFileAtomically(files, other, "otro");
  {
    HeldAsByClepsa clepsa(file);
    const std::string in_use = ": otro programa lo est\xE1 usando.";
    try {
      platform::WriteFileAtomically(files, file, "segundo");
      ADD_FAILURE() << "replaced";
    } catch (const Error& error) {
      EXPECT_EQ(std::string(error.what()), "No se puede escribir el archivo " + file.string() + in_use);
      EXPECT_EQ(error.kind(), ErrorKind::InUse);
    }
    EXPECT_EQ(ErrorOf([&] { files.Rename(other, file); }),
              "No se puede mover el archivo " + other.string() + " a " + file.string() + in_use);
    EXPECT_EQ(ErrorOf([&] { files.Rename(file, dir / "N.DBF"); }),
              "No se puede mover el archivo " + file.string() + " a " + (dir / "N.DBF").string() +
                  in_use);
    // Reading is shared; taking it alone is not.
    EXPECT_TRUE(FileLock::TryAcquire(file, false));
    EXPECT_FALSE(FileLock::TryAcquire(file, true));
    EXPECT_EQ(files.ReadFile(file), "primero");
  }
  EXPECT_EQ(Files(), (std::vector<std::string>{"O.DBF", "T.DBF"}));
  platform::WriteFileAtomically(files, file, "segundo");
  EXPECT_EQ(files.ReadFile(file), "segundo");
}
#endif

// ---- Date and time -----------------------------------------------------------------------------

std::chrono::system_clock::time_point LocalTime(int year, int month, int day, int hour, int minute,
                                                int second) {
  std::tm local{};
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  local.tm_isdst = -1;
  return std::chrono::system_clock::from_time_t(std::mktime(&local));
}

#ifndef _WIN32
TEST_F(PlatformTest, ThePlainLocaleGivesDayMonthYearAndTwentyFourHours) {
  Environment environment;
  for (const char* locale : {"C", "POSIX", "C.UTF-8", "xx_NOWHERE.UTF-8"}) {
    environment.Set("LC_ALL", std::string(locale));
    EXPECT_EQ(platform::ShortDateLongTime(LocalTime(2024, 3, 5, 17, 8, 9)), "05/03/2024 17:08:09")
        << locale;
  }
  environment.Set("LC_ALL", std::nullopt);
  environment.Set("LC_TIME", std::string("C"));
  environment.Set("LANG", std::string("xx_NOWHERE"));
  EXPECT_EQ(platform::ShortDateLongTime(LocalTime(2023, 12, 31, 0, 0, 1)), "31/12/2023 00:00:01");
}
#endif

// Spanish formats write the day first and the hours from 0 to 23. On Windows they are the user
// locale's, fixed for a program when it starts (tc-wine runs the Windows tests with a Spanish
// one); elsewhere LC_TIME's, or dd/mm/yyyy when the system lacks that locale.
TEST_F(PlatformTest, TheDateFollowsTheUsersLocale) {
  const auto when = LocalTime(2024, 3, 5, 17, 8, 9);
#ifdef _WIN32
  const std::string locale = UserLocaleName();
  const std::string text = platform::ShortDateLongTime(when);
  // Windows writes the Spanish short date as 05/03/2024, Wine as 5/3/2024.
  if (locale == "es-ES") {
    EXPECT_TRUE(std::regex_match(text, std::regex("0?5/0?3/2024 17:08:09"))) << text;
  } else if (locale == "en-US") {
    EXPECT_TRUE(std::regex_match(text, std::regex("0?3/0?5/2024 0?5:08:09 PM"))) << text;
  } else {
    GTEST_SKIP() << "no expectation written for the user locale " << locale << ": " << text;
  }
#else
  Environment environment;
  environment.Set("LC_ALL", std::string("es_ES.UTF-8"));
  const std::string text = platform::ShortDateLongTime(when);
  EXPECT_TRUE(std::regex_match(text, std::regex("05/03/(20)?24 17:08:09"))) << text;
#endif
}

// ---- INI files ---------------------------------------------------------------------------------

TEST_F(PlatformTest, IniValueInANewFileUsesWindowsLineEnds) {
  platform::WriteIniValue(files, dir / "Clepsa.ini", "Transformadores", "Transformado", "1");
  EXPECT_EQ(ReadFile(dir / "Clepsa.ini"), "[Transformadores]\r\nTransformado=1\r\n");
}

TEST_F(PlatformTest, IniValueReplacesOnlyItsOwnLine) {
  const std::string before =
      "; configuraci\xF3n de Clepsa\n"
      "[General]\n"
      "Transformado=7\n"
      "\n"
      "[transformadores]\n"
      "# comentario\n"
      ";Transformado=5\n"
      "Otro = a=b\n"
      "  TRANSFORMADO = 0\n"
      "Ultimo=x\n"
      "\n"
      "[Final]\n"
      "k=v";
  WriteFile(dir / "Clepsa.ini", before);
  platform::WriteIniValue(files, dir / "Clepsa.ini", "Transformadores", "Transformado", "-1");
  std::string expected = before;
  expected.replace(expected.find("  TRANSFORMADO = 0"), 18, "TRANSFORMADO=-1");
  EXPECT_EQ(ReadFile(dir / "Clepsa.ini"), expected);

  // Read back: the section's own key, not the one of [General] nor the commented one.
  EXPECT_EQ(platform::ReadIniValue(files, dir / "Clepsa.ini", "TRANSFORMADORES", "transformado"), "-1");
  EXPECT_EQ(platform::ReadIniValue(files, dir / "Clepsa.ini", "Transformadores", "Otro"), "a=b");
  EXPECT_EQ(platform::ReadIniValue(files, dir / "Clepsa.ini", "Final", "k"), "v");
  EXPECT_EQ(platform::ReadIniValue(files, dir / "Clepsa.ini", "Final", "Transformado"), std::nullopt);
  EXPECT_EQ(platform::ReadIniValue(files, dir / "no.ini", "Final", "k"), std::nullopt);
}

TEST_F(PlatformTest, IniValueJoinsItsSectionOrStartsOne) {
  WriteFile(dir / "a.ini", "[Transformadores]\r\nOtro=1\r\n\r\n[Siguiente]\r\nTransformado=3\r\n");
  platform::WriteIniValue(files, dir / "a.ini", "TRANSFORMADORES", "Transformado", "1");
  EXPECT_EQ(
      ReadFile(dir / "a.ini"),
      "[Transformadores]\r\nOtro=1\r\nTransformado=1\r\n\r\n[Siguiente]\r\nTransformado=3\r\n");

  WriteFile(dir / "b.ini", "[Otra]\nk=v");  // no line end at the end
  platform::WriteIniValue(files, dir / "b.ini", "Transformadores", "Transformado", "0");
  EXPECT_EQ(ReadFile(dir / "b.ini"), "[Otra]\nk=v\n[Transformadores]\nTransformado=0\n");

  WriteFile(dir / "c.ini", "[Transformadores]");
  platform::WriteIniValue(files, dir / "c.ini", "Transformadores", "Transformado", "1");
  EXPECT_EQ(ReadFile(dir / "c.ini"), "[Transformadores]\r\nTransformado=1\r\n");
}

TEST_F(PlatformTest, IniFileIsUntouchedWhenTheWriteFails) {
  WriteFile(dir / "Clepsa.ini", "[Transformadores]\nTransformado=0\n");
  FaultyFileSystem faulty([](std::string_view operation, const fs::path&) {
    if (operation == "rename") throw Error("disco lleno");
  });
  EXPECT_THROW(
      platform::WriteIniValue(faulty, dir / "Clepsa.ini", "Transformadores", "Transformado", "1"),
      Error);
  EXPECT_EQ(ReadFile(dir / "Clepsa.ini"), "[Transformadores]\nTransformado=0\n");
  EXPECT_EQ(Files(), (std::vector<std::string>{"Clepsa.ini"}));
}

}  // namespace
}  // namespace tc::test
