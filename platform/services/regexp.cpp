#include "platform/services/regexp.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <memory>

namespace kv {

namespace {

struct CodeDeleter {
  void operator()(pcre2_code* code) const { pcre2_code_free(code); }
};
struct ContextDeleter {
  void operator()(pcre2_compile_context* context) const { pcre2_compile_context_free(context); }
};
struct MatchDataDeleter {
  void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};

// Byte-wise matching (no UTF mode, so any bytes are a valid subject): \w and \d are ASCII, "."
// stops only at LF, and ^ and $ know only LF as a line end.
std::unique_ptr<pcre2_code, CodeDeleter> compile(const RegExp& re) {
  std::unique_ptr<pcre2_compile_context, ContextDeleter> context(
      pcre2_compile_context_create(nullptr));
  if (!context) return nullptr;
  pcre2_set_newline(context.get(), PCRE2_NEWLINE_LF);
  uint32_t options = 0;
  if (re.IgnoreCase) options |= PCRE2_CASELESS;
  if (re.Multiline) options |= PCRE2_MULTILINE;
  int error = 0;
  PCRE2_SIZE offset = 0;
  return std::unique_ptr<pcre2_code, CodeDeleter>(
      pcre2_compile(reinterpret_cast<PCRE2_SPTR>(re.Pattern.data()), re.Pattern.size(), options,
                    &error, &offset, context.get()));
}

// The first match as [start, end) in `text`; false when there is none or the pattern is bad.
bool firstMatch(const RegExp& re, const std::string& text, size_t& start, size_t& end) {
  auto code = compile(re);
  if (!code) return false;
  std::unique_ptr<pcre2_match_data, MatchDataDeleter> data(
      pcre2_match_data_create_from_pattern(code.get(), nullptr));
  if (!data) return false;
  int rc = pcre2_match(code.get(), reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0, 0,
                       data.get(), nullptr);
  // A negative code is no match or a matching limit reached: either way nothing is found.
  if (rc < 0) return false;
  PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data.get());
  start = ovector[0];
  end = ovector[1];
  if (end < start || end > text.size()) end = start;
  return true;
}

}  // namespace

// Global only matters when every match is collected; the windows use the first one alone.
bool RegExp::Test(const std::string& text) const {
  size_t start = 0, end = 0;
  return firstMatch(*this, text, start, end);
}

std::optional<std::string> RegExp::FirstMatch(const std::string& text) const {
  size_t start = 0, end = 0;
  if (!firstMatch(*this, text, start, end)) return std::nullopt;
  return text.substr(start, end - start);
}

}  // namespace kv
