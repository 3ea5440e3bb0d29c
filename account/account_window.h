// The account window: account name, income, member pages, sign-out.
#pragma once

#include "app/form.h"

namespace kv {

class Form7 : public Form {
 public:
  explicit Form7(App& app);
};

}  // namespace kv
