// The edge between the core's Windows-1252 text (and UTF-8 paths and arguments) and the wide
// strings of the Windows API, which the program uses throughout.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace tc::win32 {

// Windows-1252 bytes of the core to UTF-16, and back (a character Windows-1252 lacks becomes
// '?', as the core's own conversion does).
std::wstring FromCore(std::string_view cp1252);
std::string ToCore(std::wstring_view text);

std::wstring FromUtf8(std::string_view utf8);
std::string ToUtf8(std::wstring_view text);

// A window's text (WM_GETTEXT).
std::wstring WindowText(HWND window);

}  // namespace tc::win32
