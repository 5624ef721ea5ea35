#include "win32/message_box.h"

#include <utility>
#include <vector>

#include "desktop/forms.h"
#include "win32/text.h"

namespace tc::win32 {

namespace {

using Captions = std::vector<std::pair<int, std::wstring>>;

thread_local HHOOK g_hook = nullptr;
thread_local const Captions* g_captions = nullptr;

LRESULT CALLBACK CaptionHook(int code, WPARAM w, LPARAM l) {
  if (code == HCBT_ACTIVATE && g_captions != nullptr) {
    HWND box = reinterpret_cast<HWND>(w);
    wchar_t class_name[16] = {};
    GetClassNameW(box, class_name, 16);
    if (std::wstring(class_name) == L"#32770") {
      for (const auto& [id, caption] : *g_captions) {
        if (HWND button = GetDlgItem(box, id)) SetWindowTextW(button, caption.c_str());
      }
      g_captions = nullptr;  // only the box itself, not a window it might open
    }
  }
  return CallNextHookEx(g_hook, code, w, l);
}

int Box(HWND owner, const std::wstring& text, UINT type, const Captions& captions) {
  g_captions = &captions;
  g_hook = SetWindowsHookExW(WH_CBT, CaptionHook, nullptr, GetCurrentThreadId());
  const int answer = MessageBoxW(owner, text.c_str(), FromCore(desktop::kAppTitle).c_str(),
                                 type | MB_APPLMODAL | MB_SETFOREGROUND);
  if (g_hook != nullptr) UnhookWindowsHookEx(g_hook);
  g_hook = nullptr;
  g_captions = nullptr;
  return answer;
}

}  // namespace

void ShowMessage(HWND owner, const std::wstring& text, BoxIcon icon) {
  const UINT type = icon == BoxIcon::Error      ? MB_ICONERROR
                    : icon == BoxIcon::Question ? MB_ICONQUESTION
                                                : MB_ICONINFORMATION;
  Box(owner, text, MB_OK | type, {{IDOK, FromCore(desktop::kOkCaption)}});
}

bool AskYesNo(HWND owner, const std::wstring& text) {
  return Box(owner, text, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON1,
             {{IDYES, FromCore(desktop::kYesCaption)}, {IDNO, FromCore(desktop::kNoCaption)}}) ==
         IDYES;
}

bool AskYesNoDefaultNo(HWND owner, const std::wstring& text) {
  return Box(owner, text, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2,
             {{IDYES, FromCore(desktop::kYesCaption)}, {IDNO, FromCore(desktop::kNoCaption)}}) ==
         IDYES;
}

// Yes and No renamed: a box with Cancel would answer the close box and Escape with the second
// button, which must be chosen on purpose.
bool ShowMessageWithChoice(HWND owner, const std::wstring& text, const std::wstring& other) {
  return Box(owner, text, MB_YESNO | MB_ICONINFORMATION | MB_DEFBUTTON1,
             {{IDYES, FromCore(desktop::kOkCaption)}, {IDNO, other}}) == IDNO;
}

}  // namespace tc::win32
