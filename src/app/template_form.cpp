#include "app/template_form.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/form_builder.h"
#include "app/ui_text.h"
#include "desktop/forms.h"
#include "run/template_dialog.h"

namespace tc::app {

namespace {

namespace names = desktop::names;

}  // namespace

TPlantillas::TPlantillas(TemplateDialog& logic, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      logic_(logic) {
  const desktop::Form& form = desktop::TemplateForm();
  resize(form.width, form.height);
  move(form.place->left, form.place->top);
  createControls(form);
  FormActivate();
}

void TPlantillas::createControls(const desktop::Form& form) {
  const auto widgets = BuildForm(form, this);
  // The panel fills the dialog as it is resized.
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(widgets.at("Panel1"));
  Label9 = FindControl<QLabel>(widgets, names::kTemplatePrompt);
  ComboBoxValCast = FindControl<QComboBox>(widgets, names::kTemplateLanguage);
  LabelPlantillas = FindControl<QLabel>(widgets, names::kTemplateInstruction);
  ComboBoxPlantilla = FindControl<QComboBox>(widgets, names::kTemplateCode);
  LabelNombre = FindControl<QLabel>(widgets, names::kTemplateDescription);
  LabelTurno = FindControl<QLabel>(widgets, names::kTemplateShift);
  ListBox1 = FindControl<QListWidget>(widgets, names::kTemplatePeriods);
  BitBtnContinuar = FindControl<QPushButton>(widgets, names::kContinue);

  connect(ComboBoxPlantilla, &QComboBox::editTextChanged, this,
          &TPlantillas::ComboBoxPlantillaChange);
  connect(ComboBoxValCast, &QComboBox::currentTextChanged, this,
          &TPlantillas::ComboBoxValCastChange);
}

// Shows what the dialog's logic prepared on activation: the texts of the mode, the language,
// the template codes and the preselected one.
void TPlantillas::FormActivate() {
  Label9->setText(FromCore(logic_.LanguagePrompt()));
  LabelPlantillas->setText(FromCore(logic_.Instruction()));
  ComboBoxValCast->setVisible(logic_.LanguageVisible());

  const QSignalBlocker block_language(ComboBoxValCast);
  const QSignalBlocker block_codes(ComboBoxPlantilla);
  ComboBoxValCast->setCurrentText(FromCore(logic_.Language()));
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
  // Only a code of the document can be taken.
  BitBtnContinuar->setEnabled(logic_.CanContinue());
}

}  // namespace tc::app
