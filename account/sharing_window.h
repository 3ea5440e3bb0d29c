// The sharing window.
#pragma once

#include "app/form.h"

namespace kv {

class Form10 : public Form {
 public:
  explicit Form10(App& app);
};

}  // namespace kv
