#include "app/main_form.h"

#include <string>

#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QWindow>

#include "app/gradient_panel.h"
#include "app/help_system.h"
#include "app/ui_text.h"
#include "base/error.h"
#include "platform/platform.h"
#include "run/advice.h"
#include "run/conversion_run.h"
#include "run/export_run.h"

namespace tc::app {

namespace {

// Colours of the three panels: the direction panels and the bottom one.
constexpr QRgb kDirectionStart = 0xF9D37D;
constexpr QRgb kDirectionMiddle = 0xFFFFFF;
constexpr QRgb kDirectionEnd = 0xFFEEDD;
constexpr QRgb kBottomStart = 0xC2CDFE;
constexpr QRgb kBottomMiddle = 0xCFF2FE;
constexpr QRgb kBottomEnd = 0xCCD8E6;

constexpr int kContextWindow = 1;     // the window, the language and the help button
constexpr int kContextDirection = 3;  // the direction panels and their buttons

constexpr char kIniSection[] = "Transformadores";
constexpr char kIniKey[] = "Transformado";
constexpr char kIniFile[] = "Clepsa.ini";

QLabel* MakeLabel(const char* name, const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  return label;
}

QLabel* MakeHeading(const char* name, const QString& text, QWidget* parent) {
  QLabel* label = MakeLabel(name, text, parent);
  label->setFont(ArialFont(16, true));
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  return label;
}

void MakeRedBold(QLabel* label) {
  label->setFont(ArialFont(12, true));
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, Qt::red);
  label->setPalette(palette);
}

QPushButton* MakeButton(const char* name, const QString& text, QStyle::StandardPixmap icon,
                        QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setIcon(parent->style()->standardIcon(icon));
  return button;
}

}  // namespace

TMForm::TMForm(const QStringList& arguments, DialogRunner runner, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      ui_(std::make_unique<QtInteraction>(this, std::move(runner))),
      help_(new HelpSystem(this)),
      outcome_file_(platform::ExecutableDir() / kIniFile) {
  setObjectName(QStringLiteral("MForm"));
  setWindowTitle(QStringLiteral("Exportar e importar datos entre Clepsa e ITACA"));
  setFixedSize(kWidth, kHeight);
  SetHelpContext(this, kContextWindow);

  createBottomPanel();
  createDirectionPanels();
  createConnections();
  FormCreate(arguments);
}

TMForm::~TMForm() {
  // The foreign window object must not take our native window with it.
  if (host_ != nullptr) {
    if (QWindow* window = windowHandle()) window->setParent(nullptr);
    delete host_;
  }
}

void TMForm::createDirectionPanels() {
  Draw3D2 = new GradientPanel(QColor(kDirectionStart), QColor(kDirectionMiddle),
                              QColor(kDirectionEnd), this);
  Draw3D2->setObjectName(QStringLiteral("Draw3D2"));
  Draw3D2->setGeometry(0, 0, 315, 169);
  SetHelpContext(Draw3D2, kContextDirection);

  LabelExportar = MakeHeading(
      "LabelExportar", QStringLiteral("Transformar datos desde ITACA hacia Clepsa "), Draw3D2);
  LabelExportar->setGeometry(8, 10, 299, 44);

  Label9 = MakeLabel("Label9", QStringLiteral("Recoger Textos en:"), Draw3D2);
  MakeRedBold(Label9);
  Label9->setGeometry(24, 72, 130, 20);

  ComboBoxValCast = new QComboBox(Draw3D2);
  ComboBoxValCast->setObjectName(QStringLiteral("ComboBoxValCast"));
  ComboBoxValCast->setEditable(true);
  ComboBoxValCast->addItems({FromCore(kValencian), FromCore(kCastilian)});
  ComboBoxValCast->setCurrentIndex(0);
  ComboBoxValCast->setGeometry(160, 70, 130, 22);
  SetHelpContext(ComboBoxValCast, kContextWindow);

  BExportar = MakeButton("BExportar", QStringLiteral("OK"), QStyle::SP_DialogOkButton, Draw3D2);
  BExportar->setGeometry(120, 118, 75, 28);
  SetHelpContext(BExportar, kContextDirection);

  Draw3D3 = new GradientPanel(QColor(kDirectionStart), QColor(kDirectionMiddle),
                              QColor(kDirectionEnd), this);
  Draw3D3->setObjectName(QStringLiteral("Draw3D3"));
  Draw3D3->setGeometry(316, 0, 317, 169);
  SetHelpContext(Draw3D3, kContextDirection);

  LabelImportar = MakeHeading(
      "LabelImportar", QStringLiteral("Transformar datos desde Clepsa hacia ITACA"), Draw3D3);
  LabelImportar->setGeometry(8, 10, 301, 44);

  BImportar = MakeButton("BImportar", QStringLiteral("OK"), QStyle::SP_DialogOkButton, Draw3D3);
  BImportar->setGeometry(121, 118, 75, 28);
  SetHelpContext(BImportar, kContextDirection);

  // The bottom panel overlaps the direction panels by one line and stays on top of them, also
  // when one of them fills the window.
  Draw3D1->raise();
}

void TMForm::createBottomPanel() {
  Draw3D1 = new GradientPanel(QColor(kBottomStart), QColor(kBottomMiddle), QColor(kBottomEnd),
                              this);
  Draw3D1->setObjectName(QStringLiteral("Draw3D1"));
  Draw3D1->setGeometry(0, 168, 633, 97);

  Label1 = MakeLabel("Label1", QStringLiteral("TransClepsaITACA para PX17 V-1.0"), Draw3D1);
  MakeRedBold(Label1);
  Label1->setGeometry(16, 38, 260, 20);

  BClose = MakeButton("BClose", QStringLiteral("&Salir"), QStyle::SP_DialogCloseButton, Draw3D1);
  BClose->setGeometry(410, 33, 90, 30);

  Button1 = new QPushButton(QStringLiteral("F1 Ayuda"), Draw3D1);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(516, 33, 90, 30);
  SetHelpContext(Button1, kContextWindow);

  ListBoxPlanti = new QListWidget(Draw3D1);
  ListBoxPlanti->setObjectName(QStringLiteral("ListBoxPlanti"));
  ListBoxPlanti->setGeometry(300, 8, 100, 80);
  ListBoxPlanti->hide();
}

void TMForm::createConnections() {
  connect(BExportar, &QPushButton::clicked, this, &TMForm::BExportarClick);
  connect(BImportar, &QPushButton::clicked, this, &TMForm::BImportarClick);
  connect(BClose, &QPushButton::clicked, this, &QWidget::close);
  connect(Button1, &QPushButton::clicked, this, &TMForm::Button1Click);
  connect(ComboBoxValCast, &QComboBox::editTextChanged, this,
          [this](const QString& text) { state_.LanguageChoice = ToCore(text); });
  qApp->installEventFilter(help_);
}

// Reads the command line: two arguments mean that Clepsa hosts the window.
void TMForm::FormCreate(const QStringList& arguments) {
  state_.OutcomeCode = kOutcomeNothing;
  const StartOptions options = ReadCommandLine(arguments);
  if (options.error) {
    ui_->ShowErrorText(*options.error);
  }
  if (!options.embedded) {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
      const QRect area = screen->availableGeometry();
      move(area.center() - QPoint(kWidth / 2, kHeight / 2));
    }
    return;
  }
  EmbedInto(options.host_window);
  state_.EmbeddedRun = true;
  if (options.panels == Panels::ClepsaToItaca) KeepOnlyPanel(Draw3D3, Draw3D2);
  if (options.panels == Panels::ItacaToClepsa) KeepOnlyPanel(Draw3D2, Draw3D3);
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

void TMForm::KeepOnlyPanel(GradientPanel* kept, GradientPanel* hidden) {
  hidden->hide();
  kept->setGeometry(0, 0, kWidth, kHeight);
  Draw3D1->raise();
}

std::filesystem::path TMForm::WorkingFolder() const {
  return working_folder_.empty() ? platform::WorkingDir() : working_folder_;
}

void TMForm::BExportarClick() {
  RunDirection([this] { return RunConversion(state_, *ui_, WorkingFolder()).result; });
}

void TMForm::BImportarClick() {
  RunDirection([this] { return RunExport(state_, *ui_, WorkingFolder()).result; });
}

void TMForm::Button1Click() {
  help_->SetHelpFile(QString::fromLatin1(kHelpFile));
  help_->ShowContents();
}

// One run of either direction and what follows it: after a completed run both directions are
// disabled (one run per program start); hosted, the window closes after a completed run and
// after a missing input. An error ends the run in the standard error box; nothing else changes.
void TMForm::RunDirection(const std::function<RunResult()>& run) {
  if (!state_.ItacaFileName.empty()) ui_->SetStartFolder(state_.ItacaFileName.parent_path());
  std::optional<RunResult> result;
  try {
    result = run();
  } catch (const std::exception& error) {
    ui_->SetBusy(false);
    ui_->ShowError(AsError(error));
  }
  ui_->SetBusy(false);

  ComboBoxValCast->setEditText(FromCore(state_.LanguageChoice));
  ListBoxPlanti->clear();
  for (const std::string& line : state_.ListBoxPlanti) ListBoxPlanti->addItem(FromCore(line));

  if (!result) return;
  if (*result == RunResult::Completed) {
    state_.OutcomeCode = kOutcomeCompleted;
    BExportar->setEnabled(false);
    BImportar->setEnabled(false);
    if (state_.EmbeddedRun) close();
  } else if (state_.EmbeddedRun) {
    state_.OutcomeCode = kOutcomeMissingInput;
    close();
  }
}

void TMForm::closeEvent(QCloseEvent* event) {
  WriteOutcome();
  event->accept();
  emit Closed();
}

// Hosted only, and once: the outcome of the program run for Clepsa.
void TMForm::WriteOutcome() {
  if (!state_.EmbeddedRun || outcome_written_) return;
  outcome_written_ = true;
  try {
    platform::WriteIniValue(outcome_file_, kIniSection, kIniKey,
                            std::to_string(state_.OutcomeCode));
  } catch (const Error& error) {
    ui_->ShowError(error);
  }
}

}  // namespace tc::app
