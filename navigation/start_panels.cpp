#include "navigation/start_panels.h"

#include "app/app.h"
#include "app/startup.h"

namespace kv {

StartPanel::StartPanel(App& app, FormId id, const char* caption, double width,
                       const char* resource, double ovLeft, double ovTop, double ovWidth,
                       double ovHeight)
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

void StartPanel::Image1_MouseMove() {}

Form1::Form1(App& app)
    : StartPanel(app, FormId::Form1, "Kelvora搜淘宝", 4740, "form1", 2040, 1080, 615, 615) {}
void Form1::Form_Load() { RunStartupRoad(app_); }
void Form1::Image1_Click() {}

Form2::Form2(App& app)
    : StartPanel(app, FormId::Form2, "Kelvora搜天猫", 4740, "form2", 960, 960, 1380, 480) {}
void Form2::Image1_Click() {}

Form3::Form3(App& app)
    : StartPanel(app, FormId::Form3, "Kelvora搜Kelvo", 4755, "form3", 1320, 840, 915, 660) {}
void Form3::Image1_Click() {}

}  // namespace kv
