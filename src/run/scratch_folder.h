// A folder of a run's own under the system's temporary folder, removed with everything in it
// when the object goes: where a check builds what a run would build, away from the working
// folder.
#pragma once

#include <filesystem>

namespace tc {

class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace tc
