#include "app/form.h"

#include "app/app.h"

namespace kv {

const char* formName(FormId id) {
  switch (id) {
    case FormId::Form1:
      return "Form1";
    case FormId::Form2:
      return "Form2";
    case FormId::Form3:
      return "Form3";
    case FormId::Form4:
      return "Form4";
    case FormId::Form5:
      return "Form5";
    case FormId::Form6:
      return "Form6";
    case FormId::Form7:
      return "Form7";
    case FormId::Form8:
      return "Form8";
    case FormId::Form9:
      return "Form9";
    case FormId::Form10:
      return "Form10";
    case FormId::Form12:
      return "Form12";
  }
  return "Form";
}

// Every window is frameless; only the bar has an entry on the taskbar, the other windows are
// reached through it.
Form::Form(App& app, FormId id) : app_(app), id_(id), window_(app.gui.createWindow(formName(id))) {
  window_->setFrameless(true);
  window_->setShowInTaskbar(id == FormId::Form12);
}

Form::~Form() = default;

std::unique_ptr<Picture> Form::picture(const std::string& name, double l, double t, double w,
                                       double h, const std::string& resource) {
  auto p = window_->createPicture(name);
  p->setGeometry(l, t, w, h);
  if (!resource.empty()) p->loadResource(resource);
  return p;
}

std::unique_ptr<TextBox> Form::textBox(const std::string& name, double l, double t, double w,
                                       double h) {
  auto b = window_->createTextBox(name);
  b->setGeometry(l, t, w, h);
  return b;
}

}  // namespace kv
