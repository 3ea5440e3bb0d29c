// Top-level windows as the X server sees them: a second connection to the display records, with
// the time of arrival, every creation, map, unmap, move/resize and destruction of a child of the
// root window (without a window manager, the programs' windows themselves).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace kv::bench {

using Clock = std::chrono::steady_clock;

struct XEvent {
  enum Kind { Create, Map, Unmap, Configure, Destroy };
  Clock::time_point at;
  Kind kind;
  uint32_t window;
  int x = 0, y = 0, width = 0, height = 0;  // Create and Configure
};

class XWatch {
 public:
  XWatch();
  ~XWatch();
  XWatch(const XWatch&) = delete;
  XWatch& operator=(const XWatch&) = delete;

  // Connects to $DISPLAY and starts recording; false when there is no display.
  bool start();
  void stop();
  std::vector<XEvent> events() const;
  // Time of the latest event recorded, if any.
  std::optional<Clock::time_point> lastEvent() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Of the windows created at or after `since`, those mapped at the end of `events`: the time from
// `since` until the last of them reached its final state (mapped, at its final place and size).
// `count` receives how many windows that is. Empty when no such window.
std::optional<double> laidOutMs(const std::vector<XEvent>& events, Clock::time_point since,
                                int* count = nullptr);

// The time from `since` to the first map of a window created at or after `since` that is at
// least `minSide` pixels wide and high.
std::optional<double> firstMapMs(const std::vector<XEvent>& events, Clock::time_point since,
                                 int minSide = 50);

// Windows created at or after `since` and mapped at the end of `events`.
int mappedSince(const std::vector<XEvent>& events, Clock::time_point since);

}  // namespace kv::bench
