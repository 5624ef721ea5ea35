#include "app/school_year_form.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>

#include "app/form_builder.h"
#include "app/ui_text.h"
#include "desktop/forms.h"
#include "run/school_year_dialog.h"

namespace tc::app {

namespace {

namespace names = desktop::names;

}  // namespace

TCurExp::TCurExp(SchoolYearDialog& logic, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      logic_(logic) {
  const desktop::Form& form = desktop::SchoolYearForm();
  setFixedSize(form.width, form.height);
  createControls(form);
  FormActivate();
}

void TCurExp::createControls(const desktop::Form& form) {
  const auto widgets = BuildForm(form, this);
  LabelCurActual = FindControl<QLabel>(widgets, names::kYearShown);
  ComboBoxCurso = FindControl<QComboBox>(widgets, names::kYearCombo);
  for (const std::string& year : logic_.Years()) ComboBoxCurso->addItem(FromCore(year));
  BitBtnContinuar = FindControl<QPushButton>(widgets, names::kContinue);

  connect(ComboBoxCurso, &QComboBox::editTextChanged, this, &TCurExp::ComboBoxCursoChange);
}

// The year of the file is shown; the combo box starts empty.
void TCurExp::FormActivate() {
  const QSignalBlocker block(ComboBoxCurso);
  ComboBoxCurso->setCurrentIndex(-1);
  ComboBoxCurso->setEditText(QString());
  LabelCurActual->setText(FromCore(logic_.Shown()));
  BitBtnContinuar->setEnabled(logic_.CanContinue());
}

// Only a year of four digits can be taken with "Continuar".
void TCurExp::ComboBoxCursoChange(const QString& text) {
  logic_.SetComboText(ToCore(text));
  LabelCurActual->setText(FromCore(logic_.Shown()));
  BitBtnContinuar->setEnabled(logic_.CanContinue());
}

}  // namespace tc::app
