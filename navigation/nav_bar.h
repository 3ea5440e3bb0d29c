// The navigation bar: six tabs, the minimise and the exit button; its minimise to the
// notification area and the restore from there.
#pragma once

#include <memory>

#include "app/form.h"

namespace kv {

class Form12 : public Form {
 public:
  explicit Form12(App& app);

  void MinimizeToTray();
  void Form_Load() override;
  void Form_QueryUnload() override;
  void Form_Resize();
  void Form_MouseMove(float x, float y);
  void Image1_Click();
  void Image2_Click();
  void Image3_Click();
  void Image4_Click();
  void Image5_Click();
  void Image6_Click();
  void Image7_Click();
  void Image8_Click();
  void Image4_MouseMove();
  void Image5_MouseMove();

  // True while the bar stands minimised on the taskbar because no notification-area icon could
  // be added; restoring the bar from the taskbar then brings the home view back.
  bool minimisedWithoutTray() const { return minimisedWithoutTray_; }

  std::unique_ptr<Picture> Image1;  // Taobao tab
  std::unique_ptr<Picture> Image2;  // Tmall tab
  std::unique_ptr<Picture> Image3;  // own-site tab
  std::unique_ptr<Picture> Image4;  // minimise
  std::unique_ptr<Picture> Image5;  // exit
  std::unique_ptr<Picture> Image6;  // account tab
  std::unique_ptr<Picture> Image7;  // questions tab
  std::unique_ptr<Picture> Image8;  // share tab

 private:
  // The bar and the three start panels back on screen, no tab selected, the icon removed.
  void RestoreHomeView();

  bool minimisedWithoutTray_ = false;
};

}  // namespace kv
