// The shortcut writer with any address: the file holds exactly the shortcut lines, a second file
// in the same second gets its own name, and the launchable-address rule holds.
#include <unistd.h>

#include <ctime>

#include "platform/services/shortcut.h"
#include "tests/fuzz/fuzz_util.h"

namespace {

using kv::fuzz::hasAt;

// http, https and ftp in any case, as the scheme before the first colon.
bool referenceLaunchable(const std::string& url) {
  return hasAt(url, 0, "http:") || hasAt(url, 0, "https:") || hasAt(url, 0, "ftp:");
}

// A distinct second for every input, so that every first file of a run takes the plain stamp.
std::tm nextSecond() {
  static std::time_t clock = 1700000000;
  const std::time_t now = clock++;
  std::tm t{};
  ::gmtime_r(&now, &t);
  return t;
}

}  // namespace

FUZZ_TARGET(url) {
  using namespace kv::fuzz;
  FUZZ_CHECK(kv::isLaunchableUrl(url) == referenceLaunchable(url));

  const std::string& folder = tempFolder();
  const std::tm when = nextSecond();
  const std::string stamp = kv::timeStamp(when);
  FUZZ_CHECK(stamp.size() == 14 && stamp.find_first_not_of("0123456789") == std::string::npos);
  const std::string expected = "[InternetShortcut]\r\nURL=" + url + "\r\n";

  const std::string first = kv::writeShortcutFile(folder, when, url);
  FUZZ_CHECK(first == folder + "/" + stamp + ".url");
  FUZZ_CHECK(readAll(first) == expected);
  // A second opening within the same second never rewrites the first file.
  const std::string second = kv::writeShortcutFile(folder, when, url);
  FUZZ_CHECK(second == folder + "/" + stamp + "_2.url");
  FUZZ_CHECK(readAll(second) == expected);
  FUZZ_CHECK(readAll(first) == expected);
  ::unlink(first.c_str());
  ::unlink(second.c_str());
}
