// Window placement: the taskbar strip, the home-view layout and the centring of dialogs.
#include <cmath>
#include <limits>

#include "app/app.h"
#include "app/shared.h"
#include "platform/services/text.h"

namespace kv {

namespace {

constexpr double kGap = 420;         // between two start panels
constexpr double kFirstOffset = 30;  // extra offset of the first panel

// Writes gPanelsWidth from the panels' widths (read in the order Form2, Form3, Form1) as the text
// of a single-precision value.
void writePanelsWidth(App& app) {
  double w2 = app.form(FormId::Form2).Width();
  double w3 = app.form(FormId::Form3).Width();
  double w1 = app.form(FormId::Form1).Width();
  app.m.gPanelsWidth = singleToText(static_cast<float>(w1 + w2 + w3 + kGap + kGap));
}

// The row's left edge, worked out anew from the text just written.
double rowLeft(App& app) {
  double width = toNumber(app.m.gPanelsWidth).value_or(0);
  return app.gui.screen().widthTwips * 0.5 - width / 2;
}

double screenHeight(App& app) {
  return app.gui.screen().heightTwips;
}
double screenWidth(App& app) {
  return app.gui.screen().widthTwips;
}

// Positions are handed to the windows as single-precision twips.
double single(double v) {
  return static_cast<float>(v);
}

}  // namespace

short GetTaskbarHeight(App& app) {
  ScreenInfo s = app.gui.screen();
  double f = s.twipsPerPixelX;
  double h = s.heightTwips;
  double strip = (h / f - s.workAreaBottomPx) * f;
  double r = std::nearbyint(strip);  // a half goes to the even neighbour
  r = std::fmax(std::numeric_limits<short>::min(), std::fmin(std::numeric_limits<short>::max(), r));
  return static_cast<short>(r);
}

void LayoutHomeView(App& app) {
  writePanelsWidth(app);
  Form& f1 = app.form(FormId::Form1);
  double h1 = f1.Height();
  double h12 = app.form(FormId::Form12).Height();

  f1.SetLeft(single(rowLeft(app) + kFirstOffset));
  Form& f2 = app.form(FormId::Form2);
  f2.SetLeft(single(rowLeft(app) + f1.Width() + kGap));
  Form& f3 = app.form(FormId::Form3);
  f3.SetLeft(single(rowLeft(app) + f2.Width() + kGap + f3.Width() + kGap));
  Form& f12 = app.form(FormId::Form12);
  f12.SetLeft(single(screenWidth(app) * 0.5 - f12.Width() / 2));
  for (FormId id : {FormId::Form4, FormId::Form5, FormId::Form6})
    app.form(id).SetLeft(single(rowLeft(app)));

  for (FormId id :
       {FormId::Form1, FormId::Form2, FormId::Form3, FormId::Form4, FormId::Form5, FormId::Form6})
    app.form(id).SetTop(single(screenHeight(app) * 0.5 - h1 / 2 - GetTaskbarHeight(app)));
  f12.SetTop(single(screenHeight(app) * 0.5 - h1 / 2 - h12 - h12 - GetTaskbarHeight(app)));
}

void CenterDialog(App& app, Form& dialog) {
  writePanelsWidth(app);
  Form& f1 = app.form(FormId::Form1);
  double h1 = f1.Height();
  f1.SetLeft(single(rowLeft(app) + kFirstOffset));
  dialog.SetLeft(single(screenWidth(app) * 0.5 - dialog.Width() / 2));
  f1.SetTop(single(screenHeight(app) * 0.5 - h1 / 2 - GetTaskbarHeight(app)));
  dialog.SetTop(single(screenHeight(app) * 0.5 - h1 / 2 - GetTaskbarHeight(app)));
}

}  // namespace kv
