// Where a run works, and the rule that one run at a time works there.
#pragma once

#include <chrono>
#include <filesystem>

#include "platform/file_system.h"
#include "store/safe_commit.h"

namespace tc {

// Clepsa's working folder, reached through a file system (the system's own, or one a test gives),
// and how long a run waits for another one that is working on the same folder.
struct Workplace {
  Workplace(std::filesystem::path folder_,  // NOLINT: a folder alone is a workplace
            platform::FileSystem& files_ = platform::RealFileSystem())
      : folder(std::move(folder_)), files(&files_) {}

  std::filesystem::path folder;
  platform::FileSystem* files;
  std::chrono::milliseconds wait_for_other_run{5000};
};

// Whether an input the user named is there, through `files`: a file, not a folder; an empty name
// never is.
bool InputExists(platform::FileSystem& files, const std::filesystem::path& file);

// Held while a run changes the working folder: one run at a time per folder, whatever program or
// front end starts it. Waits up to `wait_for_other_run` for a run that holds the folder, then
// throws Error (RunInProgress) naming the folder; nothing has changed then. Once held, it finishes
// or undoes what an interrupted run left (store::Recover). A folder that does not exist is not
// locked: the run fails on its own there.
class RunLock {
 public:
  explicit RunLock(const Workplace& workplace);
  const store::Recovery& Recovered() const { return recovered_; }

 private:
  std::optional<platform::FileLock> lock_;
  store::Recovery recovered_;
};

// At a program's start: finishes or undoes what an interrupted run left in the folder, unless
// another run is working there now (what it leaves is then its own to finish). Changes nothing in
// a folder no run of ours has worked in; never throws (a folder it cannot put right now is put
// right by the next run, which refuses to start otherwise).
store::Recovery RecoverInterruptedRun(const Workplace& workplace);

}  // namespace tc
