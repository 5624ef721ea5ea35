#include "desktop/help.h"

#include "platform/platform.h"

namespace tc::desktop {

std::filesystem::path ResolveHelpFile(std::string_view name,
                                      const std::filesystem::path& executable_dir) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return {};
  std::string extension(name.substr(dot + 1));
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (extension != "chm") return {};
  const std::filesystem::path file = platform::PathFromUtf8(name);
  if (file.has_parent_path()) return std::filesystem::absolute(file);
  return executable_dir / file;
}

}  // namespace tc::desktop
