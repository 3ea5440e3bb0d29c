// The income reply parser at its edges: which line each figure comes from, a CR as text, and
// long replies.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>

#include "account/income.h"

namespace {

struct Case {
  std::string reply;
  std::optional<std::string> thisMonth;  // nullopt: no income
  std::string lastMonth;
};

TEST(IncomeParse, FiguresComeFromTheFirstLineThatHasThem) {
  const Case cases[] = {
      {"aaa\nx\n5AaA6", "5", "AaA6"},  // a marker at a line start has nothing before it
      {"aaaa", "a", "a"},              // overlapping markers: the last one ends the first figure
      {"\raaa1", "\r", "1"},           // a CR is text
      {"1aaa\n2", std::nullopt, ""},   // a marker at a line end has nothing after it
      {"\r\naaa1", std::nullopt, ""},
      {"", std::nullopt, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply);
    const std::optional<kv::Income> income = kv::ParseIncome(c.reply);
    ASSERT_EQ(income.has_value(), c.thisMonth.has_value());
    if (!income) continue;
    EXPECT_EQ(income->thisMonth, *c.thisMonth);
    EXPECT_EQ(income->lastMonth, c.lastMonth);
  }
}

// Long lines without a marker, and markers by the million, take linear time (they took minutes).
TEST(IncomeParse, LongRepliesAreReadInLinearTime) {
  const auto start = std::chrono::steady_clock::now();
  std::string reply;
  while (reply.size() < 1'000'000) reply += "aab";
  std::optional<kv::Income> income = kv::ParseIncome(reply + "\n12.50aaa3.40bbb");
  ASSERT_TRUE(income.has_value());
  EXPECT_EQ(income->thisMonth + " " + income->lastMonth, "12.50 3.40");
  income = kv::ParseIncome("12" + std::string(4 << 20, 'a') + "\n");
  ASSERT_TRUE(income);
  EXPECT_EQ(income->lastMonth.size(), 1u);  // 4 Mi "a": the "aaa" removed, one "a" left
  income = kv::ParseIncome("5aaa" + std::string(3 << 20, 'b') + "7");
  ASSERT_TRUE(income);
  EXPECT_EQ(income->lastMonth, "7");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

}  // namespace
