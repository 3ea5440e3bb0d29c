// The search-page windows: the address each page loads and the narrow-screen move.
#include "app/app.h"
#include "pages/search_pages.h"
#include "tests/fake/app_fixture.h"

namespace kv::test {
namespace {

struct PageCase {
  FormId id;
  const char* name;
  bool moves;  // narrow-screen move at load
};

const PageCase kPages[] = {
    {FormId::Form4, "Form4", false},
    {FormId::Form5, "Form5", true},
    {FormId::Form6, "Form6", true},
};

const char kSite[] = "http://www.member.example";

class SearchPagesTest : public AppFixture, public ::testing::WithParamInterface<PageCase> {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    app->m.gSiteUrl = kSite;
    app->m.gLsr = "lsr=4711";
  }
  SearchPage& load() {
    SearchPage* page = nullptr;
    EXPECT_TRUE(run([&] { page = &static_cast<SearchPage&>(app->form(GetParam().id)); }));
    return *page;
  }
  fake::FakeBrowser* browser(const char* control) { return gui.browser(GetParam().name, control); }
};

// The page of the current site with the referral as its query (which page is the end-to-end
// tests' matter); a reload, as after a sign-in, reads both anew.
TEST_P(SearchPagesTest, LoadsTheSearchPageOfTheCurrentSiteAndReferral) {
  const PageCase& c = GetParam();
  load();
  auto* page = browser("WebBrowser1");
  ASSERT_EQ(page->navigations.size(), 1u);
  const std::string first = page->navigations[0];
  EXPECT_TRUE(first.starts_with(std::string(kSite) + "/") && first.ends_with("?lsr=4711")) << first;
  EXPECT_TRUE(page->isSilent());
  EXPECT_FALSE(browser("WebBrowser3")->isSilent());
  EXPECT_TRUE(browser("WebBrowser3")->navigations.empty());
  app->unload(c.id);
  gui.runPosted();
  app->m.gSiteUrl = "http://other.example";
  app->m.gLsr.clear();
  load();
  const std::string pathAndMark = first.substr(sizeof kSite - 1, first.size() - sizeof kSite - 7);
  EXPECT_EQ(browser("WebBrowser1")->navigations, Names{"http://other.example" + pathAndMark});
}

TEST_P(SearchPagesTest, NarrowScreenMovesTmallAndOwnSiteOnly) {
  const PageCase& c = GetParam();
  struct Width {
    double twips;
    double left;  // of the pages that move
  };
  for (Width w : {Width{15360, 4878.6}, Width{16999, 4894.99}, Width{17000, 0}, Width{28800, 0}}) {
    SCOPED_TRACE(w.twips);
    gui.screenInfo.widthTwips = w.twips;
    SearchPage& form = load();
    EXPECT_DOUBLE_EQ(form.Left(), c.moves ? w.left : 0);
    app->unload(c.id);
    gui.runPosted();
  }
}

INSTANTIATE_TEST_SUITE_P(Pages, SearchPagesTest, ::testing::ValuesIn(kPages),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kv::test
