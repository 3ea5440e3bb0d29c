// The questions-and-answers window.
#pragma once

#include "app/form.h"

namespace kv {

class Form9 : public Form {
 public:
  explicit Form9(App& app);
};

}  // namespace kv
