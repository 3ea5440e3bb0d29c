// The sharing window on a real Qt WebEngine browser against the stand-in platform: the sharing
// page is requested once however often the window is closed and shown again, and each new window
// it asks for reaches the default browser once, without being loaded inside the program.
//
// The browser engine takes its proxy from the environment once per process, and the other
// browser tests of this executable point it at stand-in services with other hosts. So the test
// runs in a child process of its own, where the proxy is set before any browser exists.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "account/sharing_window.h"
#include "app/app.h"
#include "app/shared.h"
#include "platform/hosts.h"
#include "platform/qt/qt_gui.h"
#include "platform/qt/qt_window.h"
#include "platform/services/os_linux.h"
#include "tools/standin/standin.h"

namespace fs = std::filesystem;

namespace {

const char kChildVariable[] = "KELVORA_SHARING_QT_CHILD";

bool waitUntil(const std::function<bool()>& done, int ms = 30000) {
  QDeadlineTimer deadline(ms);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QTest::qWait(10);
  }
  return true;
}

// The real OS services in a temporary program folder, on a machine that counts as connected and
// runs no other instance; every address handed to the default browser is recorded.
class RecordingOs : public kv::LinuxOs {
 public:
  explicit RecordingOs(std::string folder) : folder_(std::move(folder)) {}
  std::string programFolder() const override { return folder_; }
  bool anotherInstanceRunning() override { return false; }
  bool networkConnected() override { return true; }
  bool launchBrowser(const std::string& url) override {
    launched.push_back(url);
    return LinuxOs::launchBrowser(url);
  }
  std::vector<std::string> launched;

 private:
  std::string folder_;
};

TEST(SharingWindowQt, NewWindowsOfTheSharingPageReachTheDefaultBrowserOnce) {
  QProcess child;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(kChildVariable, "1");
  child.setProcessEnvironment(environment);
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.start(QCoreApplication::applicationFilePath(),
              {"--gtest_filter=SharingWindowQtChild.*", "--gtest_brief=1"});
  ASSERT_TRUE(child.waitForStarted());
  bool finished = child.waitForFinished(180000);
  if (!finished) child.kill();
  const std::string output = child.readAll().toStdString();
  ASSERT_TRUE(finished) << output;
  EXPECT_EQ(child.exitCode(), 0) << output;
}

TEST(SharingWindowQtChild, Run) {
  if (!std::getenv(kChildVariable)) GTEST_SKIP() << "runs only as the child of SharingWindowQt";

  char tmpl[] = "/tmp/kelvora-sharing-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::string folder = tmpl;
  fs::create_directories(folder + "/paz/l/s/r");
  fs::create_directories(folder + "/temp");
  std::ofstream(folder + "/paz/l/s/r/dl.txt", std::ios::binary) << " 0 \r\n";
  std::ofstream(folder + "/paz/l/s/r/user.txt", std::ios::binary) << "abc\r\n";
  fs::copy(KELVORA_IMG_DIR, folder + "/img", fs::copy_options::recursive);
  fs::current_path(folder);

  kv::standin::StandIn services(kv::hosts::kProduct, kv::hosts::kPlatform);
  ASSERT_GT(services.start(), 0);
  setenv("http_proxy", services.proxyUrl().c_str(), 1);
  unsetenv("no_proxy");
  unsetenv("NO_PROXY");
  setenv("XDG_DATA_HOME", (folder + "/data").c_str(), 1);
  setenv("XDG_CACHE_HOME", (folder + "/cache").c_str(), 1);
  const std::string record = folder + "/launched.txt";
  const std::string script = folder + "/browser.sh";
  std::ofstream(script) << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << record << "'\n";
  fs::permissions(script, fs::perms::owner_all);
  setenv("BROWSER", script.c_str(), 1);

  RecordingOs os(folder);
  kv::qt::QtGui gui;
  auto app = std::make_unique<kv::App>(gui, os);

  // Loading the window places it beside the first start panel, whose load is the start-up road.
  auto& form = app->form10();
  int pageLoads = 0;
  form.WebBrowser1->onDownloadComplete = [&] { ++pageLoads; };
  form.Show();
  ASSERT_TRUE(waitUntil([&] { return pageLoads >= 1; })) << "the sharing page did not load";
  os.launched.clear();

  auto* view = static_cast<kv::qt::QtWindow&>(form.window())
                   .widget()
                   ->findChild<QWebEngineView*>("WebBrowser1");
  ASSERT_NE(view, nullptr);
  auto click = [&](const char* id) {
    bool done = false;
    view->page()->runJavaScript(QString("document.getElementById('%1').click()").arg(id), 0,
                                [&](const QVariant&) { done = true; });
    ASSERT_TRUE(waitUntil([&] { return done; }));
  };

  // A link with a target and a script's window.open, each handed over once.
  const std::string rules = kv::PlatformUrl("/index.php/index/lsrzc?lsr=20261");
  const std::string invite =
      kv::PlatformUrl("/app.php/index/fenxiang/user/") + kv::standin::StandIn::demoAccount();
  click("rules");
  ASSERT_TRUE(waitUntil([&] { return os.launched.size() >= 1; }));
  click("invite");
  ASSERT_TRUE(waitUntil([&] { return os.launched.size() >= 2; }));
  QTest::qWait(300);  // room for a second hand-over that must not come
  EXPECT_EQ(os.launched, (std::vector<std::string>{rules, invite}));
  EXPECT_TRUE(services.requests(kv::hosts::kPlatform, "/index.php/index/lsrzc").empty());
  EXPECT_TRUE(services
                  .requests(kv::hosts::kPlatform,
                            "/app.php/index/fenxiang/user/" + kv::standin::StandIn::demoAccount())
                  .empty());
  EXPECT_EQ(fs::path(form.mShortPath).parent_path(), fs::path(folder + "/temp"));
  ASSERT_TRUE(waitUntil([&] {
    std::ifstream in(record);
    return std::count(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), '\n') ==
           2;
  }));

  // Closed and shown again, the window keeps its page: one request in all.
  form.Image2->onClick();
  EXPECT_FALSE(form.window().isVisible());
  app->form10().Show();
  QTest::qWait(300);
  EXPECT_EQ(services.requests(kv::hosts::kPlatform, "/APP.PHP/index/fenxiang_app").size(), 1u);
  EXPECT_EQ(pageLoads, 1);

  app.reset();
  QTest::qWait(50);
  services.stop();
  fs::current_path("/");
  std::error_code ec;
  fs::remove_all(folder, ec);
}

}  // namespace
