#include "win32/text.h"

namespace tc::win32 {

namespace {

constexpr UINT kCp1252 = 1252;

std::wstring Widen(UINT code_page, std::string_view text) {
  if (text.empty()) return {};
  const int size = MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

std::string Narrow(UINT code_page, std::wstring_view text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(code_page, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(code_page, 0, text.data(), static_cast<int>(text.size()), narrow.data(),
                      size, nullptr, nullptr);
  return narrow;
}

}  // namespace

std::wstring FromCore(std::string_view cp1252) { return Widen(kCp1252, cp1252); }

std::string ToCore(std::wstring_view text) {
  std::string narrow;
  narrow.reserve(text.size());
  // Character by character, so that a letter Windows-1252 lacks becomes one '?' and no best-fit
  // look-alike.
  for (const wchar_t c : text) {
    char byte = '?';
    BOOL lossy = FALSE;
    if (WideCharToMultiByte(kCp1252, WC_NO_BEST_FIT_CHARS, &c, 1, &byte, 1, nullptr, &lossy) != 1 ||
        lossy) {
      byte = '?';
    }
    narrow += byte;
  }
  return narrow;
}

std::wstring FromUtf8(std::string_view utf8) { return Widen(CP_UTF8, utf8); }

std::string ToUtf8(std::wstring_view text) { return Narrow(CP_UTF8, text); }

std::wstring WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
  return text;
}

}  // namespace tc::win32
