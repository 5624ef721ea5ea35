// Undo: the backup generations a run keeps of the tables it replaces, listed and put back.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "run/workplace.h"
#include "store/safe_commit.h"

namespace tc {

// The working folder's backup generations, oldest first (none in a folder without any).
std::vector<store::GenerationInfo> ListBackups(const Workplace& workplace);

struct RestoreResult {
  store::GenerationInfo restored;               // the generation put back
  std::optional<store::GenerationInfo> backup;  // what the restore replaced, kept in turn
};

// Puts generation `number` back (the latest when none is given), holding the run lock like any
// run, all or nothing. Throws Error: InputMissing for a working folder that is not there, a
// folder without generations or a number it does not hold; InUse when another program holds a
// table; the commit's own errors otherwise, with the folder as it was.
RestoreResult RestoreBackup(const Workplace& workplace, std::optional<int> number);

// How a generation's run is said: "conversión", "exportación", "restauración" (Windows-1252).
std::string RunName(const store::GenerationInfo& generation);

// A backup as the windows and `restore --list` show it: the generation, the rows of every table
// it kept (what a restore puts back) and whether the run's report is kept with it.
struct BackupTable {
  std::string table;  // "PROFT"
  std::size_t rows = 0;
};
struct Backup {
  store::GenerationInfo generation;
  std::vector<BackupTable> tables;
  bool has_report = false;
};
// Oldest first, as ListBackups. A kept table that cannot be read counts no rows.
std::vector<Backup> DescribeBackups(const Workplace& workplace);

// The texts about a backup (Windows-1252, LF line ends): one line for a list ("3  2026-12-09
// 10:31:02  conversión  centro.xml  plantilla 1  46012345 IES ..."), the rows it kept ("PROFT 39,
// GRUPOST 12, ..."), the report kept with it (empty when none), the question before it is put
// back (what will be replaced and what removed), and what a restore put back and removed, as
// the command line prints it.
std::string BackupLine(const Backup& backup);
std::string BackupRows(const Backup& backup);
std::string BackupReport(const Backup& backup, const Workplace& workplace);
std::string RestoreQuestion(const Backup& backup, const Workplace& workplace);
std::string RestoreDoneText(const RestoreResult& result, const Workplace& workplace);

}  // namespace tc
