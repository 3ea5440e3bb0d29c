// The friendly default replies of the stand-in services: the product service's answers, the
// cash-back platform's sign-in, income and pages, and the member site's search pages.
#pragma once

#include <string>

#include "tools/standin/standin.h"

namespace kv::standin::pages {

// The hosts the defaults are served for. Every host other than the two is a member site; the two
// fall back to the member-site pages for paths of their own that they do not know.
struct Hosts {
  std::string product;
  std::string platform;
};

// The default reply to a request. `base` is "http://" followed by the authority the request named
// (host and port as sent), used for the links of the pages.
Reply defaultReply(const Hosts& hosts, const Request& request, const std::string& base);

// Helpers shared with the server.
std::string percentDecode(const std::string& text, bool plusIsSpace);
std::string htmlEscape(const std::string& text);
std::string lower(std::string text);

}  // namespace kv::standin::pages
