// The start-up road against the fake GUI, real files in a temporary program folder and the
// stand-in services.
#include <filesystem>
#include <fstream>

#include "app/app.h"
#include "tests/fake/app_fixture.h"

namespace kv::test {
namespace {

using Names = std::vector<std::string>;

namespace fs = std::filesystem;
using standin::Reply;

constexpr const char* kServerError = "错误：连接服务器错误，请稍后再试。";

class StartupTest : public AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    reply(kWang, 200, "http://shop7.member.example/APP.PHP/index/index?lsr=777");
    reply(kCheck, 200, "1");
    reply(kUp, 200, "0");
    reply("/app.php/index/nav", 200, "4");
  }
  void reply(const std::string& path, int status, const std::string& body) {
    services.setReply(hosts::kProduct, path, {status, body});
  }
  void refuse(const std::string& path) {
    Reply r;
    r.refuse = true;
    services.setReply(hosts::kProduct, path, r);
  }
  size_t count(const std::string& path) const {
    return services.requests(hosts::kProduct, path).size();
  }
  // A fresh start of a new App, with the boxes, the end and the requests seen so far forgotten.
  bool restart() {
    gui.ended = false;
    gui.boxes.clear();
    services.clearRequests();
    app = std::make_unique<App>(gui, os);
    return startApp();
  }
  bool endedWith(const std::string& message) const {
    return gui.ended && !gui.boxes.empty() && gui.boxes.back().text == message;
  }
};

TEST_F(StartupTest, StoredTextWithAddressAndReferralNeedsNoSiteTextRequest) {
  writeData("app_url.txt", "http://Shop1.Member.example:8080/x?lsr=42,more\r\nsecond line\r\n");
  ASSERT_TRUE(startApp());
  EXPECT_EQ(count(kWang), 0u);
  EXPECT_EQ(app->m.gSiteUrl, "http://Shop1.Member.example");
  EXPECT_EQ(app->m.gLsr, "lsr=42");
  // The address is not an own site: it is checked, with its dots and "://" unescaped.
  auto checks = services.requests(hosts::kProduct, kCheck);
  ASSERT_EQ(checks.size(), 1u);
  EXPECT_EQ(checks[0].body, "yu=http://Shop1.Member.example");
  EXPECT_EQ(services.requests(hosts::kProduct, kUp).at(0).body, "banben=2.150806");
  EXPECT_TRUE(visible("Form1") && visible("Form2") && visible("Form3") && visible("Form12"));
  EXPECT_TRUE(gui.boxes.empty());
}

TEST_F(StartupTest, IncompleteOrMissingStoredTextFetchesOnceAndStoresTheWholeReply) {
  const std::string site = "http://a.member.example/?lsr=5, line one\nline two";
  reply(kWang, 200, site);
  for (const char* stored : {"http://stored.member.example/\r\n", "", "no file", "no folder"}) {
    SCOPED_TRACE(stored);
    fs::remove(path("paz/l/s/r/app_url.txt"));
    if (std::string(stored) == "no folder")
      removeDataFolder();
    else if (std::string(stored) != "no file")
      writeData("app_url.txt", stored);
    ASSERT_TRUE(restart());
    EXPECT_EQ(count(kWang), 1u);
    EXPECT_EQ(app->m.gSiteUrl,
              *stored == 'h' ? "http://stored.member.example" : "http://a.member.example");
    EXPECT_EQ(app->m.gLsr, "lsr=5");
    if (!fs::exists(path("paz"))) break;  // nothing created, the last case
    EXPECT_EQ(readData("app_url.txt"), site + "\r\n");
    // The next start reads the first item only: it holds both.
    ASSERT_TRUE(restart());
    EXPECT_EQ(count(kWang), 0u);
  }
  EXPECT_FALSE(fs::exists(path("paz")));
}

TEST_F(StartupTest, RequestsGoOutInTheOrderOfTheRoad) {
  ASSERT_TRUE(startApp());
  Names product;
  for (const auto& r : services.requests(hosts::kProduct)) {
    product.push_back(r.method + " " + r.path);
    EXPECT_EQ(r.headers.at("content-type"), "application/x-www-form-urlencoded");
  }
  EXPECT_EQ(product, (Names{"POST /app.php/index/nav", std::string("POST ") + kWang,
                            std::string("POST ") + kCheck, std::string("POST ") + kUp}));
}

// Every place that asks for the site text ends the process on a status other than 200, as does a
// site check without 200; app_url.txt stays as it was.
TEST_F(StartupTest, ServerErrorsEndTheProcessAndLeaveTheStoredText) {
  struct Case {
    std::string stored;
    Reply check;
  };
  for (const Case& c : {Case{"", {200, "1"}}, Case{"lsr=9\r\n", {200, "1"}},
                        Case{"http://x.member.example/\r\n", {200, "1"}},
                        Case{"http://x.member.example/?lsr=9\r\n", {200, "0"}},
                        Case{"http://x.member.example/?lsr=9\r\n", {503, "1"}}}) {
    SCOPED_TRACE(c.stored + " " + c.check.body);
    writeData("app_url.txt", c.stored);
    reply(kWang, 500, "http://y.member.example/?lsr=1");
    services.setReply(hosts::kProduct, kCheck, c.check);
    EXPECT_FALSE(restart());
    EXPECT_TRUE(endedWith(kServerError));
    EXPECT_EQ(readData("app_url.txt"), c.stored);
    EXPECT_EQ(count(kUp), 0u);
  }
}

TEST_F(StartupTest, RejectedSiteTakesTheNewAddressAndKeepsTheReferral) {
  reply(kWang, 200, "http://new.member.example/?lsr=99");
  for (std::string answer : {"0", "", "abc", "refused"}) {
    SCOPED_TRACE(answer);
    writeData("app_url.txt", "http://old.member.example/?lsr=42\r\n");
    if (answer == "refused")
      refuse(kCheck);
    else
      reply(kCheck, 200, answer);
    ASSERT_TRUE(restart());
    EXPECT_EQ(count(kWang), 1u);
    EXPECT_EQ(count(kCheck), 1u);  // the new address is not checked again
    EXPECT_EQ(app->m.gSiteUrl, "http://new.member.example");
    EXPECT_EQ(app->m.gLsr, "lsr=42");
    EXPECT_EQ(readData("app_url.txt"), "http://new.member.example/?lsr=99\r\n");
  }
}

TEST_F(StartupTest, AddressEndsBeforePortHyphenOrPathAndOwnSitesAreNotChecked) {
  const std::string own0 = std::string("http://") + hosts::kOwnSites[0],
                    own3 = std::string("http://") + hosts::kOwnSites[3];
  struct Case {
    std::string stored, site;
    bool checked;
  };
  for (const Case& c : {Case{"http://a.b.example:81/", "http://a.b.example", true},
                        Case{"http://my-shop.example/", "http://my", true},
                        Case{"http://a.example/path/x", "http://a.example", true},
                        Case{"HTTP://CAPS.EXAMPLE/", "HTTP://CAPS.EXAMPLE", true},
                        Case{"ftp://files.example/", "ftp://files.example", true},
                        Case{own0 + "/", own0, false}, Case{own3 + "/", own3, false}}) {
    SCOPED_TRACE(c.stored);
    writeData("app_url.txt", c.stored + "?lsr=1\r\n");
    ASSERT_TRUE(restart());
    EXPECT_EQ(app->m.gSiteUrl, c.site);
    EXPECT_EQ(app->m.gLsr, "lsr=1");
    EXPECT_EQ(count(kCheck), c.checked ? 1u : 0u);
  }
}

TEST_F(StartupTest, UpdateCheck) {
  writeData("app_url.txt", "http://a.member.example/?lsr=1\r\n");
  reply(kUpUrl, 200, "http://dl.example/setup.exe");

  // 0 and a failed check show nothing.
  reply(kUp, 200, " 0 ");
  ASSERT_TRUE(restart());
  EXPECT_TRUE(gui.boxes.empty());
  refuse(kUp);
  ASSERT_TRUE(restart());
  EXPECT_TRUE(gui.boxes.empty());

  // Anything else is shown; Cancel goes on with the home view laid out.
  for (std::string answer : {"2", "有新版本 2.2，是否下载？", ""}) {
    SCOPED_TRACE(answer);
    reply(kUp, 200, answer);
    gui.answers.push_back(MsgResult::Cancel);
    ASSERT_TRUE(restart());
    ASSERT_EQ(gui.boxes.size(), 1u);
    EXPECT_EQ(gui.boxes[0].text, answer);
    EXPECT_EQ(gui.boxes[0].title, "发现新版本");
    EXPECT_EQ(gui.boxes[0].buttons, MsgButtons::OkCancel);
    EXPECT_EQ(count(kUpUrl), 0u);
    EXPECT_FALSE(app->m.gPanelsWidth.empty());
  }

  // OK opens the download address and ends; a failed address query opens nothing.
  reply(kUp, 200, "2");
  for (bool refused : {false, true}) {
    if (refused) refuse(kUpUrl);
    os.launched.clear();
    gui.answers.push_back(MsgResult::Ok);
    EXPECT_FALSE(restart());
    EXPECT_TRUE(gui.ended);
    EXPECT_EQ(os.launched, refused ? Names{} : Names{"http://dl.example/setup.exe"});
    EXPECT_EQ(fs::exists(path("temp/20240303140509.url")), !refused);
  }
}

TEST_F(StartupTest, SecondInstanceAndNoNetworkEndBeforeAnyWindow) {
  struct Case {
    bool otherInstance;
    const char *text, *title;
  };
  for (const Case& c : {Case{true, "本程序已打开，请关闭后在打开。", "错误"},
                        Case{false, "连接失败：请检查您的网络是否正确连接。", "Kelvora"}}) {
    SCOPED_TRACE(c.text);
    os.otherInstance = c.otherInstance;
    os.connected = c.otherInstance;
    EXPECT_FALSE(restart());
    ASSERT_EQ(gui.boxes.size(), 1u);
    EXPECT_EQ(gui.boxes[0].text, c.text);
    EXPECT_EQ(gui.boxes[0].title, c.title);
    EXPECT_FALSE(visible("Form1") || visible("Form12"));
    EXPECT_TRUE(services.requests().empty());
  }
}

TEST_F(StartupTest, TempLosesOnlyTheFilesDirectlyInside) {
  writeData("app_url.txt", "http://a.member.example/?lsr=1\r\n");
  std::ofstream(path("temp/20240101000000.url")) << "x";
  fs::create_directories(path("temp/keep"));
  std::ofstream(path("temp/keep/inner.txt")) << "x";
  std::ofstream(path("outside.txt")) << "x";
  fs::create_symlink(path("outside.txt"), path("temp/link"));
  ASSERT_TRUE(startApp());
  EXPECT_FALSE(fs::exists(path("temp/20240101000000.url")));
  EXPECT_TRUE(fs::exists(path("temp/keep/inner.txt")));
  EXPECT_TRUE(fs::exists(path("outside.txt")));
  fs::remove_all(path("temp"));  // a missing temp is created
  ASSERT_TRUE(restart());
  EXPECT_TRUE(fs::is_directory(path("temp")));
}

}  // namespace
}  // namespace kv::test
