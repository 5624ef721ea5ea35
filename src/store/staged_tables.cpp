#include "store/staged_tables.h"

#include <stdexcept>
#include <vector>

#include "base/error.h"
#include "dbf_format.h"
#include "platform/platform.h"

namespace tc::store {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kTableExtension = ".DBF";
constexpr std::string_view kIndexExtension = ".MDX";

}  // namespace

// The bytes of the staged tables a stage closed, so that the next stage opens a table without
// reading its file again. A table's file has versions: a new one when it is created and with
// every save. The bytes of a closed table are kept only when they are the current version: the
// close saved them, or the table was opened at the current version and nothing is kept yet (so a
// stale copy closed late never replaces a newer one). A table closed after its StagedTables is
// gone keeps nothing: its keeper holds the cache weakly.
class StagedTables::ImageCache {
 public:
  // The table's file is new, or gone: what was kept is stale.
  void Restart(const std::string& table) {
    Entry& entry = entries_[table];
    ++entry.version;
    entry.image.reset();
  }

  // The bytes kept for the table, handed over to the table being opened.
  std::optional<TableImage> Take(const std::string& table) {
    Entry& entry = entries_[table];
    std::optional<TableImage> image = std::move(entry.image);
    entry.image.reset();
    return image;
  }

  void Clear() { entries_.clear(); }

  // What a table opened now hands its bytes to when it closes.
  static ImageKeeper KeeperFor(const std::shared_ptr<ImageCache>& cache, const std::string& table) {
    std::weak_ptr<ImageCache> weak = cache;
    const std::uint64_t opened_at = cache->entries_[table].version;
    return [weak, table, opened_at](TableImage image, bool saved) {
      const std::shared_ptr<ImageCache> images = weak.lock();
      if (!images) return;
      Entry& entry = images->entries_[table];
      if (saved) {
        ++entry.version;
        entry.image = std::move(image);
      } else if (entry.version == opened_at && !entry.image) {
        entry.image = std::move(image);
      }
    };
  }

 private:
  struct Entry {
    std::uint64_t version = 0;
    std::optional<TableImage> image;
  };
  std::map<std::string, Entry> entries_;
};

StagedTables::StagedTables(Database folder)
    : folder_(std::move(folder)), images_(std::make_shared<ImageCache>()) {}

StagedTables::~StagedTables() {
  try {
    Drop();
  } catch (...) {
    // A destructor cannot report; what stays staged is removed by the next run.
  }
}

void StagedTables::RequirePending() const {
  if (!pending_) throw std::logic_error("the staged tables were committed or dropped already");
}

Table StagedTables::Create(const TableDef& table) {
  RequirePending();
  platform::FileSystem& files = folder_.Files();
  const fs::path& dir = folder_.Dir();
  dbf::RequireTableFolder(files, dir, "crear", table.name);
  const std::string name = dbf::AsciiUpper(table.name);
  Remove(name);
  const fs::path staged = platform::TemporaryPath(
      files, dir, std::string(dbf::kStagedPrefix) + name + dbf::kStagedSeparator);
  try {
    images_->Restart(name);
    Table created =
        Table::Create(staged, table.fields, ImageCache::KeeperFor(images_, name), files);
    staged_[name] = staged;
    return created;
  } catch (...) {
    // Whatever stopped the creation: the staged file goes, the error goes on.
    RemoveQuietly(files, staged);
    throw;
  }
}

Table StagedTables::Open(std::string_view name, OpenMode mode) {
  RequirePending();
  const std::string table = dbf::AsciiUpper(name);
  const fs::path& dir = folder_.Dir();
  dbf::RequireTableFolder(folder_.Files(), dir, "abrir", table);
  const std::optional<fs::path> staged = File(table);
  if (!staged) {
    throw TableError(
        "No se encuentra la tabla " + table + " en la carpeta " + platform::PathText(dir) + ".",
        ErrorKind::TableMissing, table);
  }
  // The bytes a stage left, when it left them, stand for the file.
  return Table::Open(*staged, mode, ImageCache::KeeperFor(images_, table), images_->Take(table),
                     folder_.Files());
}

void StagedTables::Remove(std::string_view name) {
  RequirePending();
  const std::string table = dbf::AsciiUpper(name);
  fs::path& slot = staged_[table];
  if (!slot.empty()) RemoveQuietly(folder_.Files(), slot);
  slot.clear();
  images_->Restart(table);
}

std::optional<fs::path> StagedTables::File(std::string_view name) const {
  const auto staged = staged_.find(dbf::AsciiUpper(name));
  if (staged == staged_.end() || staged->second.empty()) return std::nullopt;
  return staged->second;
}

bool StagedTables::Touches(std::string_view name) const {
  return staged_.count(dbf::AsciiUpper(name)) != 0;
}

void StagedTables::Drop() {
  images_->Clear();
  // A commit that could neither end nor undo its moves leaves its journal, which names the staged
  // files: the next run finishes the moves with them.
  if (!folder_.Files().IsFile(JournalFile(folder_.Dir()))) {
    for (const auto& [name, staged] : staged_) {
      if (!staged.empty()) RemoveQuietly(folder_.Files(), staged);
    }
  }
  staged_.clear();
  pending_ = false;
}

std::optional<GenerationInfo> StagedTables::Commit(const CommitDetails& details) {
  if (!pending_) return std::nullopt;
  try {
    // Nothing moves while another program holds one of the tables to replace or remove.
    for (const auto& [name, staged] : staged_) folder_.RequireNotHeld(name);

    // Each staged table takes the place of its file; a table removed, other letter cases of a
    // table's name and the indexes of the tables replaced go.
    const fs::path& dir = folder_.Dir();
    CommitPlan plan;
    plan.run = details.run;
    plan.document = details.document;
    plan.template_code = details.template_code;
    plan.school = details.school;
    plan.extras = details.extras;
    plan.generations_to_keep = GenerationsToKeep(folder_.Files(), dir);
    for (const auto& [name, staged] : staged_) {
      const fs::path target = dir / (name + std::string(kTableExtension));
      for (const fs::path& file : folder_.TableFiles(name, kTableExtension)) {
        if (staged.empty() || file.filename() != target.filename()) plan.removals.push_back(file);
      }
      if (!staged.empty()) plan.replacements.push_back({staged, target, true});
      for (const fs::path& index : folder_.TableFiles(name, kIndexExtension)) {
        plan.removals.push_back(index);
      }
    }
    plan.replacements.insert(plan.replacements.end(), details.external.begin(),
                             details.external.end());
    // The stages saved the tables without waiting for the disk: they go there once, now, before
    // the commit's journal names them.
    std::vector<fs::path> staged_files;
    for (const auto& [name, staged] : staged_) {
      if (!staged.empty()) staged_files.push_back(staged);
    }

    // The tables' images are not read again whatever the commit's outcome: their room goes to
    // the report's files, rendered now.
    images_->Clear();

    std::optional<GenerationInfo> generation;
    try {
      folder_.Files().Sync(staged_files);
      generation = CommitFiles(folder_.Files(), dir, plan);
    } catch (const Error& error) {
      if (error.kind() == ErrorKind::InUse) throw;
      throw TableError("No se pueden guardar las tablas en la carpeta " + platform::PathText(dir) +
                           ". " + error.what(),
                       error.kind(), error.where());
    }
    staged_.clear();
    pending_ = false;
    return generation;
  } catch (...) {
    // Any other failure (a stopped run, no memory): nothing stays staged, the error goes on.
    Drop();
    throw;
  }
}

}  // namespace tc::store
