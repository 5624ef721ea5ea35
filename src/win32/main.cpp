// TransClepsaItaca.exe: the desktop program for Windows (and for Clepsa under Wine). One main
// window; Clepsa starts it hosted inside its own window with a direction word and that window's
// handle.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "win32/main_window.h"
#include "win32/text.h"

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*command_line*/,
                    int /*show*/) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  const HRESULT ole = OleInitialize(nullptr);  // the system's open dialog uses the shell

  std::vector<std::string> arguments;
  int count = 0;
  if (LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count)) {
    for (int i = 1; i < count; ++i) arguments.push_back(tc::win32::ToUtf8(argv[i]));
    LocalFree(argv);
  }

  int status = 0;
  {
    tc::win32::MainWindow window(arguments);
    status = window.Run();
  }
  if (SUCCEEDED(ole)) OleUninitialize();
  return status;
}
