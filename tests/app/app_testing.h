// Helpers of the desktop program's tests: a user who answers every modal window from a script
// and records what each one showed, and the sample school.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTest>

#include "app/qt_interaction.h"
#include "app/ui_text.h"
#include "store/table.h"

namespace tc::test {

// A named control of a window; a test failure when there is none.
template <typename T>
T* Child(const QWidget& parent, const char* name) {
  T* child = parent.findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(child, nullptr) << name;
  return child;
}

inline std::filesystem::path SampleSchool() {
  return std::filesystem::path(TC_SOURCE_DIR) / "examples" / "ies_exemple.xml";
}

// One modal window as it was shown.
struct ShownWindow {
  QString kind;   // "box", "file", "dialog"
  QString title;
  QString text;   // message text, or the dialog's object name
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QStringList buttons;     // button texts of a message box or of "Proceso finalizado"
  QString default_button;  // the button Enter presses
  bool hourglass = false;  // whether the run was busy when the window came up
  Qt::CursorShape cursor = Qt::ArrowCursor;  // the pointer over the window
};

class ScriptedUser {
 public:
  std::optional<std::filesystem::path> file;  // the file chosen; nullopt cancels
  std::deque<bool> answers;                   // answers to questions, "No" when exhausted
  // Acts on the template or school-year dialog before "Continuar" (e.g. types a year).
  std::function<void(QDialog&)> on_dialog;
  // The preview of a conversion: whether to see the changes ("Sí"), whether to tick "No volver a
  // preguntar", and whether to replace the tables once seen ("Sustituir las tablas").
  bool see_changes = false;
  bool dont_ask_again = false;
  bool approve_changes = true;
  // Whether to press "Ver informe" beside "Proceso finalizado".
  bool view_report = false;
  // Windows in which Escape is pressed instead of the scripted answer: a dialog by its object
  // name, "question" for every question box. In `enter`, Enter is pressed instead.
  QStringList escape, enter;
  QString preview_text;  // what the preview showed
  QString report_text;   // what the report window showed
  std::filesystem::path report_page;  // the page "Ver informe" asked the browser to open
  QString summary_text;  // what "Proceso finalizado" summed up
  // Whether to press "Deshacer" in "Proceso finalizado" (its question is answered from
  // `answers`), and what to do in "Copias de seguridad".
  bool undo = false;
  std::function<void(QDialog&)> on_backups;
  std::vector<ShownWindow> shown;
  app::QtInteraction* ui = nullptr;  // to see whether the run was busy

  app::DialogRunner Runner() {
    return [this](QDialog& dialog) { return Answer(dialog); };
  }

  QStringList Texts(const QString& kind = QStringLiteral("box")) const {
    QStringList texts;
    for (const ShownWindow& window : shown) {
      if (window.kind == kind) texts << window.text;
    }
    return texts;
  }

 private:
  int Answer(QDialog& dialog) {
    ShownWindow window;
    window.title = dialog.windowTitle();
    window.hourglass = ui != nullptr && ui->Busy();
    if (const QCursor* cursor = QApplication::overrideCursor()) window.cursor = cursor->shape();
    if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
      window.kind = QStringLiteral("box");
      window.text = box->text();
      window.icon = box->icon();
      for (QAbstractButton* button : box->buttons()) window.buttons << button->text();
      if (box->defaultButton() != nullptr) window.default_button = box->defaultButton()->text();
      shown.push_back(window);
      if (box->icon() == QMessageBox::Question && (escape.contains("question") ||
                                                   enter.contains("question"))) {
        box->show();  // keys go to a window that is shown
        QTest::keyClick(box, escape.contains("question") ? Qt::Key_Escape : Qt::Key_Return);
        box->hide();
        return box->result();
      }
      QAbstractButton* button = box->button(QMessageBox::Ok);
      if (box->icon() == QMessageBox::Question) {
        const bool yes = !answers.empty() && answers.front();
        if (!answers.empty()) answers.pop_front();
        button = box->button(yes ? QMessageBox::Yes : QMessageBox::No);
      }
      button->click();
      return box->result();
    }
    if (auto* files = qobject_cast<QFileDialog*>(&dialog)) {
      window.kind = QStringLiteral("file");
      window.text = files->nameFilters().join(u'|') + u'|' + files->defaultSuffix();
      shown.push_back(window);
      if (!file) return QDialog::Rejected;
      files->selectFile(app::NativePath(*file));
      return QDialog::Accepted;
    }
    if (dialog.objectName() == "TFinalizado") {
      // Shown among the messages, as the box it follows on from.
      window.kind = QStringLiteral("box");
      window.text = dialog.findChild<QLabel*>(QStringLiteral("LabelFinalizado"))->text();
      for (const char* name : {"BVerInforme", "BDeshacer", "BAbrirCarpeta", "BAceptar"}) {
        auto* button = dialog.findChild<QPushButton*>(QString::fromLatin1(name));
        if (button->isEnabled()) window.buttons << button->text();
      }
      shown.push_back(window);
      summary_text = dialog.findChild<QPlainTextEdit*>(QStringLiteral("Resumen"))->toPlainText();
      auto press = [&](const char* name) {
        dialog.findChild<QPushButton*>(QString::fromLatin1(name))->click();
      };
      if (view_report) press("BVerInforme");
      press(undo ? "BDeshacer" : "BAceptar");
      return dialog.result();
    }
    window.kind = QStringLiteral("dialog");
    window.text = dialog.objectName();
    shown.push_back(window);
    if (on_dialog) on_dialog(dialog);
    if (escape.contains(dialog.objectName()) || enter.contains(dialog.objectName())) {
      dialog.show();  // keys go to a window that is shown
      QTest::keyClick(&dialog, escape.contains(dialog.objectName()) ? Qt::Key_Escape
                                                                    : Qt::Key_Return);
      const int result = dialog.result();
      dialog.hide();
      return result;
    }
    auto click = [&](const char* name) {
      auto* button = dialog.findChild<QPushButton*>(QString::fromLatin1(name));
      EXPECT_NE(button, nullptr) << name << " in " << dialog.objectName().toStdString();
      if (button != nullptr) button->click();
      return dialog.result();
    };
    auto text = [&] {
      return dialog.findChild<QPlainTextEdit*>(QStringLiteral("Texto"))->toPlainText();
    };
    if (dialog.objectName() == "TPreguntaVistaPrevia") {
      if (dont_ask_again) dialog.findChild<QCheckBox*>(QStringLiteral("NoPreguntar"))->click();
      return click(see_changes ? "BSi" : "BNo");
    }
    if (dialog.objectName() == "TVistaPrevia") {
      preview_text = text();
      return click(approve_changes ? "BSustituir" : "BCancelar");
    }
    if (dialog.objectName() == "TInforme") {
      report_text = text();
      return click("BCerrar");
    }
    if (dialog.objectName() == "TCopias") {
      if (on_backups) on_backups(dialog);
      return click("BCerrar");
    }
    return click("BitBtnContinuar");
  }
};

}  // namespace tc::test
