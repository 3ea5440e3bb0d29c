// The sign-in window: account and password, the lock-out countdown after a refusal, and the
// reload of the client's windows after a successful sign-in.
#pragma once

#include <memory>

#include "app/form.h"

namespace kv {

class Form8 : public Form {
 public:
  explicit Form8(App& app);

  void Form_Load() override;
  void Image1_Click();  // registration page
  void Image2_Click();  // forgotten-password page
  void Image3_Click();  // sign in
  void Image3_MouseMove() {}
  void Image4_Click();  // close
  void Timer1_Timer();

  std::unique_ptr<Picture> Background;
  std::unique_ptr<TextBox> Text1;  // account
  std::unique_ptr<TextBox> Text2;  // password, masked
  std::unique_ptr<TextBox> Text3;  // status line
  std::unique_ptr<Picture> Image1;
  std::unique_ptr<Picture> Image2;
  std::unique_ptr<Picture> Image3;
  std::unique_ptr<Picture> Image4;
  std::unique_ptr<Timer> Timer1;

 private:
  bool storeSignIn(const std::string& reply);
  void reloadWindows();
};

}  // namespace kv
