// The windows need a QApplication; without a display they use the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>

#include "app/program.h"

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  tc::app::ConfigureApplication(app);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
