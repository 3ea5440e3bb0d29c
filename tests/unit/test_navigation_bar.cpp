// The navigation bar on its own: the layout the product service chooses, the resize handler's
// reading of dl.txt, the tooltips.
#include <filesystem>

#include "app/app.h"
#include "navigation/nav_bar.h"
#include "tests/fake/app_fixture.h"

namespace kv::test {
namespace {

class NavigationBar : public AppFixture {
 protected:
  // Image1 .. Image8 in turn: the left, negated when hidden.
  std::vector<double> layout() const {
    std::vector<double> out;
    for (int i = 1; i <= 8; ++i) {
      auto* p = gui.picture("Form12", "Image" + std::to_string(i));
      out.push_back(p->isVisible() ? p->left() : -p->left());
    }
    return out;
  }
};

TEST_F(NavigationBar, LayoutRowsChosenByTheProductService) {
  const std::vector<double> design = {0, 1080, 2160, 6330, 6980, 3270, 5440, 4560};
  struct Row {
    std::string name;
    standin::Reply reply;
    double width;
    std::vector<double> layout;
  };
  standin::Reply refused;
  refused.refuse = true;
  const std::vector<Row> rows = {
      {"0", {200, "0"}, 4600, {0, 1080, 2160, 3270, 3920, -3270, -5440, -4560}},
      {"1", {200, "1"}, 6340, {0, 1080, 2160, 5040, 5660, -3270, 4150, 3270}},
      {"2", {200, "2"}, 6820, {0, 1080, 2160, 5470, 6130, 3300, 4590, -4560}},
      {"3", {200, " 3 "}, 6820, {0, 1080, 2160, 5470, 6130, 3300, -5440, 4590}},
      {"4", {200, "4"}, 7650, design},
      {"-1", {200, "-1"}, 7650, design},
      {"2x", {200, "2x"}, 7650, design},
      {"empty", {200, ""}, 7650, design},
      {"refused", refused, 7650, design},
      // The status is not looked at: an error page holding a row number still chooses it.
      {"500", {500, "0"}, 4600, {0, 1080, 2160, 3270, 3920, -3270, -5440, -4560}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    services.setReply(hosts::kProduct, kNav, row.reply);
    services.clearRequests();
    app->form12();
    EXPECT_EQ(layout(), row.layout);
    EXPECT_EQ(gui.window("Form12")->width(), row.width);
    EXPECT_EQ(gui.window("Form12")->height(), 585);
    EXPECT_EQ(services.requests(hosts::kProduct, kNav).size(), 1u);
    app->unload(FormId::Form12);
    gui.runPosted();
  }
}

TEST_F(NavigationBar, ResizeReadsDlTxtIntoTheAccountTabAndTheFlag) {
  struct Case {
    const char* content;  // nullptr: no file
    const char* flag;
  };
  for (const Case& c : {Case{" 1 \r\n", "1"}, Case{"1", "1"}, Case{" 0 \r\n", "0"}, Case{"2", "0"},
                        Case{"", "0"}, Case{"\xff\xfe junk", "0"}, Case{nullptr, "0"}}) {
    SCOPED_TRACE(c.content ? c.content : "missing");
    if (c.content)
      writeData("dl.txt", c.content);
    else
      std::filesystem::remove(path("paz/l/s/r/dl.txt"));
    app->m.gLoginFlag = "x";
    Form12& bar = app->form12();
    size_t m = gui.log.size();
    bar.window().show();  // the first show raises the resize
    EXPECT_EQ(pictureLoads(m),
              std::vector<std::string>{std::string("Form12.Image6 img\\dl") + c.flag + ".jpg"});
    EXPECT_EQ(app->m.gLoginFlag, c.flag);
    EXPECT_FALSE(gui.tray_.isShown());
    app->unload(FormId::Form12);
    gui.runPosted();
  }
}

TEST_F(NavigationBar, TooltipsAppearAtTheFirstMouseMove) {
  app->form12();
  auto* minimise = gui.picture("Form12", "Image4");
  auto* exit = gui.picture("Form12", "Image5");
  EXPECT_EQ(minimise->toolTip(), "");
  minimise->moveMouse(10, 10);
  EXPECT_EQ(minimise->toolTip(), "最小化");
  EXPECT_EQ(exit->toolTip(), "");
  exit->moveMouse(10, 10);
  EXPECT_EQ(exit->toolTip(), "退出");
}

}  // namespace
}  // namespace kv::test
