// The account window: account name, this and last month's income, member pages, sign-out.
#pragma once

#include <memory>

#include "app/form.h"

namespace kv {

class Form7 : public Form {
 public:
  explicit Form7(App& app);

  void Form_Load() override;
  void Image1_MouseMove();
  void Image7_MouseMove();
  void Image8_MouseMove();
  void Image2_Click();  // close
  void Image3_Click();  // income details
  void Image4_Click();  // settlement details
  void Image5_Click();  // settlement account
  void Image6_Click();  // sign out

  std::unique_ptr<Picture> Background;
  std::unique_ptr<TextBox> Text1;  // account
  std::unique_ptr<TextBox> Text2;  // this month's income
  std::unique_ptr<TextBox> Text3;  // last month's income
  std::unique_ptr<Picture> Image8;
  std::unique_ptr<Picture> Image1;
  std::unique_ptr<Picture> Image7;
  std::unique_ptr<Picture> Image6;
  std::unique_ptr<Picture> Image2;
  std::unique_ptr<Picture> Image3;
  std::unique_ptr<Picture> Image4;
  std::unique_ptr<Picture> Image5;

 private:
  bool queryIncome();
  void openMemberPage(const char* suffix);
};

}  // namespace kv
