// The program's help: the contents of "ITACA.chm" (button "F1 Ayuda") and the topic of a help
// context (F1 on a control). On Windows the requests go to HtmlHelpA of HHCtrl.ocx, loaded at run
// time; elsewhere to a CHM viewer found on the system (xchm, which can open a context, or
// kchmviewer, which opens the file). With no engine, or no help file, a request does nothing.
#pragma once

#include <functional>
#include <optional>

#include <QObject>
#include <QString>
#include <QStringList>

namespace tc::app {

// The two requests of the help system; the numbers are HTML Help's command codes.
enum class HelpCommand { Contents = 1 /* HH_DISPLAY_TOC */, Context = 15 /* HH_HELP_CONTEXT */ };

// A CHM viewer program outside Windows.
struct HelpViewer {
  enum class Kind { XChm, KChmViewer };
  QString program;
  Kind kind = Kind::XChm;
};

// The arguments for a viewer: the help file, preceded by the context where the viewer takes one.
QStringList HelpViewerArguments(const HelpViewer& viewer, const QString& file, HelpCommand command,
                                int context);

// The help file's full path: a name without a folder is looked up beside the executable. Empty
// when the name does not end in ".chm" (any letter case).
QString ResolveHelpFile(const QString& name, const QString& executable_dir);

class HelpSystem : public QObject {
  Q_OBJECT

 public:
  // Starts a viewer program; returns whether it started.
  using Launcher = std::function<bool(const QString& program, const QStringList& arguments)>;

  explicit HelpSystem(QObject* parent = nullptr);
  ~HelpSystem() override;

  void SetHelpFile(const QString& name) { help_file_ = name; }
  const QString& HelpFile() const { return help_file_; }

  // Both return whether the request reached a help engine.
  bool ShowContents();
  bool ShowContext(int context);

  // Handles F1 for every window of the program once installed on the application.
  bool eventFilter(QObject* watched, QEvent* event) override;

  // The viewer found on this system, if any (not used on Windows).
  static std::optional<HelpViewer> FindViewer();
  // Tests replace the viewer and the way it is started.
  void SetViewer(std::optional<HelpViewer> viewer) { viewer_ = std::move(viewer); }
  void SetLauncher(Launcher launcher) { launcher_ = std::move(launcher); }

 private:
  bool Request(HelpCommand command, int context);

  QString help_file_;
  std::optional<HelpViewer> viewer_;
  Launcher launcher_;
  void* html_help_library_ = nullptr;  // HHCtrl.ocx (Windows)
  void* html_help_entry_ = nullptr;    // its HtmlHelpA
};

// The help context that F1 asks for on `widget`: its own, or that of the nearest parent that
// has one.
int FocusedHelpContext(const QObject* widget);

}  // namespace tc::app
