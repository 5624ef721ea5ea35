#include "store/database.h"

#include <algorithm>
#include <vector>

#include "base/error.h"
#include "dbf_format.h"
#include "platform/platform.h"

namespace tc::store {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kTableExtension = ".DBF";
constexpr std::string_view kIndexExtension = ".MDX";

std::string Extension(std::string_view extension) {
  std::string upper = dbf::AsciiUpper(extension);
  if (upper.empty() || upper.front() != '.') upper.insert(upper.begin(), '.');
  return upper;
}

// The files in `dir` named `file_name` whatever their letter case; one with exactly that name
// comes first.
std::vector<fs::path> Matches(const fs::path& dir, const std::string& file_name) {
  std::vector<fs::path> found;
  const std::string wanted = dbf::AsciiUpper(file_name);
  std::error_code error;
  for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
    if (dbf::AsciiUpper(it->path().filename().string()) == wanted) found.push_back(it->path());
  }
  std::stable_partition(found.begin(), found.end(), [&](const fs::path& path) {
    return path.filename().string() == file_name;
  });
  return found;
}

// Deletes a file; a failure is not reported.
void RemoveQuietly(const fs::path& path) {
  try {
    platform::CheckFault("remove", path);
    std::error_code ignored;
    fs::remove(path, ignored);
  } catch (...) {
  }
}

// True when another program holds the file (Windows refuses to delete or replace such a file;
// elsewhere the lock is the only sign of it).
bool HeldByOther(const fs::path& path) {
  try {
    return !platform::FileLock::TryAcquire(path, true).has_value();
  } catch (...) {
    return false;
  }
}

}  // namespace

Database::Database(std::filesystem::path dir) : dir_(std::move(dir)) {}

Database::~Database() {
  try {
    Discard();
  } catch (...) {
  }
}

const std::filesystem::path& Database::Dir() const { return dir_; }

std::filesystem::path Database::TablePath(std::string_view name, std::string_view extension) const {
  const std::string table = dbf::AsciiUpper(name);
  const std::string ext = Extension(extension);
  if (staging_ && ext == kTableExtension) {
    auto staged = staged_.find(table);
    if (staged != staged_.end() && !staged->second.empty()) return staged->second;
  }
  const std::string file = table + ext;
  std::vector<fs::path> matches = Matches(dir_, file);
  return matches.empty() ? dir_ / file : matches.front();
}

bool Database::Exists(std::string_view name) const {
  if (staging_) {
    auto staged = staged_.find(dbf::AsciiUpper(name));
    if (staged != staged_.end()) return !staged->second.empty();
  }
  std::error_code error;
  return fs::is_regular_file(TablePath(name), error);
}

void Database::DeleteFiles(std::string_view name) {
  const std::string table = dbf::AsciiUpper(name);
  if (staging_) {
    // Recorded for Commit; a copy staged earlier in this run goes now.
    std::filesystem::path& slot = staged_[table];
    if (!slot.empty()) RemoveQuietly(slot);
    slot.clear();
    (*images_)[table].image.reset();
    return;
  }
  for (const fs::path& file : Matches(dir_, table + std::string(kTableExtension))) {
    if (!HeldByOther(file)) RemoveQuietly(file);
  }
  for (const fs::path& file : Matches(dir_, table + std::string(kIndexExtension))) {
    RemoveQuietly(file);
  }
}

Table Database::Recreate(const TableDef& table) {
  std::error_code error;
  if (!fs::is_directory(dir_, error)) {
    throw TableError("No se puede crear la tabla " + table.name + ": no existe la carpeta " +
                         platform::PathText(dir_) + ".",
                     ErrorKind::InputMissing, platform::PathText(dir_));
  }
  const std::string name = dbf::AsciiUpper(table.name);
  DeleteFiles(name);
  if (!staging_) return Table::Create(dir_ / (name + std::string(kTableExtension)), table.fields);

  fs::path staged =
      platform::TemporaryPath(dir_, std::string(dbf::kStagedPrefix) + name + dbf::kStagedSeparator);
  try {
    KeptImage& kept = (*images_)[name];
    ++kept.generation;  // the new empty file
    kept.image.reset();
    Table created = Table::Create(staged, table.fields, KeeperFor(name));
    staged_[name] = staged;
    return created;
  } catch (...) {
    RemoveQuietly(staged);
    throw;
  }
}

Table Database::Open(std::string_view name, OpenMode mode) {
  const std::string table = dbf::AsciiUpper(name);
  std::error_code error;
  if (!fs::is_directory(dir_, error)) {
    throw TableError("No se puede abrir la tabla " + table + ": no existe la carpeta " +
                         platform::PathText(dir_) + ".",
                     ErrorKind::InputMissing, platform::PathText(dir_));
  }
  if (!Exists(table)) {
    throw TableError("No se encuentra la tabla " + table + " en la carpeta " +
                         platform::PathText(dir_) + ".",
                     ErrorKind::TableMissing, table);
  }
  if (staging_ && staged_.count(table) != 0) {
    // A table this run staged: its last image, when a stage left one, stands for the file.
    KeptImage& kept = (*images_)[table];
    std::optional<TableImage> image = std::move(kept.image);
    kept.image.reset();
    return Table::Open(TablePath(table), mode, KeeperFor(table), std::move(image));
  }
  return Table::Open(TablePath(table), mode);
}

ImageKeeper Database::KeeperFor(const std::string& table) {
  std::weak_ptr<ImageStore> store = images_;
  const std::uint64_t loaded = (*images_)[table].generation;
  return [store, table, loaded](TableImage image, bool saved) {
    auto images = store.lock();
    if (!images) return;
    KeptImage& kept = (*images)[table];
    if (saved) {
      ++kept.generation;
      kept.image = std::move(image);
    } else if (kept.generation == loaded && !kept.image) {
      kept.image = std::move(image);
    }
  };
}

void Database::BeginStaging() {
  if (staging_) return;
  staged_.clear();
  staging_ = true;
}

bool Database::Staging() const { return staging_; }

void Database::Discard() {
  images_->clear();
  for (const auto& [name, staged] : staged_) {
    if (!staged.empty()) RemoveQuietly(staged);
  }
  staged_.clear();
  staging_ = false;
}

void Database::Commit() {
  if (!staging_) return;

  // Nothing moves while another program holds one of the tables to replace or delete.
  for (const auto& [name, staged] : staged_) {
    for (const fs::path& file : Matches(dir_, name + std::string(kTableExtension))) {
      if (HeldByOther(file)) {
        const std::string held = name;  // Discard clears the map `name` lives in
        Discard();
        throw TableError("La tabla " + held + " est\xE1 en uso por otro programa.", ErrorKind::InUse,
                         held);
      }
    }
  }

  // Every staged table is complete on disk; now each old file steps aside under a temporary name
  // and the new one takes its place. A failure puts every old file back.
  struct Move {
    fs::path target;
    std::vector<std::pair<fs::path, fs::path>> set_aside;  // (temporary name, original name)
    bool placed = false;
  };
  std::vector<Move> moves;
  std::string moving;  // the table being moved, for the in-use message
  try {
    for (const auto& [name, staged] : staged_) {
      if (staged.empty()) continue;
      moving = name;
      Move& move = moves.emplace_back();
      move.target = dir_ / (name + std::string(kTableExtension));
      for (const fs::path& old : Matches(dir_, name + std::string(kTableExtension))) {
        fs::path aside = platform::TemporaryPath(
            dir_, std::string(dbf::kStagedPrefix) + name + dbf::kStagedSeparator);
        platform::RenameReplacing(old, aside);
        move.set_aside.emplace_back(aside, old);
      }
      platform::RenameReplacing(staged, move.target);
      move.placed = true;
    }
  } catch (const Error& error) {
    for (auto move = moves.rbegin(); move != moves.rend(); ++move) {
      bool target_restored = false;
      for (const auto& [aside, original] : move->set_aside) {
        target_restored = target_restored || original == move->target;
      }
      if (move->placed && !target_restored) RemoveQuietly(move->target);
      for (auto it = move->set_aside.rbegin(); it != move->set_aside.rend(); ++it) {
        try {
          platform::RenameReplacing(it->first, it->second);
        } catch (...) {
        }
      }
    }
    Discard();
    if (error.kind() == ErrorKind::InUse) {
      throw TableError("La tabla " + moving + " est\xE1 en uso por otro programa.", ErrorKind::InUse,
                       moving);
    }
    throw TableError("No se pueden guardar las tablas en la carpeta " + platform::PathText(dir_) +
                         ". " + error.what(),
                     error.kind(), error.where());
  }

  // Done: the old files and the indexes that belonged to them go, and so do deleted tables.
  for (const Move& move : moves) {
    for (const auto& [aside, original] : move.set_aside) RemoveQuietly(aside);
  }
  for (const auto& [name, staged] : staged_) {
    if (staged.empty()) {
      for (const fs::path& file : Matches(dir_, name + std::string(kTableExtension))) {
        RemoveQuietly(file);
      }
    }
    for (const fs::path& file : Matches(dir_, name + std::string(kIndexExtension))) {
      RemoveQuietly(file);
    }
  }
  staged_.clear();
  images_->clear();
  staging_ = false;
}

}  // namespace tc::store
