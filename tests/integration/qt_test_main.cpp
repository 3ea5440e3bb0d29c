// One QApplication, set up as the program sets it up, for every Qt test; listing needs no display.
// The run gets a home, runtime folder and temporary folder of its own and no session bus, so that
// nothing of the desktop it was started from (its notification area, its settings, its scaling)
// reaches the tests, and nothing of the tests reaches it.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/qt/qt_gui.h"

namespace {

void isolateEnvironment(const std::string& root) {
  for (const char* sub : {"/home", "/runtime", "/tmp"}) ::mkdir((root + sub).c_str(), 0700);
  setenv("HOME", (root + "/home").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", (root + "/runtime").c_str(), 1);
  setenv("TMPDIR", (root + "/tmp").c_str(), 1);
  setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
  for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "WAYLAND_DISPLAY",
                           "XDG_SESSION_TYPE", "XDG_CURRENT_DESKTOP", "QT_SCALE_FACTOR",
                           "QT_SCREEN_SCALE_FACTORS", "QT_AUTO_SCREEN_SCALE_FACTOR", "QT_FONT_DPI",
                           "QT_QPA_PLATFORMTHEME", "QT_STYLE_OVERRIDE", "BROWSER"})
    unsetenv(name);
  setenv("QT_QPA_PLATFORM", "xcb", 1);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();

  // A test's own child process (the browser restart test) keeps its parent's folders.
  char tmpl[] = "/tmp/kelvora-qt-tests-XXXXXX";
  const bool child = std::getenv("KELVORA_QT_TESTS_ROOT") != nullptr;
  if (!child) {
    if (!mkdtemp(tmpl)) {
      std::perror("mkdtemp");
      return 1;
    }
    isolateEnvironment(tmpl);
    setenv("KELVORA_QT_TESTS_ROOT", tmpl, 1);
  }

  int result;
  {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);  // for the embedded browsers
    QApplication app(argc, argv);
    kv::qt::initApplication(app);
    result = RUN_ALL_TESTS();
  }
  std::error_code ec;
  if (!child) std::filesystem::remove_all(tmpl, ec);
  return result;
}
