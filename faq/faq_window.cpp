#include "faq/faq_window.h"

#include "app/app.h"

namespace kv {

Form9::Form9(App& app) : Form(app, FormId::Form9) {
  window().setCaption("Kelvora-问题");
  window().setClientSize(10320, 5475);
}

}  // namespace kv
