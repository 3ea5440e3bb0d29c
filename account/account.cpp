#include "account/account_window.h"
#include "account/sharing_window.h"
#include "account/signin_window.h"
#include "app/app.h"

namespace kv {

Form7::Form7(App& app) : Form(app, FormId::Form7) {
  window().setCaption("Kelvora-账户信息");
  window().setClientSize(5685, 2865);
}
Form8::Form8(App& app) : Form(app, FormId::Form8) {
  window().setCaption("Kelvora-登录");
  window().setClientSize(5670, 2880);
}
Form10::Form10(App& app) : Form(app, FormId::Form10) {
  window().setCaption("Kelvora-分享");
  window().setClientSize(10320, 5460);
}

}  // namespace kv
