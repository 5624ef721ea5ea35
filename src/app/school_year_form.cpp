#include "app/school_year_form.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QVBoxLayout>

#include "app/gradient_panel.h"
#include "app/ui_text.h"
#include "run/school_year_dialog.h"

namespace tc::app {

namespace {

QLabel* MakeLabel(const char* name, const QString& text, const QColor& colour, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setFont(ArialFont(12, true));
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, colour);
  label->setPalette(palette);
  return label;
}

}  // namespace

TCurExp::TCurExp(SchoolYearDialog& logic, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      logic_(logic) {
  setObjectName(QStringLiteral("TCurExp"));
  setWindowTitle(QStringLiteral("Curso de destino"));
  setFixedSize(kWidth, kHeight);
  createControls();
  FormActivate();
}

void TCurExp::createControls() {
  panel_ = new GradientPanel(QColor(0xC2, 0xCD, 0xFE), QColor(0xCF, 0xF2, 0xFE),
                             QColor(0xCC, 0xD8, 0xE6), this);
  panel_->setObjectName(QStringLiteral("Panel1"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(panel_);

  LabelCurso = MakeLabel(
      "LabelCurso",
      QStringLiteral("Seleccione el Curso para el que quiere Exportar el Resultado del Horario."),
      Qt::black, panel_);
  LabelCurso->setWordWrap(true);
  LabelCurso->setGeometry(12, 8, 372, 34);

  LabelCurSelected = MakeLabel("LabelCurSelected",
                               QStringLiteral("Curso seleccionado actualmente:"), Qt::blue, panel_);
  LabelCurSelected->setGeometry(12, 56, 210, 18);
  LabelCurActual = MakeLabel("LabelCurActual", QStringLiteral("-"), Qt::red, panel_);
  LabelCurActual->setFont(ArialFont(16, true));
  LabelCurActual->setGeometry(226, 52, 160, 24);

  LabelSeleccion =
      MakeLabel("LabelSeleccion",
                QStringLiteral("Curso para el que se efectuar\u00E1 la Exportaci\u00F3n:"), Qt::red,
                panel_);
  LabelSeleccion->setGeometry(12, 92, 280, 18);
  ComboBoxCurso = new QComboBox(panel_);
  ComboBoxCurso->setObjectName(QStringLiteral("ComboBoxCurso"));
  ComboBoxCurso->setEditable(true);
  ComboBoxCurso->setInsertPolicy(QComboBox::NoInsert);
  for (const std::string& year : SchoolYearDialog::Years()) ComboBoxCurso->addItem(FromCore(year));
  ComboBoxCurso->setGeometry(296, 89, 88, 22);

  BitBtnContinuar = new QPushButton(QStringLiteral("Continuar"), panel_);
  BitBtnContinuar->setObjectName(QStringLiteral("BitBtnContinuar"));
  BitBtnContinuar->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
  BitBtnContinuar->setDefault(true);
  BitBtnContinuar->setGeometry(143, 134, 110, 30);

  connect(ComboBoxCurso, &QComboBox::editTextChanged, this, &TCurExp::ComboBoxCursoChange);
  connect(BitBtnContinuar, &QPushButton::clicked, this, &QDialog::accept);
}

// The year of the file is shown; the combo box starts empty.
void TCurExp::FormActivate() {
  const QSignalBlocker block(ComboBoxCurso);
  ComboBoxCurso->setCurrentIndex(-1);
  ComboBoxCurso->setEditText(QString());
  LabelCurActual->setText(FromCore(logic_.Shown()));
}

void TCurExp::ComboBoxCursoChange(const QString& text) {
  logic_.SetComboText(ToCore(text));
  LabelCurActual->setText(FromCore(logic_.Shown()));
}

}  // namespace tc::app
