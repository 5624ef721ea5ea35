#include "win32/main_window.h"

#include <algorithm>

#include "desktop/forms.h"
#include "platform/platform.h"
#include "win32/identities.h"
#include "win32/text.h"

namespace tc::win32 {

namespace {

namespace names = desktop::names;

// The hidden window that owns the boxes and dialogs of a hosted program.
HWND CreateOwnerWindow() {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = [](HWND window, UINT message, WPARAM w, LPARAM l) -> LRESULT {
    if (message == WM_HELP) return TRUE;
    return DefWindowProcW(window, message, w, l);
  };
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.lpszClassName = kOwnerClass;
  RegisterClassExW(&window_class);
  return CreateWindowExW(0, kOwnerClass, FromCore(desktop::kAppTitle).c_str(), WS_OVERLAPPED, 0, 0,
                         0, 0, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

// Hosted, the window takes the DPI awareness of Clepsa's window, so that a window of one mode
// goes into a window of the same mode (Windows 10's mixed-mode rules); elsewhere the program is
// per-monitor aware (its manifest).
void TakeDpiAwarenessOf(HWND host) {
  using Context = HANDLE;
  using GetContext = Context(WINAPI*)(HWND);
  using SetContext = Context(WINAPI*)(Context);
  HMODULE user = GetModuleHandleW(L"user32.dll");
  const auto get = reinterpret_cast<GetContext>(
      reinterpret_cast<void*>(GetProcAddress(user, "GetWindowDpiAwarenessContext")));
  const auto set = reinterpret_cast<SetContext>(
      reinterpret_cast<void*>(GetProcAddress(user, "SetThreadDpiAwarenessContext")));
  if (get == nullptr || set == nullptr || !IsWindow(host)) return;
  if (Context context = get(host)) set(context);
}

// Hosted, focus and activation would involve Clepsa's window: activating it, or giving it the
// focus or taking the focus from it, sends it messages and waits for the answer. While Clepsa
// reads its messages that is what a click into the window does, and what hiding the window with
// the focus in it does (the focus goes to Clepsa's window); while Clepsa waits for the program
// without reading them (the answer would never come) the change is refused: a click still
// presses a button, the keyboard stays where it was, the window still closes.
thread_local HHOOK g_host_guard = nullptr;
thread_local HWND g_host = nullptr;
constexpr UINT kHostAnswerMs = 300;

bool OfAnotherProgram(HWND window) {
  DWORD process = 0;
  return window != nullptr && GetWindowThreadProcessId(window, &process) != 0 &&
         process != GetCurrentProcessId();
}

bool HostAnswers() {
  DWORD_PTR ignored = 0;
  return SendMessageTimeoutW(g_host, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, kHostAnswerMs,
                             &ignored) != 0;
}

LRESULT CALLBACK GuardHost(int code, WPARAM w, LPARAM l) {
  bool involves_host = false;
  if (code == HCBT_ACTIVATE) {
    const auto* activation = reinterpret_cast<const CBTACTIVATESTRUCT*>(l);
    involves_host = OfAnotherProgram(reinterpret_cast<HWND>(w)) ||
                    (activation != nullptr && OfAnotherProgram(activation->hWndActive));
  } else if (code == HCBT_SETFOCUS) {  // the window gaining the focus, the one losing it
    involves_host = OfAnotherProgram(reinterpret_cast<HWND>(w)) ||
                    OfAnotherProgram(reinterpret_cast<HWND>(l));
  }
  if (involves_host && !HostAnswers()) return 1;  // refused
  return CallNextHookEx(g_host_guard, code, w, l);
}

// Whether the program runs under Wine, whose ntdll exports its version.
bool UnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// How often the window laid over Clepsa's looks where Clepsa's window is (moves, sizes,
// minimising, other windows over it): Clepsa tells no other program of them.
constexpr UINT kFollowMs = 40;
constexpr UINT_PTR kFollowTimer = 1;
thread_local MainWindow* g_following = nullptr;

constexpr DWORD kStandaloneStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX |
                                   WS_CLIPCHILDREN;

}  // namespace

MainWindow::MainWindow(const std::vector<std::string>& arguments)
    : session_(desktop::ReadCommandLine(arguments),
               platform::ExecutableDir() / platform::PathFromUtf8(desktop::kOutcomeFile),
               platform::WorkingDir()),
      help_(desktop::kHelpFile) {
  session_.FinishInterruptedRun();
  const desktop::StartOptions& start = session_.Start();
  HWND host = reinterpret_cast<HWND>(start.host_window);
  if (start.embedded) TakeDpiAwarenessOf(host);

  form_ = std::make_unique<FormWindow>(desktop::MainForm(),
                                       start.embedded ? (WS_POPUP | WS_CLIPCHILDREN)
                                                      : kStandaloneStyle,
                                       0, nullptr);
  owner_ = start.embedded ? CreateOwnerWindow() : form_->Handle();
  ui_ = std::make_unique<Win32Interaction>(session_, owner_, form_->Handle());
  session_.SetScreen(ui_.get());
  // The bottom panel overlaps the direction panels by one line and stays above them.
  form_->BringToTop(names::kBottomPanel);
  form_->SetMnemonicsNeedAlt(true);  // "&Salir" only with Alt+S

  form_->OnCommand([this](std::string_view name, int code) {
    if (name == names::kLanguage && (code == CBN_EDITCHANGE || code == CBN_SELCHANGE)) {
      session_.SetLanguage(ToCore(form_->ComboText(name, code)));
    } else if (code != BN_CLICKED) {
      return;
    } else if (name == names::kConvert) {
      RunDirection(true);
    } else if (name == names::kExport) {
      RunDirection(false);
    } else if (name == names::kClose) {
      Close();
    } else if (name == names::kHelp) {
      if (!help_.ShowContents(HelpOwner())) ui_->Tell(help_.UnavailableText());
    } else if (name == names::kBackups && !running_) {
      ui_->ShowBackups();
      ShowSituation();
    } else if (name == names::kUndoLast && !running_) {
      session_.UndoLast();
      ShowSituation();
    } else if (name == names::kAskPreview) {
      session_.SetAskPreview(SendMessageW(form_->Control(name), BM_GETCHECK, 0, 0) ==
                             BST_CHECKED);
    }
  });
  form_->OnClose([this] { Close(); });
  form_->OnDestroyed([this] {
    if (!closed_) Closed();
  });
  FormWindow::SetHelpHandler([this](int context) {
    if (!help_.ShowContext(HelpOwner(), context)) ui_->Tell(help_.UnavailableText());
  });
  ShowSituation();

  if (start.error) ui_->ShowErrorText(*start.error);
  if (!start.embedded) {
    form_->Place(nullptr);
    return;
  }
  Embed(host);
  if (start.panels == desktop::Panels::ClepsaToItaca) {
    KeepOnlyPanel(names::kExportPanel, names::kConversionPanel);
  } else if (start.panels == desktop::Panels::ItacaToClepsa) {
    KeepOnlyPanel(names::kConversionPanel, names::kExportPanel);
  }
}

MainWindow::~MainWindow() {
  FormWindow::SetHelpHandler({});
  if (g_following == this) {
    KillTimer(form_->Handle(), kFollowTimer);
    g_following = nullptr;
  }
  form_->OnDestroyed({});
  ui_.reset();
  form_.reset();
  if (owner_ != nullptr && IsWindow(owner_)) DestroyWindow(owner_);
  if (g_host_guard != nullptr) UnhookWindowsHookEx(g_host_guard);
  g_host_guard = nullptr;
}

// The window becomes a borderless child of Clepsa's window, at its client origin. Under Wine,
// which never draws a window one program puts inside another program's, it is instead a
// borderless window owned by Clepsa's and laid over its client area, where it stays (FollowHost).
// A handle that is no window leaves it a borderless window at the screen's origin.
void MainWindow::Embed(HWND host) {
  HWND window = form_->Handle();
  LONG_PTR ex_style = GetWindowLongPtrW(window, GWL_EXSTYLE);
  ex_style &= ~static_cast<LONG_PTR>(WS_EX_APPWINDOW | WS_EX_WINDOWEDGE | WS_EX_DLGMODALFRAME);
  SetWindowLongPtrW(window, GWL_EXSTYLE, ex_style | WS_EX_NOPARENTNOTIFY | WS_EX_CONTROLPARENT);
  if (IsWindow(host)) {
    g_host = host;
    g_host_guard = SetWindowsHookExW(WH_CBT, GuardHost, nullptr, GetCurrentThreadId());
    if (UnderWine()) {
      SetWindowLongPtrW(window, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(host));
      over_ = host;
    } else {
      SetWindowLongPtrW(window, GWL_STYLE, WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
      if (SetParent(window, host) == nullptr) {
        SetWindowLongPtrW(window, GWL_STYLE, WS_POPUP | WS_CLIPCHILDREN);
      }
    }
  }
  form_->Relayout();
  form_->PlaceAtOrigin();
  if (over_ != nullptr) FollowHost();
}

// The window laid over Clepsa's client area as a child would sit in it: at its origin, cut
// where the area ends, hidden while Clepsa's window is minimised or hidden; when Clepsa's window
// goes, the window closes as a child would.
void MainWindow::FollowHost() {
  HWND window = form_->Handle();
  if (!IsWindow(over_)) {
    KillTimer(window, kFollowTimer);
    g_following = nullptr;
    over_ = nullptr;
    DestroyWindow(window);  // its WM_DESTROY reports the outcome
    return;
  }
  const bool host_shown = IsWindowVisible(over_) && !IsIconic(over_);
  if (!host_shown) {
    if (IsWindowVisible(window)) ShowWindow(window, SW_HIDE);
    return;
  }
  POINT origin{0, 0};
  ClientToScreen(over_, &origin);
  RECT client{};
  GetClientRect(over_, &client);
  RECT own{};
  GetWindowRect(window, &own);
  const SIZE size{own.right - own.left, own.bottom - own.top};
  const SIZE visible{std::min<LONG>(size.cx, client.right), std::min<LONG>(size.cy, client.bottom)};
  if (visible.cx != cut_.cx || visible.cy != cut_.cy) {
    cut_ = visible;
    const bool whole = visible.cx == size.cx && visible.cy == size.cy;
    SetWindowRgn(window, whole ? nullptr : CreateRectRgn(0, 0, visible.cx, visible.cy), TRUE);
  }
  // Above Clepsa's window and under whatever covers it: the system keeps an owned window so.
  const bool show = showing_ && !IsWindowVisible(window);
  if (!show && own.left == origin.x && own.top == origin.y) return;  // already there
  SetWindowPos(window, nullptr, origin.x, origin.y, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | (show ? SWP_SHOWWINDOW : 0));
}

void MainWindow::KeepOnlyPanel(std::string_view kept, std::string_view hidden) {
  ShowWindow(form_->Control(hidden), SW_HIDE);
  const desktop::Form& form = desktop::MainForm();
  form_->SetRect(kept, {0, 0, form.width, form.height});
  form_->BringToTop(names::kBottomPanel);
}

int MainWindow::Run() {
  HWND window = form_->Handle();
  if (over_ != nullptr) {
    showing_ = true;
    g_following = this;
    SetTimer(window, kFollowTimer, kFollowMs, [](HWND, UINT, UINT_PTR, DWORD) {
      if (g_following != nullptr) g_following->FollowHost();
    });
    FollowHost();
  } else if (session_.Start().embedded) {
    ShowWindow(window, SW_SHOWNA);  // no activation: that would be Clepsa's window's
  } else {
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    form_->FocusFirstButton();
  }
  UpdateWindow(window);
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (!FormWindow::PreTranslate(message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  return static_cast<int>(message.wParam);
}

void MainWindow::RunDirection(bool conversion) {
  if (running_ || !session_.RunsEnabled()) return;
  running_ = true;
  ui_->SetStartFolder(session_.FileDialogFolder());
  const desktop::Session::Next next =
      conversion ? session_.Convert(*ui_) : session_.Export(*ui_);
  running_ = false;
  AfterRun(next);
}

// What the window shows once a run has returned: the language and the period lines the run
// left, the directions' state, and, when the session says so, the window closes.
void MainWindow::AfterRun(desktop::Session::Next next) {
  ui_->SetBusy(false);
  form_->SetText(names::kLanguage, FromCore(session_.State().LanguageChoice));
  std::vector<std::wstring> lines;
  for (const std::string& line : session_.State().ListBoxPlanti) lines.push_back(FromCore(line));
  form_->SetItems(names::kPeriods, lines);
  const bool enabled = session_.RunsEnabled();
  EnableWindow(form_->Control(names::kConvert), enabled);
  EnableWindow(form_->Control(names::kExport), enabled);
  ShowSituation();
  if (next == desktop::Session::Next::Close || close_requested_) {
    PostMessageW(form_->Handle(), WM_CLOSE, 0, 0);
  } else if (!enabled && !session_.Start().embedded) {
    SetFocus(form_->Control(names::kClose));
  }
}

void MainWindow::ShowSituation() {
  std::string situation = session_.Situation();
  while (!situation.empty() && situation.back() == '\n') situation.pop_back();
  form_->SetText(names::kSituation, FromCore(situation));
  EnableWindow(form_->Control(names::kUndoLast), session_.CanUndo());
  SendMessageW(form_->Control(names::kAskPreview), BM_SETCHECK,
               session_.AskPreview() ? BST_CHECKED : BST_UNCHECKED, 0);
}

// "&Salir", the close box, or the end of a hosted run: hosted, the outcome goes to Clepsa.ini.
void MainWindow::Close() {
  if (running_) {
    close_requested_ = true;  // once the run has returned
    return;
  }
  if (closed_) return;
  Closed();
  form_->OnDestroyed({});
  DestroyWindow(form_->Handle());
}

void MainWindow::Closed() {
  closed_ = true;
  if (const std::optional<Error> failure = session_.Closing()) ui_->ShowError(*failure);
  help_.CloseAll();
  PostQuitMessage(0);
}

}  // namespace tc::win32
