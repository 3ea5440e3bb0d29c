#include "navigation/nav_bar.h"

#include "app/app.h"
#include "app/shared.h"
#include "navigation/start_panels.h"
#include "navigation/switching.h"
#include "platform/services/datafiles.h"
#include "platform/services/post_form.h"
#include "platform/services/text.h"

namespace kv {

namespace {

// The tray record's icon handle and identifier: the bar's window icon.
constexpr unsigned kBarIconHandle = 1;
constexpr unsigned kTrayMessage = 0x200;  // the bar's mouse-move message
constexpr float kLeftDoubleClick = 515;   // the icon's left-button double-click code

std::string trayTip() {
  // 64 characters: the tip, the NUL that ends it, blanks.
  std::string tip = "Kelvo搜";
  tip += '\0';
  tip += std::string(64 - 7, ' ');
  return tip;
}

}  // namespace

Form12::Form12(App& app) : Form(app, FormId::Form12) {
  window().setCaption("Form12");
  window().setClientSize(7650, 585);
  window().setIcon("form12/icon");
  // Design places; each control is the size of its design picture.
  Image8 = picture("Image8", 4560, 0, 885, 585, "form12/image8");
  Image7 = picture("Image7", 5440, 0, 885, 585, "form12/image7");
  Image6 = picture("Image6", 3270, 0, 1290, 585, "form12/image6");
  Image5 = picture("Image5", 6980, 0, 690, 585, "form12/image5");
  Image4 = picture("Image4", 6330, 0, 660, 585, "form12/image4");
  Image3 = picture("Image3", 2160, 0, 1140, 585, "form12/image3");
  Image2 = picture("Image2", 1080, 0, 1140, 585, "form12/image2");
  Image1 = picture("Image1", 0, 0, 1155, 585, "form12/image1");
  Image1->onClick = [this] { Image1_Click(); };
  Image2->onClick = [this] { Image2_Click(); };
  Image3->onClick = [this] { Image3_Click(); };
  Image4->onClick = [this] { Image4_Click(); };
  Image5->onClick = [this] { Image5_Click(); };
  Image6->onClick = [this] { Image6_Click(); };
  Image7->onClick = [this] { Image7_Click(); };
  Image8->onClick = [this] { Image8_Click(); };
  Image4->onMouseMove = [this](float, float) { Image4_MouseMove(); };
  Image5->onMouseMove = [this](float, float) { Image5_MouseMove(); };
  window().onResize = [this] { Form_Resize(); };
  window().onMouseMove = [this](float x, float y) { Form_MouseMove(x, y); };
  // Closing the bar through the window manager is its exit button: with the bar gone nothing
  // would be left to bring the program back or end it.
  window().onCloseRequest = [this] { Image5_Click(); };
}

// Adds the notification-area icon and hides every window; the account window is unloaded so that
// its next use fetches the income anew. Without a notification area the bar stays on the taskbar,
// minimised, so that the client can always be brought back.
void Form12::MinimizeToTray() {
  TrayIconData& icon = app_.m.gTrayIcon;
  icon.hWnd = &window();
  icon.uID = kBarIconHandle;
  icon.uFlags = 7;  // message, icon and tip
  icon.uCallbackMessage = kTrayMessage;
  icon.hIcon = kBarIconHandle;
  icon.szTip = trayTip();
  icon.cbSize = 88;
  Tray& tray = app_.gui.tray();
  bool added = tray.isAvailable() && tray.add(icon);

  if (added) {
    window().hide();
  } else {
    // Set before the state change: the resize it raises must not minimise again.
    minimisedWithoutTray_ = true;
    window().setState(WindowState::Minimised);
  }
  for (FormId id :
       {FormId::Form1, FormId::Form2, FormId::Form3, FormId::Form4, FormId::Form5, FormId::Form6})
    app_.form(id).Hide();
  app_.unload(FormId::Form7);
  for (FormId id : {FormId::Form8, FormId::Form9, FormId::Form10}) app_.form(id).Hide();
}

// The layout the product service chooses: rows 0 to 3 leave out some of the account, share and
// questions tabs. Any other number, a reply that is no number and a failed request keep the
// design layout.
void Form12::Form_Load() {
  PostReply reply = PostForm(ProductUrl("/app.php/index/nav"), "");
  std::string row = reply.completed ? reply.text : std::string();
  double height = window().height();
  if (equalsNumber(row, 0)) {
    Image6->setVisible(false);
    Image7->setVisible(false);
    Image8->setVisible(false);
    Image4->setLeft(3270);
    Image5->setLeft(3920);
    window().setClientSize(4600, height);
  }
  if (equalsNumber(row, 1)) {
    Image6->setVisible(false);
    Image8->setLeft(3270);
    Image7->setLeft(4150);
    Image4->setLeft(5040);
    Image5->setLeft(5660);
    window().setClientSize(6340, height);
  }
  if (equalsNumber(row, 2)) {
    Image8->setVisible(false);
    Image6->setLeft(3300);
    Image7->setLeft(4590);
    Image4->setLeft(5470);
    Image5->setLeft(6130);
    window().setClientSize(6820, height);
  }
  if (equalsNumber(row, 3)) {
    Image7->setVisible(false);
    Image6->setLeft(3300);
    Image8->setLeft(4590);
    Image4->setLeft(5470);
    Image5->setLeft(6130);
    window().setClientSize(6820, height);
  }
}

// Keeps the account tab and gLoginFlag in step with dl.txt (missing, empty or no number: signed
// out), and sends a minimised bar to the notification area.
void Form12::Form_Resize() {
  auto item = files::readFirstItem(app_.dataFile("dl.txt"));
  if (item && equalsNumber(*item, 1)) {
    Image6->loadFile("img\\dl1.jpg");
    app_.m.gLoginFlag = "1";
  } else {
    Image6->loadFile("img\\dl0.jpg");
    app_.m.gLoginFlag = "0";
  }
  bool minimised = window().state() == WindowState::Minimised;
  if (minimisedWithoutTray_) {
    // Restored from the taskbar: the same as the icon's double-click.
    if (!minimised) RestoreHomeView();
    return;
  }
  if (minimised) MinimizeToTray();
}

// The icon's notifications arrive as mouse moves with x = event code * twips per pixel.
void Form12::Form_MouseMove(float x, float) {
  float code = x / app_.gui.screen().twipsPerPixelX;
  if (code != kLeftDoubleClick) return;
  RestoreHomeView();
}

void Form12::RestoreHomeView() {
  minimisedWithoutTray_ = false;
  window().restore();
  app_.form1().Show();
  app_.form2().Show();
  app_.form3().Show();
  RepaintNavTabs(app_, NavTab::None);
  LayoutHomeView(app_);
  app_.gui.tray().remove(app_.m.gTrayIcon);
  window().setFocus();
}

void Form12::Form_QueryUnload() {
  app_.gui.tray().remove(app_.m.gTrayIcon);
}

void Form12::Image1_Click() {
  SwitchToTaobao(app_);
}
void Form12::Image2_Click() {
  SwitchToTmall(app_);
}
void Form12::Image3_Click() {
  SwitchToOwnSite(app_);
}

void Form12::Image8_Click() {
  RepaintNavTabs(app_, NavTab::Image8);
  ShowOnlyWindow(app_, FormId::Form10);
}

void Form12::Image7_Click() {
  RepaintNavTabs(app_, NavTab::Image7);
  ShowOnlyWindow(app_, FormId::Form9);
}

void Form12::Image6_Click() {
  RepaintNavTabs(app_, NavTab::Image6);
  ShowAccountOrSignIn(app_);
}

void Form12::Image4_Click() {
  MinimizeToTray();
}

void Form12::Image5_Click() {
  for (FormId id :
       {FormId::Form1, FormId::Form2, FormId::Form3, FormId::Form4, FormId::Form5, FormId::Form6})
    app_.form(id).Hide();
  app_.gui.endProcess(0);
}

void Form12::Image4_MouseMove() {
  Image4->setToolTip("最小化");
}
void Form12::Image5_MouseMove() {
  Image5->setToolTip("退出");
}

}  // namespace kv
