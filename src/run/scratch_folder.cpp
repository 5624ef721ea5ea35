#include "scratch_folder.h"

#include <system_error>

#include "base/error.h"
#include "platform/file_system.h"
#include "platform/platform.h"

namespace tc {

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() {
  std::error_code error;
  const fs::path base = fs::temp_directory_path(error);
  if (!error) {
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      const fs::path candidate =
          platform::TemporaryPath(platform::RealFileSystem(), base, "transclepsa-comprobacion-");
      if (fs::create_directory(candidate, error)) path_ = candidate;
    }
  }
  if (path_.empty()) {
    throw Error("No se puede crear una carpeta temporal para la comprobaci\xF3n en " +
                    platform::PathText(base) + ".",
                ErrorKind::DiskOrPermission, platform::PathText(base));
  }
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

}  // namespace tc
