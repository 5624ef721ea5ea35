#include "driver.h"

#include <cstdio>
#include <fstream>

namespace tc::win32::drive {

namespace {

constexpr UINT kTimeout = 5000;  // any single message to the program

struct Search {
  DWORD process;
  std::wstring_view class_name;
  std::wstring_view caption;
  HWND found = nullptr;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM l) {
  auto* search = reinterpret_cast<Search*>(l);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != search->process || !IsWindowVisible(window)) return TRUE;
  if (ClassName(window) != search->class_name) return TRUE;
  if (!search->caption.empty() && Text(window) != search->caption) return TRUE;
  search->found = window;
  return FALSE;
}

struct ChildSearch {
  int id = 0;
  std::wstring_view class_name;
  std::wstring_view text;
  HWND found = nullptr;
};

BOOL CALLBACK MatchChild(HWND window, LPARAM l) {
  auto* search = reinterpret_cast<ChildSearch*>(l);
  if (search->id != 0) {
    if (GetDlgCtrlID(window) != search->id) return TRUE;
  } else if (ClassName(window) != search->class_name || Text(window) != search->text) {
    return TRUE;
  }
  search->found = window;
  return FALSE;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& done, DWORD ms) {
  const ULONGLONG end = GetTickCount64() + ms;
  while (!done()) {
    if (GetTickCount64() >= end) return done();
    Sleep(20);
  }
  return true;
}

Program::Program(const std::filesystem::path& exe, const std::vector<std::wstring>& arguments,
                 const std::map<std::wstring, std::wstring>& environment) {
  std::wstring command = L"\"" + exe.wstring() + L"\"";
  for (const std::wstring& argument : arguments) command += L" \"" + argument + L"\"";
  // The driver's own environment with the given variables set.
  std::map<std::wstring, std::wstring> variables;
  if (wchar_t* block = GetEnvironmentStringsW()) {
    for (const wchar_t* entry = block; *entry != L'\0'; entry += wcslen(entry) + 1) {
      const std::wstring text(entry);
      const std::size_t equals = text.find(L'=', 1);
      if (equals != std::wstring::npos) variables[text.substr(0, equals)] = text.substr(equals + 1);
    }
    FreeEnvironmentStringsW(block);
  }
  for (const auto& [name, value] : environment) variables[name] = value;
  std::wstring block;
  for (const auto& [name, value] : variables) block += name + L"=" + value + L'\0';
  block += L'\0';
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  // Wine now and then fails a start with ERROR_INTERNAL_ERROR while its server is busy with
  // another test's processes; a second try starts the program.
  for (int attempt = 1;; ++attempt) {
    if (CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE,
                       CREATE_UNICODE_ENVIRONMENT, block.data(), nullptr, &startup, &process_)) {
      break;
    }
    const DWORD error = GetLastError();
    process_ = {};
    if (error != ERROR_INTERNAL_ERROR || attempt == 3) {
      std::fprintf(stderr, "cannot start %ls (error %lu)\n", exe.c_str(), error);
      break;
    }
    Sleep(500);
  }
}

Program::~Program() {
  if (process_.hProcess != nullptr) {
    if (Running()) {
      TerminateProcess(process_.hProcess, 99);
      WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
  }
}

bool Program::Running() const {
  return process_.hProcess != nullptr && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

long Program::Wait(DWORD ms) {
  if (process_.hProcess == nullptr) return -1;
  if (WaitForSingleObject(process_.hProcess, ms) != WAIT_OBJECT_0) return -1;
  DWORD status = 0;
  GetExitCodeProcess(process_.hProcess, &status);
  return static_cast<long>(status);
}

HWND FindWindowOf(DWORD process, std::wstring_view class_name, std::wstring_view caption) {
  Search search{process, class_name, caption};
  EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForWindow(DWORD process, std::wstring_view class_name, std::wstring_view caption,
                   DWORD ms) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindWindowOf(process, class_name, caption)) != nullptr; }, ms);
  return found;
}

HWND Control(HWND window, int id) {
  ChildSearch search{id, {}, {}};
  EnumChildWindows(window, MatchChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND ControlByText(HWND window, std::wstring_view class_name, std::wstring_view text) {
  ChildSearch search{0, class_name, text};
  EnumChildWindows(window, MatchChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::wstring ClassName(HWND window) {
  wchar_t name[128] = {};
  GetClassNameW(window, name, 128);
  return name;
}

std::wstring Text(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kTimeout, &length)) {
    return {};
  }
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                      SMTO_ABORTIFHUNG, kTimeout, &copied);
  text.resize(copied);
  return text;
}

std::vector<std::wstring> Items(HWND list) {
  const bool combo = ClassName(list) == L"ComboBox";
  DWORD_PTR count = 0;
  SendMessageTimeoutW(list, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, kTimeout,
                      &count);
  std::vector<std::wstring> items;
  for (DWORD_PTR i = 0; i < count && count != static_cast<DWORD_PTR>(-1); ++i) {
    DWORD_PTR length = 0;
    SendMessageTimeoutW(list, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, i, 0, SMTO_ABORTIFHUNG,
                        kTimeout, &length);
    std::wstring item(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(list, combo ? CB_GETLBTEXT : LB_GETTEXT, i,
                        reinterpret_cast<LPARAM>(item.data()), SMTO_ABORTIFHUNG, kTimeout, &copied);
    item.resize(copied);
    items.push_back(item);
  }
  return items;
}

bool Checked(HWND check_box) {
  DWORD_PTR state = 0;
  SendMessageTimeoutW(check_box, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kTimeout, &state);
  return state == BST_CHECKED;
}

HWND Focused(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

void Type(HWND field, std::wstring_view text) {
  HWND edit = field;
  if (ClassName(field) == L"ComboBox") {
    if (HWND inner = FindWindowExW(field, nullptr, L"Edit", nullptr)) edit = inner;
  }
  PostMessageW(edit, EM_SETSEL, 0, -1);
  PostMessageW(edit, WM_CHAR, VK_BACK, 0);
  for (const wchar_t c : text) PostMessageW(edit, WM_CHAR, c, 1);
  // Each key's change is told to the window while the key is taken, before the field shows it.
  WaitForText(edit, text);
}

std::wstring WaitForText(HWND window, std::wstring_view expected, DWORD ms) {
  std::wstring text;
  WaitUntil([&] { return (text = Text(window)) == expected; }, ms);
  return text;
}

void Choose(HWND combo, int index) {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0, SMTO_ABORTIFHUNG,
                      kTimeout, &ignored);
  PostMessageW(GetParent(combo), WM_COMMAND,
               MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

void PressKey(HWND window, UINT key) {
  const UINT scan = MapVirtualKeyW(key, MAPVK_VK_TO_VSC);
  PostMessageW(window, WM_KEYDOWN, key, 1 | (scan << 16));
  PostMessageW(window, WM_KEYUP, key, 1 | (scan << 16) | (1u << 30) | (1u << 31));
}

void PressChar(HWND window, wchar_t c, bool alt) {
  PostMessageW(window, alt ? WM_SYSCHAR : WM_CHAR, c, 1 | (alt ? (1u << 29) : 0));
}

void ClickAt(POINT screen) {
  SetCursorPos(screen.x, screen.y);
  INPUT inputs[2] = {};
  inputs[0].type = inputs[1].type = INPUT_MOUSE;
  inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, inputs, sizeof(INPUT));
}

COLORREF ScreenPixel(POINT screen) {
  HDC dc = GetDC(nullptr);
  const COLORREF colour = GetPixel(dc, screen.x, screen.y);
  ReleaseDC(nullptr, dc);
  return colour;
}

Box WaitForBox(DWORD process, DWORD ms) {
  Box box;
  box.window = WaitForWindow(process, L"#32770", L"TransClepsaItaca", ms);
  if (box.window == nullptr) return box;
  // The box's text is its static control 0xFFFF; its buttons are the IDOK... controls.
  if (HWND text = GetDlgItem(box.window, 0xFFFF)) box.text = Text(text);
  for (const int id : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO}) {
    if (HWND button = GetDlgItem(box.window, id); button != nullptr && IsWindowVisible(button)) {
      box.buttons[id] = Text(button);
    }
  }
  return box;
}

void Answer(const Box& box, int id) {
  if (HWND button = GetDlgItem(box.window, id)) Click(button);
  WaitGone(box.window);
}

std::wstring ClipboardText() {
  std::wstring text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = chars;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

bool AnswerFileDialog(DWORD process, const std::filesystem::path& file, DWORD ms,
                      std::wstring_view caption) {
  HWND dialog = WaitForWindow(process, L"#32770", caption, ms);
  if (dialog == nullptr) return false;
  if (file.empty()) {
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    return WaitGone(dialog);
  }
  // The name field: cmb13 (a combo box with its edit field; inside a ComboBoxEx32 on current
  // Windows), or edt1 on the oldest dialogs.
  HWND name = GetDlgItem(dialog, 0x47C);
  if (name == nullptr) name = GetDlgItem(dialog, 0x480);
  if (name != nullptr && ClassName(name) == L"ComboBoxEx32") {
    name = FindWindowExW(name, nullptr, L"ComboBox", nullptr);
  }
  if (name != nullptr && ClassName(name) == L"ComboBox") {
    if (HWND edit = FindWindowExW(name, nullptr, L"Edit", nullptr)) name = edit;
  }
  if (name == nullptr) return false;
  const std::wstring path = file.wstring();
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()),
                      SMTO_ABORTIFHUNG, kTimeout, &ignored);
  if (HWND open = GetDlgItem(dialog, IDOK)) Click(open);
  return WaitGone(dialog);
}

bool WaitGone(HWND window, DWORD ms) {
  return WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, ms);
}

bool SaveScreenshot(HWND window, const std::filesystem::path& bmp) {
  RECT rect{};
  if (!GetWindowRect(window, &rect)) return false;
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  SelectObject(memory, old);
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;  // bottom-up, as BMP files keep their rows
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  const int stride = (width * 3 + 3) & ~3;
  std::vector<char> pixels(static_cast<std::size_t>(stride) * height);
  GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&header),
            DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof header;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  std::ofstream out(bmp, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&header), sizeof header);
  out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
  return static_cast<bool>(out);
}

}  // namespace tc::win32::drive
