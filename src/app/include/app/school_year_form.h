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
namespace tc::desktop {
struct Form;
}

namespace tc::app {

class TCurExp : public QDialog {
  Q_OBJECT

 public:
  TCurExp(SchoolYearDialog& logic, QWidget* parent = nullptr);

 private slots:
  void ComboBoxCursoChange(const QString& text);

 private:
  void createControls(const desktop::Form& form);
  void FormActivate();

  SchoolYearDialog& logic_;
  QLabel* LabelCurActual = nullptr;
  QComboBox* ComboBoxCurso = nullptr;
  QPushButton* BitBtnContinuar = nullptr;
};

}  // namespace tc::app
