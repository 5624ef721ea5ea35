// tc_win_host: plays Clepsa's window in the tests of the hosted program. Shows an empty
// top-level window "Clepsa" and writes its handle, in hexadecimal, as the first line of REPORT.
//
//   tc_win_host.exe REPORT
//       reads its messages until it is closed or ended.
//   tc_win_host.exe REPORT wait PROGRAM WORD
//       starts PROGRAM WORD HANDLE, as Clepsa starts the program, and then waits for it to end
//       without reading a single message of its own (WaitForSingleObject); writes "ended N"
//       (the program's exit status) or "timeout" as the second line of REPORT.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr DWORD kWaitLimitMs = 120000;

void WriteReport(const wchar_t* report, const std::string& text) {
  // Written aside and moved into place: a reader never sees half of it.
  const std::wstring aside = std::wstring(report) + L".part";
  FILE* file = _wfopen(aside.c_str(), L"wb");
  if (file == nullptr) return;
  std::fputs(text.c_str(), file);
  std::fclose(file);
  // The test reads the report every few milliseconds, and while it holds the file open the file
  // cannot be replaced: tried again for a while (a lost line would leave the test waiting).
  for (int attempt = 0;
       attempt < 500 && !MoveFileExW(aside.c_str(), report, MOVEFILE_REPLACE_EXISTING); ++attempt) {
    Sleep(10);
  }
}

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(window, message, w, l);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2 && argc != 5) {
    std::fprintf(stderr, "usage: tc_win_host REPORT [wait PROGRAM WORD]\n");
    return 2;
  }
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = HostProc;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.hbrBackground = GetSysColorBrush(COLOR_APPWORKSPACE);
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.lpszClassName = L"TClepsaHost";
  RegisterClassExW(&window_class);
  HWND host = CreateWindowExW(0, L"TClepsaHost", L"Clepsa", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                              40, 40, 800, 500, nullptr, nullptr, GetModuleHandleW(nullptr),
                              nullptr);
  ShowWindow(host, SW_SHOW);
  UpdateWindow(host);
  char handle[32];
  std::snprintf(handle, sizeof handle, "%llX", static_cast<unsigned long long>(
                                                  reinterpret_cast<UINT_PTR>(host)));

  if (argc == 2) {
    WriteReport(argv[1], std::string(handle) + "\n");
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    return 0;
  }

  std::wstring command = L"\"" + std::wstring(argv[3]) + L"\" " + argv[4] + L" ";
  for (const char* c = handle; *c != '\0'; ++c) command += static_cast<wchar_t>(*c);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(argv[3], command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    WriteReport(argv[1], std::string(handle) + "\nnot started\n");
    return 1;
  }
  WriteReport(argv[1], std::string(handle) + "\n");
  // Clepsa's way: wait for the program, reading no message meanwhile.
  const DWORD waited = WaitForSingleObject(process.hProcess, kWaitLimitMs);
  DWORD status = 0;
  GetExitCodeProcess(process.hProcess, &status);
  WriteReport(argv[1], std::string(handle) + "\n" +
                           (waited == WAIT_OBJECT_0 ? "ended " + std::to_string(status) : "timeout") +
                           "\n");
  if (waited != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 99);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  DestroyWindow(host);
  return 0;
}
