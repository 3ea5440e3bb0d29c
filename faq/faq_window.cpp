#include "faq/faq_window.h"

#include <array>

#include "app/app.h"
#include "app/shared.h"

namespace kv {

namespace {

using Member = std::unique_ptr<Picture> Form9::*;

struct Tab {
  Member control;
  const char* unselected;
  const char* selected;
  Member page;
};

// The tab pictures are read from img at every assignment, so a file replaced on disk shows at the
// next click. A picture that cannot be read leaves the control as it was.
constexpr std::array<Tab, 5> kTabs{{
    {&Form9::Image1, "img\\faq_1.jpg", "img\\faq_12.jpg", &Form9::Image6},
    {&Form9::Image2, "img\\faq_12x.jpg", "img\\faq_122.jpg", &Form9::Image11},
    {&Form9::Image3, "img\\faq_6.jpg", "img\\faq_062.jpg", &Form9::Image7},
    {&Form9::Image4, "img\\faq_08.jpg", "img\\faq_082.jpg", &Form9::Image8},
    {&Form9::Image5, "img\\faq_10.jpg", "img\\faq_102.jpg", &Form9::Image9},
}};

// The pages are hidden in the order of their control names, not in tab order.
constexpr std::array<Member, 5> kPages{&Form9::Image6, &Form9::Image7, &Form9::Image8,
                                       &Form9::Image9, &Form9::Image11};

}  // namespace

Form9::Form9(App& app) : Form(app, FormId::Form9) {
  window().setCaption("Kelvora-问题");
  window().setClientSize(10320, 5475);
  // Created first so that it lies behind every other control.
  Background = picture("Background", 0, 0, 10320, 5475, "form9/background");
  Image1 = picture("Image1", 360, 1200, 1890, 510, "form9/image1");
  Image2 = picture("Image2", 360, 1950, 1890, 510, "form9/image2");
  Image3 = picture("Image3", 360, 2690, 1890, 510, "form9/image3");
  Image4 = picture("Image4", 360, 3410, 1890, 510, "form9/image4");
  Image5 = picture("Image5", 360, 4130, 1890, 510, "form9/image5");
  Image6 = picture("Image6", 2520, 1200, 7170, 3585, "form9/image6");
  Image11 = picture("Image11", 2400, 1200, 7500, 3585, "form9/image11");
  Image7 = picture("Image7", 2520, 1200, 7320, 3585, "form9/image7");
  Image8 = picture("Image8", 2520, 1200, 7320, 3585, "form9/image8");
  Image9 = picture("Image9", 2520, 1200, 7320, 3585, "form9/image9");
  Image10 = picture("Image10", 9750, 190, 435, 420, "form9/image10");

  for (auto* tab :
       {Image1.get(), Image2.get(), Image3.get(), Image4.get(), Image5.get(), Image10.get()})
    tab->setHandCursor(true);
  Image1->onClick = [this] { Image1_Click(); };
  Image2->onClick = [this] { Image2_Click(); };
  Image3->onClick = [this] { Image3_Click(); };
  Image4->onClick = [this] { Image4_Click(); };
  Image5->onClick = [this] { Image5_Click(); };
  Image10->onClick = [this] { Image10_Click(); };
}

void Form9::Form_Load() {
  CenterDialog(app_, *this);
  // Every page but tab 1's is hidden; tabs 2 to 5 keep their stored pictures until a click.
  for (Member page : kPages)
    if (page != kTabs[0].page) (this->*page)->setVisible(false);
  (this->*kTabs[0].control)->loadFile(kTabs[0].selected);
}

void Form9::SelectTab(int index) {
  for (const Tab& tab : kTabs) (this->*tab.control)->loadFile(tab.unselected);
  const Tab& chosen = kTabs[index];
  (this->*chosen.control)->loadFile(chosen.selected);
  for (Member page : kPages) (this->*page)->setVisible(false);
  (this->*chosen.page)->setVisible(true);
}

void Form9::Image1_Click() {
  SelectTab(0);
}
void Form9::Image2_Click() {
  SelectTab(1);
}
void Form9::Image3_Click() {
  SelectTab(2);
}
void Form9::Image4_Click() {
  SelectTab(3);
}
void Form9::Image5_Click() {
  SelectTab(4);
}

void Form9::Image10_Click() {
  Hide();
}

}  // namespace kv
