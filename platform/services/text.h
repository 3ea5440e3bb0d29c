// Text helpers shared by the windows.
#pragma once

#include <optional>
#include <string>

namespace kv {

// A text compared with a number is converted first: optional blanks around an optional sign and
// a decimal number (digits with an optional fraction and exponent). Anything else, the empty text
// included, is no number.
std::optional<double> toNumber(const std::string& text);
// True when `text` is a number equal to `value`.
bool equalsNumber(const std::string& text, double value);
// Every occurrence of `from` replaced by `to` (case-sensitive).
std::string replaceAll(std::string text, const std::string& from, const std::string& to);
// Spaces (only U+0020) removed at both ends.
std::string trimSpaces(const std::string& text);
// A single-precision value written as decimal text of at most seven significant digits, as a
// number is turned into text: 15075 -> "15075", 4878.6 -> "4878.6".
std::string singleToText(float value);

}  // namespace kv
