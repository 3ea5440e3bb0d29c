// Kelvora: the process loads its first start panel, whose load handler is the start-up road, and
// then serves the windows' events. Nothing is taken from the command line.
#include <QApplication>
#include <QCoreApplication>

#include "app/app.h"
#include "platform/qt/qt_browser.h"
#include "platform/qt/qt_gui.h"
#include "platform/qt/qt_platform.h"
#include "platform/services/os_linux.h"

int main(int argc, char** argv) {
  if (!kv::qt::chooseX11Platform()) return 1;
  kv::qt::configureBrowserEngine();
  QApplication application(argc, argv);
  kv::qt::platformChosen();
  kv::qt::initApplication(application);
  kv::qt::QtGui gui;
  auto os = kv::makeLinuxOs();
  kv::App app(gui, *os);
  app.start();
  return application.exec();
}
