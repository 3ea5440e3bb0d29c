// The regular-expression object the windows use: case-insensitive when asked, "." stops only at
// LF (a CR is matched), ASCII \w and \d, look-ahead; only the first match of a text is used.
#pragma once

#include <optional>
#include <string>

namespace kv {

class RegExp {
 public:
  bool IgnoreCase = false;
  bool Multiline = false;
  bool Global = false;
  std::string Pattern;

  // True when `text` holds a match of Pattern.
  bool Test(const std::string& text) const;
  // The text of the first (leftmost) match, nullopt when there is none or the pattern is bad.
  std::optional<std::string> FirstMatch(const std::string& text) const;
};

}  // namespace kv
