#include "account/signin_window.h"

#include <cmath>
#include <string>

#include "account/account_window.h"
#include "app/app.h"
#include "app/shared.h"
#include "navigation/nav_bar.h"
#include "navigation/start_panels.h"
#include "pages/search_pages.h"
#include "platform/services/datafiles.h"
#include "platform/services/post_form.h"
#include "platform/services/text.h"

namespace kv {

namespace {
const char* const kSignInPath = "/app.php/index/index";
const char* const kSiteNotReady =
    "网站未生成完毕，请到Tessaro网页版-会员中心-生成网站，并且等待网站生成完毕后登录才能获得返现！";
const char* const kSaveFailed = "无法保存登录信息，请检查程序文件夹是否可写。";
}  // namespace

Form8::Form8(App& app) : Form(app, FormId::Form8) {
  window().setCaption("Kelvora-登录");
  window().setClientSize(5670, 2880);
  // The background carries the labels and frames; created first, it lies behind the controls.
  Background = picture("Background", 0, 0, 5670, 2880, "form8/background");
  Text1 = textBox("Text1", 1150, 1250, 3135, 270);
  Text2 = textBox("Text2", 1150, 1730, 3135, 255);
  Text2->setPasswordMask(true);
  Text3 = textBox("Text3", 1200, 2280, 2655, 255);
  Image1 = picture("Image1", 4530, 1200, 870, 300, "form8/image1");
  Image2 = picture("Image2", 4560, 1680, 795, 315, "form8/image2");
  Image3 = picture("Image3", 4540, 2160, 960, 405, "form8/image3");
  Image4 = picture("Image4", 5160, 120, 360, 345, "form8/image4");
  for (Picture* p : {Image1.get(), Image2.get(), Image3.get(), Image4.get()})
    p->setHandCursor(true);
  Timer1 = window().createTimer("Timer1");

  Image1->onClick = [this] { Image1_Click(); };
  Image2->onClick = [this] { Image2_Click(); };
  Image3->onClick = [this] { Image3_Click(); };
  Image3->onMouseMove = [this](float, float) { Image3_MouseMove(); };
  Image4->onClick = [this] { Image4_Click(); };
  Timer1->onTick = [this] { Timer1_Timer(); };
}

void Form8::Form_Load() {
  CenterDialog(app_, *this);
  app_.m.gLoginWaitSeconds = "10";
  Text1->setText("");
  Text2->setText("");
  Text3->setEnabled(false);
}

void Form8::Image3_Click() {
  if (Text1->text().empty()) {
    app_.gui.messageBox("请输入帐号!");
    return;
  }
  if (Text2->text().empty()) {
    app_.gui.messageBox("请输入密码!");
    return;
  }
  // The password is escaped in the box itself, so a second click sends the same text.
  Text2->setText(replaceAll(Text2->text(), "+", "%2B"));
  Text2->setText(replaceAll(Text2->text(), "&", "%26"));

  // The countdown runs from every click that gets this far, whatever the reply.
  Timer1->setEnabled(true);
  Timer1->setInterval(1000);

  const PostReply reply =
      PostForm(PlatformUrl(kSignInPath), "lsrname=" + Text1->text() + "&lsrpw=" + Text2->text());
  if (!reply.completed || reply.status != 200) {
    app_.gui.messageBox("连接服务器失败！");
    return;
  }

  if (equalsNumber(reply.text, 0)) {
    app_.gui.messageBox("会员不存在或者帐号密码错误！");
    Image3->setEnabled(false);
    Text3->setText(app_.m.gLoginWaitSeconds + "秒后重新可重新配置...");
    // The countdown may have ended while the message was open; only a running countdown gives
    // the button back, so start it again.
    if (!Timer1->isEnabled()) Timer1->setEnabled(true);
    return;
  }
  if (equalsNumber(reply.text, 1)) {
    app_.gui.messageBox(kSiteNotReady);
    return;
  }

  if (!storeSignIn(reply.text)) {
    app_.gui.messageBox(kSaveFailed);
    return;
  }
  reloadWindows();
}

// Writes the sign-in files and marks the client signed in. Stops at the first file that cannot
// be written: the client then stays signed out.
bool Form8::storeSignIn(const std::string& reply) {
  const std::string appUrlFile = app_.dataFile("app_url.txt");
  const std::optional<std::string> previousSiteText = files::readAll(appUrlFile);
  // A sign-in that cannot be stored whole leaves the client signed out with its stored site
  // text as it was.
  auto undo = [&] {
    if (previousSiteText) files::writeBytes(appUrlFile, *previousSiteText);
  };
  if (!files::writeText(appUrlFile, reply)) return false;
  if (!files::writeNumber(app_.dataFile("dl.txt"), 1)) {
    undo();
    return false;
  }
  const std::string previousFlag = app_.m.gLoginFlag;
  app_.m.gLoginFlag = "1";
  if (!files::writeText(app_.dataFile("user.txt"), Text1->text())) {
    app_.m.gLoginFlag = previousFlag;
    files::writeNumber(app_.dataFile("dl.txt"), 0);
    undo();
    return false;
  }
  return true;
}

// Unloads the bar, the panels, the search pages and the account window and loads them again, so
// that the start-up road runs on the new site text. This window stays loaded (hidden, still
// counting); the unloaded objects are freed only after this handler returns.
void Form8::reloadWindows() {
  App& app = app_;
  Hide();
  app.form7();
  app.unload(FormId::Form12);
  for (FormId id : {FormId::Form1, FormId::Form2, FormId::Form3, FormId::Form4, FormId::Form5,
                    FormId::Form6, FormId::Form7})
    app.unload(id);
  app.unload(FormId::Form12);
  app.form1();
  app.form2();
  app.form3();
  app.form4();
  app.form5();
  app.form6();
  app.form5().Hide();
  app.form6().Hide();
  app.form7().Hide();
  LayoutHomeView(app);
}

void Form8::Timer1_Timer() {
  const double count = toNumber(app_.m.gLoginWaitSeconds).value_or(0);
  app_.m.gLoginWaitSeconds = std::to_string(std::lround(count) - 1);
  if (app_.m.gLoginWaitSeconds == "-1") {
    Timer1->setEnabled(false);
    Image3->setEnabled(true);
    Text3->setText("");
    app_.m.gLoginWaitSeconds = "5";
  } else {
    Text3->setText(app_.m.gLoginWaitSeconds + "秒后重新可重新登录...");
  }
}

void Form8::Image1_Click() {
  OpenUrlShortcut(app_, *this, PlatformUrl("/index.php/index/lsrzc?lsr="));
}

void Form8::Image2_Click() {
  OpenUrlShortcut(app_, *this, PlatformUrl("/index.php/index/lsrpw"));
}

void Form8::Image4_Click() {
  Hide();
}

}  // namespace kv
