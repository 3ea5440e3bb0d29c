// Minimising to the notification area and coming back: the icon record, the windows hidden and
// shown, the double-click test, and the taskbar fallback without a notification area.
#include <algorithm>

#include "app/app.h"
#include "navigation/nav_bar.h"
#include "navigation/start_panels.h"
#include "tests/fake/app_fixture.h"

namespace kv::test {
namespace {

using Names = std::vector<std::string>;

class NavigationTray : public AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    ASSERT_TRUE(startApp());
    ASSERT_TRUE(visible("Form12"));
  }

  fake::FakeWindow& bar() { return *gui.window("Form12"); }

  Names shownWindows() const {
    Names out;
    for (int i : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12})
      if (visible("Form" + std::to_string(i))) out.push_back("Form" + std::to_string(i));
    return out;
  }

  // A search page, then a dialog on screen, the Tmall panel moved aside, a tab selected.
  void switchAround() {
    gui.screenInfo.widthTwips = 15360;
    gui.picture("Form12", "Image2")->click();
    gui.picture("Form12", "Image7")->click();
    gui.screenInfo.widthTwips = 1920 * 15;
    ASSERT_EQ(shownWindows(), (Names{"Form9", "Form12"}));
  }

  void expectInTray() {
    EXPECT_TRUE(gui.tray_.isShown());
    EXPECT_TRUE(shownWindows().empty());
    EXPECT_FALSE(app->isLoaded(FormId::Form7));
  }

  // Back on screen: exactly the bar and the three panels, no tab selected, the icon gone.
  void expectHomeView(double left2) {
    EXPECT_EQ(shownWindows(), (Names{"Form1", "Form2", "Form3", "Form12"}));
    EXPECT_FALSE(app->isLoaded(FormId::Form7));
    EXPECT_FALSE(gui.tray_.isShown());
    EXPECT_EQ(bar().state(), WindowState::Normal);
    EXPECT_EQ(app->form2().Left(), left2);  // laid out afresh
    Names sources;
    for (const char* i : {"Image1", "Image2", "Image3", "Image7", "Image8"})
      sources.push_back(gui.picture("Form12", i)->source());
    EXPECT_EQ(sources, (Names{"img\\nav_taobao2.jpg", "img\\nav_tianmao2.jpg",
                              "img\\nav_kelvo2.jpg", "img\\faq.jpg", "img\\nav_fenxiang2.jpg"}));
  }
};

TEST_F(NavigationTray, MinimiseButtonAddsTheIconAndHidesEverything) {
  switchAround();
  size_t m = gui.log.size();
  gui.picture("Form12", "Image4")->click();
  expectInTray();
  EXPECT_EQ(bar().state(), WindowState::Normal);  // only hidden
  EXPECT_EQ(gui.tray_.adds, 1);

  const TrayIconData& icon = gui.tray_.last;
  EXPECT_EQ(icon.hWnd, &app->form12().window());
  EXPECT_EQ(icon.szTip.substr(0, icon.szTip.find('\0')), "Kelvo搜");
  EXPECT_EQ(app->m.gTrayIcon.szTip, icon.szTip);

  // The icon first, then the bar, the panels, the pages; the dialogs after the account window.
  Names order;
  for (size_t i = m; i < gui.log.size(); ++i)
    if (gui.log[i] == "tray-add" || gui.log[i].rfind("hide ", 0) == 0) order.push_back(gui.log[i]);
  EXPECT_EQ(order, (Names{"tray-add", "hide Form12", "hide Form1", "hide Form2", "hide Form3",
                          "hide Form4", "hide Form5", "hide Form6", "hide Form7", "hide Form8",
                          "hide Form9", "hide Form10"}));

  // Unloading the bar (as at exit) removes the icon.
  run([&] { app->unload(FormId::Form12); });
  EXPECT_FALSE(gui.tray_.isShown());
}

TEST_F(NavigationTray, OnlyTheLeftDoubleClickRestoresTheHomeView) {
  double left2 = app->form2().Left();
  app->m.gLoginFlag = "1";
  switchAround();
  gui.picture("Form12", "Image4")->click();

  for (unsigned code : {512u, 513u, 514u, 516u, 517u, 518u, 519u}) {
    gui.tray_.activate(code);
    expectInTray();
  }

  size_t m = gui.log.size();
  gui.tray_.activate(515);
  expectHomeView(left2);
  EXPECT_EQ(pictureLoads(m),
            (Names{"Form12.Image1 img\\nav_taobao2.jpg", "Form12.Image2 img\\nav_tianmao2.jpg",
                   "Form12.Image3 img\\nav_kelvo2.jpg", "Form12.Image6 img\\dl1.jpg",
                   "Form12.Image7 img\\faq.jpg", "Form12.Image8 img\\nav_fenxiang2.jpg"}));
  // The bar gets the focus after the icon is gone.
  auto remove = std::find(gui.log.begin() + m, gui.log.end(), "tray-remove");
  auto focus = std::find(gui.log.begin() + m, gui.log.end(), "focus Form12");
  ASSERT_NE(focus, gui.log.end());
  EXPECT_LT(remove, focus);
  EXPECT_EQ(focus + 1, gui.log.end());

  // The next switch loads the account window again.
  gui.picture("Form12", "Image1")->click();
  EXPECT_TRUE(app->isLoaded(FormId::Form7));
}

TEST_F(NavigationTray, MinimisedWindowStateGoesToTheTrayAndComesBackNormal) {
  double left2 = app->form2().Left();
  switchAround();
  writeData("dl.txt", " 1 \r\n");
  size_t m = gui.log.size();
  run([&] { bar().setState(WindowState::Minimised); });
  EXPECT_EQ(pictureLoads(m), Names{"Form12.Image6 img\\dl1.jpg"});  // the resize ran first
  expectInTray();
  EXPECT_EQ(bar().state(), WindowState::Minimised);

  gui.tray_.activate(515);
  expectHomeView(left2);
  EXPECT_EQ(gui.tray_.adds, 1);  // the restore's resize adds no second icon
}

TEST_F(NavigationTray, WithoutANotificationAreaTheBarStaysMinimisedOnTheTaskbar) {
  double left2 = app->form2().Left();
  gui.tray_.available = false;
  switchAround();

  gui.picture("Form12", "Image4")->click();
  EXPECT_EQ(shownWindows(), Names{"Form12"});
  EXPECT_EQ(bar().state(), WindowState::Minimised);
  EXPECT_FALSE(app->isLoaded(FormId::Form7));
  EXPECT_EQ(std::count(gui.log.begin(), gui.log.end(), "minimise Form12"), 1);

  // Restored from the taskbar: the home view, as after the double-click.
  run([&] { bar().setState(WindowState::Normal); });
  expectHomeView(left2);
}

}  // namespace
}  // namespace kv::test
