// The desktop program as the hosting tests start it: the real main window, with every modal
// window answered by the autopilot (TRANSCLEPSA_AUTOPILOT) instead of a person. Built only with
// the tests; the program users get has none of this.
#include <QApplication>

#include "app/main_form.h"
#include "app/program.h"
#include "driven/autopilot.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  tc::app::ConfigureApplication(app);
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
