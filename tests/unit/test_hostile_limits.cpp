// The bounds on what pages hand to the default browser.
#include <gtest/gtest.h>

#include "platform/services/launch_limits.h"

namespace {

using kv::LaunchClock;
using std::chrono::seconds;

// The user's requests always pass; the page's own pass in a burst of 3, then one a minute, and
// a long quiet time earns no more than the burst again.
TEST(HostileLimits, PagePopupsComeInABurstThenOneAMinute) {
  kv::PopupLimit limit;
  const LaunchClock::time_point t0{};
  auto passing = [&](LaunchClock::time_point at) {
    int passed = 0;
    for (int i = 0; i < 1000; ++i) passed += limit.allow(false, at);
    return passed;
  };
  EXPECT_EQ(passing(t0), 3);
  EXPECT_TRUE(limit.allow(true, t0));
  EXPECT_FALSE(limit.allow(false, t0 + seconds(59)));
  EXPECT_TRUE(limit.allow(false, t0 + seconds(60)));
  EXPECT_FALSE(limit.allow(false, t0 + seconds(61)));
  EXPECT_TRUE(limit.allow(false, t0 + seconds(125)));
  EXPECT_EQ(passing(t0 + std::chrono::hours(24)), 3);
}

// At most 5 navigations per hand-over, none before one, and no address twice within 5 s.
TEST(HostileLimits, ReceiverHandsOverAFewNavigationsEach) {
  kv::HandOverLimit limit;
  const LaunchClock::time_point t0{};
  EXPECT_FALSE(limit.allow("http://a/", t0));
  limit.handedOver();
  int passed = 0;
  for (int i = 0; i < 200; ++i) passed += limit.allow("http://f/" + std::to_string(i), t0);
  EXPECT_EQ(passed, 5);
  limit.handedOver();
  EXPECT_FALSE(limit.allow("http://f/0", t0 + seconds(4)));
  EXPECT_TRUE(limit.allow("http://f/0", t0 + seconds(5)));
  EXPECT_TRUE(limit.allow("http://x/", t0 + seconds(5)));
  passed = 0;
  for (int i = 0; i < 100; ++i) passed += limit.allowQuiet();  // redirects, not handed over
  EXPECT_EQ(passed, 20);

  for (const char* url : {"http://a", "HTTPS://a", "ftp://a", "about:blank", "about:srcdoc"})
    EXPECT_TRUE(kv::isLoadableUrl(url)) << url;
  for (const char* url : {"smb://e/s", "mailto:a@b", "foo:x", "file:///etc", "javascript:1",
                          "data:text/html,x", "about:config", ""})
    EXPECT_FALSE(kv::isLoadableUrl(url)) << url;
}

}  // namespace
