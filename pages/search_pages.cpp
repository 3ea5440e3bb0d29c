#include "pages/search_pages.h"

#include "app/app.h"
#include "app/shared.h"

namespace kv {

namespace {

// The three windows differ only in these points.
const SearchPage::Design kForm4 = {.caption = "Kelvora搜淘宝",
                                   .resources = "form4",
                                   .path = "/APP.PHP/index/ss_taobao?",
                                   .narrowScreenMove = false,
                                   .receiverLeft = 14400,
                                   .receiverTop = 3240,
                                   .receiverWidth = 375,
                                   .receiverHeight = 135,
                                   .image2Left = 4560,
                                   .image2Top = 5360};
const SearchPage::Design kForm5 = {.caption = "Kelvora搜天猫",
                                   .resources = "form5",
                                   .path = "/APP.PHP/index/ss_tianmao?",
                                   .narrowScreenMove = true,
                                   .receiverLeft = 14400,
                                   .receiverTop = 2880,
                                   .receiverWidth = 375,
                                   .receiverHeight = 135,
                                   .image2Left = 4560,
                                   .image2Top = 5360};
const SearchPage::Design kForm6 = {.caption = "Kelvora搜Kelvo",
                                   .resources = "form6",
                                   .path = "/APP.PHP/index/ss_kelvora?",
                                   .narrowScreenMove = true,
                                   .receiverLeft = 14520,
                                   .receiverTop = 3000,
                                   .receiverWidth = 255,
                                   .receiverHeight = 255,
                                   .image2Left = 4500,
                                   .image2Top = 5355};

// Windows narrower than this are moved by the load of the Tmall and own-site pages.
constexpr double kNarrowScreenTwips = 17000;

}  // namespace

SearchPage::SearchPage(App& app, FormId id, const Design& d) : Form(app, id), design_(d) {
  Window& w = window();
  w.setCaption(d.caption);
  w.setClientSize(15030, 5475);
  const std::string res = d.resources;
  Image4 = picture("Image4", 0, 0, 4740, 5475, res + "/image4");
  Image1 = picture("Image1", 4560, 0, 10410, 165, res + "/image1");
  Image2 = picture("Image2", d.image2Left, d.image2Top, 10410, 165, res + "/image2");
  Image3 = picture("Image3", 14880, 0, 165, 5520, res + "/image3");
  WebBrowser1 = w.createBrowser("WebBrowser1");
  WebBrowser1->setGeometry(4750, 180, 9495, 5160);
  WebBrowser3 = w.createBrowser("WebBrowser3");
  WebBrowser3->setGeometry(d.receiverLeft, d.receiverTop, d.receiverWidth, d.receiverHeight);

  WebBrowser1->onNewWindow = [this](Browser*& ppDisp, bool& Cancel) {
    WebBrowser1_NewWindow2(ppDisp, Cancel);
  };
  WebBrowser3->onBeforeNavigate = [this](const std::string& URL, bool& Cancel) {
    WebBrowser3_BeforeNavigate2(URL, Cancel);
  };
}

void SearchPage::Form_Load() {
  WebBrowser1->setSilent(true);
  if (design_.narrowScreenMove) {
    const double screenWidth = app_.gui.screen().widthTwips;
    if (screenWidth < kNarrowScreenTwips) SetLeft(screenWidth * 0.01 + 4725);
  }
  WebBrowser1->navigate(app_.m.gSiteUrl + design_.path + app_.m.gLsr);
}

void SearchPage::WebBrowser1_NewWindow2(Browser*& ppDisp, bool&) {
  ppDisp = WebBrowser3.get();
}

void SearchPage::WebBrowser3_BeforeNavigate2(const std::string& URL, bool&) {
  OpenUrlShortcut(app_, *this, URL);
}

DomHookedSearchPage::DomHookedSearchPage(App& app, FormId id, const Design& d)
    : SearchPage(app, id, d) {
  WebBrowser1->onDownloadComplete = [this] { WebBrowser1_DownloadComplete(); };
}

void DomHookedSearchPage::WebBrowser1_DownloadComplete() {
  M_Dom = WebBrowser1->document();
  if (M_Dom) M_Dom->onContextMenu = [this] { return M_Dom_oncontextmenu(); };
}

bool DomHookedSearchPage::M_Dom_oncontextmenu() {
  return false;
}

Form4::Form4(App& app) : DomHookedSearchPage(app, FormId::Form4, kForm4) {}

Form5::Form5(App& app) : DomHookedSearchPage(app, FormId::Form5, kForm5) {}

Form6::Form6(App& app) : SearchPage(app, FormId::Form6, kForm6) {}

void Form6::WebBrowser3_BeforeNavigate2(const std::string& URL, bool& Cancel) {
  SearchPage::WebBrowser3_BeforeNavigate2(URL, Cancel);
  Cancel = true;
}

}  // namespace kv
