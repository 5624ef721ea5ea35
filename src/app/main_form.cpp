#include "app/main_form.h"

#include <string>
#include <vector>

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QGuiApplication>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

#include "app/form_builder.h"
#include "app/help_system.h"
#include "app/ui_text.h"
#include "desktop/forms.h"
#include "platform/platform.h"

namespace tc::app {

namespace {

namespace names = desktop::names;

std::vector<std::string> Utf8(const QStringList& arguments) {
  std::vector<std::string> texts;
  for (const QString& argument : arguments) texts.push_back(argument.toStdString());
  return texts;
}

}  // namespace

TMForm::TMForm(const QStringList& arguments, DialogRunner runner, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      session_(desktop::ReadCommandLine(Utf8(arguments)),
               platform::ExecutableDir() / platform::PathFromUtf8(desktop::kOutcomeFile),
               platform::WorkingDir()),
      ui_(std::make_unique<QtInteraction>(this, std::move(runner))),
      help_(new HelpSystem(this)) {
  ui_->SetSession(&session_);
  session_.SetScreen(ui_.get());
  session_.FinishInterruptedRun();
  const desktop::Form& form = desktop::MainForm();
  setFixedSize(form.width, form.height);
  widgets_ = BuildForm(form, this);
  Draw3D1 = widgets_.at(std::string(names::kBottomPanel));
  Draw3D2 = widgets_.at(std::string(names::kConversionPanel));
  Draw3D3 = widgets_.at(std::string(names::kExportPanel));
  ComboBoxValCast = FindControl<QComboBox>(widgets_, names::kLanguage);
  BExportar = FindControl<QPushButton>(widgets_, names::kConvert);
  BImportar = FindControl<QPushButton>(widgets_, names::kExport);
  BClose = FindControl<QPushButton>(widgets_, names::kClose);
  Button1 = FindControl<QPushButton>(widgets_, names::kHelp);
  ListBoxPlanti = FindControl<QListWidget>(widgets_, names::kPeriods);
  LabelSituacion = FindControl<QLabel>(widgets_, names::kSituation);
  BCopias = FindControl<QPushButton>(widgets_, names::kBackups);
  BDeshacerUltima = FindControl<QPushButton>(widgets_, names::kUndoLast);
  CheckPreguntar = FindControl<QCheckBox>(widgets_, names::kAskPreview);
  // The bottom panel overlaps the direction panels by one line and stays on top of them, also
  // when one of them fills the window.
  Draw3D1->raise();

  createConnections();
  FormCreate();
}

TMForm::~TMForm() {
  // The foreign window object must not take our native window with it.
  if (host_ != nullptr) {
    if (QWindow* window = windowHandle()) window->setParent(nullptr);
    delete host_;
  }
}

void TMForm::createConnections() {
  connect(BExportar, &QPushButton::clicked, this, &TMForm::BExportarClick);
  connect(BImportar, &QPushButton::clicked, this, &TMForm::BImportarClick);
  connect(BClose, &QPushButton::clicked, this, &QWidget::close);
  connect(Button1, &QPushButton::clicked, this, &TMForm::Button1Click);
  connect(ComboBoxValCast, &QComboBox::currentTextChanged, this,
          [this](const QString& text) { session_.SetLanguage(ToCore(text)); });
  connect(BCopias, &QPushButton::clicked, this, &TMForm::BCopiasClick);
  connect(BDeshacerUltima, &QPushButton::clicked, this, &TMForm::BDeshacerUltimaClick);
  connect(CheckPreguntar, &QCheckBox::toggled, this, [this](bool checked) {
    if (checked != session_.AskPreview()) session_.SetAskPreview(checked);
  });
  help_->SetOnUnavailable([this](const std::string& text) { ui_->InformText(text); });
  qApp->installEventFilter(help_);
}

// The command line has been read by the session: two arguments mean that Clepsa hosts the
// window, showing one direction.
void TMForm::FormCreate() {
  const desktop::StartOptions& start = session_.Start();
  if (start.error) ui_->ShowErrorText(FromCore(*start.error));
  if (!start.embedded) {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
      const QRect area = screen->availableGeometry();
      move(area.center() - QPoint(width() / 2, height() / 2));
    }
    return;
  }
  EmbedInto(start.host_window);
  if (start.panels == desktop::Panels::ClepsaToItaca) KeepOnlyPanel(Draw3D3, Draw3D2);
  if (start.panels == desktop::Panels::ItacaToClepsa) KeepOnlyPanel(Draw3D2, Draw3D3);
}

// The window becomes a borderless child of Clepsa's window, at its client origin.
void TMForm::EmbedInto(std::uintptr_t host_window) {
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
  move(0, 0);
  if (host_window == 0) return;
  host_ = QWindow::fromWinId(static_cast<WId>(host_window));
  if (host_ == nullptr) return;
  winId();  // the native window must exist before it can be re-parented
  if (QWindow* window = windowHandle()) {
    window->setParent(host_);
    window->setPosition(0, 0);
  }
}

void TMForm::KeepOnlyPanel(QWidget* kept, QWidget* hidden) {
  hidden->hide();
  kept->setGeometry(0, 0, width(), height());
  Draw3D1->raise();
}

void TMForm::BExportarClick() {
  ui_->SetStartFolder(session_.FileDialogFolder());
  AfterRun(session_.Convert(*ui_));
}

void TMForm::BImportarClick() {
  ui_->SetStartFolder(session_.FileDialogFolder());
  AfterRun(session_.Export(*ui_));
}

void TMForm::BCopiasClick() {
  ui_->ShowBackups();
  ShowSituation();
}

void TMForm::BDeshacerUltimaClick() {
  session_.UndoLast();
  ShowSituation();
}

void TMForm::ShowSituation() {
  const QString situation = FromCore(session_.Situation()).trimmed();
  LabelSituacion->setText(situation);
  LabelSituacion->setToolTip(situation);
  BDeshacerUltima->setEnabled(session_.CanUndo());
  const QSignalBlocker quiet(CheckPreguntar);
  CheckPreguntar->setChecked(session_.AskPreview());
}

void TMForm::showEvent(QShowEvent* event) {
  ShowSituation();
  QWidget::showEvent(event);
}

void TMForm::Button1Click() {
  help_->SetHelpFile(FromCore(desktop::kHelpFile));
  if (!help_->ShowContents()) help_->TellUnavailable();
}

// What the window shows once a run has returned: the language and the period lines the run
// left, the directions' state, and, when the session says so, the window closes.
void TMForm::AfterRun(desktop::Session::Next next) {
  ui_->SetBusy(false);
  ComboBoxValCast->setCurrentText(FromCore(session_.State().LanguageChoice));
  ListBoxPlanti->clear();
  for (const std::string& line : session_.State().ListBoxPlanti) {
    ListBoxPlanti->addItem(FromCore(line));
  }
  BExportar->setEnabled(session_.RunsEnabled());
  BImportar->setEnabled(session_.RunsEnabled());
  ShowSituation();
  if (next == desktop::Session::Next::Close) close();
}

void TMForm::closeEvent(QCloseEvent* event) {
  if (const std::optional<Error> failure = session_.Closing()) ui_->ShowError(*failure);
  event->accept();
  emit Closed();
}

}  // namespace tc::app
