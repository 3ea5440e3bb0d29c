// The three search-page windows: an embedded browser on the member site's search page, with new
// windows handed to the default browser.
#pragma once

#include <memory>

#include "app/form.h"

namespace kv {

class Form4 : public Form {
 public:
  explicit Form4(App& app);
  void Form_Load() override;
};

class Form5 : public Form {
 public:
  explicit Form5(App& app);
  void Form_Load() override;
};

class Form6 : public Form {
 public:
  explicit Form6(App& app);
  void Form_Load() override;
};

}  // namespace kv
