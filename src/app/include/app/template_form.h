// TPlantillas, the time-template dialog ("Plantillas Horarias"): the template codes of the ITACA
// file, the chosen template's description, shift and Monday periods, and in conversion mode the
// language of the texts. The logic (what is listed, what the choice yields) is the core's
// TemplateDialog; this window shows it and passes every change of the combo boxes to it.
#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace tc {
class TemplateDialog;
}
namespace tc::desktop {
struct Form;
}

namespace tc::app {

class TPlantillas : public QDialog {
  Q_OBJECT

 public:
  TPlantillas(TemplateDialog& logic, QWidget* parent = nullptr);

 private slots:
  void ComboBoxPlantillaChange(const QString& text);
  void ComboBoxValCastChange(const QString& text);

 private:
  void createControls(const desktop::Form& form);
  void FormActivate();
  void ShowChoice();

  TemplateDialog& logic_;
  QLabel* Label9 = nullptr;
  QComboBox* ComboBoxValCast = nullptr;
  QLabel* LabelPlantillas = nullptr;
  QComboBox* ComboBoxPlantilla = nullptr;
  QListWidget* ListBox1 = nullptr;
  QLabel* LabelNombre = nullptr;
  QLabel* LabelTurno = nullptr;
  QPushButton* BitBtnContinuar = nullptr;
};

}  // namespace tc::app
