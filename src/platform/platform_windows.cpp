// The platform layer on Windows (Visual C++ or MinGW).
#ifdef _WIN32

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <vector>

#include "base/error.h"
#include "platform/file_system.h"
#include "platform/platform.h"

namespace tc::platform {

namespace fs = std::filesystem;

namespace {

constexpr UINT kCorePage = 1252;  // text inside the core is Windows-1252

std::string Narrow(const wchar_t* text, int length) {
  if (length <= 0) return {};
  int size = ::WideCharToMultiByte(kCorePage, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(kCorePage, 0, text, length, out.data(), size, nullptr, nullptr);
  return out;
}

// The system's own text, in the user's language, for codes we do not word ourselves.
std::string SystemMessage(DWORD error) {
  wchar_t* buffer = nullptr;
  DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string message = Narrow(buffer, static_cast<int>(length));
  if (buffer != nullptr) ::LocalFree(buffer);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return message.empty() ? "error " + std::to_string(error) : message;
}

// Closes a handle when it goes out of scope.
class Handle {
 public:
  explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  ~Handle() { Reset(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE release() {
    HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return handle;
  }
  void Reset(HANDLE next = INVALID_HANDLE_VALUE) {
    if (valid()) ::CloseHandle(handle_);
    handle_ = next;
  }

 private:
  HANDLE handle_;
};

// Moves `from` over `to`; returns 0 or the system's error code. Windows will not replace a file
// that is open. The tables of this program open their files sharing deletion, so a file that only
// they hold steps aside under a temporary name (deleted at once: it goes when its last holder
// closes it) and the new file takes its place. A program that holds the file without sharing
// deletion, as Clepsa does with a table it has open, keeps it: ERROR_SHARING_VIOLATION, which
// is reported as the file being in use.
DWORD MoveOver(const fs::path& from, const fs::path& to) {
  constexpr DWORD kReplace = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
  if (::MoveFileExW(from.c_str(), to.c_str(), kReplace)) return 0;
  const DWORD error = ::GetLastError();
  const DWORD attributes = ::GetFileAttributesW(to.c_str());
  const bool open_target = (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) &&
                           attributes != INVALID_FILE_ATTRIBUTES &&
                           (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) == 0;
  if (!open_target) return error;
  const fs::path dir = to.parent_path();
  const fs::path aside = TemporaryPath(RealFileSystem(), dir.empty() ? fs::path(".") : dir,
                                      PathToUtf8(to.filename()) + ".~");
  if (!::MoveFileExW(to.c_str(), aside.c_str(), MOVEFILE_WRITE_THROUGH)) {
    // Held without sharing deletion: Windows says access denied or sharing violation.
    const DWORD held = ::GetLastError();
    return held == ERROR_ACCESS_DENIED ? ERROR_SHARING_VIOLATION : held;
  }
  if (!::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) {
    const DWORD failed = ::GetLastError();
    ::MoveFileExW(aside.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH);
    return failed;
  }
  ::DeleteFileW(aside.c_str());
  return 0;
}

}  // namespace

SystemFailure DescribeSystemError(unsigned long code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
      return {"no existe", ErrorKind::InputMissing};
    case ERROR_ACCESS_DENIED:
      return {"no hay permiso", ErrorKind::DiskOrPermission};
    case ERROR_WRITE_PROTECT:
      return {"el disco est\xE1 protegido contra escritura", ErrorKind::DiskOrPermission};
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return {"no queda espacio en el disco", ErrorKind::DiskOrPermission};
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return {"otro programa lo est\xE1 usando", ErrorKind::InUse};
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return {"ya existe", ErrorKind::DiskOrPermission};
    case ERROR_NOT_SAME_DEVICE:
      return {"no se puede mover de un disco a otro", ErrorKind::DiskOrPermission};
    case ERROR_INVALID_NAME:
      return {"el nombre no es v\xE1lido", ErrorKind::InputMissing};
    case ERROR_FILENAME_EXCED_RANGE:
      return {"el nombre es demasiado largo", ErrorKind::DiskOrPermission};
    case ERROR_TOO_MANY_OPEN_FILES:
      return {"hay demasiados archivos abiertos", ErrorKind::DiskOrPermission};
    case ERROR_FILE_TOO_LARGE:
      return {"el archivo pasar\xED" "a del tama\xF1o m\xE1ximo que el sistema permite escribir",
              ErrorKind::DiskOrPermission};
    default:
      return {"error del sistema " + std::to_string(code) + " (" +
                  SystemMessage(static_cast<DWORD>(code)) + ")",
              ErrorKind::DiskOrPermission};
  }
}

std::optional<std::string> EnvironmentVariable(std::string_view name) {
  const std::wstring wide_name = PathFromUtf8(name).wstring();
  std::wstring value(256, L'\0');
  for (;;) {
    const DWORD length = ::GetEnvironmentVariableW(wide_name.c_str(), value.data(),
                                                   static_cast<DWORD>(value.size()));
    if (length == 0) return std::nullopt;  // unset, or set to nothing
    if (length < value.size()) {
      value.resize(length);
      return PathToUtf8(fs::path(value));
    }
    value.resize(length);  // too small: `length` counts the terminating zero
  }
}

// Windows' heap has no such setting a program can make without privileges.
void UseHugeMemoryPages(char**) {}

std::filesystem::path ExecutableDir() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) break;
    if (length < buffer.size()) return fs::path(std::wstring(buffer.data(), length)).parent_path();
    buffer.resize(buffer.size() * 2);
  }
  std::error_code ignored;
  return fs::current_path(ignored);
}

// ---------------------------------------------------------------------------------------------
// The file system

namespace {

class WindowsFileSystem final : public FileSystem {
 public:
  std::string ReadFile(const fs::path& path) override {
    Handle file(::CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) ThrowFileError("No se puede leer el archivo", path, ::GetLastError());
    LARGE_INTEGER size{};
    std::string bytes;
    if (::GetFileSizeEx(file.get(), &size) && size.QuadPart > 0) {
      bytes.reserve(static_cast<std::size_t>(size.QuadPart));
    }
    char buffer[1 << 16];
    for (;;) {
      DWORD got = 0;
      if (!::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) {
        ThrowFileError("No se puede leer el archivo", path, ::GetLastError());
      }
      if (got == 0) break;
      bytes.append(buffer, got);
    }
    return bytes;
  }

  bool IsFile(const fs::path& path) override {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  }

  bool IsFolder(const fs::path& path) override {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }

  void WriteNewFile(const fs::path& path, std::span<const std::string_view> pieces) override {
    WriteNewFileFrom(path, InTurn(pieces));
  }

  void WriteNewFileFrom(const fs::path& path, const PieceSource& source) override {
    Handle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) ThrowFileError("No se puede escribir el archivo", path, ::GetLastError());
    DWORD error = 0;
    try {
      while (error == 0) {
        const std::optional<std::string_view> piece = source();
        if (!piece) break;
        const char* data = piece->data();
        std::size_t left = piece->size();
        while (error == 0 && left > 0) {
          DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(left, 1u << 30));
          DWORD written = 0;
          if (!::WriteFile(file.get(), data, chunk, &written, nullptr)) {
            error = ::GetLastError();
          }
          data += written;
          left -= written;
        }
      }
    } catch (...) {
      file.Reset();
      ::DeleteFileW(path.c_str());
      throw;
    }
    if (error == 0 && !::FlushFileBuffers(file.get())) error = ::GetLastError();
    file.Reset();
    if (error != 0) {
      ::DeleteFileW(path.c_str());
      ThrowFileError("No se puede escribir el archivo", path, error);
    }
  }

  void Rename(const fs::path& from, const fs::path& to) override {
    if (DWORD error = MoveOver(from, to)) {
      const SystemFailure failure = DescribeSystemError(error);
      throw FileError("No se puede mover el archivo " + PathText(from) + " a " + PathText(to) +
                          ": " + failure.reason + ".",
                      failure.kind, PathText(to), failure.reason);
    }
  }

  bool Remove(const fs::path& file) override {
    if (::DeleteFileW(file.c_str())) return true;
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return false;
    ThrowFileError("No se puede borrar el archivo", file, error);
  }

  bool Link(const fs::path& file, const fs::path& link) override {
    return ::CreateHardLinkW(link.c_str(), file.c_str(), nullptr) != 0;
  }

  void CreateFolder(const fs::path& folder) override {
    if (::CreateDirectoryW(folder.c_str(), nullptr)) return;
    const DWORD error = ::GetLastError();
    if (error == ERROR_ALREADY_EXISTS && IsFolder(folder)) return;
    ThrowFileError("No se puede crear la carpeta", folder, error);
  }

  void RemoveFolder(const fs::path& folder) override {
    if (::RemoveDirectoryW(folder.c_str())) return;
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;
    ThrowFileError("No se puede borrar la carpeta", folder, error);
  }

  // The attributes a user sets (read-only, hidden, archive...), which a replacing file keeps.
  std::optional<FileMode> Mode(const fs::path& file) override {
    const DWORD attributes = ::GetFileAttributesW(file.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    constexpr DWORD kKept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                            FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
    return FileMode{attributes & kKept};
  }

  void SetMode(const fs::path& file, FileMode mode) override {
    const DWORD attributes = mode.bits == 0 ? FILE_ATTRIBUTE_NORMAL : mode.bits;
    if (!::SetFileAttributesW(file.c_str(), attributes)) {
      ThrowFileError("No se pueden cambiar los atributos del archivo", file, ::GetLastError());
    }
  }

  bool IsReadOnly(const fs::path& file) override {
    const DWORD attributes = ::GetFileAttributesW(file.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  }

  std::optional<FileLock> TryLock(const fs::path& file, bool exclusive, bool create) override {
    if (create) {
      Handle handle(::CreateFileW(file.c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!handle.valid()) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_SHARING_VIOLATION) return std::nullopt;
        ThrowFileError("No se puede crear el archivo", file, error);
      }
    }
    return FileLock::TryAcquire(file, exclusive);
  }
};

}  // namespace

FileSystem& RealFileSystem() {
  static WindowsFileSystem files;
  return files;
}

// ---------------------------------------------------------------------------------------------
// File locks: LockFileEx on one byte far beyond any table's end, so that the lock, which Windows
// enforces on reads and writes of the locked range, never gets in the way of reading the data.

namespace {
constexpr DWORD kLockOffsetLow = 0xFFFFFFFEu;
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFFu;
}  // namespace

struct FileLock::State {
  Handle file;
};

FileLock::FileLock() = default;
FileLock::~FileLock() { Release(); }
FileLock::FileLock(FileLock&&) noexcept = default;
FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    Release();
    state_ = std::move(other.state_);
  }
  return *this;
}

void FileLock::Release() {
  if (state_ && state_->file.valid()) {
    OVERLAPPED where{};
    where.Offset = kLockOffsetLow;
    where.OffsetHigh = kLockOffsetHigh;
    ::UnlockFileEx(state_->file.get(), 0, 1, 0, &where);
  }
  state_.reset();
}

std::optional<FileLock> FileLock::TryAcquire(const std::filesystem::path& path, bool exclusive) {
  // An exclusive holder may replace the file: it asks for the right to delete it, which a program
  // holding the file without sharing deletion (Clepsa with the table open) refuses, as it refuses
  // the replacement itself. Readers share everything.
  Handle file(::CreateFileW(path.c_str(), GENERIC_READ | (exclusive ? DELETE : 0),
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    DWORD error = ::GetLastError();
    // Another program opened the file without sharing it: it holds it.
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) return std::nullopt;
    ThrowFileError("No se puede abrir el archivo", path, error);
  }
  OVERLAPPED where{};
  where.Offset = kLockOffsetLow;
  where.OffsetHigh = kLockOffsetHigh;
  DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
  if (!::LockFileEx(file.get(), flags, 0, 1, 0, &where)) {
    DWORD error = ::GetLastError();
    if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) return std::nullopt;
    ThrowFileError("No se puede bloquear el archivo", path, error);
  }
  FileLock lock;
  lock.state_ = std::make_unique<State>();
  lock.state_->file.Reset(file.release());
  return lock;
}

// ---------------------------------------------------------------------------------------------
// Date and time in the user's formats

std::string ShortDateLongTime(std::chrono::system_clock::time_point when) {
  // time_point -> FILETIME (100 ns since 1601) -> local SYSTEMTIME.
  constexpr long long kEpochDifference = 116444736000000000LL;
  long long ticks =
      std::chrono::duration_cast<std::chrono::microseconds>(when.time_since_epoch()).count() * 10 +
      kEpochDifference;
  FILETIME utc{static_cast<DWORD>(ticks & 0xFFFFFFFF), static_cast<DWORD>(ticks >> 32)};
  FILETIME local_file{};
  SYSTEMTIME local{};
  ::FileTimeToLocalFileTime(&utc, &local_file);
  ::FileTimeToSystemTime(&local_file, &local);

  wchar_t date[128];
  wchar_t time[128];
  int date_length = ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &local, nullptr,
                                      date, 128, nullptr);
  int time_length = ::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &local, nullptr, time, 128);
  // The lengths count the terminating zero.
  return Narrow(date, date_length - 1) + " " + Narrow(time, time_length - 1);
}

}  // namespace tc::platform

#endif  // _WIN32
