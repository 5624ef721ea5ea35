// The program's help on Windows: HTML Help's HtmlHelpA, taken from HHCtrl.ocx when the program
// starts. Without HHCtrl.ocx, without its entry point or without the help file, a request does
// nothing.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>

#include "desktop/help.h"

namespace tc::win32 {

class HtmlHelp {
 public:
  // `file`: the help file's name as the program knows it ("ITACA.chm", beside the executable).
  explicit HtmlHelp(std::string_view file);
  ~HtmlHelp();
  HtmlHelp(const HtmlHelp&) = delete;
  HtmlHelp& operator=(const HtmlHelp&) = delete;

  // The contents ("F1 Ayuda") and a help context (F1); the help window belongs to `owner`.
  // Both return whether HTML Help opened a window.
  bool ShowContents(HWND owner) const;
  bool ShowContext(HWND owner, int context) const;
  // Why a request could not be shown, and how to open the help (Windows-1252).
  std::string UnavailableText() const;
  // Closes the help windows the program opened.
  void CloseAll() const;

  // The file's name as HtmlHelpA takes it, in the system's ANSI code page; a path with a letter
  // that code page lacks is given by its short (8.3) name. Empty when the file is not there.
  static std::string AnsiPath(const std::filesystem::path& file);

 private:
  using Entry = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);
  bool Request(HWND owner, desktop::HelpCommand command, DWORD_PTR data) const;

  std::filesystem::path file_;
  HMODULE library_ = nullptr;
  Entry entry_ = nullptr;
};

}  // namespace tc::win32
