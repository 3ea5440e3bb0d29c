// Window placement: the taskbar strip and the home-view layout (dialog centring is the
// questions window's test).
#include "app/app.h"
#include "app/shared.h"
#include "navigation/start_panels.h"
#include "tests/fake/app_fixture.h"

namespace kv::test {
namespace {

class PlacementTest : public AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    writeData("app_url.txt", "http://a.member.example/?lsr=1\r\n");
    ASSERT_TRUE(startApp());
  }
  void screen(double widthPx, double heightPx, float factor, int workBottomPx) {
    gui.screenInfo.widthTwips = widthPx * factor;
    gui.screenInfo.heightTwips = heightPx * factor;
    gui.screenInfo.twipsPerPixelX = factor;
    gui.screenInfo.workAreaBottomPx = workBottomPx;
  }
  Form& form(FormId id) { return app->form(id); }
};

TEST_F(PlacementTest, TaskbarHeightIsTheStripBelowTheWorkAreaRoundedHalfToEven) {
  screen(1920, 1080, 15, 1040);
  EXPECT_EQ(GetTaskbarHeight(*app), 600);
  screen(1920, 1080, 15, 1080);  // at the top, left or right, or hidden
  EXPECT_EQ(GetTaskbarHeight(*app), 0);
  screen(3840, 2160, 7.5f, 2160 - 41);
  EXPECT_EQ(GetTaskbarHeight(*app), 308);  // 307.5
  screen(1920, 1080, 15, 0);               // a failed query: the whole screen
  EXPECT_EQ(GetTaskbarHeight(*app), 16200);
}

TEST_F(PlacementTest, HomeViewRowAndBar) {
  screen(1920, 1080, 15, 1040);
  LayoutHomeView(*app);
  EXPECT_EQ(app->m.gPanelsWidth, "15075");
  double x0 = 1920 * 15 / 2.0 - 7537.5;
  EXPECT_DOUBLE_EQ(form(FormId::Form1).Left(), x0 + 30);
  // Gaps of 390 and 435 twips with the design widths.
  EXPECT_DOUBLE_EQ(form(FormId::Form2).Left() - (form(FormId::Form1).Left() + 4740), 390);
  EXPECT_DOUBLE_EQ(form(FormId::Form3).Left() - (form(FormId::Form2).Left() + 4740), 435);
  for (FormId id : {FormId::Form4, FormId::Form5, FormId::Form6})
    EXPECT_DOUBLE_EQ(form(id).Left(), x0);
  double y0 = 1080 * 15 / 2.0 - 5475 / 2.0 - 600;
  for (FormId id :
       {FormId::Form1, FormId::Form2, FormId::Form3, FormId::Form4, FormId::Form5, FormId::Form6})
    EXPECT_FLOAT_EQ(form(id).Top(), y0);
  // The bar: centred by its own width, two bar heights above the row.
  Form& bar = form(FormId::Form12);
  EXPECT_DOUBLE_EQ(bar.Left(), 1920 * 15 / 2.0 - bar.Width() / 2);
  EXPECT_FLOAT_EQ(form(FormId::Form1).Top() - bar.Top(), 1170);
}

TEST_F(PlacementTest, EqualPanelsGiveGapsOf390And420AndTheTaskbarIsMeasuredAnew) {
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
