#include "store/database.h"

#include <algorithm>
#include <vector>

#include "base/codepage.h"
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
std::vector<fs::path> Matches(platform::FileSystem& files, const fs::path& dir,
                              const std::string& file_name) {
  std::vector<fs::path> found;
  const std::string wanted = dbf::AsciiUpper(file_name);
  for (const fs::path& entry : files.List(dir)) {
    if (dbf::AsciiUpper(entry.filename().string()) == wanted && files.IsFile(entry)) {
      found.push_back(entry);
    }
  }
  std::stable_partition(found.begin(), found.end(), [&](const fs::path& path) {
    return path.filename().string() == file_name;
  });
  return found;
}

// True when another program holds the file (Windows refuses to delete or replace such a file;
// elsewhere the lock is the only sign of it).
bool HeldByOther(platform::FileSystem& files, const fs::path& path) {
  try {
    return !files.TryLock(path, true).has_value();
  } catch (...) {
    // A lock that cannot even be tried: taken as free; replacing the file then says otherwise.
    return false;
  }
}

// The error of a table another program holds: nothing moves then.
TableError HeldError(const std::string& table) {
  return TableError("La tabla " + table + " est\xE1 en uso por otro programa.", ErrorKind::InUse,
                    table);
}

}  // namespace

Database::Database(std::filesystem::path dir, platform::FileSystem& files)
    : dir_(std::move(dir)), files_(files) {}

Database::~Database() {
  try {
    Discard();
  } catch (...) {
    // A destructor cannot report; what stays staged is removed by the next run.
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
  std::vector<fs::path> matches = Matches(files_, dir_, file);
  return matches.empty() ? dir_ / file : matches.front();
}

bool Database::Exists(std::string_view name) const {
  if (staging_) {
    auto staged = staged_.find(dbf::AsciiUpper(name));
    if (staged != staged_.end()) return !staged->second.empty();
  }
  return files_.IsFile(TablePath(name));
}

void Database::DeleteFiles(std::string_view name) {
  const std::string table = dbf::AsciiUpper(name);
  if (staging_) {
    // Recorded for Commit; a copy staged earlier in this run goes now.
    std::filesystem::path& slot = staged_[table];
    if (!slot.empty()) RemoveQuietly(files_, slot);
    slot.clear();
    (*images_)[table].image.reset();
    return;
  }
  for (const fs::path& file : Matches(files_, dir_, table + std::string(kTableExtension))) {
    if (!HeldByOther(files_, file)) RemoveQuietly(files_, file);
  }
  for (const fs::path& file : Matches(files_, dir_, table + std::string(kIndexExtension))) {
    RemoveQuietly(files_, file);
  }
}

Table Database::Recreate(const TableDef& table) {
  if (!files_.IsFolder(dir_)) {
    throw TableError("No se puede crear la tabla " + table.name + ": no existe la carpeta " +
                         platform::PathText(dir_) + ".",
                     ErrorKind::InputMissing, platform::PathText(dir_));
  }
  const std::string name = dbf::AsciiUpper(table.name);
  DeleteFiles(name);
  if (!staging_) {
    return Table::Create(dir_ / (name + std::string(kTableExtension)), table.fields, {}, files_);
  }

  fs::path staged =
      platform::TemporaryPath(files_, dir_,
                              std::string(dbf::kStagedPrefix) + name + dbf::kStagedSeparator);
  try {
    KeptImage& kept = (*images_)[name];
    ++kept.generation;  // the new empty file
    kept.image.reset();
    Table created = Table::Create(staged, table.fields, KeeperFor(name), files_);
    staged_[name] = staged;
    return created;
  } catch (...) {
    // Whatever stopped the creation: the staged file goes, the error goes on.
    RemoveQuietly(files_, staged);
    throw;
  }
}

Table Database::Open(std::string_view name, OpenMode mode) {
  const std::string table = dbf::AsciiUpper(name);
  if (!files_.IsFolder(dir_)) {
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
    return Table::Open(TablePath(table), mode, KeeperFor(table), std::move(image), files_);
  }
  return Table::Open(TablePath(table), mode, files_);
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
  if (files_.IsFile(JournalFile(dir_))) {
    // A commit that could neither end nor undo its moves: its journal names the staged files,
    // and the next run finishes the moves with them.
    staged_.clear();
    staging_ = false;
    return;
  }
  for (const auto& [name, staged] : staged_) {
    if (!staged.empty()) RemoveQuietly(files_, staged);
  }
  staged_.clear();
  staging_ = false;
}

std::optional<GenerationInfo> Database::Commit(const CommitDetails& details) {
  if (!staging_) return std::nullopt;

  // Nothing moves while another program holds one of the tables to replace or delete.
  for (const auto& [name, staged] : staged_) {
    for (const fs::path& file : Matches(files_, dir_, name + std::string(kTableExtension))) {
      if (HeldByOther(files_, file)) {
        const std::string held = name;  // Discard clears the map `name` lives in
        Discard();
        throw HeldError(held);
      }
    }
  }

  // Each staged table takes the place of its file; a table deleted while staging, other letter
  // cases of a table's name and the indexes of the tables replaced go.
  CommitPlan plan;
  plan.run = details.run;
  plan.document = details.document;
  plan.template_code = details.template_code;
  plan.school = details.school;
  plan.extras = details.extras;
  plan.generations_to_keep = GenerationsToKeep(files_, dir_);
  for (const auto& [name, staged] : staged_) {
    const fs::path target = dir_ / (name + std::string(kTableExtension));
    for (const fs::path& file : Matches(files_, dir_, name + std::string(kTableExtension))) {
      if (staged.empty() || file.filename() != target.filename()) plan.removals.push_back(file);
    }
    if (!staged.empty()) plan.replacements.push_back({staged, target, true});
    for (const fs::path& index : Matches(files_, dir_, name + std::string(kIndexExtension))) {
      plan.removals.push_back(index);
    }
  }
  plan.replacements.insert(plan.replacements.end(), details.external.begin(),
                           details.external.end());

  std::optional<GenerationInfo> generation;
  try {
    generation = CommitFiles(files_, dir_, plan);
  } catch (const Error& error) {
    Discard();
    if (error.kind() == ErrorKind::InUse) throw;
    throw TableError("No se pueden guardar las tablas en la carpeta " + platform::PathText(dir_) +
                         ". " + error.what(),
                     error.kind(), error.where());
  } catch (...) {
    // Any other failure (a stopped run, no memory): nothing stays staged, the error goes on.
    Discard();
    throw;
  }
  staged_.clear();
  images_->clear();
  staging_ = false;
  return generation;
}

std::optional<GenerationInfo> Database::Restore(const GenerationInfo& generation,
                                               std::vector<GenerationExtra> extras,
                                               std::vector<Replacement> external) {
  std::vector<fs::path> targets;
  for (const auto* names : {&generation.files, &generation.absent}) {
    for (const std::string& name : *names) targets.push_back(dir_ / platform::PathFromUtf8(name));
  }
  for (const fs::path& target : targets) {
    if (files_.IsFile(target) && HeldByOther(files_, target)) {
      for (const Replacement& replacement : external) RemoveQuietly(files_, replacement.staged);
      throw HeldError(dbf::AsciiUpper(platform::PathToUtf8(target.stem())));
    }
  }

  CommitPlan plan;
  plan.run = "restauracion";
  const std::string number = platform::PathToUtf8(generation.folder.filename());  // "0001"
  plan.document = "copia " + number + " (" + Cp1252ToUtf8(RunNameOf(generation.run)) + ", " +
                  generation.date + ")";
  plan.generations_to_keep = GenerationsToKeep(files_, dir_);
  plan.extras = std::move(extras);
  std::vector<fs::path> staged;
  for (const Replacement& replacement : external) staged.push_back(replacement.staged);
  try {
    for (const std::string& name : generation.files) {
      const fs::path kept = generation.folder / platform::PathFromUtf8(name);
      if (!files_.IsFile(kept)) {
        throw TableError("Falta el archivo " + platform::PathText(kept) +
                             " de la copia de seguridad " + number + ": no se puede restaurar.",
                         ErrorKind::TableDamaged, platform::PathText(kept));
      }
      staged.push_back(platform::TemporaryPath(
          files_, dir_, std::string(dbf::kStagedPrefix) + name + dbf::kStagedSeparator));
      platform::CopyFile(files_, kept, staged.back());
      plan.replacements.push_back({staged.back(), dir_ / platform::PathFromUtf8(name), true});
    }
    // The documents outside the folder the run overwrote go back where they were (when their
    // folder is still there), what is there now kept in turn.
    for (const std::string& utf8 : generation.outside) {
      const fs::path target = platform::PathFromUtf8(utf8);
      const fs::path kept = generation.folder / target.filename();
      if (!files_.IsFile(kept) || !files_.IsFolder(target.parent_path())) continue;
      const fs::path copy = platform::TemporaryPath(
          files_, target.parent_path(), platform::PathToUtf8(target.filename()) + ".~");
      RecordExternalTemporary(files_, dir_, copy);
      staged.push_back(copy);
      platform::CopyFile(files_, kept, copy);
      plan.replacements.push_back({copy, target, true, true});
    }
    for (const std::string& name : generation.absent) {
      const fs::path created = dir_ / platform::PathFromUtf8(name);
      if (files_.IsFile(created)) plan.removals.push_back(created);
    }
    plan.replacements.insert(plan.replacements.end(), external.begin(), external.end());
    std::optional<GenerationInfo> made = CommitFiles(files_, dir_, plan);
    if (!generation.outside.empty()) ForgetExternalTemporaries(files_, dir_);
    return made;
  } catch (...) {
    // Before the commit point, whatever the cause, the copies go; the error goes on.
    if (!files_.IsFile(JournalFile(dir_))) {
      for (const fs::path& file : staged) RemoveQuietly(files_, file);
      if (!generation.outside.empty()) ForgetExternalTemporaries(files_, dir_);
    }
    throw;
  }
}

}  // namespace tc::store
