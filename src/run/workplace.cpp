#include "run/workplace.h"

#include <thread>

#include "base/error.h"
#include "platform/platform.h"

namespace tc {

bool InputExists(platform::FileSystem& files, const std::filesystem::path& file) {
  return !file.empty() && files.IsFile(file);
}

RunLock::RunLock(const Workplace& workplace) {
  platform::FileSystem& files = *workplace.files;
  if (!files.IsFolder(workplace.folder)) return;
  files.CreateFolder(store::OwnFolder(workplace.folder));
  const std::filesystem::path lock_file = store::RunLockFile(workplace.folder);
  const auto deadline = std::chrono::steady_clock::now() + workplace.wait_for_other_run;
  for (;;) {
    lock_ = files.TryLock(lock_file, true, true);
    if (lock_) break;
    if (std::chrono::steady_clock::now() >= deadline) {
      throw Error("Otra ejecuci\xF3n de TransClepsaItaca est\xE1 trabajando en la carpeta " +
                      platform::PathText(workplace.folder) + "; no se ha cambiado nada.",
                  ErrorKind::RunInProgress, platform::PathText(workplace.folder));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  recovered_ = store::Recover(files, workplace.folder);
}

store::Recovery RecoverInterruptedRun(const Workplace& workplace) {
  try {
    if (!workplace.files->IsFolder(store::OwnFolder(workplace.folder))) return {};
    Workplace now = workplace;
    now.wait_for_other_run = std::chrono::milliseconds(0);
    const RunLock turn(now);
    return turn.Recovered();
  } catch (...) {
    // Never throws at a start: a folder it cannot put right is the next run's to put right.
    return {};
  }
}

}  // namespace tc
