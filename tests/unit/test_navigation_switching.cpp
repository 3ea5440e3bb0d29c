// Window switching from the start panels and the bar's tabs: which windows are hidden and shown,
// in which order, and which tab pictures are read, in which order.
#include <algorithm>
#include <filesystem>

#include "app/app.h"
#include "navigation/nav_bar.h"
#include "navigation/start_panels.h"
#include "tests/fake/app_fixture.h"

namespace kv::test {
namespace {

using Loads = std::vector<std::string>;

class NavigationSwitching : public AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    ASSERT_TRUE(startApp());
    ASSERT_TRUE(visible("Form12"));
  }

  size_t mark() const { return gui.log.size(); }

  // "show FormN" / "hide FormN" of the ten switched windows, from `from` on.
  std::vector<std::string> switches(size_t from) const {
    std::vector<std::string> out;
    for (size_t i = from; i < gui.log.size(); ++i) {
      const std::string& e = gui.log[i];
      if ((e.rfind("show Form", 0) == 0 || e.rfind("hide Form", 0) == 0) && e != "show Form12" &&
          e != "hide Form12")
        out.push_back(e);
    }
    return out;
  }

  // Picture loads of the bar's controls only (the dialogs load pictures of their own).
  Loads barLoads(size_t from) const {
    Loads out;
    for (auto& l : pictureLoads(from))
      if (l.rfind("Form12.", 0) == 0) out.push_back(l);
    return out;
  }

  void clickPanel(const std::string& form) { gui.picture(form, "Image1")->click(); }
  void clickTab(const std::string& image) { gui.picture("Form12", image)->click(); }

  // The windows among Form1..Form10 that are visible now.
  std::vector<std::string> shownWindows() const {
    std::vector<std::string> out;
    for (int i = 1; i <= 10; ++i)
      if (visible("Form" + std::to_string(i))) out.push_back("Form" + std::to_string(i));
    return out;
  }

  std::string source(const std::string& image) const {
    return gui.picture("Form12", image)->source();
  }
};

std::vector<std::string> hidesThenShow(const std::string& target) {
  std::vector<std::string> out;
  for (int i = 1; i <= 10; ++i) out.push_back("hide Form" + std::to_string(i));
  out.push_back("show " + target);
  return out;
}

TEST_F(NavigationSwitching, TaobaoPanelAndTabReadTheSamePicturesInOrder) {
  app->m.gLoginFlag = "1";
  const Loads expected = {
      "Form12.Image1 img\\nav_taobao2.jpg",   "Form12.Image2 img\\nav_tianmao2.jpg",
      "Form12.Image3 img\\nav_kelvo2.jpg",    "Form12.Image6 img\\dl0.jpg",
      "Form12.Image8 img\\nav_fenxiang2.jpg", "Form12.Image6 img\\dl1.jpg",
      "Form12.Image7 img\\faq.jpg",           "Form12.Image1 img\\nav_taobao.jpg"};

  size_t m = mark();
  clickPanel("Form1");
  EXPECT_EQ(barLoads(m), expected);
  EXPECT_EQ(switches(m), hidesThenShow("Form4"));
  EXPECT_EQ(shownWindows(), std::vector<std::string>{"Form4"});

  m = mark();
  clickTab("Image1");  // the selected tab again: the whole switch runs again
  EXPECT_EQ(barLoads(m), expected);
  EXPECT_EQ(switches(m), hidesThenShow("Form4"));
  EXPECT_EQ(source("Image1"), "img\\nav_taobao.jpg");
}

TEST_F(NavigationSwitching, TmallAndOwnSitePanelsMatchTheirTwinTabs) {
  struct Case {
    std::string panel, tab, target, selected;
    FormId formId;
  };
  for (const Case& c : {Case{"Form2", "Image2", "Form5", "img\\nav_tianmao.jpg", FormId::Form2},
                        Case{"Form3", "Image3", "Form6", "img\\nav_kelvo.jpg", FormId::Form3}}) {
    SCOPED_TRACE(c.panel);
    app->m.gLoginFlag = "0";
    size_t m = mark();
    clickPanel(c.panel);
    Loads byPanel = barLoads(m);
    EXPECT_EQ(switches(m), hidesThenShow(c.target));
    EXPECT_EQ(app->form(c.formId).Left(), 2790);  // a wide screen: the panel moves aside
    app->form(c.formId).SetLeft(0);

    m = mark();
    clickTab(c.tab);
    EXPECT_EQ(barLoads(m), byPanel);
    EXPECT_EQ(switches(m), hidesThenShow(c.target));
    EXPECT_EQ(app->form(c.formId).Left(), 2790);

    ASSERT_EQ(byPanel.size(), 8u);
    EXPECT_EQ(byPanel[5], "Form12.Image6 img\\dl0.jpg");  // signed out
    EXPECT_EQ(byPanel[7], "Form12." + c.tab + " " + c.selected);
    EXPECT_EQ(shownWindows(), std::vector<std::string>{c.target});
  }
}

TEST_F(NavigationSwitching, ShareAndQuestionsTabsRepaintFirstThenSwitch) {
  app->m.gLoginFlag = "0";
  size_t m = mark();
  clickTab("Image8");
  EXPECT_EQ(barLoads(m),
            (Loads{"Form12.Image1 img\\nav_taobao2.jpg", "Form12.Image2 img\\nav_tianmao2.jpg",
                   "Form12.Image3 img\\nav_kelvo2.jpg", "Form12.Image6 img\\dl0.jpg",
                   "Form12.Image8 img\\nav_fenxiang2.jpg", "Form12.Image6 img\\dl0.jpg",
                   "Form12.Image7 img\\faq.jpg", "Form12.Image8 img\\nav_fenxiang.jpg"}));
  // The repaint comes before the first hide.
  auto firstHide = std::find(gui.log.begin() + m, gui.log.end(), "hide Form1");
  auto lastPicture =
      std::find(gui.log.begin() + m, gui.log.end(), "picture Form12.Image8 img\\nav_fenxiang.jpg");
  EXPECT_LT(lastPicture, firstHide);
  EXPECT_EQ(shownWindows(), std::vector<std::string>{"Form10"});

  // The questions tab's pictures run the other way round: faq2 is the selected one.
  app->m.gLoginFlag = "1";
  m = mark();
  clickTab("Image7");
  EXPECT_EQ(barLoads(m),
            (Loads{"Form12.Image1 img\\nav_taobao2.jpg", "Form12.Image2 img\\nav_tianmao2.jpg",
                   "Form12.Image3 img\\nav_kelvo2.jpg", "Form12.Image6 img\\dl0.jpg",
                   "Form12.Image8 img\\nav_fenxiang2.jpg", "Form12.Image6 img\\dl1.jpg",
                   "Form12.Image7 img\\faq2.jpg"}));
  EXPECT_EQ(switches(m), hidesThenShow("Form9"));
  EXPECT_EQ(shownWindows(), std::vector<std::string>{"Form9"});
  EXPECT_EQ(source("Image8"), "img\\nav_fenxiang2.jpg");
}

TEST_F(NavigationSwitching, AccountTabPictureFollowsTheFlagWindowFollowsDlTxt) {
  // Flag signed in, dl.txt signed out: the selected signed-in picture, the sign-in window.
  app->m.gLoginFlag = "1";
  writeData("dl.txt", " 0 \r\n");
  size_t m = mark();
  clickTab("Image6");
  EXPECT_EQ(barLoads(m),
            (Loads{"Form12.Image1 img\\nav_taobao2.jpg", "Form12.Image2 img\\nav_tianmao2.jpg",
                   "Form12.Image3 img\\nav_kelvo2.jpg", "Form12.Image6 img\\dl0.jpg",
                   "Form12.Image8 img\\nav_fenxiang2.jpg", "Form12.Image6 img\\dl12.jpg",
                   "Form12.Image7 img\\faq.jpg"}));
  EXPECT_EQ(switches(m), (std::vector<std::string>{"hide Form1", "hide Form2", "hide Form3",
                                                   "hide Form4", "hide Form5", "hide Form6",
                                                   "hide Form9", "hide Form10", "show Form8"}));
  EXPECT_EQ(shownWindows(), std::vector<std::string>{"Form8"});

  // dl.txt signed in: the account window shows and the sign-in window is left as it is.
  app->m.gLoginFlag = "0";
  writeData("dl.txt", "1");
  m = mark();
  clickTab("Image6");
  EXPECT_EQ(source("Image6"), "img\\dl02.jpg");
  EXPECT_EQ(shownWindows(), (std::vector<std::string>{"Form7", "Form8"}));

  // Missing, empty or no number: the sign-in window.
  for (const char* content : std::initializer_list<const char*>{"", "yes\r\n", nullptr}) {
    gui.window("Form7")->hide();
    gui.window("Form8")->hide();
    if (content)
      writeData("dl.txt", content);
    else
      std::filesystem::remove(path("paz/l/s/r/dl.txt"));
    clickTab("Image6");
    EXPECT_EQ(shownWindows(), std::vector<std::string>{"Form8"});
  }
}

TEST_F(NavigationSwitching, FirstSwitchLoadsTheDialogsHiddenSecondLoadsNothing) {
  for (FormId id : {FormId::Form7, FormId::Form8, FormId::Form9, FormId::Form10})
    ASSERT_FALSE(app->isLoaded(id)) << formName(id);

  size_t m = mark();
  clickPanel("Form1");
  EXPECT_EQ(switches(m), hidesThenShow("Form4"));
  for (const char* w : {"Form7", "Form8", "Form9", "Form10"}) {
    EXPECT_NE(gui.window(w), nullptr) << w;
    EXPECT_FALSE(visible(w)) << w;
  }
  std::vector<fake::FakeWindow*> first;
  for (const char* w : {"Form7", "Form8", "Form9", "Form10"}) first.push_back(gui.window(w));

  m = mark();
  clickTab("Image2");
  EXPECT_EQ(switches(m), hidesThenShow("Form5"));
  std::vector<fake::FakeWindow*> second;
  for (const char* w : {"Form7", "Form8", "Form9", "Form10"}) second.push_back(gui.window(w));
  EXPECT_EQ(first, second);  // the same windows: nothing loaded anew
}

TEST_F(NavigationSwitching, TmallAndOwnSiteSwitchesMoveTheirPanel) {
  // The first switch loads the dialogs, whose placement moves Form1; measure after it.
  clickTab("Image1");
  double left1 = app->form1().Left(), left2 = app->form2().Left(), left3 = app->form3().Left();

  gui.screenInfo.widthTwips = 15360;
  clickTab("Image1");  // Taobao moves no panel
  EXPECT_EQ(app->form1().Left(), left1);
  EXPECT_EQ(app->form2().Left(), left2);
  EXPECT_EQ(app->form3().Left(), left3);

  clickTab("Image2");
  EXPECT_FLOAT_EQ(app->form2().Left(), 153.6f);
  EXPECT_EQ(app->form3().Left(), left3);
  clickTab("Image3");
  EXPECT_FLOAT_EQ(app->form3().Left(), 153.6f);

  gui.screenInfo.widthTwips = 17000;
  clickTab("Image2");
  EXPECT_EQ(app->form2().Left(), 2790);
  clickTab("Image3");
  EXPECT_EQ(app->form3().Left(), 2790);
  EXPECT_EQ(app->form1().Left(), left1);
}

TEST_F(NavigationSwitching, HoverOverlaysStayUntilAnotherPanelIsHovered) {
  auto overlay = [&](const char* f) { return gui.picture(f, "Image2"); };
  for (const char* f : {"Form1", "Form2", "Form3"}) EXPECT_FALSE(overlay(f)->isVisible()) << f;

  gui.picture("Form1", "Image1")->moveMouse(100, 100);
  EXPECT_TRUE(overlay("Form1")->isVisible());
  gui.picture("Form2", "Image1")->moveMouse(100, 100);
  EXPECT_FALSE(overlay("Form1")->isVisible());
  EXPECT_TRUE(overlay("Form2")->isVisible());
  EXPECT_FALSE(overlay("Form3")->isVisible());

  // A click on the shown overlay switches exactly as the panel does.
  size_t m = mark();
  overlay("Form2")->click();
  Loads byOverlay = barLoads(m);
  EXPECT_EQ(switches(m), hidesThenShow("Form5"));
  m = mark();
  clickTab("Image2");
  EXPECT_EQ(barLoads(m), byOverlay);

  // The overlay survives the switch.
  EXPECT_TRUE(overlay("Form2")->isVisible());
}

TEST_F(NavigationSwitching, MissingTabPictureKeepsTheOldPictureAndTheSwitchGoesOn) {
  std::string before = source("Image8");
  ASSERT_FALSE(before.empty());
  std::filesystem::remove(path("img/nav_fenxiang2.jpg"));
  std::filesystem::remove(path("img/nav_taobao.jpg"));

  size_t m = mark();
  clickPanel("Form1");
  EXPECT_EQ(source("Image8"), before);
  EXPECT_EQ(source("Image1"), "img\\nav_taobao2.jpg");  // the selected picture failed
  EXPECT_EQ(source("Image7"), "img\\faq.jpg");          // read after the failure
  EXPECT_EQ(barLoads(m).size(), 6u);
  EXPECT_EQ(shownWindows(), std::vector<std::string>{"Form4"});
}

TEST_F(NavigationSwitching, ResizePutsTheAccountTabsPlainPictureBack) {
  writeData("dl.txt", " 1 \r\n");
  app->m.gLoginFlag = "1";
  clickTab("Image6");
  ASSERT_EQ(source("Image6"), "img\\dl12.jpg");
  app->form12().window().setClientSize(7000, 585);
  EXPECT_EQ(source("Image6"), "img\\dl1.jpg");
}

TEST_F(NavigationSwitching, ExitHidesPanelsAndSearchPagesThenEnds) {
  size_t m = mark();
  clickTab("Image5");
  EXPECT_TRUE(gui.ended);
  EXPECT_EQ(gui.endCode, 0);
  std::vector<std::string> tail(gui.log.begin() + m, gui.log.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"hide Form1", "hide Form2", "hide Form3", "hide Form4",
                                            "hide Form5", "hide Form6", "end"}));
  EXPECT_FALSE(gui.tray_.isShown());
}

}  // namespace
}  // namespace kv::test
