// TransClepsaItaca: the desktop program for Linux. One main window; it can also be started
// hosted inside another program's window with a direction word and that window's handle.
#include <QApplication>

#include "app/main_form.h"
#include "app/program.h"
#include "platform/platform.h"

int main(int argc, char* argv[]) {
  tc::platform::UseHugeMemoryPages(argv);
  QApplication app(argc, argv);
  tc::app::ConfigureApplication(app);
  QStringList arguments = QApplication::arguments();
  arguments.removeFirst();
  tc::app::TMForm form(arguments);
  QObject::connect(&form, &tc::app::TMForm::Closed, &app, &QApplication::quit,
                   Qt::QueuedConnection);
  form.show();
  return QApplication::exec();
}
