// Unattended operation of the desktop program, for the hosting tests and the screenshots. Built
// into test programs only (driven_main.cpp, screenshots_main.cpp), never into the program users
// get.
//
// TRANSCLEPSA_AUTOPILOT: commands separated by ';', carried out one after the other once the
// main window is shown:
//   click:NAME   clicks the main window's button NAME (BExportar, BImportar, BClose, Button1)
//   file:PATH    the answer of the next file dialogs (without it they are cancelled)
//   yes          the next question is answered "Sí" (otherwise questions are answered "No")
//   report:PATH  writes the window's state to PATH (native handle, hosting, panels, buttons)
//   wait         waits for a line on standard input before going on
// Every modal window is answered instead of shown: message boxes with their button, the
// template and school-year dialogs with "Continuar". Each is echoed on standard output as one
// line: "box <icon> <text>" or "dialog <caption>", line breaks written as "\n".

#pragma once

#include <deque>
#include <optional>

#include <QObject>
#include <QString>

#include "app/qt_interaction.h"

class QSocketNotifier;

namespace tc::app {

class TMForm;

class Autopilot : public QObject {
  Q_OBJECT

 public:
  // nullptr unless TRANSCLEPSA_AUTOPILOT is set.
  static Autopilot* FromEnvironment(QObject* parent);
  explicit Autopilot(const QString& script, QObject* parent = nullptr);

  // The runner that answers every modal window.
  DialogRunner Runner();
  // Starts the commands on the shown window.
  void Start(TMForm* form);

 private:
  int Answer(QDialog& dialog);
  void Step();
  void WriteReport(const QString& path) const;

  std::deque<QString> commands_;
  std::optional<QString> file_;
  int yes_answers_ = 0;
  TMForm* form_ = nullptr;
  QSocketNotifier* input_ = nullptr;
};

// Saves the main window and the dialogs as PNG files in `folder`, the dialogs showing the
// templates of the ITACA file `xml`. Returns the program's exit status.
int TakeScreenshots(const QString& folder, const QString& xml);

}  // namespace tc::app
