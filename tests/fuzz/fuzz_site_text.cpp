// The start-up road's matching on any site text: the site address "(http://|ftp://)([\w\.]+)" and
// the referral "lsr=\d+", case-insensitive, first match only, on the text as fetched and as read
// back from app_url.txt (its first item); then the account window's member number "\d+".
#include <optional>

#include "platform/services/datafiles.h"
#include "platform/services/regexp.h"
#include "tests/fuzz/fuzz_util.h"

namespace {

using kv::fuzz::hasAt;

bool isWordOrDot(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '.';
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// The leftmost of `prefixes` followed by at least one character that `inside` accepts, with all
// that follow.
template <class Inside>
std::optional<std::string> leftmost(const std::string& text,
                                    std::initializer_list<const char*> prefixes, Inside inside) {
  for (size_t i = 0; i < text.size(); ++i)
    for (std::string_view p : prefixes) {
      if (!hasAt(text, i, p)) continue;
      size_t k = i + p.size();
      while (k < text.size() && inside(text[k])) ++k;
      if (k > i + p.size()) return text.substr(i, k - i);
    }
  return std::nullopt;
}

kv::RegExp startupRegExp(const char* pattern) {
  kv::RegExp re;
  re.IgnoreCase = true;
  re.Multiline = true;
  re.Global = true;
  re.Pattern = pattern;
  return re;
}

void checkSiteText(const std::string& text) {
  const kv::RegExp address = startupRegExp(R"((http://|ftp://)([\w\.]+))");
  const std::optional<std::string> url = address.FirstMatch(text);
  FUZZ_CHECK(address.Test(text) == url.has_value());
  FUZZ_CHECK(url == leftmost(text, {"http://", "ftp://"}, isWordOrDot));

  const kv::RegExp referral = startupRegExp(R"(lsr=\d+)");
  const std::optional<std::string> lsr = referral.FirstMatch(text);
  FUZZ_CHECK(referral.Test(text) == lsr.has_value());
  FUZZ_CHECK(lsr == leftmost(text, {"lsr="}, isDigit));
  if (lsr) {
    // The account window sends the digits of the referral as the member number.
    const std::optional<std::string> member = startupRegExp(R"(\d+)").FirstMatch(*lsr);
    FUZZ_CHECK(member && *member == lsr->substr(4));
  }
}

}  // namespace

FUZZ_TARGET(text) {
  checkSiteText(text);                          // a fresh site text
  checkSiteText(kv::files::firstItemOf(text));  // the stored one, read back
}
