// The sign-in window: box checks, escaping, replies, the lock-out countdown and the reload.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "account/signin_window.h"
#include "app/shared.h"
#include "tests/fake/app_fixture.h"

namespace kv::test {
namespace {

using standin::Reply;

std::string lockText(int n) {
  return std::to_string(n) + "秒后重新可重新配置...";
}
std::string tickText(int n) {
  return std::to_string(n) + "秒后重新可重新登录...";
}

class SignInTest : public AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    ASSERT_TRUE(startApp());
    ASSERT_TRUE(run([&] { app->form8().Show(); }));
    boxesBefore_ = gui.boxes.size();
  }

  fake::FakeTextBox& box(const char* name) { return *gui.textBox("Form8", name); }
  fake::FakePicture& image(const char* name) { return *gui.picture("Form8", name); }
  fake::FakeTimer& timer() { return *gui.timer("Form8", "Timer1"); }
  void tick(int times = 1) {
    for (int i = 0; i < times; ++i) timer().tick();
  }

  // Signs in with `reply` queued.
  void signIn(const std::string& account, const std::string& password, Reply reply) {
    services.queueReply(hosts::kPlatform, kSignIn, reply);
    AppFixture::signIn(account, password);
  }

  Names newBoxes() const {
    Names out;
    for (size_t i = boxesBefore_; i < gui.boxes.size(); ++i) out.push_back(gui.boxes[i].text);
    return out;
  }

 private:
  size_t boxesBefore_ = 0;
};

TEST_F(SignInTest, EmptyBoxesAskFirstForTheAccountAndSendNothing) {
  signIn("", "", {200, "0"});
  signIn("abc", "", {200, "0"});
  EXPECT_EQ(newBoxes(), (Names{"请输入帐号!", "请输入密码!"}));
  EXPECT_EQ(gui.boxes.back().title, "Kelvora");
  EXPECT_EQ(count(hosts::kPlatform, kSignIn), 0u);
  EXPECT_FALSE(timer().isEnabled());
  EXPECT_TRUE(image("Image3").isEnabled());
}

TEST_F(SignInTest, OnlyPlusAndAmpersandOfThePasswordAreEscapedAndKeptInTheBox) {
  signIn("   ", "a+b&c", {200, "1"});
  signIn("x&y+z=1", "%p=q", {200, "1"});
  // The escaped password stays in the box; a second click sends it unchanged.
  signIn("u", "a+b&c", {200, "1"});
  EXPECT_EQ(box("Text2").text(), "a%2Bb%26c");
  services.queueReply(hosts::kPlatform, kSignIn, {200, "1"});
  image("Image3").click();
  Names bodies;
  for (const auto& r : services.requests(hosts::kPlatform, kSignIn)) bodies.push_back(r.body);
  EXPECT_EQ(bodies, (Names{
                        "lsrname=   &lsrpw=a%2Bb%26c",
                        "lsrname=x&y+z=1&lsrpw=%p=q",
                        "lsrname=u&lsrpw=a%2Bb%26c",
                        "lsrname=u&lsrpw=a%2Bb%26c",
                    }));
}

TEST_F(SignInTest, RefusalLocksTheButtonForTheCountdownAndTheNextOneStartsAtFive) {
  signIn("abc", "pw", {200, "0"});
  EXPECT_EQ(newBoxes(), (Names{"会员不存在或者帐号密码错误！"}));
  EXPECT_FALSE(image("Image3").isEnabled());
  EXPECT_EQ(box("Text3").text(), lockText(10));
  EXPECT_EQ(timer().interval(), 1000);

  for (int n = 9; n >= 0; --n) {
    tick();
    EXPECT_EQ(box("Text3").text(), tickText(n));
    EXPECT_FALSE(image("Image3").isEnabled());
  }
  tick();
  EXPECT_EQ(box("Text3").text(), "");
  EXPECT_TRUE(image("Image3").isEnabled());
  EXPECT_FALSE(timer().isEnabled());

  signIn("abc", "pw", {200, "0"});
  EXPECT_EQ(box("Text3").text(), lockText(5));
  tick(6);
  EXPECT_TRUE(image("Image3").isEnabled());
}

TEST_F(SignInTest, FailuresLeaveTheButtonEnabledWhileTheLineCountsARefusalStopsIt) {
  Reply noReply;
  noReply.refuse = true;
  signIn("abc", "pw", {200, "1"});
  signIn("abc", "pw", {500, "0"});
  signIn("abc", "pw", noReply);
  EXPECT_EQ(newBoxes(),
            (Names{
                "网站未生成完毕，请到Tessaro网页版-会员中心-生成网站，并且等待网站生成完毕"
                "后登录才能获得返现！",
                kSignInNoReply,
                kSignInNoReply,
            }));
  EXPECT_TRUE(image("Image3").isEnabled());
  EXPECT_EQ(box("Text3").text(), "");
  EXPECT_FALSE(std::filesystem::exists(path("paz/l/s/r/user.txt")));
  EXPECT_EQ(readData("dl.txt"), " 0 \r\n");
  EXPECT_TRUE(visible("Form8"));
  EXPECT_EQ(count(hosts::kPlatform, kIncome), 0u);
  tick();
  EXPECT_EQ(box("Text3").text(), tickText(9));

  // A refusal during the running count locks the button for what is left of it.
  tick(2);
  signIn("abc", "pw", {200, "0"});
  EXPECT_EQ(box("Text3").text(), lockText(7));
  tick(7);
  EXPECT_FALSE(image("Image3").isEnabled());
  tick();
  EXPECT_TRUE(image("Image3").isEnabled());
  EXPECT_EQ(box("Text3").text(), "");
}

// The countdown may end while the refusal's message is open: it starts again.
TEST_F(SignInTest, RefusalAfterTheCountdownEndedStartsItAgain) {
  gui.whileNextBox = [&] { tick(11); };
  signIn("abc", "pw", {200, "0"});
  EXPECT_FALSE(image("Image3").isEnabled());
  EXPECT_EQ(box("Text3").text(), lockText(5));
  tick(6);
  EXPECT_TRUE(image("Image3").isEnabled());
}

TEST_F(SignInTest, SuccessStoresTheSignInAndReloadsTheWindowsInOrder) {
  const std::string oldLsr = app->m.gLsr;
  const std::string siteText = "http://shop.member.example/?lsr=777";
  services.clearRequests();
  size_t logFrom = gui.log.size();
  signIn("abc", "p+w", {200, siteText});

  EXPECT_EQ(readData("app_url.txt"), siteText + "\r\n");  // dl.txt, user.txt: the end-to-end test
  EXPECT_EQ(app->m.gSiteUrl, "http://shop.member.example");

  // The sign-in, the income query with the old referral, ..., the one with the new referral.
  auto all = services.requests();
  ASSERT_GE(all.size(), 4u);
  EXPECT_EQ(all.front().path, kSignIn);
  EXPECT_EQ(all[1].path, kIncome);
  EXPECT_EQ(all[1].body, "id=" + oldLsr.substr(4));
  EXPECT_EQ(all.back().path, kIncome);
  EXPECT_EQ(all.back().body, "id=777");
  EXPECT_EQ(count(hosts::kPlatform, kIncome), 2u);

  // Hidden first, the windows unloaded, the start-up road; last the hides of the two pages and
  // the account window, then the layout.
  Names showHide;
  for (size_t i = logFrom; i < gui.log.size(); ++i)
    if (gui.log[i].starts_with("show ") || gui.log[i].starts_with("hide "))
      showHide.push_back(gui.log[i]);
  ASSERT_GE(showHide.size(), 13u);
  EXPECT_EQ(Names(showHide.begin(), showHide.begin() + 9),
            (Names{"hide Form8", "hide Form12", "hide Form1", "hide Form2", "hide Form3",
                   "hide Form4", "hide Form5", "hide Form6", "hide Form7"}));
  EXPECT_EQ(Names(showHide.end() - 4, showHide.end()),
            (Names{"show Form12", "hide Form5", "hide Form6", "hide Form7"}));
  const size_t lastHide =
      gui.log.rend() - std::find(gui.log.rbegin(), gui.log.rend(), "hide Form7");
  EXPECT_LT(logIndex("move Form1", lastHide), gui.log.size());

  EXPECT_FALSE(visible("Form7"));
  EXPECT_EQ(gui.textBox("Form7", "Text1")->text(), "abc");  // the account window loaded anew

  // The hidden sign-in window keeps its boxes and goes on counting.
  EXPECT_EQ(box("Text1").text(), "abc");
  EXPECT_EQ(box("Text2").text(), "p%2Bw");
  EXPECT_TRUE(timer().isEnabled());
  tick();
  EXPECT_EQ(box("Text3").text(), tickText(9));
}

// Any other reply with status 200 is a sign-in, stored as the site text; without an address in
// it, the reload fetches a fresh site text.
TEST_F(SignInTest, AReplyWithoutAnAddressSignsInAndTheSiteTextIsFetchedAgain) {
  services.setReply(hosts::kProduct, kWang, {200, "http://shop7.member.example/?lsr=777"});
  services.clearRequests();
  signIn("abc", "pw", {200, "服务维护中 please retry"});
  EXPECT_EQ(app->m.gLoginFlag, "1");
  EXPECT_EQ(readData("dl.txt") + readData("user.txt"), " 1 \r\nabc\r\n");
  EXPECT_EQ(services.requests(hosts::kProduct, kWang).size(), 1u);
  EXPECT_EQ(readData("app_url.txt"), "http://shop7.member.example/?lsr=777\r\n");
  EXPECT_EQ(app->m.gSiteUrl, "http://shop7.member.example");
}

TEST_F(SignInTest, MaskedPasswordLinksToThePlatformAndCloseOnlyHides) {
  EXPECT_TRUE(box("Text2").isPasswordMasked());
  EXPECT_FALSE(box("Text3").isEnabled());
  image("Image1").click();
  image("Image2").click();
  EXPECT_EQ(os.launched, (Names{PlatformUrl("/index.php/index/lsrzc?lsr="),
                                PlatformUrl("/index.php/index/lsrpw")}));
  box("Text1").setText("kept");
  image("Image4").click();
  EXPECT_FALSE(visible("Form8"));
  ASSERT_TRUE(run([&] { app->form8().Show(); }));
  EXPECT_EQ(box("Text1").text(), "kept");
}

}  // namespace
}  // namespace kv::test
