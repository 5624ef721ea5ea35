// The program's help on Linux: the contents of "ITACA.chm" (button "F1 Ayuda") and the topic of a
// help context (F1 on a control) go to a CHM viewer found on the system (xchm, which can open a
// context, or kchmviewer, which opens the file). With no viewer, or no help file, a request does
// nothing. (On Windows the Windows program asks HTML Help itself.)
#pragma once

#include <functional>
#include <optional>
#include <string>

#include <QObject>
#include <QString>
#include <QStringList>

#include "desktop/help.h"

namespace tc::app {

// A CHM viewer program.
struct HelpViewer {
  enum class Kind { XChm, KChmViewer };
  QString program;
  Kind kind = Kind::XChm;
};

// The arguments for a viewer: the help file, preceded by the context where the viewer takes one.
QStringList HelpViewerArguments(const HelpViewer& viewer, const QString& file,
                                desktop::HelpCommand command, int context);

class HelpSystem : public QObject {
  Q_OBJECT

 public:
  // Starts a viewer program; returns whether it started.
  using Launcher = std::function<bool(const QString& program, const QStringList& arguments)>;

  explicit HelpSystem(QObject* parent = nullptr);

  void SetHelpFile(const QString& name) { help_file_ = name; }

  // Both return whether the request reached a viewer.
  bool ShowContents();
  bool ShowContext(int context);

  // Handles F1 for every window of the program once installed on the application.
  bool eventFilter(QObject* watched, QEvent* event) override;

  // The viewer found on this system, if any.
  static std::optional<HelpViewer> FindViewer();
  // What F1 does when the help cannot be shown: tells it, with how to open the file.
  using Unavailable = std::function<void(const std::string& cp1252)>;
  void SetOnUnavailable(Unavailable tell) { on_unavailable_ = std::move(tell); }
  // Says why a request that returned false could not be shown (when told how to).
  void TellUnavailable() const;
  // Tests replace the viewer and the way it is started.
  void SetViewer(std::optional<HelpViewer> viewer) { viewer_ = std::move(viewer); }
  void SetLauncher(Launcher launcher) { launcher_ = std::move(launcher); }

 private:
  bool Request(desktop::HelpCommand command, int context);

  QString help_file_;
  std::optional<HelpViewer> viewer_;
  Launcher launcher_;
  Unavailable on_unavailable_;
};

// The help context that F1 asks for on `widget`: its own, or that of the nearest parent that
// has one.
int FocusedHelpContext(const QObject* widget);

}  // namespace tc::app
