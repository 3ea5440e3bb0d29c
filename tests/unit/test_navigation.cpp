// The start panels, the bar and the notification area against the fake: what each switch shows
// and selects, in which order, the bar's layouts, minimising and coming back.
#include <filesystem>
#include <map>

#include "app/app.h"
#include "app/shared.h"
#include "navigation/nav_bar.h"
#include "navigation/start_panels.h"
#include "tests/fake/app_fixture.h"

namespace kv::test {
namespace {

// Each tab's picture in the home view and when selected (the account tab's for signed out).
const std::map<std::string, std::pair<std::string, std::string>> kTabs = {
    {"Image1", {"img\\nav_taobao2.jpg", "img\\nav_taobao.jpg"}},
    {"Image2", {"img\\nav_tianmao2.jpg", "img\\nav_tianmao.jpg"}},
    {"Image3", {"img\\nav_kelvo2.jpg", "img\\nav_kelvo.jpg"}},
    {"Image6", {"img\\dl0.jpg", "img\\dl02.jpg"}},
    {"Image7", {"img\\faq.jpg", "img\\faq2.jpg"}},
    {"Image8", {"img\\nav_fenxiang2.jpg", "img\\nav_fenxiang.jpg"}},
};

class Navigation : public AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    ASSERT_TRUE(startApp());
  }
  fake::FakeWindow& bar() { return *gui.window("Form12"); }
  Form& form(FormId id) { return app->form(id); }
  void screen(double widthPx, double heightPx, float factor, int workBottomPx) {
    gui.screenInfo.widthTwips = widthPx * factor;
    gui.screenInfo.heightTwips = heightPx * factor;
    gui.screenInfo.twipsPerPixelX = factor;
    gui.screenInfo.workAreaBottomPx = workBottomPx;
  }
  std::string source(const std::string& tab) const { return gui.picture("Form12", tab)->source(); }
  // The tabs shown as selected; fails on a tab that shows neither of its pictures.
  Names selectedTabs(bool signedIn = false) const {
    Names out;
    for (auto [tab, pictures] : kTabs) {
      if (tab == "Image6" && signedIn) pictures = {"img\\dl1.jpg", "img\\dl12.jpg"};
      const std::string now = source(tab);
      if (now == pictures.second) out.push_back(tab);
      EXPECT_TRUE(now == pictures.first || now == pictures.second) << tab << " shows " << now;
    }
    return out;
  }
  // gui.log indexes of the first and the last picture read into the bar from `from` on.
  std::pair<size_t, size_t> barPaint(size_t from) const {
    size_t first = gui.log.size(), last = gui.log.size();
    for (size_t i = from; i < gui.log.size(); ++i)
      if (gui.log[i].starts_with("picture Form12.")) (first == gui.log.size() ? first : last) = i;
    return {first, last == gui.log.size() ? first : last};
  }
  // A search page, then the questions window on screen, the Tmall panel moved aside.
  void switchAround() {
    gui.screenInfo.widthTwips = 15360;
    click("Form12", "Image2");
    click("Form12", "Image7");
    gui.screenInfo.widthTwips = 1920 * 15;
    ASSERT_EQ(shown(), (Names{"Form9", "Form12"}));
  }
  // Back on screen: the bar and the three panels laid out afresh, no tab selected, no icon.
  void expectHomeView(double left2) {
    EXPECT_EQ(shown(), (Names{"Form1", "Form2", "Form3", "Form12"}));
    EXPECT_FALSE(app->isLoaded(FormId::Form7));
    EXPECT_FALSE(gui.tray_.isShown());
    EXPECT_EQ(bar().state(), WindowState::Normal);
    EXPECT_EQ(app->form2().Left(), left2);
    EXPECT_EQ(selectedTabs(app->m.gLoginFlag == "1"), Names{});
  }
};

// Taobao, Tmall and the own site show their window first, then move their panel aside, then
// repaint the tabs, so that a moved panel stands at its place while the repaint lasts; the
// sharing, questions and account tabs repaint before any window changes.
TEST_F(Navigation, EachSwitchShowsItsWindowAndSelectsItsTabInOrder) {
  struct Case {
    const char *form, *control, *target, *tab, *panel;  // panel: the one moved aside
    const char* flag;
  };
  for (const Case& c : {Case{"Form1", "Image1", "Form4", "Image1", nullptr, "1"},
                        Case{"Form12", "Image1", "Form4", "Image1", nullptr, "0"},
                        Case{"Form2", "Image1", "Form5", "Image2", "Form2", "0"},
                        Case{"Form12", "Image2", "Form5", "Image2", "Form2", "1"},
                        Case{"Form3", "Image1", "Form6", "Image3", "Form3", "0"},
                        Case{"Form12", "Image3", "Form6", "Image3", "Form3", "0"},
                        Case{"Form12", "Image8", "Form10", "Image8", nullptr, "0"},
                        Case{"Form12", "Image7", "Form9", "Image7", nullptr, "1"},
                        Case{"Form12", "Image6", "Form8", "Image6", nullptr, "1"}}) {
    SCOPED_TRACE(std::string(c.form) + "." + c.control);
    app->m.gLoginFlag = c.flag;  // the account tab's picture follows the flag, its window dl.txt
    const size_t m = gui.log.size();
    click(c.form, c.control);
    EXPECT_EQ(shown(), (Names{c.target, "Form12"}));
    EXPECT_EQ(selectedTabs(*c.flag == '1'), Names{c.tab});
    const auto [paintFrom, paintTo] = barPaint(m);
    const size_t show = logIndex(std::string("show ") + c.target, m);
    ASSERT_LT(paintTo, gui.log.size());
    const bool paintsFirst = std::string(c.tab) > "Image3";  // the account, questions, share tabs
    if (paintsFirst) {
      EXPECT_LT(paintTo, logIndex("hide Form1", m));
    } else {
      EXPECT_LT(show, paintFrom);
    }
    if (c.panel) {
      const size_t move = logIndex(std::string("move ") + c.panel, m);
      EXPECT_LT(show, move);
      EXPECT_LT(move, paintFrom);
    }
  }
}

TEST_F(Navigation, TmallAndOwnSiteMoveTheirPanelAsideByTheScreenWidth) {
  click("Form12", "Image1");
  const double left1 = app->form1().Left(), left3 = app->form3().Left();
  gui.screenInfo.widthTwips = 15360;
  click("Form12", "Image2");
  EXPECT_FLOAT_EQ(app->form2().Left(), 153.6f);
  EXPECT_EQ(app->form3().Left(), left3);
  gui.screenInfo.widthTwips = 17000;
  click("Form3", "Image1");
  EXPECT_EQ(app->form3().Left(), 2790);
  EXPECT_EQ(app->form1().Left(), left1);
}

// The account tab reads dl.txt at the click (other contents: the fault matrix); a resize puts
// its plain picture back.
TEST_F(Navigation, AccountTabReadsDlTxtAtTheClick) {
  writeData("dl.txt", "yes\r\n");
  click("Form12", "Image6");
  EXPECT_EQ(shown(), (Names{"Form8", "Form12"}));
  gui.window("Form8")->hide();
  app->m.gLoginFlag = "1";
  writeData("dl.txt", " 1 \r\n");
  click("Form12", "Image6");
  EXPECT_EQ(shown(), (Names{"Form7", "Form12"}));
  ASSERT_EQ(source("Image6"), "img\\dl12.jpg");
  bar().setClientSize(7000, 585);
  EXPECT_EQ(source("Image6"), "img\\dl1.jpg");
}

TEST_F(Navigation, HoverOverlayStaysUntilAnotherPanelIsHoveredAndSwitchesLikeItsPanel) {
  auto overlay = [&](const char* f) { return gui.picture(f, "Image2"); };
  gui.picture("Form1", "Image1")->moveMouse(100, 100);
  EXPECT_TRUE(overlay("Form1")->isVisible());
  gui.picture("Form2", "Image1")->moveMouse(100, 100);
  EXPECT_FALSE(overlay("Form1")->isVisible());
  EXPECT_TRUE(overlay("Form2")->isVisible());
  EXPECT_FALSE(overlay("Form3")->isVisible());
  overlay("Form2")->click();
  EXPECT_EQ(shown(), (Names{"Form5", "Form12"}));
  EXPECT_EQ(selectedTabs(), Names{"Image2"});
}

TEST_F(Navigation, MissingTabPictureKeepsTheOldPictureAndTheSwitchGoesOn) {
  const std::string before = source("Image8");
  std::filesystem::remove(path("img/nav_fenxiang2.jpg"));
  std::filesystem::remove(path("img/nav_taobao.jpg"));
  click("Form1", "Image1");
  EXPECT_EQ(source("Image8"), before);
  EXPECT_EQ(source("Image1"), "img\\nav_taobao2.jpg");
  EXPECT_EQ(source("Image7"), "img\\faq.jpg");  // read after the failures
  EXPECT_EQ(shown(), (Names{"Form4", "Form12"}));
}

// The product service's reply chooses which of the account, share and questions tabs the bar
// leaves out, and its width; anything but the numbers 0 to 3 keeps the design (its failures:
// the fault matrix).
TEST_F(Navigation, BarLayoutChosenByTheProductService) {
  const std::vector<std::tuple<standin::Reply, Names, double>> rows = {
      {{200, "0"}, {"Image6", "Image7", "Image8"}, 4600},
      {{200, "1"}, {"Image6"}, 6340},
      {{200, "2"}, {"Image8"}, 6820},
      {{200, " 3 "}, {"Image7"}, 6820},
      {{500, "0"}, {"Image6", "Image7", "Image8"}, 4600},  // the status is not looked at
      {{200, "4"}, {}, 7650},
      {{200, "-1"}, {}, 7650}};
  for (const auto& [reply, hidden, width] : rows) {
    SCOPED_TRACE(reply.body);
    app->unload(FormId::Form12);
    gui.runPosted();
    services.setReply(hosts::kProduct, kNav, reply);
    app->form12();
    Names out;
    for (int i = 1; i <= 8; ++i)
      if (!gui.picture("Form12", "Image" + std::to_string(i))->isVisible())
        out.push_back("Image" + std::to_string(i));
    EXPECT_EQ(out, hidden);
    EXPECT_EQ(bar().width(), width);
  }
  // The minimise and exit tabs explain themselves once the pointer is over them.
  for (const auto& [tab, tip] : {std::pair{"Image4", "最小化"}, {"Image5", "退出"}}) {
    EXPECT_EQ(gui.picture("Form12", tab)->toolTip(), "");
    gui.picture("Form12", tab)->moveMouse(10, 10);
    EXPECT_EQ(gui.picture("Form12", tab)->toolTip(), tip);
  }
}

TEST_F(Navigation, MinimiseAddsTheIconRecordAndHidesEverythingIconFirst) {
  switchAround();
  const size_t m = gui.log.size();
  click("Form12", "Image4");
  EXPECT_TRUE(gui.tray_.isShown());
  EXPECT_EQ(shown(), Names{});
  EXPECT_FALSE(app->isLoaded(FormId::Form7));
  EXPECT_EQ(bar().state(), WindowState::Normal);  // only hidden
  const TrayIconData& icon = gui.tray_.last;
  EXPECT_EQ(icon.cbSize, 88u);
  EXPECT_EQ(icon.hWnd, &app->form12().window());
  EXPECT_NE(icon.hIcon, 0u);
  EXPECT_EQ(icon.uID, icon.hIcon);
  EXPECT_EQ(icon.uFlags, 7u);
  EXPECT_EQ(icon.uCallbackMessage, 0x200u);
  EXPECT_EQ(icon.szTip, "Kelvo搜" + std::string(1, '\0') + std::string(57, ' '));
  Names order;
  for (size_t i = m; i < gui.log.size(); ++i)
    if (gui.log[i] == "tray-add" || gui.log[i].starts_with("hide ")) order.push_back(gui.log[i]);
  ASSERT_EQ(order.size(), 12u);  // the icon first, then eleven hides
  EXPECT_EQ(order[0], "tray-add");
  run([&] { app->unload(FormId::Form12); });  // as at exit: the icon goes with the bar
  EXPECT_FALSE(gui.tray_.isShown());
}

// Only the left double-click restores: the panels show, the tabs are repainted while a moved
// panel still stands aside, then the home view is laid out, the icon removed, the bar focused.
TEST_F(Navigation, DoubleClickOnTheIconRestoresTheHomeViewInOrder) {
  const double left2 = app->form2().Left();
  app->m.gLoginFlag = "1";
  switchAround();
  click("Form12", "Image4");
  for (unsigned code : {512u, 513u, 514u, 516u, 517u, 518u, 519u}) {
    gui.tray_.activate(code);
    EXPECT_EQ(shown(), Names{}) << code;
  }
  const size_t m = gui.log.size();
  gui.tray_.activate(515);
  expectHomeView(left2);
  const auto [paintFrom, paintTo] = barPaint(m);
  EXPECT_LT(logIndex("show Form3", m), paintFrom);
  EXPECT_LT(paintTo, logIndex("move Form2", m));
  EXPECT_LT(logIndex("move Form2", m), logIndex("tray-remove", m));
  EXPECT_EQ(gui.log.back(), "focus Form12");
  click("Form12", "Image1");  // the next switch loads the account window again
  EXPECT_TRUE(app->isLoaded(FormId::Form7));
}

// The exit tab hides the panels and the search pages, then ends the process at once: nothing
// runs after the end, and no click reaches a handler any more.
TEST_F(Navigation, ExitHidesTheWindowsThenEndsTheProcess) {
  ASSERT_EQ(shown(), (Names{"Form1", "Form2", "Form3", "Form12"}));
  const size_t from = gui.log.size();
  click("Form12", "Image5");
  EXPECT_TRUE(gui.ended);
  ASSERT_GT(gui.log.size(), from);
  EXPECT_EQ(gui.log.back(), "end");
  EXPECT_EQ(shown(), Names{"Form12"});
  for (const char* form : {"Form1", "Form2", "Form3"})
    EXPECT_LT(logIndex(std::string("hide ") + form, from), gui.log.size() - 1) << form;
  const size_t ended = gui.log.size();
  click("Form12", "Image1");
  EXPECT_EQ(gui.log.size(), ended);
}

TEST_F(Navigation, MinimisedStateGoesToTheTrayOrWithoutOneStaysOnTheTaskbar) {
  const double left2 = app->form2().Left();
  switchAround();
  run([&] { bar().setState(WindowState::Minimised); });
  EXPECT_TRUE(gui.tray_.isShown());
  EXPECT_EQ(shown(), Names{});
  gui.tray_.activate(515);
  expectHomeView(left2);
  EXPECT_EQ(gui.tray_.adds, 1);  // the restore's resize adds no second icon

  gui.tray_.available = false;
  switchAround();
  click("Form12", "Image4");
  EXPECT_EQ(shown(), Names{"Form12"});
  EXPECT_EQ(bar().state(), WindowState::Minimised);
  EXPECT_FALSE(app->isLoaded(FormId::Form7));
  run([&] { bar().setState(WindowState::Normal); });  // restored from the taskbar
  expectHomeView(left2);
}

TEST_F(Navigation, HomeViewLayoutAndTaskbarHeightRoundedHalfToEven) {
  screen(1920, 1080, 15, 1040);
  EXPECT_EQ(GetTaskbarHeight(*app), 600);
  screen(1920, 1080, 15, 1080);  // at the top, left or right, or hidden
  EXPECT_EQ(GetTaskbarHeight(*app), 0);
  screen(3840, 2160, 7.5f, 2160 - 41);
  EXPECT_EQ(GetTaskbarHeight(*app), 308);  // 307.5
  screen(1920, 1080, 15, 0);               // a failed query: the whole screen
  EXPECT_EQ(GetTaskbarHeight(*app), 16200);

  // Equal panels: gaps of 390 and 420; the taskbar is measured at every layout.
  form(FormId::Form3).window().setClientSize(4740, 5475);
  screen(1920, 1080, 15, 1040);
  LayoutHomeView(*app);
  EXPECT_EQ(app->m.gPanelsWidth, "15060");
  EXPECT_DOUBLE_EQ(form(FormId::Form2).Left() - (form(FormId::Form1).Left() + 4740), 390);
  EXPECT_DOUBLE_EQ(form(FormId::Form3).Left() - (form(FormId::Form2).Left() + 4740), 420);
  double before = form(FormId::Form1).Top();
  screen(1920, 1080, 15, 1080);  // the taskbar moved away
  LayoutHomeView(*app);
  EXPECT_FLOAT_EQ(form(FormId::Form1).Top() - before, 600);
}

}  // namespace
}  // namespace kv::test
