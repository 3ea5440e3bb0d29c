#include "app/app.h"

#include "account/account_window.h"
#include "account/sharing_window.h"
#include "account/signin_window.h"
#include "faq/faq_window.h"
#include "navigation/nav_bar.h"
#include "navigation/start_panels.h"
#include "pages/search_pages.h"
#include "platform/services/datafiles.h"

namespace kv {

namespace {
size_t slot(FormId id) {
  return static_cast<size_t>(id);
}
}  // namespace

App::App(Gui& g, Os& o) : gui(g), os(o) {}

App::~App() {
  *alive_ = false;
  for (auto& f : forms_) f.reset();
  unloaded_.clear();
}

void App::start() {
  form1();
}

std::unique_ptr<Form> App::create(FormId id) {
  switch (id) {
    case FormId::Form1:
      return std::make_unique<Form1>(*this);
    case FormId::Form2:
      return std::make_unique<Form2>(*this);
    case FormId::Form3:
      return std::make_unique<Form3>(*this);
    case FormId::Form4:
      return std::make_unique<Form4>(*this);
    case FormId::Form5:
      return std::make_unique<Form5>(*this);
    case FormId::Form6:
      return std::make_unique<Form6>(*this);
    case FormId::Form7:
      return std::make_unique<Form7>(*this);
    case FormId::Form8:
      return std::make_unique<Form8>(*this);
    case FormId::Form9:
      return std::make_unique<Form9>(*this);
    case FormId::Form10:
      return std::make_unique<Form10>(*this);
    case FormId::Form12:
      return std::make_unique<Form12>(*this);
  }
  return nullptr;
}

Form& App::form(FormId id) {
  auto& s = forms_[slot(id)];
  if (!s) {
    // Registered before its load runs: a load handler that touches its own window finds it
    // loaded, as the window is during its load.
    s = create(id);
    Form* f = s.get();
    f->Form_Load();
    return *f;
  }
  return *s;
}

Form1& App::form1() {
  return static_cast<Form1&>(form(FormId::Form1));
}
Form2& App::form2() {
  return static_cast<Form2&>(form(FormId::Form2));
}
Form3& App::form3() {
  return static_cast<Form3&>(form(FormId::Form3));
}
Form4& App::form4() {
  return static_cast<Form4&>(form(FormId::Form4));
}
Form5& App::form5() {
  return static_cast<Form5&>(form(FormId::Form5));
}
Form6& App::form6() {
  return static_cast<Form6&>(form(FormId::Form6));
}
Form7& App::form7() {
  return static_cast<Form7&>(form(FormId::Form7));
}
Form8& App::form8() {
  return static_cast<Form8&>(form(FormId::Form8));
}
Form9& App::form9() {
  return static_cast<Form9&>(form(FormId::Form9));
}
Form10& App::form10() {
  return static_cast<Form10&>(form(FormId::Form10));
}
Form12& App::form12() {
  return static_cast<Form12&>(form(FormId::Form12));
}

bool App::isLoaded(FormId id) const {
  return forms_[slot(id)] != nullptr;
}

void App::unload(FormId id) {
  auto& s = forms_[slot(id)];
  if (!s) return;
  s->Form_QueryUnload();
  if (!s) return;  // the handler unloaded it already
  s->Hide();
  unloaded_.push_back(std::move(s));
  std::weak_ptr<bool> alive = alive_;
  gui.post([this, alive] {
    if (auto a = alive.lock(); a && *a) unloaded_.clear();
  });
}

std::string App::dataFile(const std::string& name) const {
  return files::dataFile(os.programFolder(), name);
}

std::string App::tempFolder() const {
  return os.programFolder() + "/temp";
}

}  // namespace kv
