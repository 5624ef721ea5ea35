#include "driven/autopilot.h"

#include <cstdio>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>
#include <QWindow>

#include "app/main_form.h"
#include "app/school_year_form.h"
#include "app/template_form.h"
#include "app/ui_text.h"
#include "base/error.h"
#include "itaca/document.h"
#include "run/run_state.h"
#include "run/school_year_dialog.h"
#include "run/template_dialog.h"
#include "store/database.h"
#include "store/schemas.h"

namespace tc::app {

namespace {

void Echo(const QString& kind, const QString& text) {
  QString line = kind + u' ' + text;
  line.replace(u'\n', QStringLiteral("\\n"));
  std::fputs((line + u'\n').toUtf8().constData(), stdout);
  std::fflush(stdout);
}

QString IconName(QMessageBox::Icon icon) {
  switch (icon) {
    case QMessageBox::Information: return QStringLiteral("information");
    case QMessageBox::Question: return QStringLiteral("question");
    case QMessageBox::Warning: return QStringLiteral("warning");
    case QMessageBox::Critical: return QStringLiteral("critical");
    default: return QStringLiteral("none");
  }
}

QString Geometry(const QWidget* widget) {
  const QRect r = widget->geometry();
  return QStringLiteral("%1 %2 %3 %4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

}  // namespace

Autopilot* Autopilot::FromEnvironment(QObject* parent) {
  if (!qEnvironmentVariableIsSet("TRANSCLEPSA_AUTOPILOT")) return nullptr;
  return new Autopilot(qEnvironmentVariable("TRANSCLEPSA_AUTOPILOT"), parent);
}

Autopilot::Autopilot(const QString& script, QObject* parent) : QObject(parent) {
  for (const QString& command : script.split(u';', Qt::SkipEmptyParts)) {
    commands_.push_back(command.trimmed());
  }
}

DialogRunner Autopilot::Runner() {
  return [this](QDialog& dialog) { return Answer(dialog); };
}

int Autopilot::Answer(QDialog& dialog) {
  if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
    Echo(QStringLiteral("box ") + IconName(box->icon()), box->text());
    QAbstractButton* button = box->button(QMessageBox::Ok);
    if (box->icon() == QMessageBox::Question) {
      button = box->button(yes_answers_ > 0 ? QMessageBox::Yes : QMessageBox::No);
      if (yes_answers_ > 0) --yes_answers_;
    }
    if (button != nullptr) button->click();
    return box->result();
  }
  if (auto* finished = dialog.findChild<QLabel*>(QStringLiteral("LabelFinalizado"))) {
    Echo(QStringLiteral("finished"), finished->text());
    return QDialog::Accepted;
  }
  Echo(QStringLiteral("dialog"), dialog.windowTitle());
  if (auto* files = qobject_cast<QFileDialog*>(&dialog)) {
    if (!file_) return QDialog::Rejected;
    files->selectFile(*file_);
    return QDialog::Accepted;
  }
  if (auto* button = dialog.findChild<QPushButton*>(QStringLiteral("BitBtnContinuar"))) {
    button->click();
  }
  return QDialog::Accepted;
}

void Autopilot::Start(TMForm* form) {
  form_ = form;
  QTimer::singleShot(0, this, &Autopilot::Step);
}

void Autopilot::Step() {
  while (!commands_.empty() && form_ != nullptr) {
    const QString command = commands_.front();
    commands_.pop_front();
    const QString argument = command.section(u':', 1);
    if (command.startsWith(QLatin1String("file:"))) {
      file_ = argument;
    } else if (command == QLatin1String("yes")) {
      ++yes_answers_;
    } else if (command.startsWith(QLatin1String("report:"))) {
      WriteReport(argument);
    } else if (command == QLatin1String("wait")) {
#ifdef Q_OS_UNIX
      input_ = new QSocketNotifier(0, QSocketNotifier::Read, this);
      connect(input_, &QSocketNotifier::activated, this, [this] {
        char line[256];
        if (std::fgets(line, sizeof line, stdin) == nullptr) input_->setEnabled(false);
        input_->deleteLater();
        input_ = nullptr;
        QTimer::singleShot(0, this, &Autopilot::Step);
      });
      return;
#endif
    } else if (command.startsWith(QLatin1String("click:"))) {
      if (auto* button = form_->findChild<QPushButton*>(argument)) {
        // A click runs a whole run; the next command follows once it has returned.
        QTimer::singleShot(0, button, &QPushButton::click);
        QTimer::singleShot(0, this, &Autopilot::Step);
        return;
      }
      Echo(QStringLiteral("unknown"), command);
    } else {
      Echo(QStringLiteral("unknown"), command);
    }
  }
}

// The window as the hosting tests check it from outside.
void Autopilot::WriteReport(const QString& path) const {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) return;
  QTextStream out(&file);
  out << "window " << QString::number(form_->winId(), 16) << '\n';
  out << "embedded " << (form_->State().EmbeddedRun ? 1 : 0) << '\n';
  out << "size " << form_->width() << ' ' << form_->height() << '\n';
  for (const char* name : {"Draw3D1", "Draw3D2", "Draw3D3"}) {
    if (auto* panel = form_->findChild<QWidget*>(QString::fromLatin1(name))) {
      out << "panel " << name << ' ' << (panel->isVisible() ? "visible " : "hidden ")
          << Geometry(panel) << '\n';
    }
  }
  for (const char* name : {"BExportar", "BImportar", "BClose", "Button1"}) {
    if (auto* button = form_->findChild<QPushButton*>(QString::fromLatin1(name))) {
      out << "button " << name << ' ' << (button->isVisible() ? "visible " : "hidden ")
          << (button->isEnabled() ? "enabled" : "disabled") << '\n';
    }
  }
  file.commit();
}

namespace {

bool SaveShot(QWidget& widget, const QDir& dir, const QString& name) {
  widget.show();
  QApplication::processEvents();
  const bool saved = widget.grab().save(dir.filePath(name));
  Echo(QStringLiteral("screenshot"), dir.filePath(name));
  return saved;
}

}  // namespace

int TakeScreenshots(const QString& folder, const QString& xml) {
  const QDir dir(folder);
  bool ok = dir.exists();
  try {
    {
      TMForm standalone({});
      ok = SaveShot(standalone, dir, QStringLiteral("main-window.png")) && ok;
    }
    {
      TMForm hosted({QStringLiteral("IMPORTAR"), QStringLiteral("0")});
      ok = SaveShot(hosted, dir, QStringLiteral("main-window-importar.png")) && ok;
    }
    {
      const itaca::Document document = itaca::Document::Load(PathFromQt(xml));
      {
        TemplateDialog logic(document, TemplateDialogMode::Conversion, std::string(kValencian));
        TPlantillas form(logic);
        ok = SaveShot(form, dir, QStringLiteral("plantillas-conversion.png")) && ok;
      }
      {
        // Export mode opens the slot table first: give it an empty one in a scratch folder.
        const QString scratch = QDir::temp().filePath(QStringLiteral("transclepsa-screens"));
        QDir().mkpath(scratch);
        store::Database slot_tables(PathFromQt(scratch));
        slot_tables.Recreate(store::DiashorastTable()).Close();
        TemplateDialog logic(document, TemplateDialogMode::Export, std::string(kValencian),
                             &slot_tables);
        TPlantillas form(logic);
        if (auto* codes = form.findChild<QComboBox*>(QStringLiteral("ComboBoxPlantilla"));
            codes != nullptr && codes->count() > 0) {
          codes->setCurrentIndex(0);  // as it looks once a template is chosen
        }
        ok = SaveShot(form, dir, QStringLiteral("plantillas-exportacion.png")) && ok;
        slot_tables.DeleteFiles(store::DiashorastTable().name);
        QDir(scratch).removeRecursively();
      }
      {
        SchoolYearDialog logic(document.Root().Attr("curso"));
        TCurExp form(logic);
        ok = SaveShot(form, dir, QStringLiteral("curso-destino.png")) && ok;
      }
    }
  } catch (const Error& error) {
    Echo(QStringLiteral("error"), FromCore(error.what()));
    ok = false;
  }
  return ok ? 0 : 1;
}

}  // namespace tc::app
