// The platform seam: working folder, whole-file reads, atomic writes under faults, locks within
// the program and between programs, date formats and INI editing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <map>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "base/error.h"
#include "platform/platform.h"
#include "store/table.h"
#include "store/table_testing.h"
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
  void TearDown() override { platform::SetFaultHook(nullptr); }
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
  EXPECT_TRUE(fs::exists(platform::ExecutableDir() / "test_store") ||
              fs::exists(platform::ExecutableDir() / "test_store.exe"));
}

TEST_F(PlatformTest, ReadingAMissingFileNamesIt) {
  const std::string message = ErrorOf([&] { platform::ReadFile(dir / "NADA.DBF"); });
  EXPECT_EQ(message.rfind("No se puede leer el archivo " + (dir / "NADA.DBF").string() + ": ", 0),
            0u)
      << message;
  WriteFile(dir / "A.BIN", std::string("a\0b\x1A", 4));
  EXPECT_EQ(platform::ReadFile(dir / "A.BIN"), std::string("a\0b\x1A", 4));
}

TEST_F(PlatformTest, AtomicWritesReplaceWholeOrNotAtAll) {
  const fs::path file = dir / "T.DBF";
  platform::WriteFileAtomically(file, "primero");
  EXPECT_EQ(ReadFile(file), "primero");
#ifndef _WIN32
  ::chmod(file.c_str(), 0640);
#endif
  platform::WriteFileAtomically(file, "segundo");
  EXPECT_EQ(ReadFile(file), "segundo");
#ifndef _WIN32
  struct stat info {};
  ::stat(file.c_str(), &info);
  EXPECT_EQ(info.st_mode & 0777, 0640u);  // the replacement keeps the old permissions
#endif
  for (const char* failing : {"write", "rename"}) {
    std::vector<std::string> operations;
    platform::SetFaultHook([&](std::string_view operation, const fs::path& path) {
      operations.push_back(std::string(operation) + " " + path.filename().string());
      if (operation == failing) throw Error("disco lleno");
    });
    EXPECT_EQ(ErrorOf([&] { platform::WriteFileAtomically(file, "tercero"); }), "disco lleno");
    platform::SetFaultHook(nullptr);
    EXPECT_EQ(ReadFile(file), "segundo") << failing;
    EXPECT_EQ(Files(), (std::vector<std::string>{"T.DBF"})) << failing;
    EXPECT_EQ(operations.front(), "write T.DBF");
  }
  EXPECT_EQ(ErrorOf([&] {
              platform::WriteFileAtomically(dir / "NO" / "T.DBF", "x");
            }).rfind("No se puede escribir el archivo " + (dir / "NO" / "T.DBF").string(), 0),
            0u);
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

#ifndef _WIN32
// Runs `check` in a child process and gives its exit status.
int InChild(const std::function<int()>& check) {
  pid_t child = ::fork();
  if (child == 0) {
    int status = 3;
    try {
      status = check();
    } catch (...) {
      status = 4;
    }
    ::_exit(status);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(PlatformTest, LocksConflictBetweenProcesses) {
  Table table = store::Table::Create(dir / "PROFT.DBF", {Char("ABREV", 10)});
  table.Close();
  Table held = Table::Open(dir / "PROFT.DBF", store::OpenMode::Exclusive);
  EXPECT_EQ(InChild([&] {
              std::string error =
                  ErrorOf([&] { Table::Open(dir / "PROFT.DBF", store::OpenMode::Shared); });
              return error == "La tabla PROFT est\xE1 en uso por otro programa." ? 0 : 1;
            }),
            0);
  held.Close();
  Table reader = Table::Open(dir / "PROFT.DBF", store::OpenMode::Shared);
  EXPECT_EQ(InChild([&] {
              auto shared = FileLock::TryAcquire(dir / "PROFT.DBF", false);
              auto exclusive = FileLock::TryAcquire(dir / "PROFT.DBF", true);
              return shared && !exclusive ? 0 : 1;
            }),
            0);
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

// ---- INI files ---------------------------------------------------------------------------------

TEST_F(PlatformTest, IniValueInANewFileUsesWindowsLineEnds) {
  platform::WriteIniValue(dir / "Clepsa.ini", "Transformadores", "Transformado", "1");
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
  platform::WriteIniValue(dir / "Clepsa.ini", "Transformadores", "Transformado", "-1");
  std::string expected = before;
  expected.replace(expected.find("  TRANSFORMADO = 0"), 18, "TRANSFORMADO=-1");
  EXPECT_EQ(ReadFile(dir / "Clepsa.ini"), expected);
}

TEST_F(PlatformTest, IniValueJoinsItsSectionOrStartsOne) {
  WriteFile(dir / "a.ini", "[Transformadores]\r\nOtro=1\r\n\r\n[Siguiente]\r\nTransformado=3\r\n");
  platform::WriteIniValue(dir / "a.ini", "TRANSFORMADORES", "Transformado", "1");
  EXPECT_EQ(
      ReadFile(dir / "a.ini"),
      "[Transformadores]\r\nOtro=1\r\nTransformado=1\r\n\r\n[Siguiente]\r\nTransformado=3\r\n");

  WriteFile(dir / "b.ini", "[Otra]\nk=v");  // no line end at the end
  platform::WriteIniValue(dir / "b.ini", "Transformadores", "Transformado", "0");
  EXPECT_EQ(ReadFile(dir / "b.ini"), "[Otra]\nk=v\n[Transformadores]\nTransformado=0\n");

  WriteFile(dir / "c.ini", "[Transformadores]");
  platform::WriteIniValue(dir / "c.ini", "Transformadores", "Transformado", "1");
  EXPECT_EQ(ReadFile(dir / "c.ini"), "[Transformadores]\r\nTransformado=1\r\n");
}

TEST_F(PlatformTest, IniFileIsUntouchedWhenTheWriteFails) {
  WriteFile(dir / "Clepsa.ini", "[Transformadores]\nTransformado=0\n");
  platform::SetFaultHook([](std::string_view operation, const fs::path&) {
    if (operation == "rename") throw Error("disco lleno");
  });
  EXPECT_THROW(platform::WriteIniValue(dir / "Clepsa.ini", "Transformadores", "Transformado", "1"),
               Error);
  platform::SetFaultHook(nullptr);
  EXPECT_EQ(ReadFile(dir / "Clepsa.ini"), "[Transformadores]\nTransformado=0\n");
  EXPECT_EQ(Files(), (std::vector<std::string>{"Clepsa.ini"}));
}

}  // namespace
}  // namespace tc::test
