// The income reply of the cash-back platform: this month's figure before "aaa", last month's after
// it, with the markers removed.
#pragma once

#include <optional>
#include <string>

namespace kv {

struct Income {
  std::string thisMonth;  // the line up to its last "aaa", unchanged
  std::string lastMonth;  // the line from its first "aaa" on, lower-case "aaa" and "bbb" removed
};

// The two figures of `reply`, each from the first line (lines end at LF) that has "aaa" in any case
// with text before it, or after it; nullopt when either is missing.
std::optional<Income> ParseIncome(const std::string& reply);

}  // namespace kv
