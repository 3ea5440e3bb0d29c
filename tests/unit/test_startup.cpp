// The start-up road against the fake GUI, real files and the stand-in services.
#include <filesystem>

#include "app/app.h"
#include "tests/fake/app_fixture.h"

namespace kv::test {
namespace {

namespace fs = std::filesystem;
using standin::Reply;

class StartupTest : public AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    reply(kWang, 200, "http://shop7.member.example/APP.PHP/index/index?lsr=777");
    reply(kCheck, 200, "1");
    reply(kUp, 200, " 0 ");  // no update: no prompt
    reply("/app.php/index/nav", 200, "4");
  }
  void reply(const std::string& path, int status, const std::string& body) {
    services.setReply(hosts::kProduct, path, {status, body});
  }
  size_t count(const std::string& path) const { return AppFixture::count(hosts::kProduct, path); }
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

// The site check: zero, no number or no reply rejects the stored address (a fresh site text
// gives the new one, the referral stays); any other number accepts it, and with a status other
// than 200 ends the process.
TEST_F(StartupTest, SiteCheckAcceptsAnyNumberButZero) {
  reply(kWang, 200, "http://new.member.example/?lsr=99");
  const std::string stored = "http://old.member.example/?lsr=42\r\n";
  for (const Reply& check :
       {Reply{200, "0"}, Reply{200, "abc"}, Reply{200, "-1"}, Reply{200, " 2 "}, Reply{503, "1"}}) {
    SCOPED_TRACE(check.body + " " + std::to_string(check.status));
    writeData("app_url.txt", stored);
    services.setReply(hosts::kProduct, kCheck, check);
    const bool accepted = check.body == "-1" || check.body == " 2 ";
    const bool ends = check.status != 200;
    EXPECT_EQ(restart(), !ends);
    EXPECT_EQ(count(kCheck), 1u);  // a new address is not checked again
    EXPECT_EQ(count(kWang), accepted || ends ? 0u : 1u);
    EXPECT_EQ(readData("app_url.txt"),
              accepted || ends ? stored : "http://new.member.example/?lsr=99\r\n");
    if (ends) {
      EXPECT_TRUE(endedWith(kServerError));
      continue;
    }
    EXPECT_EQ(app->m.gSiteUrl,
              accepted ? "http://old.member.example" : "http://new.member.example");
    EXPECT_EQ(app->m.gLsr, "lsr=42");
  }
}

// The product's own sites are not checked. (Where the address ends is the site-text fuzz
// target's.)
TEST_F(StartupTest, OwnSitesAreNotChecked) {
  for (int i : {0, 3}) {
    const std::string own = std::string("http://") + hosts::kOwnSites[i];
    writeData("app_url.txt", own + "/?lsr=1\r\n");
    ASSERT_TRUE(restart());
    EXPECT_EQ(app->m.gSiteUrl, own);
    EXPECT_EQ(app->m.gLsr, "lsr=1");
    EXPECT_EQ(count(kCheck), 0u);
  }
}

// A missing temp folder is created (its emptying: the fault matrix's download address).
TEST_F(StartupTest, TempIsCreated) {
  writeData("app_url.txt", "http://a.member.example/?lsr=1\r\n");
  fs::remove_all(path("temp"));
  ASSERT_TRUE(startApp());
  EXPECT_TRUE(fs::is_directory(path("temp")));
}

}  // namespace
}  // namespace kv::test
