// Bounds on what pages can make the client hand to the default browser: new windows a page asks
// for on its own, the navigations of a receiver after each hand-over, and repeats of one address.
// Plain rules on a given clock, so the browser glue only asks them.
#pragma once

#include <chrono>
#include <deque>
#include <string>
#include <utility>

namespace kv {

using LaunchClock = std::chrono::steady_clock;

// New windows of one page browser. A request the user made (a click, a key) always passes; those
// the page makes by itself pass in a burst of kBurst, then one per kRefill.
class PopupLimit {
 public:
  static constexpr int kBurst = 3;
  static constexpr std::chrono::seconds kRefill{60};

  bool allow(bool userInitiated, LaunchClock::time_point now);
  // No request of the page's own would pass now.
  bool spent() const { return tokens_ == 0; }

 private:
  int tokens_ = kBurst;
  LaunchClock::time_point refilled_{};
  bool started_ = false;
};

// The navigations of one receiver handed to the default browser: at most kPerHandOver after each
// hand-over (the page, its frames, its own navigations), and no address again within kRepeat.
// The first navigation of a hand-over the user started is the user's: it passes even when it
// repeats an address. Continuations that are not handed over (server redirects) pass
// kQuietPerHandOver times.
class HandOverLimit {
 public:
  static constexpr int kPerHandOver = 5;
  static constexpr int kQuietPerHandOver = 20;
  static constexpr std::chrono::seconds kRepeat{5};

  void handedOver(bool userStarted = false) {
    left_ = kPerHandOver;
    quietLeft_ = kQuietPerHandOver;
    userFirst_ = userStarted;
  }
  bool allow(const std::string& url, LaunchClock::time_point now);
  bool allowQuiet() { return quietLeft_ > 0 && quietLeft_-- > 0; }

 private:
  int left_ = 0;
  int quietLeft_ = 0;
  bool userFirst_ = false;
  std::deque<std::pair<std::string, LaunchClock::time_point>> recent_;  // within kRepeat
};

// Loads of a page again after its page process ended abnormally: at most kPerPeriod within any
// kPeriod, so that a page that ends its process every time cannot loop.
class ReloadLimit {
 public:
  static constexpr int kPerPeriod = 3;
  static constexpr std::chrono::seconds kPeriod{60};

  bool allow(LaunchClock::time_point now);

 private:
  std::deque<LaunchClock::time_point> recent_;  // within kPeriod
};

// The addresses an embedded browser may load: http, https and ftp, and the empty documents that
// never leave the client (about:blank, about:srcdoc).
bool isLoadableUrl(const std::string& url);

}  // namespace kv
