#include "navigation/start_panels.h"

#include "app/app.h"
#include "app/startup.h"
#include "navigation/switching.h"

namespace kv {

StartPanel::StartPanel(App& app, FormId id, const char* caption, double width, const char* resource,
                       double ovLeft, double ovTop, double ovWidth, double ovHeight)
    : Form(app, id) {
  window().setCaption(caption);
  window().setClientSize(width, 5475);
  std::string base = std::string(resource);
  Image1 = picture("Image1", 0, 0, width, id == FormId::Form2 ? 5480 : 5475, base + "/image1");
  Image1->setHandCursor(true);
  Image1->onClick = [this] { Image1_Click(); };
  Image1->onMouseMove = [this](float, float) { Image1_MouseMove(); };
  Image2 = picture("Image2", ovLeft, ovTop, ovWidth, ovHeight, base + "/image2");
  Image2->setVisible(false);
  Image2->onClick = [this] { Image2_Click(); };
}

// The hover overlay: the other panels' overlays go, in panel order, and this panel's shows. It
// stays when the pointer leaves, until another panel is hovered.
void StartPanel::Image1_MouseMove() {
  for (FormId other : {FormId::Form1, FormId::Form2, FormId::Form3}) {
    if (other != id()) static_cast<StartPanel&>(app_.form(other)).Image2->setVisible(false);
  }
  Image2->setVisible(true);
}

Form1::Form1(App& app)
    : StartPanel(app, FormId::Form1, "Kelvora搜淘宝", 4740, "form1", 2040, 1080, 615, 615) {}
void Form1::Form_Load() {
  RunStartupRoad(app_);
}
void Form1::Image1_Click() {
  SwitchToTaobao(app_);
}

Form2::Form2(App& app)
    : StartPanel(app, FormId::Form2, "Kelvora搜天猫", 4740, "form2", 960, 960, 1380, 480) {}
void Form2::Image1_Click() {
  SwitchToTmall(app_);
}

Form3::Form3(App& app)
    : StartPanel(app, FormId::Form3, "Kelvora搜Kelvo", 4755, "form3", 1320, 840, 915, 660) {}
void Form3::Image1_Click() {
  SwitchToOwnSite(app_);
}

}  // namespace kv
