// The navigation bar on its own: the layout the product service chooses, the resize handler's
// reading of dl.txt, the tooltips.
#include <filesystem>

#include "app/app.h"
#include "navigation/nav_bar.h"
#include "tests/fake/app_fixture.h"

namespace kv::test {
namespace {

constexpr const char* kNavPath = "/app.php/index/nav";

struct Place {
  bool shown;
  double left;
};

class NavigationBar : public AppFixture {
 protected:
  void replyNav(const std::string& body) {
    standin::Reply r;
    r.body = body;
    services.setReply(hosts::kProduct, kNavPath, r);
  }
  Place place(const char* image) const {
    auto* p = gui.picture("Form12", image);
    return {p->isVisible(), p->left()};
  }
  // Image1 .. Image8 in turn.
  std::vector<std::pair<bool, double>> layout() const {
    std::vector<std::pair<bool, double>> out;
    for (const char* i :
         {"Image1", "Image2", "Image3", "Image4", "Image5", "Image6", "Image7", "Image8"}) {
      Place p = place(i);
      out.emplace_back(p.shown, p.left);
    }
    return out;
  }
  double barWidth() const { return gui.window("Form12")->width(); }
};

using Layout = std::vector<std::pair<bool, double>>;
const Layout kDesign = {{true, 0},    {true, 1080}, {true, 2160}, {true, 6330},
                        {true, 6980}, {true, 3270}, {true, 5440}, {true, 4560}};

TEST_F(NavigationBar, LayoutRowsChosenByTheProductService) {
  struct Row {
    std::string reply;
    double width;
    Layout layout;
  };
  const std::vector<Row> rows = {
      {"0",
       4600,
       {{true, 0},
        {true, 1080},
        {true, 2160},
        {true, 3270},
        {true, 3920},
        {false, 3270},
        {false, 5440},
        {false, 4560}}},
      {"1",
       6340,
       {{true, 0},
        {true, 1080},
        {true, 2160},
        {true, 5040},
        {true, 5660},
        {false, 3270},
        {true, 4150},
        {true, 3270}}},
      {"2",
       6820,
       {{true, 0},
        {true, 1080},
        {true, 2160},
        {true, 5470},
        {true, 6130},
        {true, 3300},
        {true, 4590},
        {false, 4560}}},
      {" 3 ",
       6820,
       {{true, 0},
        {true, 1080},
        {true, 2160},
        {true, 5470},
        {true, 6130},
        {true, 3300},
        {false, 5440},
        {true, 4590}}},
      {"4", 7650, kDesign},
      {"-1", 7650, kDesign},
      {"2x", 7650, kDesign},
      {"", 7650, kDesign},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("reply '" + row.reply + "'");
    replyNav(row.reply);
    services.clearRequests();
    app->form12();
    EXPECT_EQ(layout(), row.layout);
    EXPECT_EQ(barWidth(), row.width);
    EXPECT_EQ(gui.window("Form12")->height(), 585);
    auto sent = services.requests(hosts::kProduct, kNavPath);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].method, "POST");
    EXPECT_EQ(sent[0].body, "");
    app->unload(FormId::Form12);
    gui.runPosted();
  }
}

TEST_F(NavigationBar, FailedLayoutQueryKeepsTheDesignLayout) {
  standin::Reply refused;
  refused.refuse = true;
  services.setReply(hosts::kProduct, kNavPath, refused);
  app->form12();
  EXPECT_EQ(layout(), kDesign);
  EXPECT_EQ(barWidth(), 7650);
  app->unload(FormId::Form12);
  gui.runPosted();

  // The status is not looked at: an error page that holds a row number still chooses it.
  standin::Reply error;
  error.status = 500;
  error.body = "0";
  services.setReply(hosts::kProduct, kNavPath, error);
  app->form12();
  EXPECT_EQ(barWidth(), 4600);
}

TEST_F(NavigationBar, ResizeReadsDlTxtIntoTheAccountTabAndTheFlag) {
  struct Case {
    const char* name;
    const char* content;  // nullptr: no file
    const char* picture;
    const char* flag;
  };
  for (const Case& c :
       {Case{"signed in", " 1 \r\n", "img\\dl1.jpg", "1"},
        Case{"bare digit", "1", "img\\dl1.jpg", "1"},
        Case{"signed out", " 0 \r\n", "img\\dl0.jpg", "0"}, Case{"two", "2", "img\\dl0.jpg", "0"},
        Case{"empty", "", "img\\dl0.jpg", "0"},
        Case{"garbage", "\xff\xfe junk", "img\\dl0.jpg", "0"},
        Case{"missing", nullptr, "img\\dl0.jpg", "0"}}) {
    SCOPED_TRACE(c.name);
    if (c.content)
      writeData("dl.txt", c.content);
    else
      std::filesystem::remove(path("paz/l/s/r/dl.txt"));
    app->m.gLoginFlag = "x";
    Form12& bar = app->form12();
    size_t m = gui.log.size();
    bar.window().show();  // the first show raises the resize
    EXPECT_EQ(pictureLoads(m), std::vector<std::string>{std::string("Form12.Image6 ") + c.picture});
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
  EXPECT_EQ(exit->toolTip(), "");
  minimise->moveMouse(10, 10);
  EXPECT_EQ(minimise->toolTip(), "最小化");
  EXPECT_EQ(exit->toolTip(), "");
  exit->moveMouse(10, 10);
  EXPECT_EQ(exit->toolTip(), "退出");
}

}  // namespace
}  // namespace kv::test
