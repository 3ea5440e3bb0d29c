// The start-up road's matching on any site text: the site address "(http://|ftp://)([\w\.]+)" and
// the referral "lsr=\d+", case-insensitive, first match only, on the text as fetched and as read
// back from app_url.txt (its first item); then the account window's member number "\d+".
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

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

// The leftmost scheme followed by at least one address character, with all that follow.
std::optional<std::string> referenceAddress(const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    size_t j;
    if (hasAt(text, i, "http://")) {
      j = i + 7;
    } else if (hasAt(text, i, "ftp://")) {
      j = i + 6;
    } else {
      continue;
    }
    size_t k = j;
    while (k < text.size() && isWordOrDot(text[k])) ++k;
    if (k > j) return text.substr(i, k - i);
  }
  return std::nullopt;
}

// The leftmost "lsr=" followed by at least one digit, with all the digits.
std::optional<std::string> referenceReferral(const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (!hasAt(text, i, "lsr=")) continue;
    size_t k = i + 4;
    while (k < text.size() && isDigit(text[k])) ++k;
    if (k > i + 4) return text.substr(i, k - i);
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
  FUZZ_CHECK(url == referenceAddress(text));
  if (url) {
    FUZZ_CHECK(text.find(*url) != std::string::npos);
    const size_t scheme = hasAt(*url, 0, "http://") ? 7 : hasAt(*url, 0, "ftp://") ? 6 : 0;
    FUZZ_CHECK(scheme != 0 && url->size() > scheme);
    for (size_t i = scheme; i < url->size(); ++i) FUZZ_CHECK(isWordOrDot((*url)[i]));
  }

  const kv::RegExp referral = startupRegExp(R"(lsr=\d+)");
  const std::optional<std::string> lsr = referral.FirstMatch(text);
  FUZZ_CHECK(referral.Test(text) == lsr.has_value());
  FUZZ_CHECK(lsr == referenceReferral(text));
  if (lsr) {
    FUZZ_CHECK(text.find(*lsr) != std::string::npos);
    FUZZ_CHECK(hasAt(*lsr, 0, "lsr=") && lsr->size() > 4);
    for (size_t i = 4; i < lsr->size(); ++i) FUZZ_CHECK(isDigit((*lsr)[i]));
    // The account window sends the digits of the referral as the member number.
    const std::optional<std::string> member = startupRegExp(R"(\d+)").FirstMatch(*lsr);
    FUZZ_CHECK(member && *member == lsr->substr(4));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  checkSiteText(text);                          // a fresh site text
  checkSiteText(kv::files::firstItemOf(text));  // the stored one, read back
  return 0;
}
