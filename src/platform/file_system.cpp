// What every file system offers on top of its own operations: atomic replacement of a file, and
// temporary names.
#include "platform/file_system.h"

#include <atomic>
#include <chrono>
#include <random>
#include <string>

namespace tc::platform {

namespace fs = std::filesystem;

std::vector<fs::path> FileSystem::List(const fs::path& folder) {
  std::vector<fs::path> entries;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    entries.push_back(it->path());
  }
  return entries;
}

bool FileSystem::SameFile(const fs::path& a, const fs::path& b) {
  std::error_code ignored;
  return fs::equivalent(a, b, ignored);
}

std::optional<std::int64_t> FileSystem::WriteTime(const fs::path& file) {
  std::error_code error;
  const fs::file_time_type written = fs::last_write_time(file, error);
  if (error) return std::nullopt;
  const auto system = std::chrono::file_clock::to_sys(written);
  return std::chrono::duration_cast<std::chrono::seconds>(system.time_since_epoch()).count();
}

void FileSystem::WriteNewFileFrom(const fs::path& file, const PieceSource& source) {
  std::string whole;
  while (const std::optional<std::string_view> piece = source()) whole.append(*piece);
  const std::string_view piece(whole);
  WriteNewFile(file, std::span<const std::string_view>(&piece, 1));
}

PieceSource InTurn(std::span<const std::string_view> pieces) {
  return [pieces, next = std::size_t{0}]() mutable -> std::optional<std::string_view> {
    if (next == pieces.size()) return std::nullopt;
    return pieces[next++];
  };
}

std::filesystem::path TemporaryPath(FileSystem& files, const std::filesystem::path& folder,
                                    std::string_view stem) {
  static std::atomic<unsigned> counter{0};
  static const unsigned seed = std::random_device{}();
  std::mt19937 random(seed ^ (counter.fetch_add(1) * 2654435761u));
  constexpr char kHex[] = "0123456789ABCDEF";
  for (int attempt = 0; attempt < 1000; ++attempt) {
    std::string name(stem);
    unsigned value = random();
    for (int i = 0; i < 8; ++i) name += kHex[(value >> (i * 4)) & 0xF];
    name += ".tmp";
    fs::path candidate = folder / PathFromUtf8(name);
    if (!files.IsFile(candidate) && !files.IsFolder(candidate)) return candidate;
  }
  throw Error("No se encuentra un nombre libre para un archivo temporal en " +
                  PathText(folder) + ".",
              ErrorKind::DiskOrPermission, PathText(folder));
}

void CopyFile(FileSystem& files, const std::filesystem::path& from,
              const std::filesystem::path& to) {
  const std::string bytes = files.ReadFile(from);
  const std::string_view piece(bytes);
  files.WriteNewFile(to, std::span<const std::string_view>(&piece, 1));
}

namespace {

void RemoveTree(FileSystem& files, const std::filesystem::path& folder, bool synced) {
  if (!files.IsFolder(folder)) return;
  for (const fs::path& entry : files.List(folder)) {
    if (files.IsFolder(entry)) {
      RemoveTree(files, entry, synced);
    } else if (synced) {
      files.Remove(entry);
    } else {
      files.RemoveUnsynced(entry);
    }
  }
  files.RemoveFolder(folder);
}

}  // namespace

void RemoveTree(FileSystem& files, const std::filesystem::path& folder) {
  RemoveTree(files, folder, true);
}

void RemoveTreeUnsynced(FileSystem& files, const std::filesystem::path& folder) {
  RemoveTree(files, folder, false);
}

void RemoveQuietly(FileSystem& files, const fs::path& file) {
  try {
    files.Remove(file);
  } catch (...) {
    // Whatever stopped the removal: the file is a leftover the caller may leave behind.
  }
}

bool IsTemporaryName(std::string_view name) {
  constexpr std::string_view kEnd = ".tmp";
  constexpr std::size_t kDigits = 8;
  if (name.size() < 1 + kDigits + kEnd.size() || !name.ends_with(kEnd)) return false;
  const std::size_t digits = name.size() - kEnd.size() - kDigits;
  if (name[digits - 1] != '~') return false;
  for (std::size_t i = digits; i < digits + kDigits; ++i) {
    const char c = name[i];
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

namespace {

void WriteAtomically(FileSystem& files, const std::filesystem::path& target,
                     std::span<const std::string_view> bytes, bool synced) {
  const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
  const fs::path temporary = TemporaryPath(files, folder, PathToUtf8(target.filename()) + ".~");
  try {
    if (synced) {
      files.WriteNewFile(temporary, bytes);
    } else {
      files.WriteNewFileUnsynced(temporary, bytes);
    }
    // The new file takes the permissions of the one it replaces.
    if (const std::optional<FileMode> mode = files.Mode(target)) files.SetMode(temporary, *mode);
    if (synced) {
      files.Rename(temporary, target);
    } else {
      files.RenameUnsynced(temporary, target);
    }
  } catch (const FileError& error) {
    try {
      files.Remove(temporary);
    } catch (...) {
      // A temporary that cannot go: the write's own error is the one to report.
    }
    throw FileError("No se puede escribir el archivo " + PathText(target) + ": " +
                        error.reason() + ".",
                    error.kind(), PathText(target), error.reason());
  } catch (...) {
    // Any other failure (a stopped run, no memory): the temporary goes, the error goes on.
    try {
      files.Remove(temporary);
    } catch (...) {
      // A temporary that cannot go: the error going on is the one to report.
    }
    throw;
  }
}

}  // namespace

void WriteFileAtomically(FileSystem& files, const std::filesystem::path& target,
                         std::initializer_list<std::string_view> pieces) {
  WriteAtomically(files, target, std::span(pieces.begin(), pieces.size()), true);
}

void WriteFileAtomically(FileSystem& files, const std::filesystem::path& target,
                         std::span<const std::string_view> pieces) {
  WriteAtomically(files, target, pieces, true);
}

void WriteFileAtomicallyUnsynced(FileSystem& files, const std::filesystem::path& target,
                                 std::initializer_list<std::string_view> pieces) {
  WriteAtomically(files, target, std::span(pieces.begin(), pieces.size()), false);
}

}  // namespace tc::platform
