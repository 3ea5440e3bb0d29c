// Window switching from the start panels and the bar's tabs: the windows hidden and shown, in
// order, and the tab pictures read, in order.
#include <algorithm>
#include <filesystem>

#include "app/app.h"
#include "navigation/nav_bar.h"
#include "navigation/start_panels.h"
#include "tests/fake/app_fixture.h"

namespace kv::test {
namespace {

using Names = std::vector<std::string>;

class NavigationSwitching : public AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    ASSERT_TRUE(startApp());
    ASSERT_TRUE(visible("Form12"));
  }

  size_t mark() const { return gui.log.size(); }

  // "show FormN" / "hide FormN" of the ten switched windows, from `from` on.
  Names switches(size_t from) const {
    Names out;
    for (size_t i = from; i < gui.log.size(); ++i) {
      const std::string& e = gui.log[i];
      if ((e.rfind("show Form", 0) == 0 || e.rfind("hide Form", 0) == 0) &&
          e.find("Form12") == std::string::npos)
        out.push_back(e);
    }
    return out;
  }

  // Picture loads of the bar's controls only (the dialogs load pictures of their own).
  Names barLoads(size_t from) const {
    Names out;
    for (auto& l : pictureLoads(from))
      if (l.rfind("Form12.", 0) == 0) out.push_back(l);
    return out;
  }

  // A panel ("Form1") or a tab of the bar ("Image1").
  void click(const std::string& what) {
    if (what.rfind("Form", 0) == 0)
      gui.picture(what, "Image1")->click();
    else
      gui.picture("Form12", what)->click();
  }

  Names shownWindows() const {
    Names out;
    for (int i = 1; i <= 10; ++i)
      if (visible("Form" + std::to_string(i))) out.push_back("Form" + std::to_string(i));
    return out;
  }

  std::string source(const std::string& image) const {
    return gui.picture("Form12", image)->source();
  }
};

Names hidesThenShow(const std::string& target) {
  Names out;
  for (int i = 1; i <= 10; ++i) out.push_back("hide Form" + std::to_string(i));
  out.push_back("show " + target);
  return out;
}

TEST_F(NavigationSwitching, EachPanelAndTabReadsItsPicturesInOrderAndShowsItsWindow) {
  struct Case {
    const char* click;
    const char* flag;
    const char* account;   // Image6's second picture
    const char* faq;       // Image7's picture
    const char* selected;  // the selected tab's picture, read last ("" none)
    const char* target;
    bool paintsFirst;  // every picture before the first hide
  };
  writeData("dl.txt", " 0 \r\n");
  const Names dialogs = {"Form7", "Form8", "Form9", "Form10"};
  for (auto& w : dialogs) ASSERT_EQ(gui.window(w), nullptr) << w;
  std::vector<fake::FakeWindow*> loaded;  // by the first switch, hidden, never loaded anew
  for (const Case& c : {
           Case{"Form1", "1", "dl1", "faq", "Image1 img\\nav_taobao.jpg", "Form4", false},
           Case{"Image1", "1", "dl1", "faq", "Image1 img\\nav_taobao.jpg", "Form4", false},
           Case{"Form2", "0", "dl0", "faq", "Image2 img\\nav_tianmao.jpg", "Form5", false},
           Case{"Image2", "0", "dl0", "faq", "Image2 img\\nav_tianmao.jpg", "Form5", false},
           Case{"Form3", "0", "dl0", "faq", "Image3 img\\nav_kelvo.jpg", "Form6", false},
           Case{"Image3", "0", "dl0", "faq", "Image3 img\\nav_kelvo.jpg", "Form6", false},
           Case{"Image8", "0", "dl0", "faq", "Image8 img\\nav_fenxiang.jpg", "Form10", true},
           Case{"Image7", "1", "dl1", "faq2", "", "Form9", true},
           // The picture follows the flag, the window dl.txt (signed out here).
           Case{"Image6", "1", "dl12", "faq", "", "Form8", false},
       }) {
    SCOPED_TRACE(c.click);
    app->m.gLoginFlag = c.flag;
    size_t m = mark();
    click(c.click);
    Names expected = {"Form12.Image1 img\\nav_taobao2.jpg",
                      "Form12.Image2 img\\nav_tianmao2.jpg",
                      "Form12.Image3 img\\nav_kelvo2.jpg",
                      "Form12.Image6 img\\dl0.jpg",
                      "Form12.Image8 img\\nav_fenxiang2.jpg",
                      std::string("Form12.Image6 img\\") + c.account + ".jpg",
                      std::string("Form12.Image7 img\\") + c.faq + ".jpg"};
    if (*c.selected) expected.push_back(std::string("Form12.") + c.selected);
    EXPECT_EQ(barLoads(m), expected);
    Names hides = hidesThenShow(c.target);
    if (std::string(c.target) == "Form8")  // the account windows are left alone
      hides.erase(std::remove_if(hides.begin(), hides.end(),
                                 [](auto& s) { return s == "hide Form7" || s == "hide Form8"; }),
                  hides.end());
    EXPECT_EQ(switches(m), hides);
    EXPECT_EQ(shownWindows(), Names{c.target});
    for (size_t i = 0; i < dialogs.size(); ++i) {
      if (loaded.size() < dialogs.size()) loaded.push_back(gui.window(dialogs[i]));
      EXPECT_NE(loaded[i], nullptr);
      EXPECT_EQ(gui.window(dialogs[i]), loaded[i]);
    }
    if (c.paintsFirst) {
      auto lastPicture =
          std::find(gui.log.rbegin(), gui.log.rend() - m, "picture " + expected.back());
      auto firstHide = std::find(gui.log.begin() + m, gui.log.end(), "hide Form1");
      EXPECT_LE(lastPicture.base(), firstHide);
    }
  }
}

TEST_F(NavigationSwitching,
       AccountTabShowsTheAccountWindowOnlyWhenDlTxtSaysSignedInResizeResetsIt) {
  app->m.gLoginFlag = "0";
  writeData("dl.txt", "0");
  click("Image6");
  writeData("dl.txt", "1");  // the sign-in window shown before is left as it is
  click("Image6");
  EXPECT_EQ(source("Image6"), "img\\dl02.jpg");
  EXPECT_EQ(shownWindows(), (Names{"Form7", "Form8"}));

  for (const char* content : {"", "yes\r\n", static_cast<const char*>(nullptr)}) {
    SCOPED_TRACE(content ? content : "missing");
    gui.window("Form7")->hide();
    gui.window("Form8")->hide();
    if (content)
      writeData("dl.txt", content);
    else
      std::filesystem::remove(path("paz/l/s/r/dl.txt"));
    click("Image6");
    EXPECT_EQ(shownWindows(), Names{"Form8"});
  }

  // A resize puts the account tab's plain picture back.
  writeData("dl.txt", " 1 \r\n");
  app->m.gLoginFlag = "1";
  click("Image6");
  ASSERT_EQ(source("Image6"), "img\\dl12.jpg");
  app->form12().window().setClientSize(7000, 585);
  EXPECT_EQ(source("Image6"), "img\\dl1.jpg");
}

TEST_F(NavigationSwitching, TmallAndOwnSiteSwitchesMoveTheirPanel) {
  // The first switch loads the dialogs, whose placement moves Form1; measure after it.
  click("Image1");
  double left1 = app->form1().Left(), left2 = app->form2().Left(), left3 = app->form3().Left();

  gui.screenInfo.widthTwips = 15360;
  click("Image1");  // Taobao moves no panel
  EXPECT_EQ(app->form1().Left(), left1);
  EXPECT_EQ(app->form2().Left(), left2);
  EXPECT_EQ(app->form3().Left(), left3);
  click("Image2");
  EXPECT_FLOAT_EQ(app->form2().Left(), 153.6f);
  EXPECT_EQ(app->form3().Left(), left3);
  click("Form3");
  EXPECT_FLOAT_EQ(app->form3().Left(), 153.6f);

  gui.screenInfo.widthTwips = 17000;
  click("Form2");
  EXPECT_EQ(app->form2().Left(), 2790);
  click("Image3");
  EXPECT_EQ(app->form3().Left(), 2790);
  EXPECT_EQ(app->form1().Left(), left1);
}

TEST_F(NavigationSwitching, HoverOverlaysStayUntilAnotherPanelIsHoveredAndSwitchLikeThePanel) {
  auto overlay = [&](const char* f) { return gui.picture(f, "Image2"); };
  for (const char* f : {"Form1", "Form2", "Form3"}) EXPECT_FALSE(overlay(f)->isVisible()) << f;
  gui.picture("Form1", "Image1")->moveMouse(100, 100);
  EXPECT_TRUE(overlay("Form1")->isVisible());
  gui.picture("Form2", "Image1")->moveMouse(100, 100);
  EXPECT_FALSE(overlay("Form1")->isVisible());
  EXPECT_TRUE(overlay("Form2")->isVisible());
  EXPECT_FALSE(overlay("Form3")->isVisible());

  size_t m = mark();
  overlay("Form2")->click();
  Names byOverlay = barLoads(m);
  EXPECT_EQ(switches(m), hidesThenShow("Form5"));
  m = mark();
  click("Image2");
  EXPECT_EQ(barLoads(m), byOverlay);
  EXPECT_TRUE(overlay("Form2")->isVisible());  // it survives the switch
}

TEST_F(NavigationSwitching, MissingTabPictureKeepsTheOldPictureAndTheSwitchGoesOn) {
  std::string before = source("Image8");
  ASSERT_FALSE(before.empty());
  std::filesystem::remove(path("img/nav_fenxiang2.jpg"));
  std::filesystem::remove(path("img/nav_taobao.jpg"));
  size_t m = mark();
  click("Form1");
  EXPECT_EQ(source("Image8"), before);
  EXPECT_EQ(source("Image1"), "img\\nav_taobao2.jpg");  // the selected picture failed
  EXPECT_EQ(source("Image7"), "img\\faq.jpg");          // read after the failure
  EXPECT_EQ(barLoads(m).size(), 6u);
  EXPECT_EQ(shownWindows(), Names{"Form4"});
}

TEST_F(NavigationSwitching, ExitHidesPanelsAndSearchPagesThenEnds) {
  size_t m = mark();
  click("Image5");
  EXPECT_EQ(gui.endCode, 0);
  EXPECT_EQ(Names(gui.log.begin() + m, gui.log.end()),
            (Names{"hide Form1", "hide Form2", "hide Form3", "hide Form4", "hide Form5",
                   "hide Form6", "end"}));
  EXPECT_FALSE(gui.tray_.isShown());
}

}  // namespace
}  // namespace kv::test
