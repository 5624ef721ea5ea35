// TMForm, the main window: the two directions of transfer (ITACA to Clepsa, Clepsa to ITACA),
// the language of the texts, close and help. What it shows comes from desktop::MainForm(), what
// it does from its desktop::Session: this class only wires the Qt widgets to them, embeds itself
// into Clepsa's window when started hosted, and reports the outcome when it closes.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include <QStringList>
#include <QWidget>

#include "app/qt_interaction.h"
#include "desktop/session.h"
#include "run/run_state.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QWindow;

namespace tc::app {

class GradientPanel;
class HelpSystem;

class TMForm : public QWidget {
  Q_OBJECT

 public:
  // `arguments` without the program name. `runner` answers the modal windows instead of the
  // user (tests); empty for the real dialogs.
  explicit TMForm(const QStringList& arguments, DialogRunner runner = {},
                  QWidget* parent = nullptr);
  ~TMForm() override;

  const RunState& State() const { return session_.State(); }
  desktop::Session& Session() { return session_; }
  QtInteraction& UserInteraction() { return *ui_; }
  HelpSystem& Help() { return *help_; }
  // The file the outcome is written to when hosted: "Clepsa.ini" beside the executable.
  const std::filesystem::path& OutcomeFile() const { return session_.OutcomeFile(); }
  void SetOutcomeFile(std::filesystem::path file) { session_.SetOutcomeFile(std::move(file)); }
  // The working folder of the runs (C:\ZTEMP); tests point it elsewhere.
  const std::filesystem::path& WorkingFolder() const { return session_.WorkingFolder(); }
  void SetWorkingFolder(std::filesystem::path folder) {
    session_.SetWorkingFolder(std::move(folder));
    ShowSituation();
  }
  // Where the user stands, whether there is something to undo, and the preview question's
  // state, shown again (after a run, a restore, a change of folder).
  void ShowSituation();

 signals:
  // The window has closed. Hosted, the window is no top-level window of its own, so the program
  // ends on this rather than on its last window closing.
  void Closed();

 public slots:
  void BExportarClick();
  void BImportarClick();
  void Button1Click();
  void BCopiasClick();
  void BDeshacerUltimaClick();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void createConnections();
  void FormCreate();
  void EmbedInto(std::uintptr_t host_window);
  void KeepOnlyPanel(QWidget* kept, QWidget* hidden);
  void AfterRun(desktop::Session::Next next);

  desktop::Session session_;
  std::unique_ptr<QtInteraction> ui_;
  HelpSystem* help_ = nullptr;
  QWindow* host_ = nullptr;  // Clepsa's window when hosted (a foreign window)

  std::map<std::string, QWidget*, std::less<>> widgets_;
  QWidget* Draw3D1 = nullptr;
  QWidget* Draw3D2 = nullptr;
  QWidget* Draw3D3 = nullptr;
  QComboBox* ComboBoxValCast = nullptr;
  QPushButton* BExportar = nullptr;
  QPushButton* BImportar = nullptr;
  QPushButton* BClose = nullptr;
  QPushButton* Button1 = nullptr;
  QListWidget* ListBoxPlanti = nullptr;
  QLabel* LabelSituacion = nullptr;
  QPushButton* BCopias = nullptr;
  QPushButton* BDeshacerUltima = nullptr;
  QCheckBox* CheckPreguntar = nullptr;
};

}  // namespace tc::app
