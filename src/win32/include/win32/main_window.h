// The Windows program's main window "Exportar e importar datos entre Clepsa e ITACA": the two
// directions, the language of the texts, "&Salir" and "F1 Ayuda". What it shows comes from
// desktop::MainForm(), what it does from its desktop::Session; this class wires the Windows
// controls to them, puts itself inside Clepsa's window when started hosted, and reports the
// outcome when it closes.
//
// Hosted, nothing of the program waits for Clepsa's window: the window is a child of it
// (SetParent; under Wine, a window owned by it and laid over its client area) that sends it no message (no parent notifications, none of the messages whose
// default handling goes to the parent), and the boxes and dialogs belong to a hidden window of
// the program instead of Clepsa's window, which owning them would disable. Focus and activation,
// which the system shares with Clepsa's window and changes by waiting for its answer, change only
// while Clepsa answers. So a Clepsa that waits for the program to end, without reading its own
// messages, cannot stop it.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "desktop/session.h"
#include "win32/form_window.h"
#include "win32/html_help.h"
#include "win32/win32_interaction.h"

namespace tc::win32 {

class MainWindow {
 public:
  // `arguments`: the command line without the program's name, UTF-8.
  explicit MainWindow(const std::vector<std::string>& arguments);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Shows the window and runs the message loop until it closes; returns the exit status.
  int Run();

 private:
  void Embed(HWND host);
  void FollowHost();
  void KeepOnlyPanel(std::string_view kept, std::string_view hidden);
  void RunDirection(bool conversion);
  void AfterRun(desktop::Session::Next next);
  // Where the user stands, whether there is something to undo, the preview question's state.
  void ShowSituation();
  void Close();
  void Closed();
  HWND HelpOwner() const { return owner_; }

  desktop::Session session_;
  HWND owner_ = nullptr;  // owns the boxes and dialogs: the main window, or hidden when hosted
  std::unique_ptr<FormWindow> form_;
  std::unique_ptr<Win32Interaction> ui_;
  HtmlHelp help_;
  bool running_ = false;
  bool close_requested_ = false;
  bool closed_ = false;
  HWND over_ = nullptr;  // under Wine, Clepsa's window, which the window is laid over
  bool showing_ = false;
  SIZE cut_{};           // the part of the window Clepsa's client area leaves visible
};

}  // namespace tc::win32
