// The base of every window class. A form owns its top-level window and controls; it is created
// and destroyed by the registry (App), which runs Form_Load after creating it and
// Form_QueryUnload before destroying it.
#pragma once

#include <memory>
#include <string>

#include "platform/gui.h"

namespace kv {

class App;

enum class FormId { Form1, Form2, Form3, Form4, Form5, Form6, Form7, Form8, Form9, Form10, Form12 };
const char* formName(FormId id);

class Form {
 public:
  Form(App& app, FormId id);
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  FormId id() const { return id_; }
  Window& window() { return *window_; }

  // Window operations, as the other windows use them.
  void Show() { window_->show(); }
  void Hide() { window_->hide(); }
  double Left() const { return window_->left(); }
  double Top() const { return window_->top(); }
  double Width() const { return window_->width(); }
  double Height() const { return window_->height(); }
  void SetLeft(double v) { window_->setLeft(v); }
  void SetTop(double v) { window_->setTop(v); }

  virtual void Form_Load() {}
  virtual void Form_QueryUnload() {}

  // The short path of this window's latest opening of an address in the default browser.
  std::string mShortPath;

 protected:
  // Creates a control of this window at its design place (twips), named for the tests.
  std::unique_ptr<Picture> picture(const std::string& name, double l, double t, double w, double h,
                                   const std::string& resource = {});
  std::unique_ptr<TextBox> textBox(const std::string& name, double l, double t, double w, double h);

  App& app_;

 private:
  FormId id_;
  std::unique_ptr<Window> window_;
};

}  // namespace kv
