// The three start panels of the home view: Taobao (Form1, also the start-up window), Tmall
// (Form2) and the own site (Form3).
#pragma once

#include <memory>

#include "app/form.h"

namespace kv {

class StartPanel : public Form {
 public:
  StartPanel(App& app, FormId id, const char* caption, double width, const char* resource,
             double ovLeft, double ovTop, double ovWidth, double ovHeight);

  virtual void Image1_Click() = 0;
  void Image1_MouseMove();
  void Image2_Click() { Image1_Click(); }

  std::unique_ptr<Picture> Image1;  // the panel
  std::unique_ptr<Picture> Image2;  // the hover overlay
};

class Form1 : public StartPanel {
 public:
  explicit Form1(App& app);
  void Form_Load() override;  // the start-up road
  void Form_Resize() {}
  void Image1_Click() override;
};

class Form2 : public StartPanel {
 public:
  explicit Form2(App& app);
  void Image1_Click() override;
};

class Form3 : public StartPanel {
 public:
  explicit Form3(App& app);
  void Image1_Click() override;
};

}  // namespace kv
