#include "pages/search_pages.h"

#include "app/app.h"

namespace kv {

namespace {
void design(Window& w, const char* caption) {
  w.setCaption(caption);
  w.setClientSize(15030, 5475);
}
}  // namespace

Form4::Form4(App& app) : Form(app, FormId::Form4) { design(window(), "Kelvora搜淘宝"); }
void Form4::Form_Load() {}
Form5::Form5(App& app) : Form(app, FormId::Form5) { design(window(), "Kelvora搜天猫"); }
void Form5::Form_Load() {}
Form6::Form6(App& app) : Form(app, FormId::Form6) { design(window(), "Kelvora搜Kelvo"); }
void Form6::Form_Load() {}

}  // namespace kv
