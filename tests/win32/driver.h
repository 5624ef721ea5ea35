// Drives the Windows program from outside its process, as a person would: finds its windows and
// controls (by window class, caption and the control identifiers of win32/identities.h), reads
// their texts, presses buttons, types into fields and answers the system's dialogs. Nothing here
// needs the program's cooperation: every message is one any other program may send. Messages
// that start something inside the program (a click) are posted, so that the driver never waits
// for a modal window the click opens.
#pragma once

#include <windows.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tc::win32::drive {

// Waits until `done` holds, looking every 20 ms; false when `ms` pass first.
bool WaitUntil(const std::function<bool()>& done, DWORD ms = 20000);

// A program started by the driver; ended (TerminateProcess) if still running when it goes.
class Program {
 public:
  // `arguments` after the program's name; `environment`: variables set for it (others are
  // inherited).
  Program(const std::filesystem::path& exe, const std::vector<std::wstring>& arguments,
          const std::map<std::wstring, std::wstring>& environment = {});
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  DWORD Id() const { return process_.dwProcessId; }
  HANDLE Handle() const { return process_.hProcess; }
  bool Running() const;
  // Waits for the program to end; its exit status, or -1 when it is still running after `ms`.
  long Wait(DWORD ms = 30000);

 private:
  PROCESS_INFORMATION process_{};
};

// A visible top-level window of process `process` with the window class `class_name` (and, when
// given, the caption `caption`); nullptr when none appears within `ms`.
HWND WaitForWindow(DWORD process, std::wstring_view class_name, std::wstring_view caption = {},
                   DWORD ms = 20000);
// Whether such a window is there now.
HWND FindWindowOf(DWORD process, std::wstring_view class_name, std::wstring_view caption = {});
// The descendant of `window` with control identifier `id` (nullptr when none).
HWND Control(HWND window, int id);
// The descendant of `window` of class `class_name` with text `text` (nullptr when none).
HWND ControlByText(HWND window, std::wstring_view class_name, std::wstring_view text);

std::wstring ClassName(HWND window);
// The text of a window or control (WM_GETTEXT, as any program may ask).
std::wstring Text(HWND window);
// The entries of a list box or a combo box.
std::vector<std::wstring> Items(HWND list);
bool Checked(HWND check_box);

// Waits until the text of `window` is `expected` (the effect of a posted click or key shows only
// once the program has taken it); returns the last text read.
std::wstring WaitForText(HWND window, std::wstring_view expected, DWORD ms = 10000);

// The control that has the keyboard focus in the thread of `window` (nullptr when none).
HWND Focused(HWND window);

// Presses a button (BM_CLICK, posted).
void Click(HWND button);
// Replaces the text of an edit field, or of a combo box's field, key by key (select all, then
// one WM_CHAR per character), as typing does: the window hears each change. Returns when the
// field shows the text.
void Type(HWND field, std::wstring_view text);
// Chooses entry `index` of a combo box's list as a click in the list does (the box is told of
// the change by CBN_SELCHANGE).
void Choose(HWND combo, int index);
// Presses a key on a window (WM_KEYDOWN and WM_KEYUP, posted), e.g. F1 on a focused control.
void PressKey(HWND window, UINT key);
// Types a character on a window (WM_CHAR, posted; `alt`: WM_SYSCHAR, as with Alt held).
void PressChar(HWND window, wchar_t c, bool alt = false);
// A click of the left mouse button at a point of the screen, as the mouse gives it (SendInput):
// whichever window is shown there takes it.
void ClickAt(POINT screen);
// The colour the screen shows at a point.
COLORREF ScreenPixel(POINT screen);

// A message box of the program ("TransClepsaItaca"): its text and its buttons by identifier.
struct Box {
  HWND window = nullptr;
  std::wstring text;
  std::map<int, std::wstring> buttons;  // IDOK, IDYES, IDNO... and their captions
};
// Waits for the next message box of `process`; window nullptr when none appears within `ms`.
Box WaitForBox(DWORD process, DWORD ms = 20000);
// Presses button `id` of a box and waits for the box to go.
void Answer(const Box& box, int id);

// The system's open dialog "Archivo XML" of `process`: types `file` as its name and presses
// Open (or Cancel when `file` is empty). Returns false when the dialog did not appear.
bool AnswerFileDialog(DWORD process, const std::filesystem::path& file, DWORD ms = 20000,
                      std::wstring_view caption = L"Archivo XML");
// The text on the clipboard, empty when there is none.
std::wstring ClipboardText();

// Waits for `window` to go (destroyed or hidden).
bool WaitGone(HWND window, DWORD ms = 20000);

// What the screen shows of `window` (frame included), as a 24-bit BMP file.
bool SaveScreenshot(HWND window, const std::filesystem::path& bmp);

}  // namespace tc::win32::drive
