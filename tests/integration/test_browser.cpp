// The windows with embedded browsers on real Qt WebEngine, against the stand-in services reached
// through http_proxy: new windows and frames handed to the default browser, the context-menu
// hook, silent mode and the shared persistent profile.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QInputDialog>
#include <QLabel>
#include <QNetworkCookie>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>

#include "account/sharing_window.h"
#include "app/app.h"
#include "app/shared.h"
#include "pages/search_pages.h"
#include "platform/hosts.h"
#include "platform/qt/qt_browser.h"
#include "platform/qt/qt_gui.h"
#include "platform/qt/qt_window.h"
#include "platform/services/os_linux.h"
#include "tools/standin/standin.h"

namespace fs = std::filesystem;

namespace {

const std::string kSite = "http://www.member.example";
const char kSiteHost[] = "www.member.example";

// Processes events until `done` holds or the time is up.
bool waitUntil(const std::function<bool()>& done, int ms = 20000) {
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
std::string text(QWebEnginePage* page, const QString& script) {
  return js(page, script).toString().toStdString();
}

// A click of the user's mouse (a user gesture for the engine) in the middle of an element of a
// shown view.
void click(QWebEngineView* view, const QString& id) {
  const QVariantList middle =
      js(view->page(),
         QStringLiteral("(function () {"
                        "  var r = document.getElementById('%1').getBoundingClientRect();"
                        "  return [r.left + r.width / 2, r.top + r.height / 2];"
                        "})()")
             .arg(id))
          .toList();
  ASSERT_EQ(middle.size(), 2) << id.toStdString();
  ASSERT_NE(view->focusProxy(), nullptr);
  QTest::mouseClick(view->focusProxy(), Qt::LeftButton, {},
                    QPoint(middle[0].toInt(), middle[1].toInt()));
}

// A scripted page of the member site.
kv::standin::Reply scriptedPage(const std::string& body) {
  kv::standin::Reply r;
  r.contentType = "text/html; charset=utf-8";
  r.body = "<!DOCTYPE html><html><head><title>...</title></head><body>" + body + "</body></html>";
  return r;
}

// The dialog box of a page now shown, if any.
QDialog* pageBox() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == "PageBox" && w->isVisible()) return static_cast<QDialog*>(w);
  return nullptr;
}

// One stand-in for the whole run, reached through http_proxy, and a default browser that does
// nothing (what reaches it is checked end to end). Both must be in place before the first browser
// starts: the browser engine reads the proxy settings from the environment once.
class BrowserEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    char tmpl[] = "/tmp/kelvora-browser-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    folder = tmpl;
    services = std::make_unique<kv::standin::StandIn>(kv::hosts::kProduct, kv::hosts::kPlatform);
    ASSERT_GT(services->start(), 0);
    setenv("http_proxy", services->proxyUrl().c_str(), 1);
    unsetenv("no_proxy");
    unsetenv("NO_PROXY");
    // The shared profile's cookies and cache: in the run's folder or the restart's parent's.
    const char* home = std::getenv("KELVORA_BROWSER_PROFILE_HOME");
    const std::string profileHome = home ? home : folder;
    setenv("XDG_DATA_HOME", (profileHome + "/data").c_str(), 1);
    setenv("XDG_CACHE_HOME", (profileHome + "/cache").c_str(), 1);
    setenv("BROWSER", "true", 1);
    if (const char* step = std::getenv("KELVORA_BROWSER_RESTART_STEP")) restartStep(step);
  }
  void TearDown() override {
    if (services) services->stop();
    std::error_code ec;
    fs::remove_all(folder, ec);
  }

  std::unique_ptr<kv::standin::StandIn> services;
  std::string folder;

 private:
  kv::qt::QtGui gui;

  // One run of the program in the restart test: "end" sets a cookie of the member site and ends
  // the process as the program ends it; "return" prints the member site's cookies.
  void restartStep(const std::string& step) {
    QWidget window;
    auto browser = kv::qt::createBrowser(&window, "WebBrowser1");
    bool done = false;
    browser->onDownloadComplete = [&] { done = true; };
    if (step == "box") {
      // The program ends, as its exit button ends it, while the page's box is open.
      QTimer* ending = new QTimer(&window);
      QObject::connect(ending, &QTimer::timeout, [&] {
        if (pageBox()) gui.endProcess(0);
      });
      ending->start(20);
      services->setReply(kSiteHost, "/box",
                         scriptedPage("<script>document.cookie = 'kelvora_member=box; "
                                      "max-age=86400'; alert('x');</script>"));
      browser->navigate(kSite + "/box");
      waitUntil([] { return false; }, 60000);
      std::_Exit(2);
    }
    browser->navigate(kSite + "/");
    if (!waitUntil([&] { return done; })) std::_Exit(2);
    QWebEnginePage* page = window.findChild<QWebEngineView*>("WebBrowser1")->page();
    if (step == "end") {
      // The page's cookie reaches the profile's store after the script has run: the end comes
      // once the store has it, as a member's sign-in comes long before the exit.
      bool stored = false;
      QObject::connect(kv::qt::browserProfile()->cookieStore(), &QWebEngineCookieStore::cookieAdded,
                       &window, [&](const QNetworkCookie& c) {
                         if (c.name() == "kelvora_member") stored = true;
                       });
      js(page, "document.cookie = 'kelvora_member=abc; max-age=86400'");
      if (!waitUntil([&] { return stored; })) std::_Exit(3);
      kv::qt::shutdownBrowsers();
      gui.endProcess(0);
    }
    std::printf("COOKIES[%s]\n", text(page, "document.cookie").c_str());
    gui.endProcess(0);
  }
};

BrowserEnvironment* env =
    static_cast<BrowserEnvironment*>(::testing::AddGlobalTestEnvironment(new BrowserEnvironment));

// The real OS services, the program folder a temporary one, connected, no other instance running,
// recording every address handed to the default browser.
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
  }
  void TearDown() override {
    app.reset();
    QTest::qWait(50);  // let deferred deletions run before the GUI goes
  }

  // Loads the window (hidden) and counts the download-complete events of both browsers,
  // keeping the window's own handler.
  kv::SearchPage& load(kv::FormId id) {
    auto& form = static_cast<kv::SearchPage&>(app->form(id));
    for (auto [b, n] : {std::pair{form.WebBrowser1.get(), &pageDone[id]},
                        std::pair{form.WebBrowser3.get(), &receiverDone[id]}})
      b->onDownloadComplete = [previous = b->onDownloadComplete, counter = n] {
        if (previous) previous();
        ++*counter;
      };
    return form;
  }
  static QWebEngineView* view(kv::Form& form, const char* control = "WebBrowser1") {
    QWidget* w = static_cast<kv::qt::QtWindow&>(form.window()).widget();
    return w->findChild<QWebEngineView*>(control);
  }
  static QWebEnginePage* page(kv::Form& form) { return view(form)->page(); }
  bool loaded(kv::FormId id, int downloads = 1) {
    return waitUntil([&] { return pageDone[id] >= downloads; });
  }
  static size_t requested(const std::string& host, const std::string& path) {
    return env->services->requests(host, path).size();
  }

  std::string folder;
  std::unique_ptr<RecordingOs> os;
  std::unique_ptr<kv::qt::QtGui> gui;
  std::unique_ptr<kv::App> app;
  std::map<kv::FormId, int> pageDone, receiverDone;

 private:
  static inline int runs_ = 0;
};

// A contextmenu event on the page: true when a handler cancelled it (no menu comes then).
const QString kMenu = QStringLiteral(
    "(function () {"
    "  var e = new MouseEvent('contextmenu', {cancelable: true, bubbles: true});"
    "  document.body.dispatchEvent(e);"
    "  return e.defaultPrevented;"
    "})()");

// A link with a target, then a script's window.open: the own site hands each to the default
// browser once and loads nothing; the Taobao page loads them in the receiver, handing each over
// once, and each frame of such a page too, and cancels the context menu.
TEST_F(BrowserTest, NewWindowsOfTheOwnSiteAndOfTaobaoAndTheContextMenu) {
  kv::SearchPage& own = load(kv::FormId::Form6);
  kv::SearchPage& taobao = load(kv::FormId::Form4);
  own.Show();
  taobao.Show();
  ASSERT_TRUE(loaded(kv::FormId::Form6) && loaded(kv::FormId::Form4));
  const std::string item = kSite + "/item/1001", next = kSite + "/item/1002";
  js(page(own), "document.getElementById('item1001').click()");
  ASSERT_TRUE(waitUntil([&] { return receiverDone[kv::FormId::Form6] >= 1; }));
  EXPECT_EQ(own.WebBrowser3->url(), "");
  js(page(own), "document.getElementById('open1002').click()");
  ASSERT_TRUE(waitUntil([&] { return receiverDone[kv::FormId::Form6] >= 2; }));
  EXPECT_EQ(os->launched, (std::vector<std::string>{item, next}));
  EXPECT_EQ(requested(kSiteHost, "/item/1001") + requested(kSiteHost, "/item/1002"), 0u);
  EXPECT_EQ(fs::path(own.mShortPath).parent_path(), fs::path(folder + "/temp"));
  EXPECT_EQ(text(page(own), kMenu), "false");  // the own site keeps the browser's menu

  os->launched.clear();
  js(page(taobao), "document.getElementById('item1001').click()");
  ASSERT_TRUE(waitUntil([&] { return receiverDone[kv::FormId::Form4] >= 1; }));
  EXPECT_EQ(os->launched, std::vector<std::string>{item});
  EXPECT_EQ(requested(kSiteHost, "/item/1001"), 1u);
  EXPECT_EQ(taobao.WebBrowser3->url(), item);
  EXPECT_EQ(text(view(taobao, "WebBrowser3")->page(), "document.getElementById('title') !== null"),
            "true");
  js(page(taobao), "document.getElementById('framed').click()");
  ASSERT_TRUE(waitUntil([&] { return os->launched.size() >= 4; }));
  std::sort(os->launched.begin() + 2, os->launched.end());  // the frames in either order
  EXPECT_EQ(os->launched, (std::vector<std::string>{item, kSite + "/framed", kSite + "/frame/a",
                                                    kSite + "/frame/b"}));
  js(page(taobao), "document.getElementById('open1002').click()");
  ASSERT_TRUE(waitUntil([&] { return taobao.WebBrowser3->url() == next; }));
  EXPECT_EQ(os->launched.back(), next);
  EXPECT_EQ(os->launched.size(), 5u);
  // A new document in the page is hooked again at its download.
  EXPECT_EQ(text(page(taobao), kMenu), "true");
  js(page(taobao), "document.querySelector('form').submit()");
  ASSERT_TRUE(loaded(kv::FormId::Form4, 2));
  EXPECT_EQ(text(page(taobao), kMenu), "true");
}

// One run of the program in a process of its own, on the profile in `profile`; its output.
std::string runStep(const char* step, const std::string& profile) {
  QProcess p;
  QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
  e.insert("KELVORA_BROWSER_PROFILE_HOME", QString::fromStdString(env->folder + "/" + profile));
  e.insert("KELVORA_BROWSER_RESTART_STEP", step);
  p.setProcessEnvironment(e);
  // Any test: the step runs while the test environment is set up, and ends the process.
  p.start(QCoreApplication::applicationFilePath(),
          {"--gtest_filter=BrowserTest.HiddenPageKeptSilentAndOnTheSharedProfile"});
  EXPECT_TRUE(p.waitForFinished(60000)) << step;
  EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << step;
  EXPECT_EQ(p.exitCode(), 0) << step;
  return p.readAllStandardOutput().toStdString();
}

TEST_F(BrowserTest, SignedInMemberStaysSignedInAfterTheProcessEnds) {
  runStep("end", "restart");
  EXPECT_NE(runStep("return", "restart").find("COOKIES[kelvora_member=abc]"), std::string::npos);
}

// The exit while a page's box is open ends the program at once, and the cookies are kept.
TEST_F(BrowserTest, ProcessEndsWhileAPageBoxIsOpen) {
  runStep("box", "restart-box");
  EXPECT_NE(runStep("return", "restart-box").find("COOKIES[kelvora_member=box]"),
            std::string::npos);
}

// A page loads while its window is hidden and keeps its state across a hide and show; silent
// pages show no dialogs; every browser uses the one persistent profile.
TEST_F(BrowserTest, HiddenPageKeptSilentAndOnTheSharedProfile) {
  kv::SearchPage& form = load(kv::FormId::Form5);
  ASSERT_TRUE(loaded(kv::FormId::Form5));
  form.Show();
  js(page(form), "window.__visited = 7");
  form.Hide();
  QTest::qWait(50);
  form.Show();
  EXPECT_EQ(text(page(form), "window.__visited"), "7");
  EXPECT_EQ(requested(kSiteHost, "/APP.PHP/index/ss_tianmao"), 1u);
  EXPECT_EQ(text(page(form), "alert('a'); JSON.stringify([confirm('b'), prompt('c', 'd')])"),
            "[false,null]");

  QWebEngineProfile* profile = page(form)->profile();
  EXPECT_EQ(profile, kv::qt::browserProfile());
  EXPECT_EQ(view(form, "WebBrowser3")->page()->profile(), profile);
  EXPECT_EQ(page(load(kv::FormId::Form6))->profile(), profile);  // its persistence: the restart
}

// The windows on Qt: frameless, the pointing hand over what can be clicked, the arrow elsewhere.
TEST_F(BrowserTest, WindowsAreFramelessWithAPointingHandOverTheirButtons) {
  kv::Form& faq = app->form(kv::FormId::Form9);
  QWidget* w = static_cast<kv::qt::QtWindow&>(faq.window()).widget();
  EXPECT_TRUE(w->windowFlags().testFlag(Qt::FramelessWindowHint));
  for (int i = 1; i <= 11; ++i) {
    const QString name = QString("Image%1").arg(i);
    const bool button = i <= 5 || i == 10;
    EXPECT_EQ(w->findChild<QLabel*>(name)->cursor().shape(),
              button ? Qt::PointingHandCursor : Qt::ArrowCursor)
        << name.toStdString();
  }
}

// Every new window the user asks for is handed over, one launch each, a second click on the same
// link within seconds too, on a receiver that loads the page and on one that cancels it; ftp
// addresses are handed over like web ones, by the user or by the page, and never loaded here.
TEST_F(BrowserTest, EveryNewWindowOfTheUserIsLaunchedAndFtpToo) {
  const std::string item = kSite + "/item/1001";
  const std::string ftp = "ftp://ftp.member.example/pub/list.txt";
  const QString addFtpLink = QStringLiteral(
      "var a = document.createElement('a'); a.id = 'ftp'; a.target = '_blank';"
      "a.href = 'ftp://ftp.member.example/pub/list.txt'; a.textContent = 'ftp';"
      "document.body.insertBefore(a, document.body.firstChild);");
  for (kv::FormId id : {kv::FormId::Form4, kv::FormId::Form6}) {
    SCOPED_TRACE(static_cast<int>(id));
    kv::SearchPage& form = load(id);
    form.Show();
    ASSERT_TRUE(loaded(id));
    os->launched.clear();
    click(view(form), "item1001");
    ASSERT_TRUE(waitUntil([&] { return os->launched.size() >= 1; }));
    click(view(form), "item1001");
    ASSERT_TRUE(waitUntil([&] { return os->launched.size() >= 2; }));
    js(page(form), addFtpLink);
    click(view(form), "ftp");
    ASSERT_TRUE(waitUntil([&] { return os->launched.size() >= 3; }));
    js(page(form), "window.open('ftp://ftp.member.example/pub/b.txt')");
    ASSERT_TRUE(waitUntil([&] { return os->launched.size() >= 4; }));
    EXPECT_EQ(os->launched,
              (std::vector<std::string>{item, item, ftp, "ftp://ftp.member.example/pub/b.txt"}));
    form.Hide();
  }
  EXPECT_EQ(env->services->requests("ftp.member.example").size(), 0u);
}

// A handed-over link the server redirects is launched once: the redirect continues the
// navigation in the receiver and is not handed over again.
TEST_F(BrowserTest, RedirectOfAHandedOverLinkIsNotLaunchedAgain) {
  kv::standin::Reply moved;
  moved.status = 302;
  moved.location = kSite + "/item/1003";
  env->services->setReply(kSiteHost, "/moved", moved);
  kv::SearchPage& taobao = load(kv::FormId::Form4);
  ASSERT_TRUE(loaded(kv::FormId::Form4));
  js(page(taobao), QString::fromStdString("window.open('" + kSite + "/moved')"));
  ASSERT_TRUE(waitUntil([&] { return taobao.WebBrowser3->url() == kSite + "/item/1003"; }));
  ASSERT_TRUE(waitUntil([&] { return receiverDone[kv::FormId::Form4] >= 1; }));
  EXPECT_EQ(os->launched, std::vector<std::string>{kSite + "/moved"});
  EXPECT_EQ(requested(kSiteHost, "/item/1003"), 1u);
  env->services->resetReplies();
}

// A receiver's page that opens dialog boxes without end shows one box per hand-over and the rest
// are answered as cancelled ones; the box blocks only its own window, so a click on another window
// still reaches it.
TEST_F(BrowserTest, ReceiverPageShowsOneDialogBoxPerHandOver) {
  const char* loop =
      "<script>var n = 0; for (var i = 0; i < 100; i++) %s;"
      "document.title = 'done ' + n;</script>";
  auto boxes = [&](const char* call) {
    char body[512];
    std::snprintf(body, sizeof body, loop, call);
    return scriptedPage(body);
  };
  env->services->setReply(kSiteHost, "/alerts", boxes("alert(i), n++"));
  env->services->setReply(kSiteHost, "/confirms", boxes("n += confirm('c' + i) ? 1 : 0"));
  env->services->setReply(kSiteHost, "/prompts",
                          boxes("n += prompt('p' + i, 'd') === 'typed' ? 1 : 0"));
  kv::SearchPage& tmall = load(kv::FormId::Form5);
  ASSERT_TRUE(loaded(kv::FormId::Form5));
  QPushButton other("other window");
  int clicks = 0;
  QObject::connect(&other, &QPushButton::clicked, [&] { ++clicks; });
  other.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));

  // The box runs in a loop of its own, inside the engine's call: it is answered from there.
  std::vector<std::string> titles;
  bool otherReached = true;
  QTimer answering;
  QObject::connect(&answering, &QTimer::timeout, [&] {
    QDialog* box = pageBox();
    if (!box) box = qobject_cast<QDialog*>(QApplication::activeModalWidget());  // another's box
    if (!box) return;
    answering.stop();
    titles.push_back(box->windowTitle().toStdString());
    EXPECT_NE(box->windowModality(), Qt::ApplicationModal);
    if (otherReached) {
      const int before = clicks;
      QTest::mouseClick(other.windowHandle(), Qt::LeftButton, {}, other.rect().center());
      otherReached = waitUntil([&] { return clicks > before; }, 5000);
    }
    if (auto* input = qobject_cast<QInputDialog*>(box)) input->setTextValue("typed");
    box->accept();
    answering.start();
  });
  answering.start(20);
  const struct {
    const char* path;
    const char* title;
    const char* done;
  } kinds[] = {{"/alerts", "Javascript Alert - ", "done 100"},
               {"/confirms", "Javascript Confirm - ", "done 1"},
               {"/prompts", "Javascript Prompt - ", "done 1"}};
  std::vector<std::string> expected;
  for (const auto& kind : kinds) {
    SCOPED_TRACE(kind.path);
    js(page(tmall), QString::fromStdString("window.open('" + kSite + kind.path + "')"));
    expected.push_back(kind.title + kSite + "/");
    ASSERT_TRUE(waitUntil([&] { return view(tmall, "WebBrowser3")->title() == kind.done; }))
        << view(tmall, "WebBrowser3")->title().toStdString();
  }
  EXPECT_EQ(titles, expected);
  EXPECT_TRUE(otherReached) << "a click on another window did not reach it while a box was open";
  EXPECT_EQ(os->launched.size(), std::size(kinds));
  env->services->resetReplies();
}

// The search pages' page processes (in the program one serves all three) are killed: the shown
// page and the hidden ones load again at once, each at most 3 times a minute; past that a page
// stays as it is until it is shown again.
TEST_F(BrowserTest, SearchPagesLoadAgainWhenTheirProcessIsKilled) {
  const std::vector<kv::FormId> ids = {kv::FormId::Form4, kv::FormId::Form5, kv::FormId::Form6};
  for (kv::FormId id : ids) load(id);
  kv::Form& taobao = app->form(kv::FormId::Form4);
  taobao.Show();
  for (kv::FormId id : ids) ASSERT_TRUE(loaded(id));
  int ended = 0;
  for (kv::FormId id : ids)
    QObject::connect(page(app->form(id)), &QWebEnginePage::renderProcessTerminated,
                     [&] { ++ended; });
  auto killRenderers = [&] {
    std::set<qint64> pids;
    for (kv::FormId id : ids) pids.insert(page(app->form(id))->renderProcessPid());
    ASSERT_EQ(pids.count(0), 0u);
    const int before = ended;
    for (qint64 pid : pids) ASSERT_EQ(::kill(static_cast<pid_t>(pid), SIGKILL), 0);
    ASSERT_TRUE(waitUntil([&] { return ended == before + 3; }));
  };
  for (int round = 2; round <= 4; ++round) {
    killRenderers();
    for (kv::FormId id : ids) {
      ASSERT_TRUE(loaded(id, round)) << static_cast<int>(id) << " round " << round;
      EXPECT_EQ(text(page(app->form(id)), "document.getElementById('item1001') !== null"), "true");
    }
  }
  killRenderers();
  QTest::qWait(300);  // room for a fourth load that must not come
  for (kv::FormId id : ids) EXPECT_EQ(pageDone[id], 4) << static_cast<int>(id);
  taobao.Hide();
  taobao.Show();
  ASSERT_TRUE(loaded(kv::FormId::Form4, 5));
  EXPECT_EQ(pageDone[kv::FormId::Form5], 4);
}

// Each new window of the sharing page reaches the default browser once and is not loaded here.
TEST_F(BrowserTest, SharingPageHandsNewWindowsToTheDefaultBrowserOnce) {
  kv::Form10& form = app->form10();  // its placement loads the first panel: the start-up road
  int pageLoads = 0;
  form.WebBrowser1->onDownloadComplete = [&] { ++pageLoads; };
  form.Show();
  ASSERT_TRUE(waitUntil([&] { return pageLoads >= 1; })) << "the sharing page did not load";
  os->launched.clear();

  const std::string rules = kv::PlatformUrl("/index.php/index/lsrzc?lsr=20261");
  const std::string invitePath =
      "/app.php/index/fenxiang/user/" + kv::standin::StandIn::demoAccount();
  js(page(form),
     "document.getElementById('rules').click(); document.getElementById('invite').click()");
  ASSERT_TRUE(waitUntil([&] { return os->launched.size() >= 2; }));
  QTest::qWait(300);  // room for a second hand-over that must not come
  EXPECT_EQ(os->launched, (std::vector<std::string>{rules, kv::PlatformUrl(invitePath)}));
  EXPECT_EQ(requested(kv::hosts::kPlatform, "/index.php/index/lsrzc") +
                requested(kv::hosts::kPlatform, invitePath),
            0u);
}

}  // namespace
