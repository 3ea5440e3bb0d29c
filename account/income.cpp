#include "account/income.h"

#include "platform/services/regexp.h"
#include "platform/services/text.h"

namespace kv {

namespace {

bool isMarkerAt(const std::string& text, size_t pos) {
  for (size_t i = pos; i < pos + 3; ++i)
    if (text[i] != 'a' && text[i] != 'A') return false;
  return true;
}

// The first match of ".+(?=aaa)" (any case, "." stopping only at LF), found by one pass over the
// text. A backtracking engine would try every start of a long line that has no such "aaa", so a
// large reply took minutes; the first match always starts at a line start, which needs one look
// at each line: from its start up to its last "aaa" with a character before it.
std::optional<std::string> textBeforeLastMarker(const std::string& text) {
  size_t begin = 0;
  for (;;) {
    size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    for (size_t i = end; i >= begin + 4; --i)
      if (isMarkerAt(text, i - 3)) return text.substr(begin, i - 3 - begin);
    if (end == text.size()) return std::nullopt;
    begin = end + 1;
  }
}

}  // namespace

std::optional<Income> ParseIncome(const std::string& reply) {
  std::optional<std::string> thisMonth = textBeforeLastMarker(reply);

  RegExp re;
  re.IgnoreCase = true;
  re.Multiline = true;
  re.Global = true;
  re.Pattern = "aaa.+";
  std::optional<std::string> lastMonth = re.FirstMatch(reply);
  if (!thisMonth || !lastMonth) return std::nullopt;

  // The markers are removed as written (lower case); blanks go around the first removal.
  std::string last = trimSpaces(*lastMonth);
  last = trimSpaces(replaceAll(last, "aaa", ""));
  return Income{std::move(*thisMonth), replaceAll(last, "bbb", "")};
}

}  // namespace kv
