// Numbers read from replies and files. (The regular expressions are the fuzz targets' matter: the
// site text's and the income reply's, each against a reference.)
#include <gtest/gtest.h>

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

}  // namespace
