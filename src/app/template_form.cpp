#include "app/template_form.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QVBoxLayout>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

#include "app/gradient_panel.h"
#include "app/ui_text.h"
#include "run/run_state.h"
#include "run/template_dialog.h"

namespace tc::app {

namespace {

constexpr QColor kSkyBlue{0xA6, 0xCA, 0xF0};
constexpr QColor kRed{0xFF, 0x00, 0x00};
constexpr QColor kYellow{0xFF, 0xFF, 0x00};

QLabel* MakeLabel(const char* name, const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  return label;
}

void Colour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(role, colour);
  widget->setPalette(palette);
}

}  // namespace

QColor InactiveCaptionColor() {
#ifdef Q_OS_WIN
  const DWORD bgr = GetSysColor(COLOR_INACTIVECAPTION);
  return QColor(GetRValue(bgr), GetGValue(bgr), GetBValue(bgr));
#else
  return QColor(0xBF, 0xCD, 0xDB);  // the Windows default
#endif
}

TPlantillas::TPlantillas(TemplateDialog& logic, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      logic_(logic) {
  setObjectName(QStringLiteral("TPlantillas"));
  setWindowTitle(QStringLiteral("Plantillas Horarias"));
  SetHelpContext(this, 1);
  resize(kWidth, kHeight);
  move(kLeft, kTop);
  createControls();
  FormActivate();
}

void TPlantillas::createControls() {
  panel_ = new GradientPanel(kSkyBlue, Qt::white, InactiveCaptionColor(), this);
  panel_->setObjectName(QStringLiteral("Panel1"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(panel_);

  Label9 = MakeLabel("Label9", QString(), panel_);
  Label9->setFont(ArialFont(12, true));
  Colour(Label9, QPalette::WindowText, kRed);
  Label9->setGeometry(10, 12, 236, 18);

  ComboBoxValCast = new QComboBox(panel_);
  ComboBoxValCast->setObjectName(QStringLiteral("ComboBoxValCast"));
  ComboBoxValCast->setEditable(true);
  ComboBoxValCast->addItems({FromCore(kValencian), FromCore(kCastilian)});
  ComboBoxValCast->setGeometry(250, 9, 122, 22);

  LabelPlantillas = MakeLabel("LabelPlantillas", QString(), panel_);
  LabelPlantillas->setFont(ArialFont(13, true));
  LabelPlantillas->setWordWrap(true);
  LabelPlantillas->setGeometry(10, 40, 362, 34);

  ComboBoxPlantilla = new QComboBox(panel_);
  ComboBoxPlantilla->setObjectName(QStringLiteral("ComboBoxPlantilla"));
  ComboBoxPlantilla->setEditable(true);
  ComboBoxPlantilla->setCompleter(nullptr);  // what is typed stays as typed
  ComboBoxPlantilla->setInsertPolicy(QComboBox::NoInsert);
  Colour(ComboBoxPlantilla, QPalette::Base, kYellow);
  ComboBoxPlantilla->setGeometry(10, 84, 150, 22);

  Label3 = MakeLabel("Label3", QStringLiteral("Horario:"), panel_);
  Label3->setGeometry(172, 84, 50, 18);
  LabelNombre = MakeLabel("LabelNombre", QStringLiteral("-"), panel_);
  LabelNombre->setWordWrap(true);
  LabelNombre->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  LabelNombre->setGeometry(224, 86, 150, 44);

  Label2 = MakeLabel("Label2", QStringLiteral("Turno:"), panel_);
  Label2->setGeometry(172, 134, 50, 18);
  LabelTurno = MakeLabel("LabelTurno", QStringLiteral("-"), panel_);
  LabelTurno->setGeometry(224, 134, 150, 18);

  Label1 = MakeLabel("Label1", QStringLiteral("HORAS"), panel_);
  Label1->setGeometry(10, 114, 100, 18);
  ListBox1 = new QListWidget(panel_);
  ListBox1->setObjectName(QStringLiteral("ListBox1"));
  ListBox1->setGeometry(10, 132, 150, 160);

  BitBtnContinuar = new QPushButton(QStringLiteral("Continuar"), panel_);
  BitBtnContinuar->setObjectName(QStringLiteral("BitBtnContinuar"));
  BitBtnContinuar->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
  BitBtnContinuar->setDefault(true);
  BitBtnContinuar->setGeometry(262, 262, 110, 30);

  connect(ComboBoxPlantilla, &QComboBox::editTextChanged, this,
          &TPlantillas::ComboBoxPlantillaChange);
  connect(ComboBoxValCast, &QComboBox::editTextChanged, this,
          &TPlantillas::ComboBoxValCastChange);
  connect(BitBtnContinuar, &QPushButton::clicked, this, &QDialog::accept);
}

// Shows what the dialog's logic prepared on activation: the texts of the mode, the language,
// the template codes and the preselected one.
void TPlantillas::FormActivate() {
  Label9->setText(FromCore(logic_.LanguagePrompt()));
  LabelPlantillas->setText(FromCore(logic_.Instruction()));
  ComboBoxValCast->setVisible(logic_.LanguageVisible());

  const QSignalBlocker block_language(ComboBoxValCast);
  const QSignalBlocker block_codes(ComboBoxPlantilla);
  ComboBoxValCast->setEditText(FromCore(logic_.Language()));
  ComboBoxPlantilla->clear();
  for (const std::string& code : logic_.Codes()) ComboBoxPlantilla->addItem(FromCore(code));
  const QString code = FromCore(logic_.CodeText());
  ComboBoxPlantilla->setCurrentIndex(
      ComboBoxPlantilla->findText(code, Qt::MatchExactly | Qt::MatchCaseSensitive));
  ComboBoxPlantilla->setEditText(code);
  ShowChoice();
}

void TPlantillas::ComboBoxPlantillaChange(const QString& text) {
  logic_.SetCodeText(ToCore(text));
  ShowChoice();
}

void TPlantillas::ComboBoxValCastChange(const QString& text) {
  logic_.SetLanguage(ToCore(text));
  ShowChoice();
}

void TPlantillas::ShowChoice() {
  LabelNombre->setText(FromCore(logic_.Description()));
  LabelTurno->setText(FromCore(logic_.Shift()));
  ListBox1->clear();
  for (const std::string& line : logic_.PeriodLines()) ListBox1->addItem(FromCore(line));
}

}  // namespace tc::app
