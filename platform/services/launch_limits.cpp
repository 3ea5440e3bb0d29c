#include "platform/services/launch_limits.h"

#include <algorithm>
#include <utility>

#include "platform/services/shortcut.h"

namespace kv {

bool PopupLimit::allow(bool userInitiated, LaunchClock::time_point now) {
  if (!started_) {
    started_ = true;
    refilled_ = now;
  }
  // Refill one request per period passed, up to the burst.
  while (tokens_ < kBurst && now - refilled_ >= kRefill) {
    ++tokens_;
    refilled_ += kRefill;
  }
  if (tokens_ == kBurst) refilled_ = now;
  if (userInitiated) return true;
  if (tokens_ == 0) return false;
  --tokens_;
  return true;
}

bool HandOverLimit::allow(const std::string& url, LaunchClock::time_point now) {
  while (!recent_.empty() && now - recent_.front().second >= kRepeat) recent_.pop_front();
  if (left_ <= 0) return false;
  const bool users = std::exchange(userFirst_, false);
  if (!users &&
      std::any_of(recent_.begin(), recent_.end(), [&](const auto& r) { return r.first == url; }))
    return false;
  --left_;
  recent_.emplace_back(url, now);
  return true;
}

bool ReloadLimit::allow(LaunchClock::time_point now) {
  while (!recent_.empty() && now - recent_.front() >= kPeriod) recent_.pop_front();
  if (static_cast<int>(recent_.size()) >= kPerPeriod) return false;
  recent_.push_back(now);
  return true;
}

bool isLoadableUrl(const std::string& url) {
  return isLaunchableUrl(url) || url == "about:blank" || url == "about:srcdoc";
}

}  // namespace kv
