// The operating-system seam: everything the core needs of the platform (working folder, file
// reads and atomic writes, file locks, date and time formats, INI files, program location) sits
// behind these functions, with a Windows and a POSIX implementation.
#pragma once

#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/error.h"

namespace tc::platform {

// A file operation that failed. The message names the file and gives the reason; reason() is
// the reason alone, in Spanish ("no existe", "no queda espacio en el disco"), for callers that
// word the message themselves.
class FileError : public Error {
 public:
  FileError(const std::string& message, ErrorKind kind, std::string where, std::string reason)
      : Error(message, kind, std::move(where)), reason_(std::move(reason)) {}
  const std::string& reason() const noexcept { return reason_; }

 private:
  std::string reason_;
};

// The reason of a system error number (errno on POSIX, GetLastError on Windows) in Spanish, and
// the kind of error it makes of a file operation.
struct SystemFailure {
  std::string reason;
  ErrorKind kind = ErrorKind::DiskOrPermission;
};
SystemFailure DescribeSystemError(unsigned long code);

// Throws the FileError "<what> <file>: <reason>." for the system error `code`.
[[noreturn]] void ThrowFileError(std::string_view what, const std::filesystem::path& file,
                                 unsigned long code);

// Paths from and to UTF-8 text, whatever the platform's native encoding.
std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string PathToUtf8(const std::filesystem::path& path);
// A path as Windows-1252 text, for the core's messages.
std::string PathText(const std::filesystem::path& path);

// An environment variable's value as UTF-8 (on Windows read from the wide environment, which
// holds every letter); nullopt when it is unset or empty.
std::optional<std::string> EnvironmentVariable(std::string_view name);

// Clepsa's working folder: `override` when given, else $TRANSCLEPSA_ZTEMP, else C:\ZTEMP on
// Windows and $WINEPREFIX/drive_c/ZTEMP (default ~/.wine/drive_c/ZTEMP) elsewhere.
std::filesystem::path WorkingDir(const std::optional<std::filesystem::path>& override = {});

// The folder of the running executable.
std::filesystem::path ExecutableDir();

// Called first thing in a program's main: on Linux with the GNU C library, the memory the process
// takes from the system comes in transparent huge pages (which may start the program once more,
// with the same arguments), and what is freed at the top of its heap stays for what comes next.
// Elsewhere it does nothing.
void UseHugeMemoryPages(char** argv);

// An advisory lock on a file, held while the object lives: shared (readers) or exclusive.
// Acquire fails, without waiting, when another process holds a conflicting lock.
class FileLock {
 public:
  FileLock();
  ~FileLock();
  FileLock(FileLock&&) noexcept;
  FileLock& operator=(FileLock&&) noexcept;
  // Returns an empty optional when the file is locked by another program.
  static std::optional<FileLock> TryAcquire(const std::filesystem::path& path, bool exclusive);
  void Release();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The current date and time on the user's clock.
std::tm LocalNow();

// The date of `when` in the user's short date format, one blank, and the time in the long time
// format. Windows: the user's settings; elsewhere the formats of LC_TIME, and
// "dd/mm/yyyy hh:mm:ss" in the C or POSIX locale.
std::string ShortDateLongTime(std::chrono::system_clock::time_point when);

class FileSystem;

// The value of `key` in `section` of an INI file (names compared without regard to letter case,
// blanks around the value removed); nullopt when the file, the section or the key is missing.
std::optional<std::string> ReadIniValue(FileSystem& files, const std::filesystem::path& file,
                                        std::string_view section, std::string_view key);

// Sets `key`=`value` in `section` of an INI file, keeping every other line as it was (comments,
// order, other sections, line endings); creates the file or the section when missing. The file is
// written completely or not at all.
void WriteIniValue(FileSystem& files, const std::filesystem::path& file, std::string_view section,
                   std::string_view key, std::string_view value);

}  // namespace tc::platform
