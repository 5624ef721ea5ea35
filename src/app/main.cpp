// TransClepsaItaca: the desktop program. One main window; Clepsa may start it hosted inside its
// own window with a direction word and its window handle.
#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "app/main_form.h"
#include "app/ui_text.h"
#include "app/unattended.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(tc::app::kAppTitle));
  QApplication::setFont(tc::app::ArialFont(12));

  // Qt's own texts (file dialog, context menus) in Spanish where the translation is installed.
  QTranslator qt_texts;
  if (qt_texts.load(QLocale(QLocale::Spanish, QLocale::Spain), QStringLiteral("qtbase"),
                    QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(&qt_texts);
  }

  if (int exit_code = 0; tc::app::TakeScreenshotsFromEnvironment(exit_code)) return exit_code;

  tc::app::Autopilot* autopilot = tc::app::Autopilot::FromEnvironment(&app);
  QStringList arguments = QApplication::arguments();
  arguments.removeFirst();
  tc::app::TMForm form(arguments,
                       autopilot != nullptr ? autopilot->Runner() : tc::app::DialogRunner{});
  QObject::connect(&form, &tc::app::TMForm::Closed, &app, &QApplication::quit,
                   Qt::QueuedConnection);
  form.show();
  if (autopilot != nullptr) autopilot->Start(&form);
  return QApplication::exec();
}
