#include "win32/message_box.h"

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

#include "desktop/forms.h"
#include "win32/text.h"

namespace tc::win32 {

namespace {

using Captions = std::vector<std::pair<int, std::wstring>>;

thread_local HHOOK g_hook = nullptr;
thread_local const Captions* g_captions = nullptr;

// The width `text` takes in `font` on `window` (an ampersand marks a mnemonic).
int TextWidth(HWND window, HFONT font, const std::wstring& text, UINT format) {
  HDC dc = GetDC(window);
  HGDIOBJ old = SelectObject(dc, font);
  RECT rect{0, 0, 0, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect,
            format | DT_SINGLELINE | DT_CALCRECT);
  SelectObject(dc, old);
  ReleaseDC(window, dc);
  return rect.right - rect.left;
}

// The system sized the box for its own button captions: once ours are in, buttons as wide as
// their captions need, and the box as wide as its buttons and its title need (centred where it
// was; the buttons keep their spacing and their alignment, centred or to the right).
void FitBox(HWND box) {
  std::vector<HWND> buttons;
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t class_name[16] = {};
    GetClassNameW(child, class_name, 16);
    // WS_VISIBLE itself: the box is not shown yet.
    const bool shown = (GetWindowLongPtrW(child, GWL_STYLE) & WS_VISIBLE) != 0;
    if (std::wstring(class_name) == L"Button" && shown) buttons.push_back(child);
  }
  if (buttons.empty()) return;
  const auto place = [&](HWND child) {
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
  };
  std::sort(buttons.begin(), buttons.end(),
            [&](HWND a, HWND b) { return place(a).left < place(b).left; });
  RECT client{};
  GetClientRect(box, &client);
  const RECT first = place(buttons.front());
  const RECT last = place(buttons.back());
  const int height = first.bottom - first.top;
  int width = first.right - first.left;
  for (HWND button : buttons) {
    const auto font = reinterpret_cast<HFONT>(SendMessageW(button, WM_GETFONT, 0, 0));
    width = std::max(width, TextWidth(button, font, WindowText(button), 0) + height);
  }
  const int count = static_cast<int>(buttons.size());
  const int gap = count > 1 ? (last.left - first.left) / (count - 1) - (first.right - first.left) : 0;
  const int left_margin = first.left;
  const int right_margin = client.right - last.right;
  const bool centred = std::abs(left_margin - right_margin) <= 2;
  const int row = count * width + (count - 1) * gap;

  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  HFONT caption_font = CreateFontIndirectW(&metrics.lfCaptionFont);
  const int caption = TextWidth(box, caption_font, WindowText(box), DT_NOPREFIX) +
                      3 * GetSystemMetrics(SM_CXSIZE) + 2 * GetSystemMetrics(SM_CXFRAME);
  DeleteObject(caption_font);

  const int needed =
      std::max<int>({client.right, row + left_margin + (centred ? left_margin : right_margin),
                     caption});
  RECT frame{};
  GetWindowRect(box, &frame);
  const int grow = needed - client.right;
  if (grow > 0) {
    SetWindowPos(box, nullptr, frame.left - grow / 2, frame.top,
                 frame.right - frame.left + grow, frame.bottom - frame.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  int x = centred ? (needed - row) / 2 : needed - right_margin - row;
  for (HWND button : buttons) {
    SetWindowPos(button, nullptr, x, first.top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    x += width + gap;
  }
}

// The box's own window procedure, and ours before it: the box is fitted again once it is shown,
// where the system lays it out after activating it (Wine).
thread_local WNDPROC g_box_procedure = nullptr;

LRESULT CALLBACK FittedBox(HWND box, UINT message, WPARAM w, LPARAM l) {
  const LRESULT result = CallWindowProcW(g_box_procedure, box, message, w, l);
  if (message == WM_SHOWWINDOW && w != 0) FitBox(box);
  return result;
}

LRESULT CALLBACK CaptionHook(int code, WPARAM w, LPARAM l) {
  if (code == HCBT_ACTIVATE && g_captions != nullptr) {
    HWND box = reinterpret_cast<HWND>(w);
    wchar_t class_name[16] = {};
    GetClassNameW(box, class_name, 16);
    if (std::wstring(class_name) == L"#32770") {
      for (const auto& [id, caption] : *g_captions) {
        if (HWND button = GetDlgItem(box, id)) SetWindowTextW(button, caption.c_str());
      }
      FitBox(box);
      g_box_procedure = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
          box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FittedBox)));
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
  g_box_procedure = nullptr;
  return answer;
}

}  // namespace

void ShowMessage(HWND owner, const std::wstring& text, BoxIcon icon) {
  const UINT type = icon == BoxIcon::Error      ? MB_ICONERROR
                    : icon == BoxIcon::Question ? MB_ICONQUESTION
                                                : MB_ICONINFORMATION;
  Box(owner, text, MB_OK | type, {{IDOK, FromCore(desktop::kOkCaption)}});
}

bool AskYesNo(HWND owner, const std::wstring& text, DefaultButton default_button) {
  const UINT button = default_button == DefaultButton::Yes ? MB_DEFBUTTON1 : MB_DEFBUTTON2;
  return Box(owner, text, MB_YESNO | MB_ICONQUESTION | button,
             {{IDYES, L"&" + FromCore(desktop::kYesCaption)},
              {IDNO, L"&" + FromCore(desktop::kNoCaption)}}) == IDYES;
}


}  // namespace tc::win32
