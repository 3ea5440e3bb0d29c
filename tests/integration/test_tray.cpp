// The whole minimise-and-restore flow on the real Qt implementation: the program starts against
// the stand-in services, switches to a dialog, and is minimised by real clicks. Without a
// notification area the bar stays minimised on the taskbar and a restore of the bar brings the
// home view back; with `trayer` providing one, a real icon appears, a real double-click on it
// brings the home view back and the icon goes. Last the exit button ends the process.
//
// Runs in a child process on an X display of its own, so that no notification area is there
// until the test starts one, and so that the browser engine takes this test's proxy.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTest>
#include <QWidget>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/app.h"
#include "navigation/nav_bar.h"
#include "platform/hosts.h"
#include "platform/qt/qt_gui.h"
#include "platform/qt/qt_window.h"
#include "tools/standin/standin.h"

namespace fs = std::filesystem;

namespace {

const char kChildVariable[] = "KELVORA_TRAY_QT_CHILD";  // the child's program folder
const char kExitMarker[] = "exit button clicked";

bool waitUntil(const std::function<bool()>& done, int ms = 20000) {
  QDeadlineTimer deadline(ms);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QTest::qWait(20);
  }
  return true;
}

bool hasTool(const char* name) {
  return !QStandardPaths::findExecutable(name).isEmpty();
}

// A connected machine with no other instance; addresses for the default browser are only noted.
class TestOs : public kv::Os {
 public:
  explicit TestOs(std::string folder) : folder_(std::move(folder)) {}
  std::string programFolder() const override { return folder_; }
  bool anotherInstanceRunning() override { return false; }
  bool networkConnected() override { return true; }
  std::tm localTime() override { return std::tm{}; }
  bool launchBrowser(const std::string&) override { return true; }

 private:
  std::string folder_;
};

TEST(TrayQt, MinimiseAndRestoreWithAndWithoutANotificationArea) {
  for (const char* tool : {"Xvfb", "trayer", "xdotool"})
    if (!hasTool(tool)) GTEST_SKIP() << tool << " is not installed";

  // A display of its own: nothing else's notification area is there.
  QProcess xvfb;
  xvfb.start("Xvfb",
             {"-displayfd", "1", "-screen", "0", "1920x1080x24", "-nolisten", "tcp", "-noreset"});
  ASSERT_TRUE(xvfb.waitForStarted());
  QByteArray number;
  ASSERT_TRUE(waitUntil([&] {
    xvfb.waitForReadyRead(50);
    number += xvfb.readAllStandardOutput();
    return number.contains('\n');
  }));
  const QString display = ":" + QString::fromLatin1(number).trimmed();

  // The program folder; the child ends without cleaning up, so the parent does.
  char tmpl[] = "/tmp/kelvora-tray-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::string folder = tmpl;

  QProcess child;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(kChildVariable, QString::fromStdString(folder));
  environment.insert("DISPLAY", display);
  environment.insert("QT_QPA_PLATFORM", "xcb");
  environment.remove("DBUS_SESSION_BUS_ADDRESS");  // a plain XEmbed notification area only
  environment.remove("WAYLAND_DISPLAY");
  child.setProcessEnvironment(environment);
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.start(QCoreApplication::applicationFilePath(),
              {"--gtest_filter=TrayQtChild.*", "--gtest_brief=1"});
  ASSERT_TRUE(child.waitForStarted());
  bool finished = child.waitForFinished(240000);
  if (!finished) child.kill();
  const std::string output = child.readAll().toStdString();
  xvfb.terminate();
  xvfb.waitForFinished(5000);
  std::error_code ec;
  fs::remove_all(folder, ec);

  ASSERT_TRUE(finished) << output;
  EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << output;
  EXPECT_EQ(child.exitCode(), 0) << output;
  // The exit button ends the process at once: the child's test never comes back to report.
  EXPECT_NE(output.find(kExitMarker), std::string::npos) << output;
  EXPECT_EQ(output.find("Failure"), std::string::npos) << output;
}

class TrayFlow {
 public:
  explicit TrayFlow(kv::App& app) : app_(app) {}

  QWidget* widget(kv::Form& form) { return static_cast<kv::qt::QtWindow&>(form.window()).widget(); }

  // A real click, through the X server, in the middle of a control of the bar.
  void clickBar(const char* control) {
    QWidget* c = widget(app_.form12())->findChild<QWidget*>(control);
    ASSERT_NE(c, nullptr) << control;
    ASSERT_TRUE(c->isVisible()) << control;
    QPoint p = c->mapToGlobal(c->rect().center());
    ASSERT_EQ(QProcess::execute("xdotool", {"mousemove", "--sync", QString::number(p.x()),
                                            QString::number(p.y()), "click", "1"}),
              0);
  }

  bool loadedAndVisible(kv::FormId id) {
    return app_.isLoaded(id) && app_.form(id).window().isVisible();
  }

  // Visible among the switched windows and the bar; checks loading first so as not to load.
  std::vector<std::string> shown() {
    std::vector<std::string> out;
    for (kv::FormId id :
         {kv::FormId::Form1, kv::FormId::Form2, kv::FormId::Form3, kv::FormId::Form4,
          kv::FormId::Form5, kv::FormId::Form6, kv::FormId::Form7, kv::FormId::Form8,
          kv::FormId::Form9, kv::FormId::Form10, kv::FormId::Form12})
      if (loadedAndVisible(id)) out.push_back(kv::formName(id));
    return out;
  }

  bool homeView() {
    return shown() == std::vector<std::string>{"Form1", "Form2", "Form3", "Form12"} &&
           app_.form12().window().state() == kv::WindowState::Normal;
  }

  // Switches to the questions window by a real click on its tab.
  void switchToQuestions() {
    clickBar("Image7");
    ASSERT_TRUE(waitUntil([&] {
      return shown() == std::vector<std::string>{"Form9", "Form12"};
    })) << testing::PrintToString(shown());
    ASSERT_TRUE(app_.isLoaded(kv::FormId::Form7));
  }

 private:
  kv::App& app_;
};

TEST(TrayQtChild, Run) {
  const char* given = std::getenv(kChildVariable);
  if (!given) GTEST_SKIP() << "runs only as the child of TrayQt";
  const std::string folder = given;
  fs::create_directories(folder + "/paz/l/s/r");
  fs::create_directories(folder + "/temp");
  std::ofstream(folder + "/paz/l/s/r/dl.txt", std::ios::binary) << " 0 \r\n";
  fs::copy(KELVORA_IMG_DIR, folder + "/img", fs::copy_options::recursive);
  fs::current_path(folder);

  kv::standin::StandIn services(kv::hosts::kProduct, kv::hosts::kPlatform);
  ASSERT_GT(services.start(), 0);
  setenv("http_proxy", services.proxyUrl().c_str(), 1);
  unsetenv("no_proxy");
  unsetenv("NO_PROXY");
  setenv("XDG_DATA_HOME", (folder + "/data").c_str(), 1);
  setenv("XDG_CACHE_HOME", (folder + "/cache").c_str(), 1);
  kv::standin::Reply design;
  design.body = "-1";  // every tab of the bar
  services.setReply(kv::hosts::kProduct, "/app.php/index/nav", design);

  ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
  TestOs os(folder);
  kv::qt::QtGui gui;
  gui.qtTray().setTriggerRestores(false);  // trayer reports double-clicks
  auto app = std::make_unique<kv::App>(gui, os);
  app->start();
  TrayFlow flow(*app);
  ASSERT_TRUE(waitUntil([&] { return flow.homeView(); })) << testing::PrintToString(flow.shown());
  kv::Form12& bar = app->form12();
  QWidget* barWidget = flow.widget(bar);

  // No notification area: the bar stays on the taskbar, minimised; everything else is hidden.
  flow.switchToQuestions();
  flow.clickBar("Image4");
  ASSERT_TRUE(waitUntil([&] { return bar.window().state() == kv::WindowState::Minimised; }));
  EXPECT_TRUE(bar.minimisedWithoutTray());
  EXPECT_EQ(flow.shown(), std::vector<std::string>{"Form12"});
  EXPECT_FALSE(app->isLoaded(kv::FormId::Form7));
  EXPECT_FALSE(gui.tray().isShown());

  // Restored from the taskbar, as a window manager restores it: the home view comes back.
  barWidget->showNormal();
  ASSERT_TRUE(waitUntil([&] { return flow.homeView(); })) << testing::PrintToString(flow.shown());
  EXPECT_FALSE(bar.minimisedWithoutTray());

  // A notification area appears.
  QProcess trayer;
  trayer.start("trayer", {"--edge", "bottom", "--align", "right", "--widthtype", "pixel", "--width",
                          "200", "--height", "32", "--transparent", "false"});
  ASSERT_TRUE(trayer.waitForStarted());
  ASSERT_TRUE(waitUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); }));

  // Minimised by its button: a real icon; the bar is hidden, not minimised.
  flow.switchToQuestions();
  flow.clickBar("Image4");
  ASSERT_TRUE(waitUntil([&] { return gui.tray().isShown(); }));
  EXPECT_TRUE(flow.shown().empty()) << testing::PrintToString(flow.shown());
  EXPECT_EQ(bar.window().state(), kv::WindowState::Normal);
  EXPECT_FALSE(app->isLoaded(kv::FormId::Form7));
  QSystemTrayIcon* icon = gui.qtTray().icon();
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(icon->toolTip(), QString::fromUtf8("Kelvo搜"));

  // A real double-click on the icon where trayer embedded it.
  auto doubleClickIcon = [&] {
    QRect g;
    ASSERT_TRUE(waitUntil([&] { return (g = icon->geometry()).isValid() && g.y() > 0; }));
    ASSERT_EQ(QProcess::execute("xdotool",
                                {"mousemove", "--sync", QString::number(g.center().x()),
                                 QString::number(g.center().y()), "click", "--repeat", "2", "1"}),
              0);
  };
  doubleClickIcon();
  ASSERT_TRUE(waitUntil([&] { return flow.homeView(); })) << testing::PrintToString(flow.shown());
  EXPECT_FALSE(gui.tray().isShown());
  EXPECT_FALSE(app->isLoaded(kv::FormId::Form7));
  EXPECT_EQ(bar.Image7->source(), "img\\faq.jpg");  // no tab selected

  // Minimised by the window state, as a window manager minimises it: to the tray as well.
  flow.switchToQuestions();
  barWidget->setWindowState(barWidget->windowState() | Qt::WindowMinimized);
  ASSERT_TRUE(waitUntil([&] { return gui.tray().isShown(); }));
  EXPECT_TRUE(flow.shown().empty()) << testing::PrintToString(flow.shown());
  doubleClickIcon();
  ASSERT_TRUE(waitUntil([&] { return flow.homeView(); })) << testing::PrintToString(flow.shown());
  EXPECT_FALSE(gui.tray().isShown());

  // The exit button ends the process at once, with no icon left.
  std::cout << kExitMarker << std::endl;
  flow.clickBar("Image5");
  QTest::qWait(10000);
  ADD_FAILURE() << "the exit button did not end the process";
  trayer.terminate();
  trayer.waitForFinished(3000);
}

}  // namespace
