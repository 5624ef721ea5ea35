#include "app/program.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "app/ui_text.h"
#include "desktop/forms.h"

namespace tc::app {

void ConfigureApplication(QApplication& app) {
  QApplication::setApplicationName(FromCore(desktop::kAppTitle));
  QApplication::setFont(ArialFont(12));

  // Qt's own texts (file dialog, context menus) in Spanish where the translation is installed.
  auto* qt_texts = new QTranslator(&app);
  if (qt_texts->load(QLocale(QLocale::Spanish, QLocale::Spain), QStringLiteral("qtbase"),
                     QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(qt_texts);
  }
}

}  // namespace tc::app
