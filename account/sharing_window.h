// The sharing window: the platform's sharing page and the member's own sharing page.
#pragma once

#include <memory>

#include "app/form.h"

namespace kv {

class Form10 : public Form {
 public:
  explicit Form10(App& app);

  void Form_Load() override;
  void Image1_Click();  // share
  void Image2_Click();  // close
  void WebBrowser1_NewWindow2(Browser*& receiver, bool& cancel);

  std::unique_ptr<Picture> Background;
  std::unique_ptr<Browser> WebBrowser1;
  // Hidden receiver of the sharing page's new windows: it hands each address to the default
  // browser instead of loading it.
  std::unique_ptr<Browser> WebBrowser3;
  std::unique_ptr<Picture> Image1;
  std::unique_ptr<Picture> Image2;
};

}  // namespace kv
