// A window built from a toolkit-neutral description (desktop/forms.h): each control of the
// description becomes a Windows control of its kind (gradient panels of our own, static labels
// drawn over them, drop-down combo boxes, list boxes, buttons, read-only multi-line edits, check
// boxes), placed, captioned, coloured and with the font the description gives, scaled to the
// window's DPI. It runs modally when it is a dialog, and knows the help context of each control.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/forms.h"

namespace tc::win32 {

class FormWindow {
 public:
  // What a click or a change of a control does: the control's name and the notification code
  // (BN_CLICKED, CBN_EDITCHANGE, CBN_SELCHANGE...).
  using CommandHandler = std::function<void(std::string_view name, int code)>;

  // Creates the window, hidden, with `style` (WS_CHILD is not allowed here: a window is made a
  // child afterwards, with SetParent) and the form's controls. `owner` owns it (dialogs).
  FormWindow(const desktop::Form& form, DWORD style, DWORD ex_style, HWND owner);
  virtual ~FormWindow();
  FormWindow(const FormWindow&) = delete;
  FormWindow& operator=(const FormWindow&) = delete;

  HWND Handle() const { return window_; }
  const desktop::Form& Description() const { return form_; }
  HWND Control(std::string_view name) const;
  // The description of a control window (or of the control an inner window belongs to, as the
  // edit field of a combo box); nullptr for anything else.
  const desktop::Control* DescriptionOf(HWND window) const;
  // The help context F1 asks for on `window`: its control's, else its panel's, else the form's.
  int HelpContextOf(HWND window) const;

  void OnCommand(CommandHandler handler) { on_command_ = std::move(handler); }
  // WM_CLOSE (close box, Alt+F4, Escape in a dialog). By default a modal window ends with
  // IDCANCEL and any other is destroyed.
  void OnClose(std::function<void()> handler) { on_close_ = std::move(handler); }
  // WM_DESTROY, however the window goes (also when the window it sits in is destroyed).
  void OnDestroyed(std::function<void()> handler) { on_destroyed_ = std::move(handler); }

  // Texts, items and places of controls.
  void SetText(std::string_view name, const std::wstring& text);
  std::wstring Text(std::string_view name) const;
  void SetItems(std::string_view name, const std::vector<std::wstring>& items);
  // The text of a combo box as the user just changed it (CBN_SELCHANGE: the chosen entry, which
  // the edit field does not show yet; otherwise the edit field).
  std::wstring ComboText(std::string_view name, int code) const;
  // Moves a control to `rect` (in the description's units, pixels at 96 DPI).
  void SetRect(std::string_view name, const desktop::Rect& rect);
  void BringToTop(std::string_view name);

  // The window's client area as described, scaled, at a screen place (the description's, or
  // centred over `over`, or on the screen when `over` is null).
  void Place(HWND over);
  // The window's client size as described, scaled, at the origin of its parent.
  void PlaceAtOrigin();
  // Lays the controls out again for the window's current DPI (after SetParent).
  void Relayout();

  // Shows the window modally: `disable` (its owner, or the program's main window) takes no input
  // until EndModal. Returns the answer: IDOK for a button that accepts, IDCANCEL for one that
  // rejects and for closing the window, IDNO for one that answers No.
  int RunModal(HWND disable);
  void EndModal(int answer);
  // Escape in a dialog: presses its close button or the button that rejects it, else closes it.
  void Escape();
  // Gives the focus to the first visible, enabled button (Enter presses it), focus shown.
  void FocusFirstButton();
  // Letters typed on a button or list are mnemonics only with Alt (a main window, where a bare
  // letter would otherwise press a button while the user types elsewhere).
  void SetMnemonicsNeedAlt(bool need_alt) { mnemonics_need_alt_ = need_alt; }

  // The program's message loops go through here: F1 (help for the focused control) and the
  // dialog keys (Tab, Enter, Escape, Alt+letter) of whichever window of ours has the message.
  static bool PreTranslate(MSG& message);
  // What F1 does: asks for help on `context` for a window of the program.
  static void SetHelpHandler(std::function<void(int context)> handler);
  // The hourglass over every window of the program while a run works.
  static void SetBusy(bool busy);
  static bool Busy();
  // The FormWindow a window belongs to (itself, one of its controls, or an inner window of
  // one); nullptr for windows of other programs and of the system.
  static FormWindow* Owning(HWND window);

 private:
  struct Panel {
    HBITMAP bitmap = nullptr;
    HBRUSH brush = nullptr;
    SIZE size{};
  };

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM w, LPARAM l);
  static LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM w, LPARAM l);
  LRESULT Handle(UINT message, WPARAM w, LPARAM l);
  LRESULT HandlePanel(HWND panel, UINT message, WPARAM w, LPARAM l);
  void Command(int id, int code);
  void CreateControls();
  void Layout();
  int Scale(int value) const;
  HFONT Font(const desktop::Font& font);
  Panel& PanelOf(HWND panel);
  void PaintGradient(HWND panel, HDC dc);
  HBRUSH ColourControl(HWND panel, HWND control, HDC dc, UINT message);
  int DefaultButtonId() const;
  int EscapeButtonId() const;
  HWND ControlById(int id) const;
  static void RegisterClasses();

  const desktop::Form& form_;
  HWND window_ = nullptr;
  UINT dpi_ = 96;
  std::vector<HWND> controls_;              // by position in the description
  std::vector<desktop::Rect> rects_;        // current places, in description units
  std::map<HWND, Panel> panels_;
  std::map<std::wstring, HFONT> fonts_;
  std::map<COLORREF, HBRUSH> brushes_;
  CommandHandler on_command_;
  std::function<void()> on_close_;
  std::function<void()> on_destroyed_;
  bool modal_ = false;
  bool mnemonics_need_alt_ = false;
  bool modal_done_ = false;
  int answer_ = IDCANCEL;
};

}  // namespace tc::win32
