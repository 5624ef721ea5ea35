// The program's help, whatever shows it: the contents of "ITACA.chm" (button "F1 Ayuda") and the
// topic of a control's help context (F1). On Windows the requests go to HTML Help's HtmlHelpA;
// elsewhere to a CHM viewer.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tc::desktop {

// The two requests; the numbers are HTML Help's command codes.
enum class HelpCommand { Contents = 1 /* HH_DISPLAY_TOC */, Context = 15 /* HH_HELP_CONTEXT */ };

// The help file's full path: a name without a folder is looked up beside the executable. Empty
// when the name does not end in ".chm" (any letter case): only such files are handled.
std::filesystem::path ResolveHelpFile(std::string_view name,
                                      const std::filesystem::path& executable_dir);

// What "F1 Ayuda" says when the help cannot be shown: the help file is not there (`file`), or
// nothing on this system shows it (`viewer_found` false): how to open it, which package to
// install. Windows-1252.
std::string HelpUnavailableText(const std::filesystem::path& file, bool file_found,
                                bool viewer_found);

}  // namespace tc::desktop
