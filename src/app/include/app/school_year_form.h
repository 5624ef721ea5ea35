// TCurExp, the destination school-year dialog ("Curso de destino"): shows the year read from the
// ITACA file and lets the user pick or type another. The logic is the core's SchoolYearDialog;
// the year shown when the dialog closes, however it closes, is the one exported.
#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;

namespace tc {
class SchoolYearDialog;
}

namespace tc::app {

class GradientPanel;

class TCurExp : public QDialog {
  Q_OBJECT

 public:
  TCurExp(SchoolYearDialog& logic, QWidget* parent = nullptr);

  static constexpr int kWidth = 396;
  static constexpr int kHeight = 177;

 private slots:
  void ComboBoxCursoChange(const QString& text);

 private:
  void createControls();
  void FormActivate();

  SchoolYearDialog& logic_;
  GradientPanel* panel_ = nullptr;
  QLabel* LabelCurso = nullptr;
  QLabel* LabelCurSelected = nullptr;
  QLabel* LabelCurActual = nullptr;
  QLabel* LabelSeleccion = nullptr;
  QComboBox* ComboBoxCurso = nullptr;
  QPushButton* BitBtnContinuar = nullptr;
};

}  // namespace tc::app
