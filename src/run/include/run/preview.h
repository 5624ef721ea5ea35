// What a run would change in the working folder, table by table: the rows that would be added,
// removed and changed, found by each table's key, with the first few of each. Computed from two
// sets of table files without changing either, so that `transclepsa check` can show it after a
// conversion built aside, and a desktop program before the conversion replaces the tables
// (PreviewStaged, through Interaction::ApproveChanges).
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/file_system.h"

namespace tc {

namespace store {
class StagedTables;
}

// The fields that identify a row of each working table. Rows with the same key are paired in
// file order (the first with the first, and so on). ASIGT's rows are identified by their group,
// course and content (ITACA codes) and their teacher's short code: one row per teacher of a
// pairing, and a duty row by its teacher and duty. A table not listed here is keyed by all its
// fields.
const std::vector<std::string_view>& PreviewKey(std::string_view table);

// One row as a preview shows it: its key and the fields that tell it apart.
struct RowSample {
  std::string key;                                         // "ABREV=GMJ"
  std::vector<std::pair<std::string, std::string>> fields;  // field name, value
};

// A row whose key is found on both sides with different values.
struct RowChange {
  std::string key;
  struct Field {
    std::string name;
    std::string before;
    std::string after;
  };
  std::vector<Field> fields;  // only the fields that differ
};

struct TablePreview {
  std::string table;
  std::string key;              // the key fields joined by ", "
  bool current_exists = false;  // the working folder holds the table now
  std::string current_error;    // the table is there but cannot be read: the reason
  bool after_exists = false;    // the run leaves the table
  std::size_t rows_before = 0;
  std::size_t rows_after = 0;
  std::size_t added = 0;
  std::size_t removed = 0;
  std::size_t changed = 0;
  std::size_t unchanged = 0;
  // The first rows of each kind, in file order (added and changed: the new file's; removed: the
  // current one's).
  std::vector<RowSample> first_added;
  std::vector<RowSample> first_removed;
  std::vector<RowChange> first_changed;

  bool Changes() const { return added + removed + changed > 0 || after_exists != current_exists; }
};

struct TablesPreview {
  std::filesystem::path folder;  // the working folder the preview is about
  std::vector<TablePreview> tables;
  bool Changes() const;
};

inline constexpr std::size_t kPreviewExamples = 5;

// One table on both sides: its file in the working folder now (nullopt when there is none) and
// the file the run would put in its place (nullopt when the run leaves none).
struct TableFiles {
  std::string table;
  std::optional<std::filesystem::path> current;
  std::optional<std::filesystem::path> after;
};

// Compares each pair of files. Reads them shared and changes nothing. A current table held by
// another program ends the preview with its error (the run itself would fail on it); one that
// cannot be read for another reason is reported in current_error and its rows count as added.
TablesPreview PreviewTables(platform::FileSystem& files, const std::filesystem::path& folder,
                            const std::vector<TableFiles>& tables,
                            std::size_t examples = kPreviewExamples);

// The named tables of `current_dir` against those of `new_dir` (letter case of the file names
// ignored, as the working folder's tables are found).
TablesPreview PreviewFolders(platform::FileSystem& files, const std::filesystem::path& current_dir,
                             const std::filesystem::path& new_dir,
                             const std::vector<std::string>& tables,
                             std::size_t examples = kPreviewExamples);

// The staged tables against those of their folder: what Commit would change. For a run between
// building its tables aside and committing them.
TablesPreview PreviewStaged(const store::StagedTables& staged,
                            std::size_t examples = kPreviewExamples);

// True when the folder holds at least one of the seven working tables.
bool HoldsWorkingTables(platform::FileSystem& files, const std::filesystem::path& folder);

// The preview as Spanish text (Windows-1252, LF line ends).
std::string RenderPreview(const TablesPreview& preview);

}  // namespace tc
