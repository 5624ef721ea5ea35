// The program's help, whatever shows it: the contents of "ITACA.chm" (button "F1 Ayuda") and the
// topic of a control's help context (F1). On Windows the requests go to HTML Help's HtmlHelpA;
// elsewhere to a CHM viewer.
#pragma once

#include <filesystem>
#include <string_view>

namespace tc::desktop {

// The two requests; the numbers are HTML Help's command codes.
enum class HelpCommand { Contents = 1 /* HH_DISPLAY_TOC */, Context = 15 /* HH_HELP_CONTEXT */ };

// The help file's full path: a name without a folder is looked up beside the executable. Empty
// when the name does not end in ".chm" (any letter case): only such files are handled.
std::filesystem::path ResolveHelpFile(std::string_view name,
                                      const std::filesystem::path& executable_dir);

}  // namespace tc::desktop
