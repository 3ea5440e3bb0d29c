// The sharing window against the fake GUI: the page loaded once, the share button's address from
// user.txt at every click. (Its new windows are the browser integration test's.)
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "account/sharing_window.h"
#include "app/shared.h"
#include "tests/fake/app_fixture.h"

namespace kv::test {
namespace {

class SharingWindowTest : public AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    ASSERT_TRUE(startApp());
    os.launched.clear();
  }
  void showSharing() {
    ASSERT_TRUE(run([&] { app->form10().Show(); }));
  }
  fake::FakeBrowser& page() { return *gui.browser("Form10", "WebBrowser1"); }
  void share() { gui.picture("Form10", "Image1")->click(); }
};

TEST_F(SharingWindowTest, PageIsLoadedOnceSilentlyWhateverTheShowsAndCloses) {
  showSharing();
  gui.picture("Form10", "Image2")->click();
  EXPECT_FALSE(visible("Form10"));
  showSharing();
  EXPECT_TRUE(page().isSilent());
  EXPECT_EQ(page().navigations,
            std::vector<std::string>{PlatformUrl("/APP.PHP/index/fenxiang_app")});
  EXPECT_EQ(gui.window("Form10")->caption(), "Kelvora-分享");
}

TEST_F(SharingWindowTest, ShareReadsTheAccountAtEveryClick) {
  showSharing();
  const std::string base = PlatformUrl("/app.php/index/fenxiang/user/");
  writeData("user.txt", "abc\r\n");
  share();
  writeData("user.txt", "xyz,rest\r\n");
  share();
  std::filesystem::remove(path("paz/l/s/r/user.txt"));
  share();
  EXPECT_EQ(os.launched, (std::vector<std::string>{base + "abc", base + "xyz", base}));
}

}  // namespace
}  // namespace kv::test
