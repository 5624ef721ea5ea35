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

namespace tc::app {

class GradientPanel;

class TPlantillas : public QDialog {
  Q_OBJECT

 public:
  TPlantillas(TemplateDialog& logic, QWidget* parent = nullptr);

  // Client size and screen position of the dialog.
  static constexpr int kWidth = 385;
  static constexpr int kHeight = 304;
  static constexpr int kLeft = 444;
  static constexpr int kTop = 334;

 private slots:
  void ComboBoxPlantillaChange(const QString& text);
  void ComboBoxValCastChange(const QString& text);

 private:
  void createControls();
  void FormActivate();
  void ShowChoice();

  TemplateDialog& logic_;
  GradientPanel* panel_ = nullptr;
  QLabel* Label9 = nullptr;
  QComboBox* ComboBoxValCast = nullptr;
  QLabel* LabelPlantillas = nullptr;
  QComboBox* ComboBoxPlantilla = nullptr;
  QLabel* Label1 = nullptr;
  QListWidget* ListBox1 = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* LabelNombre = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* LabelTurno = nullptr;
  QPushButton* BitBtnContinuar = nullptr;
};

// The end colour of the dialog's gradient: the system's inactive title-bar colour.
QColor InactiveCaptionColor();

}  // namespace tc::app
