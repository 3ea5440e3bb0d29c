// The questions window: its tabs and pages, closing and reopening, tab pictures on disk.
#include <filesystem>
#include <fstream>
#include <map>

#include "faq/faq_window.h"
#include "navigation/nav_bar.h"
#include "tests/fake/app_fixture.h"

namespace kv::test {
namespace {

struct Tab {
  const char *plain, *selected, *page;
};
// The first tab shows its selected picture from the window's own design until a click.
const std::map<std::string, Tab> kTabs = {
    {"Image1", {"img\\faq_1.jpg", "img\\faq_12.jpg", "Image6"}},
    {"Image2", {"img\\faq_12x.jpg", "img\\faq_122.jpg", "Image11"}},
    {"Image3", {"img\\faq_6.jpg", "img\\faq_062.jpg", "Image7"}},
    {"Image4", {"img\\faq_08.jpg", "img\\faq_082.jpg", "Image8"}},
    {"Image5", {"img\\faq_10.jpg", "img\\faq_102.jpg", "Image9"}}};

class FaqTest : public AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    ASSERT_TRUE(startApp());
    ASSERT_TRUE(run([&] { app->form9(); }));
  }
  std::string source(const std::string& name) { return gui.picture("Form9", name)->source(); }
  // The selected tab and the visible page; fails on a tab that shows neither picture.
  Names selection() {
    Names out;
    for (const auto& [tab, t] : kTabs) {
      if (source(tab) == t.selected) out.push_back(tab);
      EXPECT_TRUE(source(tab) == t.plain || source(tab) == t.selected || source(tab)[0] == 'r')
          << tab << " shows " << source(tab);
    }
    for (const auto& [tab, t] : kTabs)
      if (gui.picture("Form9", t.page)->isVisible()) out.push_back(t.page);
    return out;
  }
};

TEST_F(FaqTest, LoadsHiddenWithTheFirstTabSelected) {
  EXPECT_FALSE(visible("Form9"));
  EXPECT_EQ(gui.window("Form9")->caption(), "Kelvora-问题");
  EXPECT_EQ(selection(), (Names{"Image1", "Image6"}));
  EXPECT_EQ(source("Image5"), "res:form9/image5");
  for (const auto& [tab, t] : kTabs) {
    click("Form9", tab);
    EXPECT_EQ(selection(), (Names{tab, t.page}));
  }
  click("Form9", "Image5");  // again: the same
  EXPECT_EQ(selection(), (Names{"Image5", "Image9"}));
}

TEST_F(FaqTest, CloseHidesOnlyThisWindowAndTheBarReopensTheLastTab) {
  ASSERT_TRUE(run([&] { app->form12().Image7_Click(); }));
  click("Form9", "Image4");
  const size_t m = gui.log.size();
  click("Form9", "Image10");
  EXPECT_EQ(Names(gui.log.begin() + m, gui.log.end()), Names{"hide Form9"});
  ASSERT_TRUE(run([&] { app->form12().Image7_Click(); }));
  EXPECT_TRUE(visible("Form9"));
  EXPECT_EQ(selection(), (Names{"Image4", "Image8"}));
}

TEST_F(FaqTest, PicturesAreReadAtEveryClickAndAFailedOneKeepsTheOldPicture) {
  click("Form9", "Image3");
  std::filesystem::remove("img/faq_6.jpg");
  std::ofstream("img/faq_08.jpg", std::ios::trunc) << "damaged";
  click("Form9", "Image4");  // the click goes on past both failures
  EXPECT_EQ(source("Image3"), "img\\faq_062.jpg");
  EXPECT_EQ(source("Image4"), "img\\faq_082.jpg");
  EXPECT_EQ(source("Image5"), "img\\faq_10.jpg");
  std::filesystem::copy_file("img/faq_10.jpg", "img/faq_08.jpg",
                             std::filesystem::copy_options::overwrite_existing);
  click("Form9", "Image1");
  EXPECT_EQ(source("Image4"), "img\\faq_08.jpg");
}

}  // namespace
}  // namespace kv::test
