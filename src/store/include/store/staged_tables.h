// The tables a run builds aside. A run opens a StagedTables on its working folder and hands it to
// the stages: each table a stage creates is written to a temporary file in that folder and opened
// from there by the stages after it, while the folder's own tables stay as they are (read through
// Folder()). Commit then moves every staged table into place in one crash-safe commit
// (CommitFiles: the old files kept as a backup generation, a journal for a killed run); Drop, or
// the destructor, removes the temporary files and leaves the folder as it was.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/database.h"
#include "store/safe_commit.h"
#include "store/schemas.h"
#include "store/table.h"

namespace tc::store {

// What the backup generation of a commit says about its run, and what is committed with the
// tables.
struct CommitDetails {
  std::string run = "conversion";  // what the generation says made it
  std::string document;            // the run's ITACA file (UTF-8)
  std::string template_code;       // the run's template and school (Windows-1252)
  std::string school;
  std::vector<GenerationExtra> extras;  // written into the generation (the run's report)
  std::vector<Replacement> external;    // files outside the folder committed with the tables
};

class StagedTables {
 public:
  // Nothing is written until a stage creates a table.
  explicit StagedTables(Database folder);
  ~StagedTables();  // drops what was not committed
  StagedTables(const StagedTables&) = delete;
  StagedTables& operator=(const StagedTables&) = delete;

  // The working folder: its tables are the ones before the run until Commit.
  const Database& Folder() const { return folder_; }

  // A new empty table with exactly these fields, in a temporary file of the folder; it takes the
  // place of the folder's table at Commit. A copy staged earlier in the run is replaced. The
  // result is open, shared.
  Table Create(const TableDef& table);
  // A table the run created (its name in any letter case). Throws TableError (TableMissing) for
  // any other: the folder's tables are opened through Folder().
  Table Open(std::string_view name, OpenMode mode);
  // The folder's table (its .DBF and .MDX, in any letter case) goes at Commit; a copy staged
  // earlier in the run goes now.
  void Remove(std::string_view name);

  // The staged file of a table the run created; none for any other, or one removed since.
  std::optional<std::filesystem::path> File(std::string_view name) const;
  // True when the run created or removed the table: Commit replaces or removes the folder's.
  bool Touches(std::string_view name) const;

  // Moves every staged table into place, removing the table's old .MDX, other letter cases of its
  // name and the files of the tables removed, together with `details.external`; crash-safe, the
  // old files kept as a backup generation, which it returns (none when the commit had nothing to
  // keep). Nothing moves while another program holds one of the tables to replace or remove
  // (TableError, InUse). A failed commit drops the staged tables; the folder is as it was.
  std::optional<GenerationInfo> Commit(const CommitDetails& details = {});
  // Removes the staged files; the folder stays as it was.
  void Drop();
  // True from the opening until Commit or Drop; after them nothing more can be staged.
  bool Pending() const { return pending_; }

 private:
  void RequirePending() const;

  Database folder_;
  bool pending_ = true;
  // Table name (upper case) -> its staged file; empty for a table removed.
  std::map<std::string, std::filesystem::path> staged_;

  class ImageCache;
  std::shared_ptr<ImageCache> images_;
};

}  // namespace tc::store
