// Text helpers and the regular-expression object.
#include <gtest/gtest.h>

#include "platform/services/regexp.h"
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

std::optional<std::string> first(const std::string& pattern, const std::string& text,
                                 bool ignoreCase = false, bool multiline = false) {
  kv::RegExp re;
  re.Pattern = pattern;
  re.IgnoreCase = ignoreCase;
  re.Multiline = multiline;
  re.Global = true;
  return re.FirstMatch(text);
}

// The dialect of the client's patterns beyond what the start-up and income tests show: ASCII \w,
// case kept unless asked, "." and ^ $ at LF only, the leftmost match first.
TEST(RegExp, Dialect) {
  const std::string address = "(http://|ftp://)([\\w\\.]+)";
  EXPECT_EQ(first(address, "HTTP://Shop.Example.com:8080/x"), std::nullopt);
  EXPECT_EQ(first(address, "http://ab\xE4\xB8\xAD.cn"), "http://ab");
  EXPECT_EQ(first("lsr=\\d+", "x lsr=12 lsr=34"), "lsr=12");
  EXPECT_EQ(first(".+(?=aaa)", "a\rbaaa"), "a\rb");
  EXPECT_EQ(first("a.b", "a\nb"), std::nullopt);
  EXPECT_EQ(first("^\\d+$", "x\n42\ny"), std::nullopt);
  EXPECT_EQ(first("^\\d+$", "x\n42\ny", false, true), "42");
  EXPECT_EQ(first("^\\d+$", "x\r\n42\r\ny", false, true), std::nullopt);  // CR is no line end
}

TEST(RegExp, BadPatternAndBinaryText) {
  kv::RegExp bad;
  bad.Pattern = "(unclosed";
  EXPECT_FALSE(bad.Test("(unclosed"));
  EXPECT_EQ(bad.FirstMatch("(unclosed"), std::nullopt);

  kv::RegExp re;
  re.Pattern = "b+";
  EXPECT_TRUE(re.Test(std::string("\xFF\0bb\xC3", 5)));
  EXPECT_EQ(re.FirstMatch(std::string("\xFF\0bb\xC3", 5)), "bb");
  EXPECT_FALSE(re.Test(""));
}

}  // namespace
