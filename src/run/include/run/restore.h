// Undo: the backup generations a run keeps of the tables it replaces, listed and put back.
#pragma once

#include <optional>
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

}  // namespace tc
