#include "platform/services/text.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace kv {

namespace {

// Blanks and line breaks around a number: a reply code often ends in a line break.
bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

std::optional<double> toNumber(const std::string& text) {
  size_t pos = 0;
  const size_t n = text.size();
  while (pos < n && isBlank(text[pos])) ++pos;
  bool negative = false;
  if (pos < n && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
    while (pos < n && isBlank(text[pos])) ++pos;
  }
  // The number itself: digits, an optional fraction, an optional exponent. Checked here so that
  // the conversion below accepts exactly this form (no hexadecimal, no "inf" or "nan").
  const size_t start = pos;
  size_t digits = 0;
  while (pos < n && isDigit(text[pos])) ++pos, ++digits;
  if (pos < n && text[pos] == '.') {
    ++pos;
    while (pos < n && isDigit(text[pos])) ++pos, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (pos < n && (text[pos] == 'e' || text[pos] == 'E')) {
    size_t e = pos + 1;
    if (e < n && (text[e] == '+' || text[e] == '-')) ++e;
    if (e >= n || !isDigit(text[e])) return std::nullopt;
    while (e < n && isDigit(text[e])) ++e;
    pos = e;
  }
  const size_t end = pos;
  while (pos < n && isBlank(text[pos])) ++pos;
  if (pos != n) return std::nullopt;

  // from_chars does not depend on the locale's decimal point.
  double value = 0;
  auto result = std::from_chars(text.data() + start, text.data() + end, value);
  if (result.ec == std::errc::result_out_of_range) {
    // Too large gives infinity, too small zero, as a conversion to double would.
    value = std::strtod(text.substr(start, end - start).c_str(), nullptr);
  } else if (result.ec != std::errc() || result.ptr != text.data() + end) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

bool equalsNumber(const std::string& text, double value) {
  auto number = toNumber(text);
  return number && *number == value;
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
  if (from.empty()) return text;
  // Built anew in one pass: replacing in place moves the rest of the text at each occurrence,
  // which takes quadratic time on a long text full of them.
  std::string out;
  size_t pos = 0;
  for (size_t hit; (hit = text.find(from, pos)) != std::string::npos; pos = hit + from.size()) {
    out.append(text, pos, hit - pos);
    out += to;
  }
  if (pos == 0) return text;
  out.append(text, pos, std::string::npos);
  return out;
}

std::string trimSpaces(const std::string& text) {
  size_t begin = text.find_first_not_of(' ');
  if (begin == std::string::npos) return {};
  size_t end = text.find_last_not_of(' ');
  return text.substr(begin, end - begin + 1);
}

std::string singleToText(float value) {
  if (value == 0) return "0";  // negative zero included
  if (!std::isfinite(value)) return std::isnan(value) ? "NaN" : (value < 0 ? "-Inf" : "Inf");

  // Seven significant digits in scientific form, "d.dddddde+XX", independent of the locale.
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                              std::chars_format::scientific, 6);
  std::string sci(buffer, result.ptr);
  bool negative = sci[0] == '-';
  if (negative) sci.erase(0, 1);
  size_t ePos = sci.find('e');
  int exponent = std::atoi(sci.c_str() + ePos + 1);
  std::string digits = sci.substr(0, 1) + sci.substr(2, ePos - 2);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string out;
  if (exponent >= 15 || exponent < -15) {
    // Far outside the values the windows use: keep the scientific form.
    out = digits.substr(0, 1);
    if (digits.size() > 1) out += "." + digits.substr(1);
    out += (exponent < 0 ? "E-" : "E+") + std::to_string(std::abs(exponent));
  } else if (exponent < 0) {
    out = "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
  } else {
    size_t intDigits = static_cast<size_t>(exponent) + 1;
    if (digits.size() <= intDigits) {
      out = digits + std::string(intDigits - digits.size(), '0');
    } else {
      out = digits.substr(0, intDigits) + "." + digits.substr(intDigits);
    }
  }
  return negative ? "-" + out : out;
}

}  // namespace kv
