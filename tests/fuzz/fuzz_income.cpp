// The account window's income reply on any bytes, against the two expressions it is defined by:
// ".+(?=aaa)" and "aaa.+" (case-insensitive, "." stopping only at LF), then the removals.
#include <optional>

#include "account/income.h"
#include "platform/services/regexp.h"
#include "platform/services/text.h"
#include "tests/fuzz/fuzz_util.h"

namespace {

using kv::fuzz::hasAt;

// The parsing written with the two expressions. Their backtracking search takes time of the order
// of the square of a line's length, so it is the reference only where that stays small.
constexpr size_t kOracleBudget = size_t{1} << 18;

bool oracleIsCheap(const std::string& reply) {
  size_t cost = 0;
  for (size_t begin = 0; begin <= reply.size();) {
    size_t end = reply.find('\n', begin);
    if (end == std::string::npos) end = reply.size();
    cost += (end - begin) * (end - begin);
    if (cost > kOracleBudget) return false;
    begin = end + 1;
  }
  return true;
}

std::optional<kv::Income> incomeByExpressions(const std::string& reply) {
  kv::RegExp re;
  re.IgnoreCase = true;
  re.Multiline = true;
  re.Global = true;
  re.Pattern = ".+(?=aaa)";
  std::optional<std::string> thisMonth = re.FirstMatch(reply);
  re.Pattern = "aaa.+";
  std::optional<std::string> lastMonth = re.FirstMatch(reply);
  if (!thisMonth || !lastMonth) return std::nullopt;
  std::string last = kv::trimSpaces(*lastMonth);
  last = kv::trimSpaces(kv::replaceAll(last, "aaa", ""));
  return kv::Income{*thisMonth, kv::replaceAll(last, "bbb", "")};
}

}  // namespace

FUZZ_TARGET(reply) {
  const std::optional<kv::Income> income = kv::ParseIncome(reply);
  if (oracleIsCheap(reply)) {
    const std::optional<kv::Income> expected = incomeByExpressions(reply);
    FUZZ_CHECK(income.has_value() == expected.has_value());
    if (income) {
      FUZZ_CHECK(income->thisMonth == expected->thisMonth);
      FUZZ_CHECK(income->lastMonth == expected->lastMonth);
    }
  }
  if (!income) return;

  // This month's figure is a line's start up to an "aaa"; neither figure crosses a line.
  const std::string& figure = income->thisMonth;
  FUZZ_CHECK(!figure.empty() && figure.find('\n') == std::string::npos);
  FUZZ_CHECK(income->lastMonth.find('\n') == std::string::npos);
  bool found = false;
  for (size_t at = reply.find(figure); !found && at != std::string::npos;
       at = reply.find(figure, at + 1))
    found = (at == 0 || reply[at - 1] == '\n') && hasAt(reply, at + figure.size(), "aaa");
  FUZZ_CHECK(found);
}
