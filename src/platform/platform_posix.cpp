// The platform layer on POSIX systems (Linux, the BSDs, macOS).
#ifndef _WIN32

#include <fcntl.h>
#include <langinfo.h>
#include <locale.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#if defined(__APPLE__)
#include <mach-o/dyld.h>
#endif

#include "base/error.h"
#include "platform/file_system.h"
#include "platform/platform.h"

namespace tc::platform {

namespace fs = std::filesystem;

namespace {


// Closes a descriptor when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() { Reset(); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void Reset(int next = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = next;
  }

 private:
  int fd_;
};

// Writes everything, retrying on interruption and short writes.
bool WriteAll(int fd, std::string_view bytes) {
  const char* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    ssize_t written = ::write(fd, data, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  return true;
}

// A file to be put on the disk once whole: what is written of it is sent on its way to the disk
// a few megabytes at a time as it goes, so that the sync at its end waits only for the last of
// it (a report file of tens of megabytes is otherwise all written out then). Linux only; the
// sync at the end is what makes it durable, this only starts it sooner.
class WritingOut {
 public:
  WritingOut(int fd, bool to_disk) : fd_(fd), to_disk_(to_disk) {}
  void Written(std::size_t bytes) {
#if defined(__linux__)
    written_ += bytes;
    if (!to_disk_ || written_ - sent_ < kAtOnce) return;
    ::sync_file_range(fd_, static_cast<off_t>(sent_), static_cast<off_t>(written_ - sent_),
                      SYNC_FILE_RANGE_WRITE);
    sent_ = written_;
#else
    static_cast<void>(bytes);
#endif
  }

 private:
  static constexpr std::size_t kAtOnce = 4 << 20;
  int fd_;
  bool to_disk_;
  std::size_t written_ = 0, sent_ = 0;
};

// Makes a rename durable by flushing the folder that holds the entry. Best effort.
void SyncFolder(const fs::path& dir) {
  int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

SystemFailure DescribeSystemError(unsigned long code) {
  const int error = static_cast<int>(code);
  switch (error) {
    case ENOENT:
      return {"no existe", ErrorKind::InputMissing};
    case ENOTDIR:
      return {"una parte de la ruta no es una carpeta", ErrorKind::InputMissing};
    case EACCES:
    case EPERM:
      return {"no hay permiso", ErrorKind::DiskOrPermission};
    case EROFS:
      return {"el disco es de solo lectura", ErrorKind::DiskOrPermission};
    case ENOSPC:
      return {"no queda espacio en el disco", ErrorKind::DiskOrPermission};
#ifdef EDQUOT
    case EDQUOT:
      return {"se ha llegado al l\xEDmite de espacio en disco del usuario",
              ErrorKind::DiskOrPermission};
#endif
    case EEXIST:
      return {"ya existe", ErrorKind::DiskOrPermission};
    case EISDIR:
      return {"es una carpeta", ErrorKind::DiskOrPermission};
    case EBUSY:
    case ETXTBSY:
      return {"otro programa lo est\xE1 usando", ErrorKind::InUse};
    case EMFILE:
    case ENFILE:
      return {"hay demasiados archivos abiertos", ErrorKind::DiskOrPermission};
    case ENAMETOOLONG:
      return {"el nombre es demasiado largo", ErrorKind::DiskOrPermission};
    case EXDEV:
      return {"no se puede mover de un disco a otro", ErrorKind::DiskOrPermission};
    case EIO:
      return {"error de lectura o escritura en el disco", ErrorKind::DiskOrPermission};
    case EFBIG:
      return {"el archivo pasar\xED" "a del tama\xF1o m\xE1ximo que el sistema permite escribir",
              ErrorKind::DiskOrPermission};
    default:
      return {"error del sistema " + std::to_string(error), ErrorKind::DiskOrPermission};
  }
}

std::optional<std::string> EnvironmentVariable(std::string_view name) {
  const char* value = std::getenv(std::string(name).c_str());
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

// A run's memory (a school's document tree, its tables, its report) is touched page by page as it
// grows, and each first touch of a 4 KB page is a fault the system answers: on a virtual machine
// a few microseconds each, which at scale 10 came to more than the conversion's own work (38,000
// faults, a third of the run's time). In huge pages of 2 MB the same run faults 14,000 times.
// glibc's allocator asks for them only when its tunable says so as the process starts, so the
// program starts itself once more with it set; and keeps what is freed at the top of its heap for
// the next stage rather than handing it back to be faulted in again. Every thread takes its blocks
// from that one heap too: a thread's own heap grows a 4 KB page at a time, each growth a call to
// the system and each page a fault of its own (a conversion at scale 40 made 3,400 such calls and
// faulted three times as often), which cost more than the threads waiting for each other.
void UseHugeMemoryPages(char** argv) {
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
  constexpr std::array<std::string_view, 2> kSettings = {"glibc.malloc.hugetlb=1",
                                                         "glibc.malloc.arena_max=1"};
  const std::optional<std::string> given = EnvironmentVariable("GLIBC_TUNABLES");
  // A setting the user gave is kept as given; ours are added after.
  std::string wanted = given.value_or("");
  for (const std::string_view setting : kSettings) {
    if (wanted.find(setting.substr(0, setting.find('=') + 1)) != std::string::npos) continue;
    if (!wanted.empty()) wanted += ':';
    wanted += setting;
  }
  // Under valgrind the executable is valgrind's own: not started again.
  const bool valgrind =
      EnvironmentVariable("LD_PRELOAD").value_or("").find("vgpreload") != std::string::npos;
  if (wanted != given.value_or("") && !valgrind && argv != nullptr && argv[0] != nullptr) {
    if (setenv("GLIBC_TUNABLES", wanted.c_str(), 1) == 0) {
      execv("/proc/self/exe", argv);
      // Not started again (no /proc): on as it is, with the environment it was given.
      if (given) {
        setenv("GLIBC_TUNABLES", given->c_str(), 1);
      } else {
        unsetenv("GLIBC_TUNABLES");
      }
    }
  }
  // Up to 1 GB freed at the heap's top kept. Blocks below a huge page come from the heap, where
  // one freed is used again without a fault: the lists and rows a stage grows and lets go (each
  // growth a new block) would otherwise each be a mapping of their own, faulted in afresh and
  // handed back (at scale 10 a quarter of the conversion's time, for 3 MB less at its peak).
  // Larger blocks keep mappings of their own: in the heap they left gaps the next stage's larger
  // blocks could not use (with every block up to 32 MB there, the peak was 10 % higher).
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  mallopt(M_MMAP_THRESHOLD, 2 << 20);
#else
  static_cast<void>(argv);
#endif
}

std::filesystem::path ExecutableDir() {
#if defined(__APPLE__)
  char buffer[4096];
  uint32_t size = sizeof buffer;
  if (_NSGetExecutablePath(buffer, &size) == 0) {
    std::error_code error;
    fs::path resolved = fs::canonical(buffer, error);
    return (error ? fs::path(buffer) : resolved).parent_path();
  }
#else
  std::error_code error;
  fs::path self = fs::read_symlink("/proc/self/exe", error);
  if (!error) return self.parent_path();
#endif
  std::error_code ignored;
  return fs::current_path(ignored);
}

// ---------------------------------------------------------------------------------------------
// The file system

namespace {

// `room` bytes more at the end of `bytes`, filled by `read` (which says how many it read) and
// cut to them. Not zeroed first where the library can leave them as they are: a document of
// tens of megabytes would be written over twice.
template <typename Read>
void ReadInto(std::string& bytes, std::size_t room, Read read) {
  const std::size_t kept = bytes.size();
#if defined(__cpp_lib_string_resize_and_overwrite)
  bytes.resize_and_overwrite(kept + room,
                             [&](char* at, std::size_t) { return kept + read(at + kept, room); });
#else
  bytes.resize(kept + room);
  bytes.resize(kept + read(bytes.data() + kept, room));
#endif
}

class PosixFileSystem final : public FileSystem {
 public:
  std::string ReadFile(const fs::path& path) override {
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) ThrowFileError("No se puede leer el archivo", path, errno);
    // Read straight into the result, growing it only when the file grew since fstat: one byte
    // more than its size lets the read that finds the end happen without a copy of the whole.
    struct stat info {};
    std::size_t room = 1 << 16;
    if (::fstat(fd.get(), &info) == 0 && info.st_size > 0) {
      room = static_cast<std::size_t>(info.st_size) + 1;
    }
    std::string bytes;
    int error = 0;
    bool ended = false;
    while (!ended && error == 0) {
      ReadInto(bytes, room, [&](char* at, std::size_t count) {
        std::size_t done = 0;
        while (done < count) {
          const ssize_t got = ::read(fd.get(), at + done, count - done);
          if (got < 0 && errno == EINTR) continue;
          if (got < 0) {
            error = errno;
            break;
          }
          if (got == 0) {
            ended = true;
            break;
          }
          done += static_cast<std::size_t>(got);
        }
        return done;
      });
      room = 1 << 16;
    }
    if (error != 0) ThrowFileError("No se puede leer el archivo", path, error);
    return bytes;
  }

  bool IsFile(const fs::path& path) override {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
  }

  bool IsFolder(const fs::path& path) override {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
  }

  void WriteNewFile(const fs::path& file, std::span<const std::string_view> pieces) override {
    Write(file, InTurn(pieces), true);
  }
  void WriteNewFileUnsynced(const fs::path& file,
                            std::span<const std::string_view> pieces) override {
    Write(file, InTurn(pieces), false);
  }
  void WriteNewFileFrom(const fs::path& file, const PieceSource& source) override {
    Write(file, source, true);
  }

  void Rename(const fs::path& from, const fs::path& to) override {
    RenameFile(from, to);
    SyncFolder(to.parent_path());
  }
  void RenameUnsynced(const fs::path& from, const fs::path& to) override { RenameFile(from, to); }

  void Sync(std::span<const fs::path> files) override {
    std::vector<fs::path> folders;
    for (const fs::path& file : files) {
      Descriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
      if (fd.get() < 0 || ::fsync(fd.get()) != 0) {
        ThrowFileError("No se puede escribir el archivo", file, errno);
      }
      if (std::find(folders.begin(), folders.end(), file.parent_path()) == folders.end()) {
        folders.push_back(file.parent_path());
      }
    }
    for (const fs::path& folder : folders) SyncFolder(folder);
  }

  static void Write(const fs::path& file, const PieceSource& source, bool sync) {
    Descriptor fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd.get() < 0) ThrowFileError("No se puede escribir el archivo", file, errno);
    int error = 0;
    WritingOut writing(fd.get(), sync);
    try {
      while (const std::optional<std::string_view> piece = source()) {
        if (!WriteAll(fd.get(), *piece)) {
          error = errno;
          break;
        }
        writing.Written(piece->size());
      }
    } catch (...) {
      fd.Reset();
      ::unlink(file.c_str());
      throw;
    }
    if (error == 0 && sync && ::fsync(fd.get()) != 0) error = errno;
    if (error == 0 && ::close(fd.release()) != 0) error = errno;
    if (error != 0) {
      fd.Reset();
      ::unlink(file.c_str());
      ThrowFileError("No se puede escribir el archivo", file, static_cast<unsigned long>(error));
    }
  }

  static void RenameFile(const fs::path& from, const fs::path& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) {
      const SystemFailure failure = DescribeSystemError(errno);
      throw FileError("No se puede mover el archivo " + PathText(from) + " a " + PathText(to) +
                          ": " + failure.reason + ".",
                      failure.kind, PathText(to), failure.reason);
    }
  }

  bool Remove(const fs::path& file) override {
    const bool removed = RemoveUnsynced(file);
    if (removed) SyncFolder(file.parent_path());
    return removed;
  }
  bool RemoveUnsynced(const fs::path& file) override {
    if (::unlink(file.c_str()) == 0) return true;
    if (errno == ENOENT) return false;
    ThrowFileError("No se puede borrar el archivo", file, errno);
  }

  bool Link(const fs::path& file, const fs::path& link) override {
    if (::link(file.c_str(), link.c_str()) != 0) return false;
    SyncFolder(link.parent_path());
    return true;
  }

  void CreateFolder(const fs::path& folder) override {
    if (::mkdir(folder.c_str(), 0777) == 0) {
      SyncFolder(folder.parent_path());
      return;
    }
    if (errno == EEXIST && IsFolder(folder)) return;
    ThrowFileError("No se puede crear la carpeta", folder, errno);
  }

  void RemoveFolder(const fs::path& folder) override {
    if (::rmdir(folder.c_str()) == 0) {
      SyncFolder(folder.parent_path());
      return;
    }
    if (errno == ENOENT) return;
    ThrowFileError("No se puede borrar la carpeta", folder, errno);
  }

  std::optional<FileMode> Mode(const fs::path& file) override {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) return std::nullopt;
    return FileMode{static_cast<std::uint32_t>(info.st_mode & 07777)};
  }

  void SetMode(const fs::path& file, FileMode mode) override {
    if (::chmod(file.c_str(), static_cast<mode_t>(mode.bits)) != 0) {
      ThrowFileError("No se pueden cambiar los permisos del archivo", file, errno);
    }
  }

  bool IsReadOnly(const fs::path& file) override {
    const std::optional<FileMode> mode = Mode(file);
    return mode && (mode->bits & 0222) == 0;
  }

  std::optional<FileLock> TryLock(const fs::path& file, bool exclusive, bool create) override {
    if (create) {
      Descriptor fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
      if (fd.get() < 0) ThrowFileError("No se puede crear el archivo", file, errno);
    }
    return FileLock::TryAcquire(file, exclusive);
  }
};

}  // namespace

FileSystem& RealFileSystem() {
  static PosixFileSystem files;
  return files;
}

// ---------------------------------------------------------------------------------------------
// File locks. Open-file-description locks where the system has them: they conflict between two
// opens in the same process as well as between processes, and they meet the record locks that
// Wine takes for Windows programs. Elsewhere flock, which also belongs to the open file.

struct FileLock::State {
  Descriptor fd;
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

void FileLock::Release() { state_.reset(); }

std::optional<FileLock> FileLock::TryAcquire(const std::filesystem::path& path, bool exclusive) {
  Descriptor fd(::open(path.c_str(), O_CLOEXEC | O_RDWR));
  bool writable = true;
  if (fd.get() < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
    fd.Reset(::open(path.c_str(), O_CLOEXEC | O_RDONLY));
    writable = false;
  }
  if (fd.get() < 0) {
    ThrowFileError("No se puede abrir el archivo", path, errno);
  }

  bool held = false;
  int error = 0;
#if defined(F_OFD_SETLK)
  struct flock request {};
  // A file we may only read cannot be written by us either; a read lock still keeps writers out.
  request.l_type = static_cast<short>(exclusive && writable ? F_WRLCK : F_RDLCK);
  request.l_whence = SEEK_SET;
  request.l_start = 0;
  request.l_len = 0;  // the whole file, however long it grows
  request.l_pid = 0;
  while (!(held = ::fcntl(fd.get(), F_OFD_SETLK, &request) == 0) && errno == EINTR) {
  }
  if (!held) error = errno;
#else
  (void)writable;
  while (!(held = ::flock(fd.get(), (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0) &&
         errno == EINTR) {
  }
  if (!held) error = errno;
#endif
  if (!held) {
    if (error == EAGAIN || error == EACCES || error == EWOULDBLOCK) return std::nullopt;
    ThrowFileError("No se puede bloquear el archivo", path, static_cast<unsigned long>(error));
  }
  FileLock lock;
  lock.state_ = std::make_unique<State>();
  lock.state_->fd.Reset(fd.release());
  return lock;
}

// ---------------------------------------------------------------------------------------------
// Date and time formats

namespace {

// The locale LC_TIME names in the environment, as setlocale(LC_TIME, "") would choose it.
std::string TimeLocaleName() {
  for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return value;
  }
  return "C";
}

bool IsPlainLocale(const std::string& name) {
  return name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0;
}

std::string Format(const char* format, const std::tm& when, locale_t locale) {
  char buffer[256];
  std::size_t length = locale != nullptr
                           ? ::strftime_l(buffer, sizeof buffer, format, &when, locale)
                           : std::strftime(buffer, sizeof buffer, format, &when);
  return std::string(buffer, length);
}

}  // namespace

std::string ShortDateLongTime(std::chrono::system_clock::time_point when) {
  std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm local{};
  ::localtime_r(&seconds, &local);

  const std::string name = TimeLocaleName();
  locale_t locale =
      IsPlainLocale(name) ? nullptr : ::newlocale(LC_TIME_MASK, name.c_str(), nullptr);
  if (locale == nullptr) {
    // The C locale's own formats are American; Clepsa's users read day/month/year.
    return Format("%d/%m/%Y %H:%M:%S", local, nullptr);
  }
  std::string date = Format(::nl_langinfo_l(D_FMT, locale), local, locale);
  std::string time = Format(::nl_langinfo_l(T_FMT, locale), local, locale);
  ::freelocale(locale);
  return date + " " + time;
}

}  // namespace tc::platform

#endif  // !_WIN32

// The address sanitizer has an operator new of its own, and takes a block it did not give for
// one from malloc (clang names it only as a feature).
#if defined(__SANITIZE_ADDRESS__)
#define TC_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TC_ADDRESS_SANITIZER 1
#endif
#endif

#if defined(__GLIBC__) && !defined(TC_ADDRESS_SANITIZER)
// Blocks from 2 MB up are mappings of their own (UseHugeMemoryPages), and a mapping is in huge
// pages only over the whole aligned 2 MB spans it covers: its two ends are faulted 4 KB at a
// time, up to a thousand faults for each large list, row buffer or report file. The system
// places a mapping whose length is a multiple of 2 MB at such a boundary, in huge pages
// throughout: blocks are asked for in that length, the allocator's header in its last 4 KB.
void* operator new(std::size_t size) {
  constexpr std::size_t kHugePage = 2 << 20;
  constexpr std::size_t kPage = 4096;
  if (size >= kHugePage - kPage) {
    // Not when that adds more than a quarter: the last huge page is all in memory once touched,
    // and a list grown to a power of two just passes a multiple of 2 MB with the header.
    const std::size_t rounded = (size + kPage + kHugePage - 1) / kHugePage * kHugePage - kPage;
    if (rounded - size <= size / 4) size = rounded;
  }
  for (;;) {
    if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
    const std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) throw std::bad_alloc();
    handler();
  }
}
#endif
