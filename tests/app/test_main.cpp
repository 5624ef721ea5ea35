// The windows need a QApplication; without a display they use the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>

#include "app/ui_text.h"

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(tc::app::kAppTitle));
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
