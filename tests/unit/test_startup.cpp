// The start-up road against the fake GUI, real files in a temporary program folder and the
// stand-in services.
#include <filesystem>
#include <fstream>

#include "app/app.h"
#include "tests/fake/app_fixture.h"

namespace kv::test {
namespace {

namespace fs = std::filesystem;
using standin::Reply;

constexpr const char* kWang = "/app.php/index/wang";
constexpr const char* kCheck = "/app.php/index/wang_yu";
constexpr const char* kUp = "/app.php/index/up";
constexpr const char* kUpUrl = "/app.php/index/up_url";
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
    Reply r;
    r.status = status;
    r.body = body;
    services.setReply(hosts::kProduct, path, r);
  }
  void refuse(const std::string& path) {
    Reply r;
    r.refuse = true;
    services.setReply(hosts::kProduct, path, r);
  }
  size_t count(const std::string& path) const {
    return services.requests(hosts::kProduct, path).size();
  }
  bool endedWith(const std::string& message) const {
    return gui.ended && !gui.boxes.empty() && gui.boxes.back().text == message;
  }
  bool homeViewUp() const {
    return visible("Form1") && visible("Form2") && visible("Form3") && visible("Form12");
  }
};

TEST_F(StartupTest, StoredTextWithAddressAndReferralNeedsNoSiteTextRequest) {
  writeData("app_url.txt", "http://Shop1.Member.example:8080/x?lsr=42,more\r\nsecond line\r\n");
  ASSERT_TRUE(startApp());
  EXPECT_EQ(count(kWang), 0u);
  EXPECT_EQ(app->m.gSiteUrl, "http://Shop1.Member.example");
  EXPECT_EQ(app->m.gLsr, "lsr=42");
  EXPECT_EQ(app->m.gVersion, "2.150806");
  // The address is not an own site: it is checked, with its dots and "://" unescaped.
  auto checks = services.requests(hosts::kProduct, kCheck);
  ASSERT_EQ(checks.size(), 1u);
  EXPECT_EQ(checks[0].body, "yu=http://Shop1.Member.example");
  EXPECT_EQ(services.requests(hosts::kProduct, kUp).at(0).body, "banben=2.150806");
  EXPECT_TRUE(homeViewUp());
  EXPECT_FALSE(gui.ended);
  EXPECT_TRUE(gui.boxes.empty());
}

TEST_F(StartupTest, StoredTextWithoutReferralFetchesOnceAndKeepsTheStoredAddress) {
  writeData("app_url.txt", "http://stored.member.example/\r\n");
  ASSERT_TRUE(startApp());
  EXPECT_EQ(count(kWang), 1u);
  EXPECT_EQ(app->m.gSiteUrl, "http://stored.member.example");
  EXPECT_EQ(app->m.gLsr, "lsr=777");
  EXPECT_EQ(readData("app_url.txt"),
            "http://shop7.member.example/APP.PHP/index/index?lsr=777\r\n");
}

TEST_F(StartupTest, FirstStartCreatesTheFileAndStoresTheWholeReply) {
  reply(kWang, 200, "http://a.member.example/?lsr=5, line one\nline two");
  ASSERT_FALSE(dataExists("app_url.txt"));
  ASSERT_TRUE(startApp());
  EXPECT_EQ(count(kWang), 1u);
  EXPECT_EQ(readData("app_url.txt"), "http://a.member.example/?lsr=5, line one\nline two\r\n");
  EXPECT_EQ(app->m.gSiteUrl, "http://a.member.example");
  EXPECT_EQ(app->m.gLsr, "lsr=5");
  // The next start reads the first item only: it still holds both.
  services.clearRequests();
  App second(gui, os);
  ASSERT_TRUE(gui.dispatch([&] { second.start(); }));
  EXPECT_EQ(count(kWang), 0u);
}

TEST_F(StartupTest, MissingDataFolderFetchesEveryTimeAndCreatesNothing) {
  removeDataFolder();
  ASSERT_TRUE(startApp());
  EXPECT_EQ(count(kWang), 1u);
  EXPECT_FALSE(fs::exists(path("paz")));
  EXPECT_EQ(app->m.gLsr, "lsr=777");
  EXPECT_TRUE(homeViewUp());
}

TEST_F(StartupTest, RequestsGoOutInTheOrderOfTheRoad) {
  ASSERT_TRUE(startApp());
  std::vector<std::string> paths;
  for (const auto& r : services.requests()) paths.push_back(r.method + " " + r.path);
  std::vector<std::string> product;
  for (const auto& p : paths)
    if (p.rfind("POST /app.php", 0) == 0) product.push_back(p);
  EXPECT_EQ(product, (std::vector<std::string>{"POST /app.php/index/nav", "POST " + std::string(kWang),
                                               "POST " + std::string(kCheck),
                                               "POST " + std::string(kUp)}));
  for (const auto& r : services.requests(hosts::kProduct)) {
    EXPECT_EQ(r.headers.at("content-type"), "application/x-www-form-urlencoded");
  }
}

// Each place where the site-text request is made ends the process on a status other than 200,
// leaving app_url.txt as it was.
TEST_F(StartupTest, SiteTextWithoutStatus200EndsTheProcessAtEachPlace) {
  struct Case {
    const char* name;
    std::string stored;
    bool rejectSite;
  };
  std::vector<Case> cases = {
      {"empty file", "", false},
      {"no address", "lsr=9\r\n", false},
      {"no referral", "http://x.member.example/\r\n", false},
      {"site rejected", "http://x.member.example/?lsr=9\r\n", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    gui.ended = false;
    gui.boxes.clear();
    writeData("app_url.txt", c.stored);
    reply(kWang, 500, "http://y.member.example/?lsr=1");
    reply(kCheck, 200, c.rejectSite ? "0" : "1");
    App road(gui, os);
    EXPECT_FALSE(gui.dispatch([&] { road.start(); }));
    EXPECT_TRUE(endedWith(kServerError));
    EXPECT_EQ(readData("app_url.txt"), c.stored);
    EXPECT_EQ(count(kUp), 0u);
  }
}

TEST_F(StartupTest, RejectedSiteTakesTheNewAddressAndKeepsTheReferral) {
  writeData("app_url.txt", "http://old.member.example/?lsr=42\r\n");
  reply(kWang, 200, "http://new.member.example/?lsr=99");
  for (std::string answer : {"0", "", "abc", "refused"}) {
    SCOPED_TRACE(answer);
    writeData("app_url.txt", "http://old.member.example/?lsr=42\r\n");
    services.clearRequests();
    if (answer == "refused")
      refuse(kCheck);
    else
      reply(kCheck, 200, answer);
    App road(gui, os);
    ASSERT_TRUE(gui.dispatch([&] { road.start(); }));
    EXPECT_EQ(count(kWang), 1u);
    EXPECT_EQ(count(kCheck), 1u);  // the new address is not checked again
    EXPECT_EQ(road.m.gSiteUrl, "http://new.member.example");
    EXPECT_EQ(road.m.gLsr, "lsr=42");
    EXPECT_EQ(readData("app_url.txt"), "http://new.member.example/?lsr=99\r\n");
  }
}

TEST_F(StartupTest, AcceptedSiteNeedsStatus200) {
  writeData("app_url.txt", "http://old.member.example/?lsr=42\r\n");
  reply(kCheck, 200, "1");
  ASSERT_TRUE(startApp());
  EXPECT_EQ(app->m.gSiteUrl, "http://old.member.example");
  EXPECT_EQ(count(kWang), 0u);

  reply(kCheck, 503, "1");
  App road(gui, os);
  EXPECT_FALSE(gui.dispatch([&] { road.start(); }));
  EXPECT_TRUE(endedWith(kServerError));
}

TEST_F(StartupTest, AddressEndsBeforePortHyphenOrPathAndOwnSitesAreNotChecked) {
  struct Case {
    std::string stored, site;
    bool checked;
  };
  std::vector<Case> cases = {
      {"http://a.b.example:81/?lsr=1", "http://a.b.example", true},
      {"http://my-shop.example/?lsr=1", "http://my", true},
      {"http://a.example/path/x?lsr=1", "http://a.example", true},
      {"HTTP://CAPS.EXAMPLE/?lsr=1", "HTTP://CAPS.EXAMPLE", true},
      {"ftp://files.example/?lsr=1", "ftp://files.example", true},
      {std::string("http://") + hosts::kOwnSites[0] + "/?lsr=1",
       std::string("http://") + hosts::kOwnSites[0], false},
      {std::string("http://") + hosts::kOwnSites[3] + "/?lsr=1",
       std::string("http://") + hosts::kOwnSites[3], false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    services.clearRequests();
    writeData("app_url.txt", c.stored + "\r\n");
    App road(gui, os);
    ASSERT_TRUE(gui.dispatch([&] { road.start(); }));
    EXPECT_EQ(road.m.gSiteUrl, c.site);
    EXPECT_EQ(road.m.gLsr, "lsr=1");
    EXPECT_EQ(count(kCheck), c.checked ? 1u : 0u);
  }
}

TEST_F(StartupTest, UpdateCheck) {
  writeData("app_url.txt", "http://a.member.example/?lsr=1\r\n");
  reply(kUpUrl, 200, "http://dl.example/setup.exe");

  // 0 and a failed check show nothing.
  reply(kUp, 200, " 0 ");
  ASSERT_TRUE(startApp());
  EXPECT_TRUE(gui.boxes.empty());
  refuse(kUp);
  {
    App road(gui, os);
    ASSERT_TRUE(gui.dispatch([&] { road.start(); }));
    EXPECT_TRUE(gui.boxes.empty());
  }

  // Anything else is shown; Cancel goes on with the home view laid out.
  for (std::string answer : {"2", "有新版本 2.2，是否下载？", ""}) {
    SCOPED_TRACE(answer);
    gui.boxes.clear();
    reply(kUp, 200, answer);
    gui.answers.push_back(MsgResult::Cancel);
    App road(gui, os);
    ASSERT_TRUE(gui.dispatch([&] { road.start(); }));
    ASSERT_EQ(gui.boxes.size(), 1u);
    EXPECT_EQ(gui.boxes[0].text, answer);
    EXPECT_EQ(gui.boxes[0].title, "发现新版本");
    EXPECT_EQ(gui.boxes[0].buttons, MsgButtons::OkCancel);
    EXPECT_EQ(count(kUpUrl), 0u);
    EXPECT_FALSE(road.m.gPanelsWidth.empty());
  }

  // OK opens the download address and ends.
  reply(kUp, 200, "2");
  gui.answers.push_back(MsgResult::Ok);
  {
    App road(gui, os);
    EXPECT_FALSE(gui.dispatch([&] { road.start(); }));
    EXPECT_TRUE(gui.ended);
    EXPECT_EQ(os.launched, std::vector<std::string>{"http://dl.example/setup.exe"});
    EXPECT_TRUE(fs::exists(path("temp/20240303140509.url")));
  }
}

TEST_F(StartupTest, FailedDownloadAddressOpensNothingAndEnds) {
  writeData("app_url.txt", "http://a.member.example/?lsr=1\r\n");
  reply(kUp, 200, "2");
  refuse(kUpUrl);
  gui.answers.push_back(MsgResult::Ok);
  EXPECT_FALSE(startApp());
  EXPECT_TRUE(gui.ended);
  EXPECT_TRUE(os.launched.empty());
}

TEST_F(StartupTest, SecondInstanceAndNoNetworkEndBeforeAnyWindow) {
  os.otherInstance = true;
  EXPECT_FALSE(startApp());
  ASSERT_EQ(gui.boxes.size(), 1u);
  EXPECT_EQ(gui.boxes[0].text, "本程序已打开，请关闭后在打开。");
  EXPECT_EQ(gui.boxes[0].title, "错误");
  EXPECT_FALSE(visible("Form12"));

  os.otherInstance = false;
  os.connected = false;
  gui.ended = false;
  gui.boxes.clear();
  App road(gui, os);
  EXPECT_FALSE(gui.dispatch([&] { road.start(); }));
  ASSERT_EQ(gui.boxes.size(), 1u);
  EXPECT_EQ(gui.boxes[0].text, "连接失败：请检查您的网络是否正确连接。");
  EXPECT_EQ(gui.boxes[0].title, "Kelvora");
  EXPECT_FALSE(visible("Form1"));
  EXPECT_TRUE(services.requests().empty());
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
  // A missing temp is created.
  fs::remove_all(path("temp"));
  App road(gui, os);
  ASSERT_TRUE(gui.dispatch([&] { road.start(); }));
  EXPECT_TRUE(fs::is_directory(path("temp")));
}

}  // namespace
}  // namespace kv::test
