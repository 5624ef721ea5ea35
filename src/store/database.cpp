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

std::filesystem::path Database::TablePath(std::string_view name, std::string_view extension) const {
  const std::string file = dbf::AsciiUpper(name) + Extension(extension);
  std::vector<fs::path> matches = Matches(files_, dir_, file);
  return matches.empty() ? dir_ / file : matches.front();
}

bool Database::Exists(std::string_view name) const { return files_.IsFile(TablePath(name)); }

std::vector<fs::path> Database::TableFiles(std::string_view name,
                                           std::string_view extension) const {
  return Matches(files_, dir_, dbf::AsciiUpper(name) + Extension(extension));
}

void Database::RequireNotHeld(std::string_view name) const {
  for (const fs::path& file : TableFiles(name)) {
    if (HeldByOther(files_, file)) throw HeldError(dbf::AsciiUpper(name));
  }
}

void Database::DeleteFiles(std::string_view name) {
  for (const fs::path& file : TableFiles(name, kTableExtension)) {
    if (!HeldByOther(files_, file)) RemoveQuietly(files_, file);
  }
  for (const fs::path& file : TableFiles(name, kIndexExtension)) RemoveQuietly(files_, file);
}

Table Database::Recreate(const TableDef& table) {
  dbf::RequireTableFolder(files_, dir_, "crear", table.name);
  const std::string name = dbf::AsciiUpper(table.name);
  DeleteFiles(name);
    return Table::Create(dir_ / (name + std::string(kTableExtension)), table.fields, {}, files_);
}

Table Database::Open(std::string_view name, OpenMode mode) const {
  const std::string table = dbf::AsciiUpper(name);
  dbf::RequireTableFolder(files_, dir_, "abrir", table);
  if (!Exists(table)) {
    throw TableError("No se encuentra la tabla " + table + " en la carpeta " +
                         platform::PathText(dir_) + ".",
                     ErrorKind::TableMissing, table);
  }
  return Table::Open(TablePath(table), mode, files_);
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
