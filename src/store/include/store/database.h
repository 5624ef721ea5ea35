// The working folder (C:\ZTEMP) as a set of named tables: finding a table's files whatever the
// letter case of their names, deleting and re-creating working tables, opening them, and staging
// a whole run's tables aside so that a failed run leaves the folder as it was.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

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
  ~Database();  // discards staged tables that were not committed
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  const std::filesystem::path& Dir() const;
  platform::FileSystem& Files() const { return files_; }

  // Path of a table's file with this extension (".DBF", ".MDX"): an existing file whose name
  // matches whatever its letter case, else the upper-case name. While staging, a staged table's
  // temporary file.
  std::filesystem::path TablePath(std::string_view name, std::string_view extension = ".DBF") const;
  bool Exists(std::string_view name) const;

  // Deletes the table's .DBF, then its .MDX; a missing file is skipped, a failed deletion is
  // not reported. While staging, the deletion is recorded and carried out at Commit.
  void DeleteFiles(std::string_view name);
  // Deletes the table's files and creates it empty with its fields; the result is open, shared.
  Table Recreate(const TableDef& table);
  Table Open(std::string_view name, OpenMode mode);

  // From BeginStaging on, tables created go to temporary files in the same folder and Open finds
  // them there. Commit moves every staged table into place (removing the table's old .MDX, and
  // the files of tables deleted while staging) with CommitFiles: crash-safe, the old files kept
  // as a backup generation, which it returns (none when the commit had nothing to keep). Discard
  // removes the temporary files and leaves the folder as it was.
  struct CommitDetails {
    std::string run = "conversion";  // what the generation says made it
    std::string document;            // the run's ITACA file (UTF-8)
    std::string template_code;       // the run's template and school (Windows-1252)
    std::string school;
    std::vector<GenerationExtra> extras;  // written into the generation (the run's report)
    std::vector<Replacement> external;    // files outside the folder committed with the tables
  };
  void BeginStaging();
  std::optional<GenerationInfo> Commit(const CommitDetails& details);
  std::optional<GenerationInfo> Commit() { return Commit(CommitDetails{}); }
  void Discard();
  bool Staging() const;

  // Puts a backup generation back, all or nothing and crash-safe like a commit: every file it
  // kept returns to the folder, the files its run created go, and what this replaces is kept as
  // a generation of its own (returned), so that a restore can be undone too. Nothing changes
  // while another program holds one of those files. Not while staging. `extras` are written into
  // the generation made, `external` committed with the files put back (the run layer's records).
  std::optional<GenerationInfo> Restore(const GenerationInfo& generation,
                                        std::vector<GenerationExtra> extras = {},
                                        std::vector<Replacement> external = {});

 private:
  std::filesystem::path dir_;
  platform::FileSystem& files_;
  bool staging_ = false;
  std::map<std::string, std::filesystem::path> staged_;  // table name -> temporary file

  // The last image of each staged table, kept when a stage closes it. `generation` counts the
  // saves of the table's file: an image is taken back only from a table that saved it or that
  // loaded the current generation, so a stale copy never replaces a newer one.
  struct KeptImage {
    std::uint64_t generation = 0;
    std::optional<TableImage> image;
  };
  using ImageStore = std::map<std::string, KeptImage>;
  ImageKeeper KeeperFor(const std::string& table);
  std::shared_ptr<ImageStore> images_ = std::make_shared<ImageStore>();
};

}  // namespace tc::store
