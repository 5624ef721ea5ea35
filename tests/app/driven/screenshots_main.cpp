// Saves screenshots of the desktop program's windows (scripts/screenshots.sh): the main window
// standalone and hosted, the template dialog in both modes and the school-year dialog.
// Usage: tc_app_screenshots FOLDER ITACA.xml
#include <cstdio>

#include <QApplication>

#include "app/program.h"
#include "driven/autopilot.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  tc::app::ConfigureApplication(app);
  const QStringList arguments = QApplication::arguments();
  if (arguments.size() != 3) {
    std::fputs("uso: tc_app_screenshots CARPETA DOCUMENTO.xml\n", stderr);
    return 64;
  }
  return tc::app::TakeScreenshots(arguments[1], arguments[2]);
}
