// The questions-and-answers window: a column of five picture tabs and, beside it, the page of the
// selected tab. The selection lives only in the controls: the selected tab shows its selected
// picture and its page is the one page shown.
#pragma once

#include <memory>

#include "app/form.h"

namespace kv {

class Form9 : public Form {
 public:
  explicit Form9(App& app);

  void Form_Load() override;
  void Image1_Click();
  void Image2_Click();
  void Image3_Click();
  void Image4_Click();
  void Image5_Click();
  void Image10_Click();

  std::unique_ptr<Picture> Background;  // the window's background, behind everything else
  std::unique_ptr<Picture> Image1;      // tab 1
  std::unique_ptr<Picture> Image2;      // tab 2
  std::unique_ptr<Picture> Image3;      // tab 3
  std::unique_ptr<Picture> Image4;      // tab 4
  std::unique_ptr<Picture> Image5;      // tab 5
  std::unique_ptr<Picture> Image6;      // page of tab 1
  std::unique_ptr<Picture> Image11;     // page of tab 2
  std::unique_ptr<Picture> Image7;      // page of tab 3
  std::unique_ptr<Picture> Image8;      // page of tab 4
  std::unique_ptr<Picture> Image9;      // page of tab 5
  std::unique_ptr<Picture> Image10;     // close button

 private:
  // Selects tab `index` (0 to 4) and shows its page.
  void SelectTab(int index);
};

}  // namespace kv
