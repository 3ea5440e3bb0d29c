// The sign-in window.
#pragma once

#include "app/form.h"

namespace kv {

class Form8 : public Form {
 public:
  explicit Form8(App& app);
};

}  // namespace kv
