// One QApplication, set up as the program sets it up, for every Qt test; listing needs no display.
#include <gtest/gtest.h>

#include <QApplication>

#include "platform/qt/qt_gui.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();

  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);  // for the embedded browsers
  QApplication app(argc, argv);
  kv::qt::initApplication(app);
  return RUN_ALL_TESTS();
}
