// The desktop program's start, shared by the program itself and the test build that drives it:
// the application's name, font and Spanish texts.
#pragma once

class QApplication;

namespace tc::app {

void ConfigureApplication(QApplication& app);

}  // namespace tc::app
