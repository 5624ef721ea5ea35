// The working folder (C:\ZTEMP) as a set of named tables: finding a table's files whatever the
// letter case of their names, deleting and re-creating tables, opening them, and putting a backup
// generation back. What it does happens at once; a run builds its tables aside with StagedTables
// (store/staged_tables.h) instead.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/safe_commit.h"
#include "store/schemas.h"
#include "store/table.h"

namespace tc::store {

class Database {
 public:
  // The folder must exist when a table is created or opened; it is never created here. Every
  // file operation on the folder and its tables goes through `files`.
  explicit Database(std::filesystem::path dir,
                    platform::FileSystem& files = platform::RealFileSystem());

  const std::filesystem::path& Dir() const { return dir_; }
  platform::FileSystem& Files() const { return files_; }

  // Path of a table's file with this extension (".DBF", ".MDX"): an existing file whose name
  // matches whatever its letter case, else the upper-case name.
  std::filesystem::path TablePath(std::string_view name, std::string_view extension = ".DBF") const;
  bool Exists(std::string_view name) const;
  // Every file of the table with this extension, whatever the letter case of its name; one with
  // exactly the upper-case name comes first.
  std::vector<std::filesystem::path> TableFiles(std::string_view name,
                                                std::string_view extension = ".DBF") const;
  // Throws TableError (InUse) naming the table when another program holds one of its files.
  void RequireNotHeld(std::string_view name) const;

  // Deletes the table's .DBF, then its .MDX; a missing file is skipped, a failed deletion is
  // not reported.
  void DeleteFiles(std::string_view name);
  // Deletes the table's files and creates it empty with its fields; the result is open, shared.
  Table Recreate(const TableDef& table);
  Table Open(std::string_view name, OpenMode mode) const;

  // Puts a backup generation back, all or nothing and crash-safe like a commit: every file it
  // kept returns to the folder, the files its run created go, and what this replaces is kept as
  // a generation of its own (returned), so that a restore can be undone too. Nothing changes
  // while another program holds one of those files. `extras` are written into the generation
  // made, `external` committed with the files put back (the run layer's records).
  std::optional<GenerationInfo> Restore(const GenerationInfo& generation,
                                        std::vector<GenerationExtra> extras = {},
                                        std::vector<Replacement> external = {});

 private:
  std::filesystem::path dir_;
  platform::FileSystem& files_;
};

}  // namespace tc::store
