#include "account/sharing_window.h"

#include <string>

#include "app/app.h"
#include "app/shared.h"
#include "platform/services/datafiles.h"

namespace kv {

Form10::Form10(App& app) : Form(app, FormId::Form10) {
  window().setCaption("Kelvora-分享");
  window().setClientSize(10320, 5460);
  // The background draws the title bar and the white panel behind the browser.
  Background = picture("Background", 0, 0, 10320, 5460, "form10/background");
  WebBrowser1 = window().createBrowser("WebBrowser1");
  WebBrowser1->setGeometry(480, 1320, 9375, 2535);
  WebBrowser3 = window().createBrowser("WebBrowser3");
  WebBrowser3->setGeometry(0, 0, 0, 0);
  WebBrowser3->setVisible(false);
  Image1 = picture("Image1", 7440, 3960, 2340, 555, "form10/image1");
  Image2 = picture("Image2", 9750, 200, 435, 420, "form10/image2");
  Image1->setHandCursor(true);
  Image2->setHandCursor(true);

  Image1->onClick = [this] { Image1_Click(); };
  Image2->onClick = [this] { Image2_Click(); };
  WebBrowser1->onNewWindow = [this](Browser*& receiver, bool& cancel) {
    WebBrowser1_NewWindow2(receiver, cancel);
  };
  // The receiver never loads anything: each address it is given goes to the default browser.
  WebBrowser3->onBeforeNavigate = [this](const std::string& url, bool& cancel) {
    OpenUrlShortcut(app_, *this, url);
    cancel = true;
  };
}

void Form10::Form_Load() {
  WebBrowser1->setSilent(true);
  CenterDialog(app_, *this);
  WebBrowser1->navigate(PlatformUrl("/APP.PHP/index/fenxiang_app"));
}

void Form10::Image1_Click() {
  const std::string account = files::readFirstItem(app_.dataFile("user.txt")).value_or("");
  OpenUrlShortcut(app_, *this, PlatformUrl("/app.php/index/fenxiang/user/") + account);
}

void Form10::Image2_Click() {
  Hide();
}

// A new window of the sharing page opens in the default browser, as on the search pages.
void Form10::WebBrowser1_NewWindow2(Browser*& receiver, bool& /*cancel*/) {
  receiver = WebBrowser3.get();
}

}  // namespace kv
