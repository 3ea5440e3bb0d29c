#include "navigation/nav_bar.h"

#include "app/app.h"

namespace kv {

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
  window().onResize = [this] { Form_Resize(); };
  window().onMouseMove = [this](float x, float y) { Form_MouseMove(x, y); };
}

void Form12::MinimizeToTray() {}
void Form12::Form_Load() {}
void Form12::Form_QueryUnload() {}
void Form12::Form_Resize() {}
void Form12::Form_MouseMove(float, float) {}
void Form12::Image1_Click() {}
void Form12::Image2_Click() {}
void Form12::Image3_Click() {}
void Form12::Image4_Click() {}
void Form12::Image5_Click() {}
void Form12::Image6_Click() {}
void Form12::Image7_Click() {}
void Form12::Image8_Click() {}
void Form12::Image4_MouseMove() {}
void Form12::Image5_MouseMove() {}

}  // namespace kv
