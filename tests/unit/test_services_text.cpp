// Numbers read from replies and files, and the income reply on long replies (the rest: fuzzing).
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>

#include "account/income.h"
#include "platform/services/text.h"

namespace {

TEST(Text, NumbersReadWithBlanksAndNothingElse) {
  const std::pair<const char*, double> numbers[] = {
      {"2", 2},     {" 1 ", 1},       {"-1", -1},       {"+3", 3}, {"\t0\t", 0},
      {"3\r\n", 3}, {"0.5", 0.5},     {".5", 0.5},      {"1.", 1}, {"1e3", 1000},
      {"007", 7},   {"15075", 15075}, {"2.5E-1", 0.25},
  };
  for (const auto& [text, value] : numbers) EXPECT_EQ(kv::toNumber(text), value) << text;
  for (const char* text : {"", " ", "abc", "1x", "x1", "1 2", "1,0", ".", "-", "+-1", "1e", "1e+",
                           "0x10", "inf", "nan"})
    EXPECT_EQ(kv::toNumber(text), std::nullopt) << '"' << text << '"';
  EXPECT_EQ(kv::toNumber(std::string("1\0", 2)), std::nullopt);
  EXPECT_TRUE(kv::equalsNumber("1.0", 1));
  EXPECT_FALSE(kv::equalsNumber("", 0));
  EXPECT_FALSE(kv::equalsNumber("0abc", 0));
}

// This month's figure runs from a line's start to its last marker with at least one character
// before it: the marker right after the first character, one at the line's end, one at its start
// (no figure: the next line is read), the last of several, markers in any case, none across lines.
TEST(IncomeParse, MarkersAtTheEdgesOfALine) {
  const std::pair<std::string, std::string> cases[] = {
      {"1aaa2", "1|2"},       {"aaaa5", "a|a5"},  {"12aaa\nxaaa5", "12|5"},
      {"aaa5\n7aaa8", "7|5"}, {"\n1aaa2", "1|2"}, {"1AaA2aaa3", "1AaA2|AaA23"},
      {"1aa\na2aaa", "none"}, {"1aa2aa", "none"}, {"aaa", "none"},
      {"", "none"},
  };
  for (const auto& [reply, figures] : cases) {
    std::optional<kv::Income> income = kv::ParseIncome(reply);
    EXPECT_EQ(income ? income->thisMonth + "|" + income->lastMonth : "none", figures) << reply;
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
