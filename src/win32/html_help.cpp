#include "win32/html_help.h"

#include <system_error>

#include "platform/platform.h"

namespace tc::win32 {

namespace {
constexpr UINT kHhCloseAll = 0x0012;  // HH_CLOSE_ALL
}

HtmlHelp::HtmlHelp(std::string_view file)
    : file_(desktop::ResolveHelpFile(file, platform::ExecutableDir())) {
  library_ = LoadLibraryW(L"hhctrl.ocx");
  if (library_ != nullptr) {
    entry_ = reinterpret_cast<Entry>(
        reinterpret_cast<void*>(GetProcAddress(library_, "HtmlHelpA")));
  }
}

HtmlHelp::~HtmlHelp() {
  CloseAll();
  if (library_ != nullptr) FreeLibrary(library_);
}

std::string HtmlHelp::AnsiPath(const std::filesystem::path& file) {
  std::error_code error;
  if (file.empty() || !std::filesystem::is_regular_file(file, error)) return {};
  std::wstring wide = file.wstring();
  for (int attempt = 0; attempt < 2; ++attempt) {
    BOOL lossy = FALSE;
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, nullptr,
                                         0, nullptr, &lossy);
    if (size > 0 && !lossy) {
      std::string ansi(static_cast<std::size_t>(size), '\0');
      WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, ansi.data(), size,
                          nullptr, nullptr);
      ansi.resize(static_cast<std::size_t>(size - 1));
      return ansi;
    }
    const DWORD length = GetShortPathNameW(file.c_str(), nullptr, 0);
    if (length == 0) return {};
    std::wstring short_name(length, L'\0');
    const DWORD copied = GetShortPathNameW(file.c_str(), short_name.data(), length);
    short_name.resize(copied);
    wide = short_name;
  }
  return {};
}

bool HtmlHelp::Request(HWND owner, desktop::HelpCommand command, DWORD_PTR data) const {
  if (entry_ == nullptr) return false;
  const std::string path = AnsiPath(file_);
  if (path.empty()) return false;
  return entry_(owner, path.c_str(), static_cast<UINT>(command), data) != nullptr;
}

bool HtmlHelp::ShowContents(HWND owner) const {
  return Request(owner, desktop::HelpCommand::Contents, 0);
}

bool HtmlHelp::ShowContext(HWND owner, int context) const {
  return Request(owner, desktop::HelpCommand::Context, static_cast<DWORD_PTR>(context));
}

std::string HtmlHelp::UnavailableText() const {
  std::error_code error;
  return desktop::HelpUnavailableText(file_, std::filesystem::is_regular_file(file_, error),
                                      entry_ != nullptr);
}

void HtmlHelp::CloseAll() const {
  if (entry_ != nullptr) entry_(nullptr, nullptr, kHhCloseAll, 0);
}

}  // namespace tc::win32
