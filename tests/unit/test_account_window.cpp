// The account window against the fake GUI and the stand-in platform: the income query and its
// figures, the failure path, the member pages, the lifecycle and the sign-out.
#include <filesystem>
#include <string>
#include <vector>

#include "account/account_window.h"
#include "app/shared.h"
#include "navigation/nav_bar.h"
#include "tests/fake/app_fixture.h"

namespace kv::test {
namespace {

using standin::Reply;

const char* const kQueryFailed = "服务器连接失败，请稍后再试。";

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
  fake::FakePicture& image(const char* name) { return *gui.picture("Form7", name); }
  size_t incomeQueries() const { return services.requests(hosts::kPlatform, kIncome).size(); }
  // True when the window hid itself after the failure message.
  bool failedAndHid() const {
    for (size_t i = 0; i + 1 < gui.log.size(); ++i)
      if (gui.log[i] == std::string("box ") + kQueryFailed && gui.log[i + 1] == "hide Form7")
        return true;
    return false;
  }
};

TEST_F(AccountWindowTest, IncomeQuerySendsTheMemberNumberAndShowsTheFigures) {
  struct IncomeCase {
    const char* reply;
    const char* thisMonth;
    const char* lastMonth;
  };
  app->m.gLsr = "lsr=4321";
  const IncomeCase cases[] = {
      {"12.50aaa3.40bbb", "12.50元", "3.40"},
      {"12.50 aaa 3.40 bbb", "12.50 元", "3.40 "},
      {"1aaa2aaa3", "1aaa2元", "23"},
      {"12AAA34", "12元", "AAA34"},
      {"x\n5aaa6bbb", "5元", "6"},
      {"\t7aaa8\r", "\t7元", "8\r"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reply);
    services.setReply(hosts::kPlatform, kIncome, {200, c.reply});
    services.clearRequests();
    showAccount();
    EXPECT_EQ(text("Text2"), c.thisMonth);
    EXPECT_EQ(text("Text3"), c.lastMonth);
    EXPECT_EQ(text("Text1"), "abc");
    EXPECT_TRUE(visible("Form7"));
    auto queries = services.requests(hosts::kPlatform, kIncome);
    ASSERT_EQ(queries.size(), 1u);
    EXPECT_EQ(queries[0].body, "id=4321");
    for (const char* name : {"Text1", "Text2", "Text3"})  // display only
      EXPECT_FALSE(gui.textBox("Form7", name)->isEnabled()) << name;
    app->unload(FormId::Form7);
    gui.runPosted();
  }
  EXPECT_TRUE(gui.boxes.empty());
}

TEST_F(AccountWindowTest, RepliesWithoutTheFiguresTakeTheFailurePath) {
  Reply refused;
  refused.refuse = true;
  const Reply replies[] = {
      {500, "12.50aaa3.40bbb"}, {200, "nothing"}, {200, "aaa5"}, {200, "5aaa"}, {200, ""}, refused};
  for (const auto& r : replies) {
    SCOPED_TRACE(r.body + " " + std::to_string(r.status));
    gui.log.clear();
    services.setReply(hosts::kPlatform, kIncome, r);
    showAccount();
    EXPECT_TRUE(failedAndHid());
    EXPECT_EQ(gui.boxes.back().title, "Kelvora");
    EXPECT_EQ(text("Text2") + text("Text3"), "");
    EXPECT_EQ(text("Text1"), "abc");
    app->unload(FormId::Form7);
    gui.runPosted();
  }
}

TEST_F(AccountWindowTest, ReferralWithoutDigitsSendsNoQuery) {
  app->m.gLsr = "lsr=";
  ASSERT_TRUE(run([&] { app->form7(); }));
  EXPECT_TRUE(failedAndHid());
  EXPECT_EQ(incomeQueries(), 0u);
  EXPECT_EQ(text("Text1"), "abc");
}

TEST_F(AccountWindowTest, MemberPagesUseTheAccountInTheBox) {
  for (const char* account : {"abc", ""}) {  // "": no user.txt
    SCOPED_TRACE(account);
    os.launched.clear();
    if (!*account) std::filesystem::remove(path("paz/l/s/r/user.txt"));
    showAccount();
    EXPECT_EQ(text("Text1"), account);
    writeData("user.txt", "other\r\n");  // not read again by the buttons
    image("Image3").click();
    image("Image4").click();
    image("Image5").click();
    const std::string base = PlatformUrl("/index.php/index/app/user/") + account;
    EXPECT_EQ(os.launched, (std::vector<std::string>{base + "/tz/bbuser", base + "/tz/txuser",
                                                     base + "/tz/zhuser"}));
    app->unload(FormId::Form7);
    gui.runPosted();
  }
}

TEST_F(AccountWindowTest, CloseKeepsTheWindowAndSignOutUnloadsIt) {
  showAccount();
  image("Image2").click();
  EXPECT_FALSE(visible("Form7"));
  showAccount();
  EXPECT_EQ(incomeQueries(), 1u);

  writeData("dl.txt", " 1 \r\n");
  app->m.gLoginFlag = "1";
  image("Image6").click();
  EXPECT_EQ(readData("dl.txt"), " 0 \r\n");
  EXPECT_EQ(app->m.gLoginFlag, "0");
  EXPECT_EQ(readData("user.txt"), "abc\r\n");
  EXPECT_EQ(gui.window("Form7"), nullptr);  // unloaded
  EXPECT_TRUE(visible("Form8"));
  EXPECT_EQ(gui.picture("Form12", "Image6")->source(), "img\\dl0.jpg");

  showAccount();
  EXPECT_EQ(incomeQueries(), 2u);
}

TEST_F(AccountWindowTest, SignOutThatCannotBeStoredChangesNothing) {
  showAccount();
  app->m.gLoginFlag = "1";
  std::filesystem::remove(path("paz/l/s/r/dl.txt"));
  std::filesystem::create_directory(path("paz/l/s/r/dl.txt"));
  image("Image6").click();
  EXPECT_EQ(gui.boxes.back().text, "无法保存注销状态，请检查程序文件夹是否可写。");
  EXPECT_EQ(app->m.gLoginFlag, "1");
  EXPECT_TRUE(visible("Form7"));
}

TEST_F(AccountWindowTest, WindowSwitchLoadsTheAccountWindowHidden) {
  ASSERT_FALSE(app->isLoaded(FormId::Form7));
  ASSERT_TRUE(run([&] { app->form12().Image8_Click(); }));
  EXPECT_TRUE(app->isLoaded(FormId::Form7));
  EXPECT_FALSE(visible("Form7"));
  EXPECT_EQ(incomeQueries(), 1u);
  EXPECT_EQ(text("Text1"), "abc");
}

}  // namespace
}  // namespace kv::test
