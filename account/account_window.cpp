#include "account/account_window.h"

#include <optional>
#include <string>

#include "account/income.h"
#include "account/signin_window.h"
#include "app/app.h"
#include "app/shared.h"
#include "navigation/nav_bar.h"
#include "platform/services/datafiles.h"
#include "platform/services/post_form.h"
#include "platform/services/regexp.h"

namespace kv {

namespace {
const char* const kQueryFailed = "服务器连接失败，请稍后再试。";
const char* const kSignOutFailed = "无法保存注销状态，请检查程序文件夹是否可写。";
}  // namespace

Form7::Form7(App& app) : Form(app, FormId::Form7) {
  window().setCaption("Kelvora-账户信息");
  window().setClientSize(5685, 2865);
  // The background carries the title, the avatar and the row labels; it lies behind the rest.
  Background = picture("Background", 0, 0, 5685, 2865, "form7/background");
  Text1 = textBox("Text1", 3000, 960, 1575, 270);
  Text2 = textBox("Text2", 3240, 1360, 1815, 255);
  Text3 = textBox("Text3", 3240, 1750, 1860, 240);
  Image8 = picture("Image8", 5040, 930, 315, 345, "form7/hint");
  Image1 = picture("Image1", 5040, 1305, 315, 345, "form7/hint");
  Image7 = picture("Image7", 5040, 1650, 315, 345, "form7/hint");
  Image6 = picture("Image6", 4440, 150, 615, 285, "form7/image6");
  Image2 = picture("Image2", 5160, 120, 360, 345, "form7/image2");
  Image3 = picture("Image3", 1920, 2160, 990, 375, "form7/image3");
  Image4 = picture("Image4", 3020, 2160, 990, 375, "form7/image4");
  Image5 = picture("Image5", 4130, 2160, 1320, 375, "form7/image5");
  for (Picture* p : {Image6.get(), Image2.get(), Image3.get(), Image4.get(), Image5.get()})
    p->setHandCursor(true);

  Image1->onMouseMove = [this](float, float) { Image1_MouseMove(); };
  Image7->onMouseMove = [this](float, float) { Image7_MouseMove(); };
  Image8->onMouseMove = [this](float, float) { Image8_MouseMove(); };
  Image2->onClick = [this] { Image2_Click(); };
  Image3->onClick = [this] { Image3_Click(); };
  Image4->onClick = [this] { Image4_Click(); };
  Image5->onClick = [this] { Image5_Click(); };
  Image6->onClick = [this] { Image6_Click(); };
}

void Form7::Form_Load() {
  CenterDialog(app_, *this);
  Text1->setText("");
  Text2->setText("");
  Text1->setEnabled(false);
  Text2->setEnabled(false);
  Text3->setEnabled(false);

  if (!queryIncome()) {
    app_.gui.messageBox(kQueryFailed);
    Hide();
  }

  Text1->setText(files::readFirstItem(app_.dataFile("user.txt")).value_or(""));
}

// Asks the platform for the member's income and fills the two income boxes. False, with both
// boxes left empty, when there is no member number, the query fails or the reply lacks a figure.
bool Form7::queryIncome() {
  RegExp re;
  re.IgnoreCase = true;
  re.Multiline = true;
  re.Global = true;

  re.Pattern = "\\d+";
  const std::optional<std::string> member = re.FirstMatch(app_.m.gLsr);
  if (!member) return false;

  const PostReply reply = PostForm(PlatformUrl("/app.php/index/lirun"), "id=" + *member);
  if (!reply.completed || reply.status != 200) return false;

  const std::optional<Income> income = ParseIncome(reply.text);
  if (!income) return false;
  Text2->setText(income->thisMonth + "元");
  Text3->setText(income->lastMonth);
  return true;
}

void Form7::Image1_MouseMove() {
  Image1->setToolTip("本月收入将在下个月22-23号结算。");
}

void Form7::Image7_MouseMove() {
  Image7->setToolTip(
      "上月收入将在本月22-23号结算，结算后将自动打款到您设置的结算账户里，无需提现操作。");
}

void Form7::Image8_MouseMove() {
  Image8->setToolTip("返现收入是隔天更新的哦！今天购买宝贝所得到的返现收入将在明天不定时更新。");
}

void Form7::Image2_Click() {
  Hide();
}

void Form7::openMemberPage(const char* suffix) {
  OpenUrlShortcut(app_, *this,
                  PlatformUrl("/index.php/index/app/") + "user/" + Text1->text() + suffix);
}

void Form7::Image3_Click() {
  openMemberPage("/tz/bbuser");
}
void Form7::Image4_Click() {
  openMemberPage("/tz/txuser");
}
void Form7::Image5_Click() {
  openMemberPage("/tz/zhuser");
}

void Form7::Image6_Click() {
  // A sign-out that cannot be stored would come back signed in at the next account click or
  // start, so nothing changes then.
  if (!files::writeNumber(app_.dataFile("dl.txt"), 0)) {
    app_.gui.messageBox(kSignOutFailed);
    return;
  }
  App& app = app_;
  app.m.gLoginFlag = "0";
  app.unload(FormId::Form7);
  // This window is unloaded now: nothing below touches it.
  app.form8().Show();
  app.form12().Image6->loadFile("img\\dl0.jpg");
}

}  // namespace kv
