// The file-system seam: every read, write, rename, removal, listing and lock of a file that the
// core makes goes through a FileSystem, given to the object that needs it (a Database and its
// tables, a document, the journal of a commit). The program uses RealFileSystem(); a test hands
// an object a FileSystem of its own that fails, or stops, at the operation it chooses.
#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/pieces.h"
#include "platform/platform.h"

namespace tc::platform {

// A file's permissions: the mode bits on POSIX systems, the attributes on Windows.
struct FileMode {
  std::uint32_t bits = 0;
  friend bool operator==(const FileMode&, const FileMode&) = default;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // The whole file. Throws FileError naming it.
  virtual std::string ReadFile(const std::filesystem::path& file) = 0;
  virtual bool IsFile(const std::filesystem::path& path) = 0;
  virtual bool IsFolder(const std::filesystem::path& path) = 0;
  // The entries of a folder (files and folders), in no particular order; none when the folder
  // does not exist.
  // The same on every system (std::filesystem): a file system changes it only to watch it.
  virtual std::vector<std::filesystem::path> List(const std::filesystem::path& folder);
  // Whether two names are one file (the same file reached by two paths, or a link); false when
  // either is not there. The same on every system (std::filesystem), as List.
  virtual bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);
  // When the file was last written, in seconds since the epoch; nullopt when it is not there.
  // The same on every system (std::filesystem), as List.
  virtual std::optional<std::int64_t> WriteTime(const std::filesystem::path& file);

  // A new file with these pieces one after the other, on the disk when the call returns. Fails
  // when the file exists already; a failed write leaves no file.
  virtual void WriteNewFile(const std::filesystem::path& file,
                            std::span<const std::string_view> pieces) = 0;
  // The same with the pieces taken one at a time from `source` as they come (each written before
  // the next is asked for), until it has none. When `source` throws, no file is left and its
  // exception goes on. Unless a file system writes as they come, the whole text is gathered
  // first and given to WriteNewFile.
  virtual void WriteNewFileFrom(const std::filesystem::path& file, const PieceSource& source);
  // Moves `from` over `to` in one step, replacing `to`; on the disk when the call returns.
  virtual void Rename(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
  // The same two, but on the disk only once Sync has been called on the file: for files that
  // matter only from a later step on (the tables a run builds aside until it commits them), so
  // that each is made durable once rather than at every save. Where the file system makes no
  // such difference, WriteNewFile and Rename themselves.
  virtual void WriteNewFileUnsynced(const std::filesystem::path& file,
                                    std::span<const std::string_view> pieces) {
    WriteNewFile(file, pieces);
  }
  virtual void RenameUnsynced(const std::filesystem::path& from, const std::filesystem::path& to) {
    Rename(from, to);
  }
  // Puts these files, and their names in their folders, on the disk.
  virtual void Sync(std::span<const std::filesystem::path> files) { (void)files; }
  // Removes a file; false when there was none.
  virtual bool Remove(const std::filesystem::path& file) = 0;
  // The same, gone from the disk only once the system gets to it: for files no later step reads
  // or counts on being gone (those of a folder already moved out of the way). Where the file
  // system makes no such difference, Remove itself.
  virtual bool RemoveUnsynced(const std::filesystem::path& file) { return Remove(file); }
  // A second name `link` for the existing file `file` (a hard link): no copy is made, and the
  // file keeps its content when `file` is later replaced. False when the file system cannot
  // (then the caller copies instead).
  virtual bool Link(const std::filesystem::path& file, const std::filesystem::path& link) = 0;
  // Creates a folder (its parent must exist); nothing when it exists.
  virtual void CreateFolder(const std::filesystem::path& folder) = 0;
  // Removes an empty folder; nothing when there is none.
  virtual void RemoveFolder(const std::filesystem::path& folder) = 0;

  // The file's permissions, nullopt when there is no such file.
  virtual std::optional<FileMode> Mode(const std::filesystem::path& file) = 0;
  virtual void SetMode(const std::filesystem::path& file, FileMode mode) = 0;
  // Whether the user made the file read-only (no write permission for anyone, or the
  // read-only attribute); false for a file that does not exist.
  virtual bool IsReadOnly(const std::filesystem::path& file) = 0;

  // An advisory lock on an existing file (FileLock::TryAcquire); with `create`, the file is
  // made empty first when it does not exist.
  virtual std::optional<FileLock> TryLock(const std::filesystem::path& file, bool exclusive,
                                          bool create = false) = 0;
};

// The pieces one after the other, as a source (`pieces` outlives it).
PieceSource InTurn(std::span<const std::string_view> pieces);

// The operating system's own file system.
FileSystem& RealFileSystem();

// Writes the pieces to a temporary file beside `target` and moves it into place, so that
// `target` is either left as it was or replaced by the complete new content, keeping the
// permissions of the file it replaces; no temporary file remains after a failure. Throws
// FileError naming `target`.
void WriteFileAtomically(FileSystem& fs, const std::filesystem::path& target,
                         std::initializer_list<std::string_view> pieces);
// The same, on the disk only once FileSystem::Sync is called on `target`.
void WriteFileAtomicallyUnsynced(FileSystem& fs, const std::filesystem::path& target,
                                 std::initializer_list<std::string_view> pieces);
inline void WriteFileAtomically(FileSystem& fs, const std::filesystem::path& target,
                                std::string_view bytes) {
  WriteFileAtomically(fs, target, {bytes});
}
void WriteFileAtomically(FileSystem& fs, const std::filesystem::path& target,
                         std::span<const std::string_view> pieces);

// A name for a temporary file in `folder` that no file has yet: `stem`, eight hexadecimal
// digits, ".tmp".
std::filesystem::path TemporaryPath(FileSystem& fs, const std::filesystem::path& folder,
                                    std::string_view stem);

// Copies `from` to the new file `to` (the content only).
void CopyFile(FileSystem& fs, const std::filesystem::path& from, const std::filesystem::path& to);

// Removes a folder with everything in it; nothing when there is none.
void RemoveTree(FileSystem& fs, const std::filesystem::path& folder);
// The same with its files removed unsynced (RemoveUnsynced): for a folder nobody reads any more,
// which a crash may leave half removed.
void RemoveTreeUnsynced(FileSystem& fs, const std::filesystem::path& folder);

// Removes a file when it can; a failure is not reported (what stays is a leftover that the next
// run, or the next commit, removes).
void RemoveQuietly(FileSystem& fs, const std::filesystem::path& file);

// Whether a file name is one of the temporary names this program makes: the stem ends in "~"
// (as every stem given to TemporaryPath does), then eight hexadecimal digits and ".tmp".
bool IsTemporaryName(std::string_view file_name);

}  // namespace tc::platform
