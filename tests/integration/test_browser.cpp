// The search-page windows on real Qt WebEngine browsers, against the stand-in member site reached
// through http_proxy: new windows handed to the default browser (a recording $BROWSER), frames
// of a handed-over page, the context-menu hook, silent mode and the shared persistent profile.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "app/app.h"
#include "pages/search_pages.h"
#include "platform/qt/qt_browser.h"
#include "platform/qt/qt_gui.h"
#include "platform/qt/qt_window.h"
#include "platform/services/os_linux.h"
#include "tools/standin/standin.h"

namespace fs = std::filesystem;

namespace {

const char kSite[] = "http://www.member.example";
const char kSiteHost[] = "www.member.example";

bool waitUntil(const std::function<bool()>& done, int ms = 20000);
QVariant js(QWebEnginePage* page, const QString& script);

// One stand-in for the whole run, reached through http_proxy, and a recording default browser.
// Both must be in place before the first browser starts: the browser engine reads the proxy
// settings from the environment once.
class BrowserEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    char tmpl[] = "/tmp/kelvora-browser-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    folder = tmpl;
    services =
        std::make_unique<kv::standin::StandIn>("app.product.example", "www.platform.example");
    ASSERT_GT(services->start(), 0);
    setenv("http_proxy", services->proxyUrl().c_str(), 1);
    unsetenv("no_proxy");
    unsetenv("NO_PROXY");
    // The shared profile keeps its cookies and cache in the run's folder, or where the parent
    // of a restart step says.
    const char* home = std::getenv("KELVORA_BROWSER_PROFILE_HOME");
    const std::string profileHome = home ? home : folder;
    setenv("XDG_DATA_HOME", (profileHome + "/data").c_str(), 1);
    setenv("XDG_CACHE_HOME", (profileHome + "/cache").c_str(), 1);

    record = folder + "/launched.txt";
    const std::string script = folder + "/browser.sh";
    std::ofstream(script) << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << record << "'\n";
    fs::permissions(script, fs::perms::owner_all);
    setenv("BROWSER", script.c_str(), 1);

    if (const char* step = std::getenv("KELVORA_BROWSER_RESTART_STEP")) restartStep(step);
  }
  void TearDown() override {
    if (services) services->stop();
    std::error_code ec;
    fs::remove_all(folder, ec);
  }

  std::unique_ptr<kv::standin::StandIn> services;
  std::string folder, record;

 private:
  // One run of the program in the restart test: "end" signs in (a cookie of the member site) and
  // ends the process as the program ends it; "return" prints the member site's cookies.
  void restartStep(const std::string& step);
};

BrowserEnvironment* env =
    static_cast<BrowserEnvironment*>(::testing::AddGlobalTestEnvironment(new BrowserEnvironment));

void BrowserEnvironment::restartStep(const std::string& step) {
  QWidget window;
  window.resize(400, 300);
  auto browser = kv::qt::createBrowser(&window, "WebBrowser1");
  browser->setGeometry(0, 0, 6000, 4500);
  window.show();
  bool done = false;
  browser->onDownloadComplete = [&] { done = true; };
  browser->navigate(std::string(kSite) + "/");
  if (!waitUntil([&] { return done; })) std::_Exit(2);
  QWebEnginePage* page = window.findChild<QWebEngineView*>("WebBrowser1")->page();
  kv::qt::QtGui gui;
  if (step == "end") {
    js(page, "document.cookie = 'kelvora_member=abc; max-age=86400'");
    kv::qt::shutdownBrowsers();
    gui.endProcess(0);
  }
  std::printf("COOKIES[%s]\n", js(page, "document.cookie").toString().toUtf8().constData());
  gui.endProcess(0);
}

// The real OS services with the program folder in a temporary folder, recording every address
// handed to the default browser before it is launched.
class RecordingOs : public kv::LinuxOs {
 public:
  explicit RecordingOs(std::string folder) : folder_(std::move(folder)) {}
  std::string programFolder() const override { return folder_; }
  bool launchBrowser(const std::string& url) override {
    launched.push_back(url);
    return LinuxOs::launchBrowser(url);
  }
  std::vector<std::string> launched;

 private:
  std::string folder_;
};

// Processes events until `done` holds or the time is up.
bool waitUntil(const std::function<bool()>& done, int ms) {
  QDeadlineTimer deadline(ms);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QTest::qWait(10);
  }
  return true;
}

// Runs a script in the page's own world and returns its result.
QVariant js(QWebEnginePage* page, const QString& script) {
  bool got = false;
  QVariant result;
  page->runJavaScript(script, 0, [&](const QVariant& v) {
    got = true;
    result = v;
  });
  EXPECT_TRUE(waitUntil([&] { return got; })) << script.toStdString();
  return result;
}

// The same, as text ("true", "7", ...; empty when the script failed).
std::string text(QWebEnginePage* page, const QString& script) {
  return js(page, script).toString().toStdString();
}

const QString kSynthesisedMenu = QStringLiteral(
    "(function () {"
    "  var e = new MouseEvent('contextmenu', {cancelable: true, bubbles: true});"
    "  document.body.dispatchEvent(e);"
    "  return e.defaultPrevented;"
    "})()");

std::vector<std::string> linesOf(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> out;
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

size_t count(const std::vector<std::string>& v, const std::string& s) {
  return static_cast<size_t>(std::count(v.begin(), v.end(), s));
}

class BrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = env->folder + "/program-" + std::to_string(++runs_);
    fs::create_directories(folder + "/temp");
    os = std::make_unique<RecordingOs>(folder);
    gui = std::make_unique<kv::qt::QtGui>();
    app = std::make_unique<kv::App>(*gui, *os);
    app->m.gSiteUrl = kSite;
    app->m.gLsr = "lsr=20261";
    env->services->clearRequests();
    std::ofstream(env->record, std::ios::trunc).flush();
  }
  void TearDown() override {
    app.reset();
    QTest::qWait(50);  // let deferred deletions run
    gui.reset();
    os.reset();
  }

  // Loads the window (hidden) and counts the download-complete events of both browsers,
  // keeping the window's own handler.
  kv::SearchPage& load(kv::FormId id) {
    auto& form = static_cast<kv::SearchPage&>(app->form(id));
    countDownloads(*form.WebBrowser1, pageDone[id]);
    countDownloads(*form.WebBrowser3, receiverDone[id]);
    return form;
  }
  static void countDownloads(kv::Browser& b, int& n) {
    auto previous = b.onDownloadComplete;
    b.onDownloadComplete = [previous, &n] {
      if (previous) previous();
      ++n;
    };
  }

  static QWebEngineView* view(kv::SearchPage& form, const char* control) {
    QWidget* w = static_cast<kv::qt::QtWindow&>(form.window()).widget();
    return w->findChild<QWebEngineView*>(control);
  }
  static QWebEnginePage* page(kv::SearchPage& form) { return view(form, "WebBrowser1")->page(); }

  bool loaded(kv::FormId id, int downloads = 1) {
    return waitUntil([&] { return pageDone[id] >= downloads; });
  }

  std::vector<kv::standin::Request> memberRequests(const std::string& path) const {
    return env->services->requests(kSiteHost, path);
  }

  std::string folder;
  std::unique_ptr<RecordingOs> os;
  std::unique_ptr<kv::qt::QtGui> gui;
  std::unique_ptr<kv::App> app;
  std::map<kv::FormId, int> pageDone, receiverDone;

 private:
  static inline int runs_ = 0;
};

TEST_F(BrowserTest, OwnSiteHandsEachNewWindowToTheDefaultBrowserOnly) {
  kv::SearchPage& form = load(kv::FormId::Form6);
  form.Show();
  ASSERT_TRUE(loaded(kv::FormId::Form6));
  // The search page came through the proxy, with the referral as its query.
  auto search = memberRequests("/APP.PHP/index/ss_kelvora");
  ASSERT_EQ(search.size(), 1u);
  EXPECT_EQ(search[0].query, "lsr=20261");

  const std::string item = std::string(kSite) + "/item/1001";
  js(page(form), "document.getElementById('item1001').click()");
  ASSERT_TRUE(waitUntil([&] { return receiverDone[kv::FormId::Form6] >= 1; }));
  EXPECT_EQ(os->launched, std::vector<std::string>{item});
  EXPECT_TRUE(memberRequests("/item/1001").empty()) << "the receiver loads nothing";
  EXPECT_EQ(form.WebBrowser3->url(), "");
  ASSERT_TRUE(waitUntil([&] { return !linesOf(env->record).empty(); }));
  EXPECT_EQ(linesOf(env->record), std::vector<std::string>{item});
  EXPECT_TRUE(fs::exists(form.mShortPath));
  EXPECT_EQ(fs::path(form.mShortPath).parent_path(), fs::path(folder + "/temp"));

  // A script's window.open goes the same way.
  const std::string next = std::string(kSite) + "/item/1002";
  js(page(form), "document.getElementById('open1002').click()");
  ASSERT_TRUE(waitUntil([&] { return receiverDone[kv::FormId::Form6] >= 2; }));
  EXPECT_EQ(os->launched, (std::vector<std::string>{item, next}));
  EXPECT_TRUE(memberRequests("/item/1002").empty());
}

TEST_F(BrowserTest, TaobaoLoadsNewWindowsInTheReceiverAndHandsOverItsFrames) {
  kv::SearchPage& form = load(kv::FormId::Form4);
  form.Show();
  ASSERT_TRUE(loaded(kv::FormId::Form4));

  const std::string item = std::string(kSite) + "/item/1001";
  js(page(form), "document.getElementById('item1001').click()");
  ASSERT_TRUE(waitUntil([&] { return receiverDone[kv::FormId::Form4] >= 1; }));
  EXPECT_EQ(os->launched, std::vector<std::string>{item});
  EXPECT_EQ(memberRequests("/item/1001").size(), 1u);
  EXPECT_EQ(form.WebBrowser3->url(), item);
  EXPECT_EQ(text(view(form, "WebBrowser3")->page(), "document.getElementById('title') !== null"),
            "true");

  // A handed-over page with frames: the page and each frame go to the default browser.
  const std::string framed = std::string(kSite) + "/framed";
  const std::string frameA = std::string(kSite) + "/frame/a";
  const std::string frameB = std::string(kSite) + "/frame/b";
  js(page(form), "document.getElementById('framed').click()");
  ASSERT_TRUE(waitUntil([&] {
    return receiverDone[kv::FormId::Form4] >= 2 && count(os->launched, frameA) &&
           count(os->launched, frameB);
  }));
  EXPECT_EQ(os->launched.size(), 4u);
  EXPECT_EQ(os->launched[1], framed);
  EXPECT_EQ(count(os->launched, frameA), 1u);
  EXPECT_EQ(count(os->launched, frameB), 1u);
  EXPECT_EQ(memberRequests("/frame/a").size(), 1u);

  // A script's window.open replaces the receiver's page.
  const std::string next = std::string(kSite) + "/item/1002";
  js(page(form), "document.getElementById('open1002').click()");
  ASSERT_TRUE(waitUntil([&] { return form.WebBrowser3->url() == next; }));
  EXPECT_EQ(os->launched.back(), next);
  EXPECT_EQ(count(os->launched, next), 1u);
  ASSERT_TRUE(waitUntil([&] { return linesOf(env->record).size() == 5; }));
}

TEST_F(BrowserTest, ContextMenuSuppressedOnTaobaoPagesOnly) {
  kv::SearchPage& taobao = load(kv::FormId::Form4);
  kv::SearchPage& own = load(kv::FormId::Form6);
  ASSERT_TRUE(loaded(kv::FormId::Form4));
  ASSERT_TRUE(loaded(kv::FormId::Form6));
  taobao.Show();
  own.Show();
  EXPECT_EQ(text(page(taobao), kSynthesisedMenu), "true");
  EXPECT_EQ(text(page(own), kSynthesisedMenu), "false");

  // A real right-click: the own-site page shows the browser's menu, the Taobao page none.
  auto rightClick = [](kv::SearchPage& form) {
    QWebEngineView* v = view(form, "WebBrowser1");
    js(v->page(),
       "window.__menu = undefined;"
       "document.addEventListener('contextmenu', function (e) {"
       "  window.__menu = e.defaultPrevented; });");
    QTest::mouseClick(v->focusProxy(), Qt::RightButton, {}, QPoint(200, 150));
    EXPECT_TRUE(waitUntil([&] { return js(v->page(), "window.__menu !== undefined").toBool(); }));
    return text(v->page(), "String(window.__menu)") == "true";
  };
  EXPECT_FALSE(rightClick(own));
  ASSERT_TRUE(waitUntil([] { return QApplication::activePopupWidget() != nullptr; }));
  QApplication::activePopupWidget()->close();
  ASSERT_TRUE(waitUntil([] { return QApplication::activePopupWidget() == nullptr; }));

  EXPECT_TRUE(rightClick(taobao));
  js(page(taobao), "1");  // one more round trip for a menu that should not come
  QTest::qWait(50);
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

  // A new document in the page is hooked again at its download.
  js(page(taobao), "document.querySelector('form').submit()");
  ASSERT_TRUE(loaded(kv::FormId::Form4, 2));
  EXPECT_EQ(memberRequests("/APP.PHP/index/ss_taobao").size(), 2u);
  EXPECT_EQ(text(page(taobao), kSynthesisedMenu), "true");
}

TEST_F(BrowserTest, HiddenWindowKeepsItsPage) {
  kv::SearchPage& form = load(kv::FormId::Form5);
  ASSERT_TRUE(loaded(kv::FormId::Form5)) << "the page loads while the window is hidden";
  form.Show();
  js(page(form), "window.__visited = 7");
  form.Hide();
  QTest::qWait(50);
  form.Show();
  EXPECT_EQ(text(page(form), "window.__visited"), "7");
  EXPECT_EQ(memberRequests("/APP.PHP/index/ss_tianmao").size(), 1u);
  EXPECT_EQ(pageDone[kv::FormId::Form5], 1);
}

TEST_F(BrowserTest, SignedInMemberStaysSignedInAfterTheProcessEnds) {
  auto run = [](const char* step) {
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert("KELVORA_BROWSER_PROFILE_HOME", QString::fromStdString(env->folder + "/restart"));
    e.insert("KELVORA_BROWSER_RESTART_STEP", step);
    p.setProcessEnvironment(e);
    // Any test: the step runs while the test environment is set up, and ends the process.
    p.start(QCoreApplication::applicationFilePath(),
            {"--gtest_filter=BrowserTest.HiddenWindowKeepsItsPage"});
    EXPECT_TRUE(p.waitForFinished(60000)) << step;
    EXPECT_EQ(p.exitCode(), 0) << step;
    return p.readAllStandardOutput().toStdString();
  };
  run("end");
  EXPECT_NE(run("return").find("COOKIES[kelvora_member=abc]"), std::string::npos);
}

TEST_F(BrowserTest, SilentPageShowsNoDialogsAndAllBrowsersShareOnePersistentProfile) {
  kv::SearchPage& form = load(kv::FormId::Form4);
  form.Show();
  ASSERT_TRUE(loaded(kv::FormId::Form4));
  EXPECT_EQ(text(page(form), "alert('a'); JSON.stringify([confirm('b'), prompt('c', 'd')])"),
            "[false,null]");
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

  kv::SearchPage& other = load(kv::FormId::Form6);
  for (kv::SearchPage* f : {&form, &other})
    for (kv::Picture* p : {f->Image1.get(), f->Image2.get(), f->Image3.get(), f->Image4.get()})
      EXPECT_FALSE(p->source().empty()) << "a picture stored with the window is missing";
  QWebEngineProfile* profile = page(form)->profile();
  EXPECT_EQ(profile, kv::qt::browserProfile());
  EXPECT_EQ(view(form, "WebBrowser3")->page()->profile(), profile);
  EXPECT_EQ(page(other)->profile(), profile);
  EXPECT_FALSE(profile->isOffTheRecord());
  EXPECT_EQ(profile->storageName(), "kelvora");
  EXPECT_EQ(profile->persistentCookiesPolicy(), QWebEngineProfile::ForcePersistentCookies);
}

}  // namespace
