#include "win32/form_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cwctype>
#include <utility>

#include "win32/identities.h"
#include "win32/text.h"

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace tc::win32 {

namespace {

using desktop::ControlKind;

std::vector<FormWindow*> g_forms;  // the windows of the program, in order of creation
std::function<void(int)> g_help;
bool g_busy = false;

constexpr int kDropDownHeight = 200;  // the list of a combo box, below its field

// The DPI of a window: Windows 10's GetDpiForWindow where there is one, else the screen's.
UINT WindowDpi(HWND window) {
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  static const auto get_dpi = reinterpret_cast<GetDpiForWindowFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (get_dpi != nullptr && window != nullptr) {
    if (const UINT dpi = get_dpi(window); dpi != 0) return dpi;
  }
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

void AdjustForDpi(RECT& rect, DWORD style, DWORD ex_style, UINT dpi) {
  using AdjustFunction = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  static const auto adjust = reinterpret_cast<AdjustFunction>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
  if (adjust != nullptr) {
    adjust(&rect, style, FALSE, ex_style, dpi);
  } else {
    AdjustWindowRectEx(&rect, style, FALSE, ex_style);
  }
}

COLORREF ToColorRef(const desktop::Rgb& rgb) { return RGB(rgb.red, rgb.green, rgb.blue); }

// The end colour of a gradient that ends in the system's inactive title-bar colour.
COLORREF GradientEnd(const desktop::Gradient& gradient) {
  return gradient.end_is_inactive_caption ? GetSysColor(COLOR_INACTIVECAPTION)
                                          : ToColorRef(gradient.end);
}

BYTE Mix(int from, int to, int step, int steps) {
  return static_cast<BYTE>(from + (to - from) * step / (steps > 0 ? steps : 1));
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

bool IsComboBox(HWND window) { return ClassOf(window) == L"ComboBox"; }

}  // namespace

void FormWindow::RegisterClasses() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  WNDCLASSEXW panel{};
  panel.cbSize = sizeof panel;
  panel.lpfnWndProc = PanelProc;
  panel.hInstance = GetModuleHandleW(nullptr);
  panel.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  panel.lpszClassName = kPanelClass;
  RegisterClassExW(&panel);
}

FormWindow::FormWindow(const desktop::Form& form, DWORD style, DWORD ex_style, HWND owner)
    : form_(form) {
  RegisterClasses();
  const std::wstring class_name = FromCore(form.name);
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  if (!GetClassInfoExW(GetModuleHandleW(nullptr), class_name.c_str(), &window_class)) {
    window_class = {};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = WindowProc;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    window_class.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    window_class.lpszClassName = class_name.c_str();
    RegisterClassExW(&window_class);
  }
  g_forms.push_back(this);
  window_ = CreateWindowExW(ex_style | WS_EX_CONTROLPARENT, class_name.c_str(),
                            FromCore(form.caption).c_str(), style & ~WS_VISIBLE, 0, 0,
                            form.width, form.height, owner, nullptr, GetModuleHandleW(nullptr),
                            this);
  dpi_ = WindowDpi(window_);
  CreateControls();
  Layout();
}

FormWindow::~FormWindow() {
  if (window_ != nullptr && IsWindow(window_)) DestroyWindow(window_);
  g_forms.erase(std::remove(g_forms.begin(), g_forms.end(), this), g_forms.end());
  for (auto& [window, panel] : panels_) {
    if (panel.brush != nullptr) DeleteObject(panel.brush);
    if (panel.bitmap != nullptr) DeleteObject(panel.bitmap);
  }
  for (auto& [key, font] : fonts_) DeleteObject(font);
  for (auto& [colour, brush] : brushes_) DeleteObject(brush);
}

void FormWindow::CreateControls() {
  int position = 0;
  for (const desktop::Control& control : form_.controls) {
    HWND parent = window_;
    if (!control.parent.empty()) parent = Control(control.parent);
    const wchar_t* class_name = L"Static";
    DWORD style = WS_CHILD | (control.visible ? WS_VISIBLE : 0);
    DWORD ex_style = 0;
    switch (control.kind) {
      case ControlKind::Panel:
        class_name = kPanelClass;
        style |= WS_CLIPSIBLINGS;
        ex_style |= WS_EX_CONTROLPARENT;
        break;
      case ControlKind::Label:
        style |= SS_NOPREFIX |
                 (control.centred ? SS_CENTER : control.word_wrap ? SS_LEFT : SS_LEFTNOWORDWRAP);
        break;
      case ControlKind::ComboBox:
        class_name = L"ComboBox";
        style |= (control.pick_list ? CBS_DROPDOWNLIST : CBS_DROPDOWN | CBS_AUTOHSCROLL) |
                 WS_VSCROLL | WS_TABSTOP;
        break;
      case ControlKind::ListBox:
        class_name = L"ListBox";
        style |= LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP;
        ex_style |= WS_EX_CLIENTEDGE;
        break;
      case ControlKind::TextBox:
        class_name = L"Edit";
        // Wrapped at the box's width, or scrolled sideways.
        style |= ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP |
                 (control.word_wrap ? 0 : ES_AUTOHSCROLL | WS_HSCROLL);
        ex_style |= WS_EX_CLIENTEDGE;
        break;
      case ControlKind::CheckBox:
        class_name = L"Button";
        style |= BS_AUTOCHECKBOX | WS_TABSTOP;
        break;
      case ControlKind::OkButton:
      case ControlKind::CloseButton:
      case ControlKind::Button:
        class_name = L"Button";
        style |= (control.is_default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | WS_TABSTOP;
        break;
    }
    const std::wstring text = control.kind == ControlKind::ComboBox ? L"" : FromCore(control.text);
    HWND created = CreateWindowExW(
        ex_style, class_name, text.c_str(), style, 0, 0, 0, 0, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + position)),
        GetModuleHandleW(nullptr), nullptr);
    if (control.kind == ControlKind::Panel) {
      SetWindowLongPtrW(created, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
      panels_[created];
    }
    if (control.kind == ControlKind::TextBox) SendMessageW(created, EM_SETLIMITTEXT, 0, 0);
    controls_.push_back(created);
    rects_.push_back(control.rect);
    if (control.kind == ControlKind::ComboBox) {
      std::vector<std::wstring> items;
      std::string_view rest = control.items;
      while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        items.push_back(FromCore(rest.substr(0, end)));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
      }
      SetItems(control.name, items);
      SetText(control.name, FromCore(control.text));
    }
    ++position;
  }
}

int FormWindow::Scale(int value) const { return MulDiv(value, static_cast<int>(dpi_), 96); }

HFONT FormWindow::Font(const desktop::Font& font) {
  const std::wstring key = std::to_wstring(font.pixels) + (font.bold ? L"b" : L"") +
                           (font.fixed_pitch ? L"f" : L"") + L"@" + std::to_wstring(dpi_);
  if (auto found = fonts_.find(key); found != fonts_.end()) return found->second;
  HFONT created =
      CreateFontW(-Scale(font.pixels), 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE,
                  FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                  CLEARTYPE_QUALITY,
                  font.fixed_pitch ? (FIXED_PITCH | FF_MODERN) : (VARIABLE_PITCH | FF_SWISS),
                  font.fixed_pitch ? L"Courier New" : L"Arial");
  fonts_[key] = created;
  return created;
}

// Dialogs whose description starts with one panel "Panel1" have it fill their client area.
void FormWindow::Layout() {
  const bool fill = !form_.controls.empty() && form_.controls.front().name == "Panel1";
  RECT client{};
  GetClientRect(window_, &client);
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    const desktop::Control& control = form_.controls[i];
    desktop::Rect rect = rects_[i];
    // A resizable window's controls follow its size as described.
    if (fill && control.anchors != 0 && client.right > 0) {
      rect = desktop::Anchored(control, form_.width, form_.height,
                               MulDiv(client.right, 96, static_cast<int>(dpi_)),
                               MulDiv(client.bottom, 96, static_cast<int>(dpi_)));
    }
    int width = Scale(rect.width);
    int height = Scale(rect.height);
    if (i == 0 && fill && client.right > 0) {
      width = client.right;
      height = client.bottom;
    }
    if (control.kind == ControlKind::ComboBox) height = Scale(kDropDownHeight);
    SetWindowPos(controls_[i], nullptr, Scale(rect.left), Scale(rect.top), width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    if (control.kind != ControlKind::Panel) {
      SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(Font(control.font)), TRUE);
    }
    if (control.kind == ControlKind::ComboBox) {
      // The field as high as described (the list's entries keep the font's height).
      SendMessageW(controls_[i], CB_SETITEMHEIGHT, static_cast<WPARAM>(-1),
                   std::max(Scale(rect.height) - 6, 8));
    }
  }
}

void FormWindow::Relayout() {
  dpi_ = WindowDpi(window_);
  Layout();
}

HWND FormWindow::Control(std::string_view name) const {
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    if (form_.controls[i].name == name) return controls_[i];
  }
  return nullptr;
}

const desktop::Control* FormWindow::DescriptionOf(HWND window) const {
  for (HWND at = window; at != nullptr && at != window_; at = GetParent(at)) {
    for (std::size_t i = 0; i < controls_.size(); ++i) {
      if (controls_[i] == at) return &form_.controls[i];
    }
  }
  return nullptr;
}

int FormWindow::HelpContextOf(HWND window) const {
  for (const desktop::Control* control = DescriptionOf(window); control != nullptr;
       control = control->parent.empty() ? nullptr : desktop::FindControl(form_, control->parent)) {
    if (control->help_context != 0) return control->help_context;
  }
  return form_.help_context;
}

void FormWindow::SetText(std::string_view name, const std::wstring& text) {
  HWND control = Control(name);
  if (control == nullptr) return;
  // A pick list shows the entry chosen: the one of that text.
  if (const desktop::Control* description = DescriptionOf(control);
      description != nullptr && description->pick_list) {
    SendMessageW(control, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                 reinterpret_cast<LPARAM>(text.c_str()));
    return;
  }
  SetWindowTextW(control, text.c_str());
  // A label is drawn over its panel's gradient: the panel paints under the new text.
  const desktop::Control* description = DescriptionOf(control);
  if (description != nullptr && description->kind == ControlKind::Label) {
    HWND panel = GetParent(control);
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, panel, reinterpret_cast<POINT*>(&rect), 2);
    RedrawWindow(panel, &rect, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  }
}

std::wstring FormWindow::Text(std::string_view name) const {
  HWND control = Control(name);
  return control != nullptr ? WindowText(control) : std::wstring();
}

void FormWindow::SetItems(std::string_view name, const std::vector<std::wstring>& items) {
  HWND control = Control(name);
  if (control == nullptr) return;
  const bool combo = IsComboBox(control);
  SendMessageW(control, WM_SETREDRAW, FALSE, 0);
  SendMessageW(control, combo ? CB_RESETCONTENT : LB_RESETCONTENT, 0, 0);
  for (const std::wstring& item : items) {
    SendMessageW(control, combo ? CB_ADDSTRING : LB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(item.c_str()));
  }
  SendMessageW(control, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(control, nullptr, TRUE);
}

std::wstring FormWindow::ComboText(std::string_view name, int code) const {
  HWND combo = Control(name);
  if (combo == nullptr) return {};
  if (code == CBN_SELCHANGE) {
    const LRESULT selected = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (selected != CB_ERR) {
      const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, selected, 0);
      std::wstring text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
      SendMessageW(combo, CB_GETLBTEXT, selected, reinterpret_cast<LPARAM>(text.data()));
      text.resize(static_cast<std::size_t>(length > 0 ? length : 0));
      return text;
    }
  }
  return WindowText(combo);
}

void FormWindow::SetRect(std::string_view name, const desktop::Rect& rect) {
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    if (form_.controls[i].name == name) {
      rects_[i] = rect;
      SetWindowPos(controls_[i], nullptr, Scale(rect.left), Scale(rect.top), Scale(rect.width),
                   Scale(rect.height), SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
}

void FormWindow::BringToTop(std::string_view name) {
  if (HWND control = Control(name)) {
    SetWindowPos(control, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

void FormWindow::Place(HWND over) {
  const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_STYLE));
  const DWORD ex_style = static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_EXSTYLE));
  RECT frame{0, 0, Scale(form_.width), Scale(form_.height)};
  AdjustForDpi(frame, style, ex_style, dpi_);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  int left = 0;
  int top = 0;
  if (form_.place) {
    left = Scale(form_.place->left);
    top = Scale(form_.place->top);
  } else {
    RECT area{};
    if (over != nullptr && IsWindowVisible(over)) {
      GetWindowRect(over, &area);
    } else {
      SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    }
    left = area.left + (area.right - area.left - width) / 2;
    top = area.top + (area.bottom - area.top - height) / 2;
  }
  SetWindowPos(window_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  Layout();
}

void FormWindow::PlaceAtOrigin() {
  SetWindowPos(window_, nullptr, 0, 0, Scale(form_.width), Scale(form_.height),
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  Layout();
}

int FormWindow::DefaultButtonId() const {
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    if (form_.controls[i].is_default && IsWindowVisible(controls_[i]) &&
        IsWindowEnabled(controls_[i])) {
      return kFirstControlId + static_cast<int>(i);
    }
  }
  return 0;
}

int FormWindow::RunModal(HWND disable) {
  const bool was_enabled = disable != nullptr && IsWindowEnabled(disable);
  if (disable != nullptr) EnableWindow(disable, FALSE);
  modal_ = true;
  modal_done_ = false;
  answer_ = IDCANCEL;
  ShowWindow(window_, SW_SHOW);
  SetForegroundWindow(window_);
  if (HWND first = GetNextDlgTabItem(window_, nullptr, FALSE)) SetFocus(first);
  const bool busy = std::exchange(g_busy, false);  // a dialog inside a run takes input
  bool quit = false;
  WPARAM quit_code = 0;
  MSG message{};
  while (!modal_done_) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got <= 0) {
      quit = true;
      quit_code = message.wParam;
      break;
    }
    if (!PreTranslate(message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  g_busy = busy;
  // The window that was disabled takes the activation back before this one goes.
  if (disable != nullptr && was_enabled) EnableWindow(disable, TRUE);
  ShowWindow(window_, SW_HIDE);
  modal_ = false;
  if (quit) PostQuitMessage(static_cast<int>(quit_code));
  if (busy) SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  return answer_;
}

void FormWindow::EndModal(int answer) {
  answer_ = answer;
  modal_done_ = true;
  PostMessageW(window_, WM_NULL, 0, 0);  // wakes the modal loop
}

void FormWindow::Command(int id, int code) {
  const int position = id - kFirstControlId;
  if (position < 0 || position >= static_cast<int>(controls_.size())) return;
  const desktop::Control& control = form_.controls[static_cast<std::size_t>(position)];
  if (on_command_) on_command_(control.name, code);
  if (modal_ && code == BN_CLICKED) {
    if (control.answer == desktop::Answer::Accept) EndModal(IDOK);
    if (control.answer == desktop::Answer::Reject) EndModal(IDCANCEL);
    if (control.answer == desktop::Answer::No) EndModal(IDNO);
  }
}

// The control Escape presses in a dialog: its close button, else the button that rejects it
// (visible and enabled); 0 when it has none and Escape closes it.
int FormWindow::EscapeButtonId() const {
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    const desktop::Control& control = form_.controls[i];
    const bool escapes =
        control.kind == ControlKind::CloseButton || control.answer == desktop::Answer::Reject;
    if (escapes && IsWindowVisible(controls_[i]) && IsWindowEnabled(controls_[i])) {
      return kFirstControlId + static_cast<int>(i);
    }
  }
  return 0;
}

// Escape in a dialog: what its close or reject button does, else what its close box does.
void FormWindow::Escape() {
  if (const int id = EscapeButtonId(); id != 0) {
    SendMessageW(window_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(ControlById(id)));
  } else {
    SendMessageW(window_, WM_CLOSE, 0, 0);
  }
}

HWND FormWindow::ControlById(int id) const {
  const int position = id - kFirstControlId;
  if (position < 0 || position >= static_cast<int>(controls_.size())) return nullptr;
  return controls_[static_cast<std::size_t>(position)];
}

void FormWindow::FocusFirstButton() {
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    const ControlKind kind = form_.controls[i].kind;
    const bool button = kind == ControlKind::OkButton || kind == ControlKind::Button ||
                        kind == ControlKind::CloseButton;
    if (button && IsWindowVisible(controls_[i]) && IsWindowEnabled(controls_[i])) {
      SetFocus(controls_[i]);
      // The focus shown from the start, not only once a key has been pressed.
      SendMessageW(window_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
      return;
    }
  }
}

bool FormWindow::PreTranslate(MSG& message) {
  FormWindow* form = Owning(message.hwnd);
  if (form == nullptr) return false;
  if (message.message == WM_KEYDOWN && message.wParam == VK_F1) {
    if (g_help) g_help(form->HelpContextOf(message.hwnd));  // the key goes to the focus
    return true;
  }
  // Escape is the dialog's, also where a multi-line text box would take it (and close the
  // panel it sits on); an open combo box list still closes first.
  if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE && form->modal_) {
    HWND combo = IsComboBox(message.hwnd) ? message.hwnd : GetParent(message.hwnd);
    if (!(IsComboBox(combo) && SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0))) {
      form->Escape();
      return true;
    }
  }
  // Enter presses the button that has the focus, as in any dialog of the system.
  if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN &&
      ClassOf(message.hwnd) == L"Button" &&
      (SendMessageW(message.hwnd, WM_GETDLGCODE, 0, 0) &
       (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0) {
    SendMessageW(form->window_, WM_COMMAND,
                 MAKEWPARAM(GetDlgCtrlID(message.hwnd), BN_CLICKED),
                 reinterpret_cast<LPARAM>(message.hwnd));
    return true;
  }
  // A letter typed where no text goes: a mnemonic only with Alt, where the window asks so.
  if (message.message == WM_CHAR && form->mnemonics_need_alt_ && iswalnum(message.wParam) &&
      (SendMessageW(message.hwnd, WM_GETDLGCODE, message.wParam,
                    reinterpret_cast<LPARAM>(&message)) & DLGC_WANTCHARS) == 0) {
    return true;
  }
  if (IsDialogMessageW(form->window_, &message)) return true;
  // A window inside another program's window: the menu keys would reach that program's window
  // (its system menu, Alt+F4). Alt+arrows still open a combo box's list.
  const bool child = (GetWindowLongPtrW(form->window_, GWL_STYLE) & WS_CHILD) != 0;
  if (child && (message.message == WM_SYSKEYDOWN || message.message == WM_SYSKEYUP ||
                message.message == WM_SYSCHAR)) {
    const bool arrow = message.wParam == VK_DOWN || message.wParam == VK_UP;
    return !(arrow && message.message != WM_SYSCHAR);
  }
  return false;
}

void FormWindow::SetHelpHandler(std::function<void(int context)> handler) {
  g_help = std::move(handler);
}

void FormWindow::SetBusy(bool busy) {
  g_busy = busy;
  SetCursor(LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

bool FormWindow::Busy() { return g_busy; }

FormWindow* FormWindow::Owning(HWND window) {
  for (HWND at = window; at != nullptr; at = GetParent(at)) {
    for (FormWindow* form : g_forms) {
      if (form->window_ == at) return form;
    }
  }
  return nullptr;
}

FormWindow::Panel& FormWindow::PanelOf(HWND panel) {
  Panel& data = panels_[panel];
  RECT client{};
  GetClientRect(panel, &client);
  if (data.bitmap != nullptr && data.size.cx == client.right && data.size.cy == client.bottom) {
    return data;
  }
  if (data.brush != nullptr) DeleteObject(data.brush);
  if (data.bitmap != nullptr) DeleteObject(data.bitmap);
  data = {};
  const int width = std::max<int>(client.right, 1);
  const int height = std::max<int>(client.bottom, 1);
  // Top to bottom: the start colour, the middle colour half-way, the end colour at the last line.
  const desktop::Control* description = DescriptionOf(panel);
  const desktop::Gradient gradient =
      description != nullptr ? description->gradient.value_or(desktop::Gradient{})
                             : desktop::Gradient{};
  const COLORREF start = ToColorRef(gradient.start);
  const COLORREF middle = ToColorRef(gradient.middle);
  const COLORREF end = GradientEnd(gradient);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  data.bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (data.bitmap != nullptr && bits != nullptr) {
    auto* pixels = static_cast<DWORD*>(bits);
    const int last = height - 1;
    const int half = last / 2;
    for (int y = 0; y < height; ++y) {
      COLORREF from = start, to = middle;
      int step = y, steps = half;
      if (y > half) {
        from = middle;
        to = end;
        step = y - half;
        steps = last - half;
      }
      const DWORD pixel = (static_cast<DWORD>(Mix(GetRValue(from), GetRValue(to), step, steps)) << 16) |
                          (static_cast<DWORD>(Mix(GetGValue(from), GetGValue(to), step, steps)) << 8) |
                          Mix(GetBValue(from), GetBValue(to), step, steps);
      std::fill(pixels + static_cast<std::ptrdiff_t>(y) * width,
                pixels + static_cast<std::ptrdiff_t>(y + 1) * width, pixel);
    }
  }
  data.brush = CreatePatternBrush(data.bitmap);
  data.size = {client.right, client.bottom};
  return data;
}

void FormWindow::PaintGradient(HWND panel, HDC dc) {
  Panel& data = PanelOf(panel);
  HDC memory = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(memory, data.bitmap);
  BitBlt(dc, 0, 0, data.size.cx, data.size.cy, memory, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  DeleteDC(memory);
}

// Labels and check boxes show the panel's gradient behind their text; a read-only text box is
// white as any text field; a combo box or list box takes the background its description gives.
HBRUSH FormWindow::ColourControl(HWND panel, HWND control, HDC dc, UINT message) {
  const desktop::Control* description = DescriptionOf(control);
  if (description == nullptr) return nullptr;
  if (description->kind == ControlKind::TextBox) {
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    return GetSysColorBrush(COLOR_WINDOW);
  }
  if (message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX) {
    if (!description->background) return nullptr;
    const COLORREF colour = ToColorRef(*description->background);
    SetBkColor(dc, colour);
    HBRUSH& brush = brushes_[colour];
    if (brush == nullptr) brush = CreateSolidBrush(colour);
    return brush;
  }
  if (panel == nullptr) return nullptr;
  SetTextColor(dc, description->text_colour ? ToColorRef(*description->text_colour)
                                            : GetSysColor(COLOR_WINDOWTEXT));
  SetBkMode(dc, TRANSPARENT);
  POINT origin{0, 0};
  MapWindowPoints(control, panel, &origin, 1);
  SetBrushOrgEx(dc, -origin.x, -origin.y, nullptr);
  return PanelOf(panel).brush;
}

LRESULT CALLBACK FormWindow::PanelProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  auto* form = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (form == nullptr) return DefWindowProcW(window, message, w, l);
  return form->HandlePanel(window, message, w, l);
}

LRESULT FormWindow::HandlePanel(HWND panel, UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(panel, &paint);
      PaintGradient(panel, dc);
      EndPaint(panel, &paint);
      return 0;
    }
    case WM_PRINTCLIENT:
      PaintGradient(panel, reinterpret_cast<HDC>(w));
      return 0;
    case WM_SIZE:
      InvalidateRect(panel, nullptr, FALSE);
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
      if (HBRUSH brush = ColourControl(panel, reinterpret_cast<HWND>(l),
                                       reinterpret_cast<HDC>(w), message)) {
        return reinterpret_cast<LRESULT>(brush);
      }
      break;
    case WM_COMMAND:
      Command(LOWORD(w), HIWORD(w));
      return 0;
    case WM_CLOSE:  // a multi-line text box's Escape: a panel never goes by itself
      if (modal_) Escape();
      return 0;
    default:
      break;
  }
  return DefWindowProcW(panel, message, w, l);
}

LRESULT CALLBACK FormWindow::WindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(l);
    auto* form = static_cast<FormWindow*>(create->lpCreateParams);
    form->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (form == nullptr) return DefWindowProcW(window, message, w, l);
  return form->Handle(message, w, l);
}

LRESULT FormWindow::Handle(UINT message, WPARAM w, LPARAM l) {
  const bool child = (GetWindowLongPtrW(window_, GWL_STYLE) & WS_CHILD) != 0;
  switch (message) {
    case WM_COMMAND:
      if (l == 0 || LOWORD(w) == IDCANCEL || LOWORD(w) == IDOK) {
        // The dialog keys: Escape closes a dialog; Enter presses its default button.
        if (LOWORD(w) == IDCANCEL && modal_) Escape();
        if (LOWORD(w) >= kFirstControlId) Command(LOWORD(w), BN_CLICKED);
        return 0;
      }
      Command(LOWORD(w), HIWORD(w));
      return 0;
    case DM_GETDEFID:
      if (const int id = DefaultButtonId(); id != 0) return MAKELRESULT(id, DC_HASDEFID);
      return 0;
    case WM_CLOSE:
      if (on_close_) {
        on_close_();
      } else if (modal_) {
        EndModal(IDCANCEL);
      } else {
        DestroyWindow(window_);
      }
      return 0;
    case WM_DESTROY:
      if (on_destroyed_) on_destroyed_();
      break;
    case WM_SIZE:
      Layout();
      return 0;
    case WM_DPICHANGED: {
      dpi_ = HIWORD(w);
      const RECT* suggested = reinterpret_cast<const RECT*>(l);
      SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left, suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      Layout();
      return 0;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
      if (HBRUSH brush =
              ColourControl(nullptr, reinterpret_cast<HWND>(l), reinterpret_cast<HDC>(w), message)) {
        return reinterpret_cast<LRESULT>(brush);
      }
      break;
    case WM_SETCURSOR:
      if (g_busy) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      if (child) {
        // Not passed on to the parent window, which belongs to another program.
        if (reinterpret_cast<HWND>(w) != window_) return FALSE;
        SetCursor(LoadCursorW(nullptr, IDC_ARROW));
        return TRUE;
      }
      break;
    // What the default handling passes on to the parent window: inside another program's window
    // none of it may wait for that program.
    case WM_MOUSEACTIVATE:
      if (child) return MA_ACTIVATE;
      break;
    case WM_HELP:
      return TRUE;  // F1 is handled in the message loop
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL:
    case WM_CONTEXTMENU:
    case WM_APPCOMMAND:
      if (child) return 0;
      break;
    default:
      break;
  }
  return DefWindowProcW(window_, message, w, l);
}

}  // namespace tc::win32
