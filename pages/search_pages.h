// The three search-page windows: an embedded browser on the member site's search page, with new
// windows handed to the default browser.
#pragma once

#include <memory>
#include <string>

#include "app/form.h"

namespace kv {

// What the three windows share: the pictures, the page browser and the small receiver of new
// windows, the load and the hand-over of new windows to the default browser.
class SearchPage : public Form {
 public:
  void Form_Load() override;
  // The page asks for a new window: WebBrowser3 receives it.
  void WebBrowser1_NewWindow2(Browser*& ppDisp, bool& Cancel);
  // Every navigation WebBrowser3 begins is opened in the default browser.
  virtual void WebBrowser3_BeforeNavigate2(const std::string& URL, bool& Cancel);

  std::unique_ptr<Picture> Image4, Image1, Image2, Image3;
  std::unique_ptr<Browser> WebBrowser1, WebBrowser3;

  // How the windows differ.
  struct Design {
    const char* caption;
    const char* resources;  // "form4": pictures "form4/image1" ...
    const char* path;       // after gSiteUrl, before gLsr
    bool narrowScreenMove;  // the load moves the window on a screen narrower than 17000 twips
    double receiverLeft, receiverTop, receiverWidth, receiverHeight;
    double image2Left, image2Top;
  };

 protected:
  SearchPage(App& app, FormId id, const Design& design);

 private:
  const Design& design_;
};

// Taobao and Tmall: the page's own context menu is suppressed once its first download completed.
class DomHookedSearchPage : public SearchPage {
 public:
  void WebBrowser1_DownloadComplete();
  bool M_Dom_oncontextmenu();

 protected:
  DomHookedSearchPage(App& app, FormId id, const Design& design);

 private:
  std::shared_ptr<Document> M_Dom;
};

class Form4 : public DomHookedSearchPage {
 public:
  explicit Form4(App& app);
};

class Form5 : public DomHookedSearchPage {
 public:
  explicit Form5(App& app);
};

// The own site: new windows go to the default browser only.
class Form6 : public SearchPage {
 public:
  explicit Form6(App& app);
  void WebBrowser3_BeforeNavigate2(const std::string& URL, bool& Cancel) override;
};

}  // namespace kv
