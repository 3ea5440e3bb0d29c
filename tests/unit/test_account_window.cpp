// The account and sharing windows: the income query, the hints, the member pages, closing and
// signing out; the sharing page and its share button.
#include <filesystem>
#include <string>
#include <vector>

#include "account/account_window.h"
#include "account/sharing_window.h"
#include "app/shared.h"
#include "navigation/nav_bar.h"
#include "tests/fake/app_fixture.h"

namespace kv::test {
namespace {

class AccountWindowTest : public AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    writeData("user.txt", "abc\r\n");
    ASSERT_TRUE(startApp());
    services.clearRequests();
  }
  void showAccount() {
    ASSERT_TRUE(run([&] { app->form7().Show(); }));
  }
  std::string text(const char* name) { return gui.textBox("Form7", name)->text(); }
  size_t incomeQueries() const { return count(hosts::kPlatform, kIncome); }
};

// A window switch loads the window hidden; the query sends the member number and the figures
// show in display-only boxes.
TEST_F(AccountWindowTest, LoadQueriesTheIncomeAndShowsTheFigures) {
  app->m.gLsr = "lsr=4321";
  services.setReply(hosts::kPlatform, kIncome, {200, "x\n12.50aaa3.40bbb"});
  ASSERT_TRUE(run([&] { app->form12().Image8_Click(); }));
  EXPECT_FALSE(visible("Form7"));
  auto queries = services.requests(hosts::kPlatform, kIncome);
  ASSERT_EQ(queries.size(), 1u);
  EXPECT_EQ(queries[0].body, "id=4321");
  EXPECT_EQ(text("Text1"), "abc");
  EXPECT_EQ(text("Text2"), "12.50元");
  EXPECT_EQ(text("Text3"), "3.40");
  for (const char* name : {"Text1", "Text2", "Text3"})
    EXPECT_FALSE(gui.textBox("Form7", name)->isEnabled()) << name;
  EXPECT_EQ(gui.window("Form7")->caption(), "Kelvora-账户信息");
  EXPECT_TRUE(gui.boxes.empty());

  // A referral without digits sends no query and takes the failure path.
  app->unload(FormId::Form7);
  gui.runPosted();
  app->m.gLsr = "lsr=";
  ASSERT_TRUE(run([&] { app->form7(); }));
  EXPECT_EQ(incomeQueries(), 1u);
  EXPECT_FALSE(visible("Form7"));
  ASSERT_EQ(gui.boxes.size(), 1u);
  EXPECT_EQ(gui.boxes[0].text, kQueryFailed);
  EXPECT_EQ(text("Text1"), "abc");
}

TEST_F(AccountWindowTest, HintsExplainTheFiguresWhenThePointerIsOverThem) {
  showAccount();
  const std::pair<const char*, const char*> hints[] = {
      {"Image8", "返现收入是隔天更新的哦！今天购买宝贝所得到的返现收入将在明天不定时更新。"},
      {"Image1", "本月收入将在下个月22-23号结算。"},
      {"Image7",
       "上月收入将在本月22-23号结算，结算后将自动打款到您设置的结算账户里，无需提现操作。"}};
  for (const auto& [hint, tip] : hints) {
    auto* p = gui.picture("Form7", hint);
    EXPECT_EQ(p->toolTip(), "") << hint;
    p->moveMouse(5, 5);
    EXPECT_EQ(p->toolTip(), tip) << hint;
  }
}

// The member pages use the account in the box (an absent user.txt: the fault matrix).
TEST_F(AccountWindowTest, MemberPagesUseTheAccountInTheBox) {
  showAccount();
  writeData("user.txt", "other\r\n");  // not read again by the buttons
  for (const char* button : {"Image3", "Image4", "Image5"}) click("Form7", button);
  const std::string base = PlatformUrl("/index.php/index/app/user/abc/tz/");
  EXPECT_EQ(os.launched, (Names{base + "bbuser", base + "txuser", base + "zhuser"}));
}

TEST_F(AccountWindowTest, CloseKeepsTheWindowAndSignOutUnloadsIt) {
  showAccount();
  click("Form7", "Image2");
  EXPECT_FALSE(visible("Form7"));
  showAccount();
  EXPECT_EQ(incomeQueries(), 1u);

  writeData("dl.txt", " 1 \r\n");
  app->m.gLoginFlag = "1";
  click("Form7", "Image6");
  EXPECT_EQ(readData("dl.txt"), " 0 \r\n");
  EXPECT_EQ(app->m.gLoginFlag, "0");
  EXPECT_EQ(readData("user.txt"), "abc\r\n");
  EXPECT_EQ(gui.window("Form7"), nullptr);  // unloaded
  EXPECT_TRUE(visible("Form8"));
  EXPECT_EQ(gui.picture("Form12", "Image6")->source(), "img\\dl0.jpg");
  showAccount();
  EXPECT_EQ(incomeQueries(), 2u);
}

TEST_F(AccountWindowTest, SharingPageIsLoadedOnceAndShareReadsTheAccountAtEveryClick) {
  ASSERT_TRUE(run([&] { app->form10().Show(); }));
  click("Form10", "Image2");
  EXPECT_FALSE(visible("Form10"));
  ASSERT_TRUE(run([&] { app->form10().Show(); }));
  auto* page = gui.browser("Form10", "WebBrowser1");
  EXPECT_TRUE(page->isSilent());
  EXPECT_EQ(page->navigations, Names{PlatformUrl("/APP.PHP/index/fenxiang_app")});

  os.launched.clear();
  const std::string base = PlatformUrl("/app.php/index/fenxiang/user/");
  click("Form10", "Image1");
  writeData("user.txt", "xyz,rest\r\n");
  click("Form10", "Image1");
  std::filesystem::remove(path("paz/l/s/r/user.txt"));
  click("Form10", "Image1");
  EXPECT_EQ(os.launched, (Names{base + "abc", base + "xyz", base}));
}

}  // namespace
}  // namespace kv::test
