#include "navigation/switching.h"

#include "app/app.h"
#include "navigation/nav_bar.h"
#include "navigation/start_panels.h"
#include "platform/services/datafiles.h"
#include "platform/services/text.h"

namespace kv {

namespace {

// A picture that cannot be read keeps the control's current picture; the switch goes on.
void load(Picture& control, const char* path) {
  control.loadFile(path);
}

void hideAll(App& app, std::initializer_list<FormId> ids) {
  for (FormId id : ids) app.form(id).Hide();
}

bool signedIn(const App& app) {
  return equalsNumber(app.m.gLoginFlag, 1);
}

}  // namespace

void ShowOnlyWindow(App& app, FormId target) {
  hideAll(app, {FormId::Form1, FormId::Form2, FormId::Form3, FormId::Form4, FormId::Form5,
                FormId::Form6, FormId::Form7, FormId::Form8, FormId::Form9, FormId::Form10});
  app.form(target).Show();
}

void ShowAccountOrSignIn(App& app) {
  hideAll(app, {FormId::Form1, FormId::Form2, FormId::Form3, FormId::Form4, FormId::Form5,
                FormId::Form6, FormId::Form9, FormId::Form10});
  auto item = files::readFirstItem(app.dataFile("dl.txt"));
  if (item && equalsNumber(*item, 1))
    app.form(FormId::Form7).Show();
  else
    app.form(FormId::Form8).Show();
}

void RepaintNavTabs(App& app, NavTab selected) {
  Form12& bar = app.form12();

  if (selected == NavTab::None) {
    load(*bar.Image1, "img\\nav_taobao2.jpg");
    load(*bar.Image2, "img\\nav_tianmao2.jpg");
    load(*bar.Image3, "img\\nav_kelvo2.jpg");
    load(*bar.Image6, signedIn(app) ? "img\\dl1.jpg" : "img\\dl0.jpg");
    load(*bar.Image7, "img\\faq.jpg");
    load(*bar.Image8, "img\\nav_fenxiang2.jpg");
    return;
  }

  load(*bar.Image1, "img\\nav_taobao2.jpg");
  load(*bar.Image2, "img\\nav_tianmao2.jpg");
  load(*bar.Image3, "img\\nav_kelvo2.jpg");
  load(*bar.Image6, "img\\dl0.jpg");
  load(*bar.Image8, "img\\nav_fenxiang2.jpg");
  bool in = signedIn(app);
  if (selected == NavTab::Image6)
    load(*bar.Image6, in ? "img\\dl12.jpg" : "img\\dl02.jpg");
  else
    load(*bar.Image6, in ? "img\\dl1.jpg" : "img\\dl0.jpg");
  load(*bar.Image7, selected == NavTab::Image7 ? "img\\faq2.jpg" : "img\\faq.jpg");
  switch (selected) {
    case NavTab::Image1:
      load(*bar.Image1, "img\\nav_taobao.jpg");
      break;
    case NavTab::Image2:
      load(*bar.Image2, "img\\nav_tianmao.jpg");
      break;
    case NavTab::Image3:
      load(*bar.Image3, "img\\nav_kelvo.jpg");
      break;
    case NavTab::Image8:
      load(*bar.Image8, "img\\nav_fenxiang.jpg");
      break;
    default:
      break;
  }
}

void MovePanelAside(App& app, Form& panel) {
  double width = app.gui.screen().widthTwips;
  // Window positions are single-precision twips.
  panel.SetLeft(width < 17000 ? static_cast<float>(width * 0.01) : 2790.0f);
}

void SwitchToTaobao(App& app) {
  ShowOnlyWindow(app, FormId::Form4);
  RepaintNavTabs(app, NavTab::Image1);
}

void SwitchToTmall(App& app) {
  ShowOnlyWindow(app, FormId::Form5);
  MovePanelAside(app, app.form2());
  RepaintNavTabs(app, NavTab::Image2);
}

void SwitchToOwnSite(App& app) {
  ShowOnlyWindow(app, FormId::Form6);
  MovePanelAside(app, app.form3());
  RepaintNavTabs(app, NavTab::Image3);
}

}  // namespace kv
