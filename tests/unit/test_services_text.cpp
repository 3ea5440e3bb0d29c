// Text helpers and the regular-expression object.
#include <gtest/gtest.h>

#include "platform/services/regexp.h"
#include "platform/services/text.h"

namespace {

TEST(TextToNumber, AcceptsDecimalNumbersWithBlanks) {
  EXPECT_EQ(kv::toNumber("2"), 2.0);
  EXPECT_EQ(kv::toNumber(" 1 "), 1.0);
  EXPECT_EQ(kv::toNumber("-1"), -1.0);
  EXPECT_EQ(kv::toNumber("+3"), 3.0);
  EXPECT_EQ(kv::toNumber("\t0\t"), 0.0);
  EXPECT_EQ(kv::toNumber("3\r\n"), 3.0);  // a reply code ending in a line break
  EXPECT_EQ(kv::toNumber("0.5"), 0.5);
  EXPECT_EQ(kv::toNumber(".5"), 0.5);
  EXPECT_EQ(kv::toNumber("1."), 1.0);
  EXPECT_EQ(kv::toNumber("1e3"), 1000.0);
  EXPECT_EQ(kv::toNumber("2.5E-1"), 0.25);
  EXPECT_EQ(kv::toNumber("007"), 7.0);
  EXPECT_EQ(kv::toNumber("15075"), 15075.0);
}

TEST(TextToNumber, RejectsEverythingElse) {
  for (const char* text : {"", " ", "abc", "1x", "x1", "1 2", "1,0", ".", "-", "+-1", "1e", "1e+",
                           "0x10", "inf", "nan"})
    EXPECT_EQ(kv::toNumber(text), std::nullopt) << '"' << text << '"';
  EXPECT_EQ(kv::toNumber(std::string("1\0", 2)), std::nullopt);
}

TEST(TextToNumber, EqualsNumber) {
  EXPECT_TRUE(kv::equalsNumber(" 1 ", 1));
  EXPECT_TRUE(kv::equalsNumber("1.0", 1));
  EXPECT_FALSE(kv::equalsNumber("2", 1));
  EXPECT_FALSE(kv::equalsNumber("", 0));
  EXPECT_FALSE(kv::equalsNumber("0abc", 0));
}

TEST(TextHelpers, ReplaceAndTrim) {
  EXPECT_EQ(kv::replaceAll("a.b.c", ".", "::"), "a::b::c");
  EXPECT_EQ(kv::replaceAll("aaa", "a", "aa"), "aaaaaa");
  EXPECT_EQ(kv::replaceAll("Abc", "a", "x"), "Abc");
  EXPECT_EQ(kv::replaceAll("abc", "", "x"), "abc");
  EXPECT_EQ(kv::trimSpaces("  a b  "), "a b");
  EXPECT_EQ(kv::trimSpaces("\ta\t"), "\ta\t");
  EXPECT_EQ(kv::trimSpaces("   "), "");
}

TEST(TextHelpers, SingleToText) {
  EXPECT_EQ(kv::singleToText(15075.0f), "15075");
  EXPECT_EQ(kv::singleToText(4878.6f), "4878.6");
  EXPECT_EQ(kv::singleToText(7537.5f), "7537.5");
  EXPECT_EQ(kv::singleToText(0.0f), "0");
  EXPECT_EQ(kv::singleToText(-0.0f), "0");
  EXPECT_EQ(kv::singleToText(-420.0f), "-420");
  EXPECT_EQ(kv::singleToText(0.25f), "0.25");
  EXPECT_EQ(kv::singleToText(1.0f / 3.0f), "0.3333333");
  EXPECT_EQ(kv::singleToText(12345678.0f), "12345680");  // seven digits, no exponent
  EXPECT_EQ(kv::singleToText(1234567.8f), "1234568");
  // The text reads back as the same single value.
  for (float v : {4878.6f, 1.1f, 9999.99f, 123.456f})
    EXPECT_EQ(static_cast<float>(*kv::toNumber(kv::singleToText(v))), v);
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

TEST(RegExp, AddressAndReferralPatterns) {
  const std::string address = "(http://|ftp://)([\\w\\.]+)";
  EXPECT_EQ(first(address, "HTTP://Shop.Example.com:8080/x", true), "HTTP://Shop.Example.com");
  EXPECT_EQ(first(address, "HTTP://Shop.Example.com:8080/x"), std::nullopt);
  EXPECT_EQ(first(address, "go to http://my-shop.example.com/"), "http://my");
  EXPECT_EQ(first(address, "ftp://files.example,lsr=1"), "ftp://files.example");
  // \w is ASCII only; other bytes end the host.
  EXPECT_EQ(first(address, "http://ab\xE4\xB8\xAD.cn"), "http://ab");
  EXPECT_EQ(first("lsr=\\d+", "x lsr=12 lsr=34"), "lsr=12");
  EXPECT_EQ(first("lsr=\\d+", "lsr=x"), std::nullopt);
}

TEST(RegExp, IncomeMarkers) {
  EXPECT_EQ(first(".+(?=aaa)", "1aaa2aaa3"), "1aaa2");
  EXPECT_EQ(first("aaa.+", "1aaa2aaa3"), "aaa2aaa3");
  EXPECT_EQ(first(".+(?=aaa)", "x\n5aaa6bbb"), "5");
  EXPECT_EQ(first(".+(?=aaa)", "12AAA34", true), "12");
  EXPECT_EQ(first(".+(?=aaa)", "12AAA34"), std::nullopt);
  // "." matches a CR but never an LF.
  EXPECT_EQ(first(".+(?=aaa)", "a\rbaaa"), "a\rb");
  EXPECT_EQ(first("a.b", "a\nb"), std::nullopt);
}

TEST(RegExp, MultilineAnchors) {
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

  kv::RegExp empty;  // the empty pattern matches the empty text at the start
  EXPECT_EQ(empty.FirstMatch("abc"), "");
}

}  // namespace
