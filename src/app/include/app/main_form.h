// TMForm, the main window: the two directions of transfer (ITACA to Clepsa, Clepsa to ITACA),
// the language of the texts, close and help. It owns the run state of the program run, reads the
// command line when it is created, embeds itself into Clepsa's window when started hosted, and
// reports the outcome to Clepsa in "Clepsa.ini" when it closes.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>

#include <QPointer>
#include <QStringList>
#include <QWidget>

#include "app/command_line.h"
#include "app/qt_interaction.h"
#include "run/run_state.h"

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
  // user (tests, unattended mode); empty for the real dialogs.
  explicit TMForm(const QStringList& arguments, DialogRunner runner = {},
                  QWidget* parent = nullptr);
  ~TMForm() override;

  static constexpr int kWidth = 632;   // client area
  static constexpr int kHeight = 266;

  const RunState& State() const { return state_; }
  QtInteraction& UserInteraction() { return *ui_; }
  HelpSystem& Help() { return *help_; }
  // The file the outcome is written to when hosted: "Clepsa.ini" beside the executable.
  const std::filesystem::path& OutcomeFile() const { return outcome_file_; }
  void SetOutcomeFile(std::filesystem::path file) { outcome_file_ = std::move(file); }
  // The working folder of the runs (C:\ZTEMP); tests point it elsewhere.
  std::filesystem::path WorkingFolder() const;
  void SetWorkingFolder(std::filesystem::path folder) { working_folder_ = std::move(folder); }

 signals:
  // The window has closed. Hosted, the window is no top-level window of its own, so the program
  // ends on this rather than on its last window closing.
  void Closed();

 public slots:
  void BExportarClick();
  void BImportarClick();
  void Button1Click();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void createDirectionPanels();
  void createBottomPanel();
  void createConnections();
  void FormCreate(const QStringList& arguments);
  void EmbedInto(std::uintptr_t host_window);
  void KeepOnlyPanel(GradientPanel* kept, GradientPanel* hidden);
  void RunDirection(const std::function<RunResult()>& run);
  void WriteOutcome();

  RunState state_;
  std::unique_ptr<QtInteraction> ui_;
  HelpSystem* help_ = nullptr;
  std::filesystem::path outcome_file_;
  std::filesystem::path working_folder_;
  bool outcome_written_ = false;
  QWindow* host_ = nullptr;  // Clepsa's window when hosted (a foreign window)

  GradientPanel* Draw3D1 = nullptr;
  GradientPanel* Draw3D2 = nullptr;
  GradientPanel* Draw3D3 = nullptr;
  QLabel* LabelExportar = nullptr;
  QLabel* LabelImportar = nullptr;
  QLabel* Label9 = nullptr;
  QComboBox* ComboBoxValCast = nullptr;
  QPushButton* BExportar = nullptr;
  QPushButton* BImportar = nullptr;
  QLabel* Label1 = nullptr;
  QPushButton* BClose = nullptr;
  QPushButton* Button1 = nullptr;
  QListWidget* ListBoxPlanti = nullptr;
};

}  // namespace tc::app
