// The questions-and-answers window: tab selection, closing and reopening, and tab pictures that
// change or go missing on disk.
#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>

#include "faq/faq_window.h"
#include "navigation/nav_bar.h"
#include "tests/fake/app_fixture.h"

namespace kv::test {
namespace {

using ::testing::ElementsAre;

class FaqTest : public AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    ASSERT_TRUE(startApp());
    mark = gui.log.size();
    ASSERT_TRUE(run([&] { app->form9(); }));
  }
  fake::FakePicture& pic(const std::string& name) { return *gui.picture("Form9", name); }
  std::vector<std::string> click(const std::string& name) {  // the picture loads it made
    mark = gui.log.size();
    pic(name).click();
    return pictureLoads(mark);
  }
  std::vector<std::string> shownPages() {
    std::vector<std::string> out;
    for (const char* p : {"Image6", "Image7", "Image8", "Image9", "Image11"})
      if (pic(p).isVisible()) out.push_back(p);
    return out;
  }
  size_t mark = 0;
};

TEST_F(FaqTest, LoadSelectsTabOneHiddenAndCentred) {
  EXPECT_FALSE(visible("Form9"));
  EXPECT_THAT(pictureLoads(mark), ElementsAre("Form9.Image1 img\\faq_12.jpg"));
  EXPECT_EQ(pic("Image5").source(), "res:form9/image5");
  EXPECT_THAT(shownPages(), ElementsAre("Image6"));
  EXPECT_DOUBLE_EQ(app->form9().Left(), 28800 / 2 - 10320 / 2);  // 1920 px screen at 15 twips
}

TEST_F(FaqTest, TabClicksLoadAllUnselectedThenTheirOwnAndShowTheirPage) {
  EXPECT_THAT(click("Image2"),
              ElementsAre("Form9.Image1 img\\faq_1.jpg", "Form9.Image2 img\\faq_12x.jpg",
                          "Form9.Image3 img\\faq_6.jpg", "Form9.Image4 img\\faq_08.jpg",
                          "Form9.Image5 img\\faq_10.jpg", "Form9.Image2 img\\faq_122.jpg"));
  EXPECT_THAT(shownPages(), ElementsAre("Image11"));
  const char* tabs[][3] = {{"Image3", "img\\faq_062.jpg", "Image7"},
                           {"Image5", "img\\faq_102.jpg", "Image9"},
                           {"Image1", "img\\faq_12.jpg", "Image6"},
                           {"Image1", "img\\faq_12.jpg", "Image6"}};  // again: same result
  for (auto& [tab, selected, page] : tabs) {
    EXPECT_EQ(click(tab).back(), std::string("Form9.") + tab + " " + selected);
    EXPECT_THAT(shownPages(), ElementsAre(page));
  }
}

TEST_F(FaqTest, CloseHidesOnlyThisWindowAndTheBarReopensTheLastTab) {
  ASSERT_TRUE(run([&] { app->form12().Image7_Click(); }));
  click("Image4");
  click("Image10");
  EXPECT_THAT(std::vector(gui.log.begin() + mark, gui.log.end()), ElementsAre("hide Form9"));
  ASSERT_TRUE(run([&] { app->form12().Image7_Click(); }));
  EXPECT_TRUE(visible("Form9"));
  EXPECT_EQ(pic("Image4").source(), "img\\faq_082.jpg");
  EXPECT_THAT(shownPages(), ElementsAre("Image8"));
}

TEST_F(FaqTest, PicturesAreReadAtEveryClickAndAFailedOneKeepsTheOldPicture) {
  click("Image3");
  std::filesystem::remove("img/faq_6.jpg");
  std::ofstream("img/faq_08.jpg", std::ios::trunc) << "damaged";
  click("Image4");  // the click goes on past both failures
  EXPECT_EQ(pic("Image3").source(), "img\\faq_062.jpg");
  EXPECT_EQ(pic("Image4").source(), "img\\faq_082.jpg");
  EXPECT_EQ(pic("Image5").source(), "img\\faq_10.jpg");
  EXPECT_THAT(shownPages(), ElementsAre("Image8"));
  std::filesystem::copy_file("img/faq_10.jpg", "img/faq_08.jpg",
                             std::filesystem::copy_options::overwrite_existing);
  click("Image1");
  EXPECT_EQ(pic("Image4").source(), "img\\faq_08.jpg");
}

}  // namespace
}  // namespace kv::test
