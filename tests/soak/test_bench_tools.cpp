// The measuring tools of the soak test and the benchmarks: the window timeline read from the X
// server's events, and process trees with their memory read from /proc.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "bench/procmem.h"
#include "bench/xwatch.h"

namespace {

using kv::bench::XEvent;

struct Timeline {
  kv::bench::Clock::time_point at(int ms) const { return t0 + std::chrono::milliseconds(ms); }
  void add(int ms, XEvent::Kind kind, uint32_t window, int x = 0, int y = 0, int w = 0, int h = 0) {
    events.push_back({at(ms), kind, window, x, y, w, h});
  }
  kv::bench::Clock::time_point t0 = kv::bench::Clock::now();
  std::vector<XEvent> events;
};

// A start as the client makes it: the panels mapped at the origin, a search page shown and
// hidden again, then everything moved to its place; a window of another program before the start.
TEST(WindowTimeline, LaidOutWhenTheLastWindowStillMappedReachesItsFinalPlace) {
  Timeline t;
  t.add(-50, XEvent::Create, 1, 0, 0, 100, 100);  // before the start: not ours
  t.add(-40, XEvent::Map, 1);
  t.add(10, XEvent::Create, 2, 0, 0, 316, 365);
  t.add(12, XEvent::Map, 2);
  t.add(20, XEvent::Create, 3, 0, 0, 510, 39);
  t.add(21, XEvent::Map, 3);
  t.add(30, XEvent::Create, 4, 0, 0, 1002, 365);  // shown and hidden: not part of the view
  t.add(31, XEvent::Map, 4);
  t.add(33, XEvent::Unmap, 4);
  t.add(40, XEvent::Configure, 2, 0, 0, 316, 365);  // restacked, not moved
  t.add(50, XEvent::Configure, 2, 460, 358, 316, 365);
  t.add(55, XEvent::Configure, 3, 705, 280, 510, 39);
  t.add(90, XEvent::Configure, 2, 460, 358, 316, 365);   // no change
  t.add(95, XEvent::Configure, 4, 460, 358, 1002, 365);  // moved while hidden
  t.add(200, XEvent::Configure, 1, 5, 5, 100, 100);
  int windows = 0;
  EXPECT_NEAR(kv::bench::laidOutMs(t.events, t.t0, &windows).value_or(-1), 55, 0.5);
  EXPECT_EQ(windows, 2);
  EXPECT_EQ(kv::bench::mappedSince(t.events, t.t0), 2);
  t.add(300, XEvent::Destroy, 3);  // a window destroyed at the end is not part of it either
  EXPECT_NEAR(kv::bench::laidOutMs(t.events, t.t0, &windows).value_or(-1), 50, 0.5);
  EXPECT_EQ(windows, 1);
  EXPECT_FALSE(kv::bench::laidOutMs(t.events, t.at(400)).has_value());
}

TEST(WindowTimeline, FirstMapIgnoresSmallAndEarlierWindows) {
  Timeline t;
  t.add(-10, XEvent::Create, 1, 0, 0, 800, 600);
  t.add(5, XEvent::Map, 1);
  t.add(20, XEvent::Create, 2, 0, 0, 1, 1);
  t.add(21, XEvent::Map, 2);                   // a helper window
  t.add(30, XEvent::Create, 3, 0, 0, 10, 10);  // grows before its map
  t.add(40, XEvent::Configure, 3, 0, 0, 960, 1080);
  t.add(45, XEvent::Map, 3);
  EXPECT_NEAR(kv::bench::firstMapMs(t.events, t.t0, 100).value_or(-1), 45, 0.5);
  EXPECT_FALSE(kv::bench::firstMapMs(t.events, t.at(50), 100).has_value());
}

// A child that starts a grandchild: both count as the tree of this process, with their memory.
TEST(ProcessTree, DescendantsAndTheirMemory) {
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t child = fork();
  if (child == 0) {
    if (fork() == 0) pause();
    if (write(ready[1], "x", 1) != 1) _exit(1);
    pause();
  }
  char c;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  auto tree = kv::bench::descendants(getpid());
  EXPECT_NE(std::find(tree.begin(), tree.end(), child), tree.end());
  auto below = kv::bench::descendants(child);
  ASSERT_EQ(below.size(), 1u);
  EXPECT_GT(kv::bench::pssKb(child), 0);
  EXPECT_FALSE(kv::bench::isRenderer(child));
  kv::bench::TreeMemory m = kv::bench::treeMemory(getpid());
  EXPECT_GE(m.processes, 3);
  EXPECT_GT(m.pssKb, kv::bench::pssKb(getpid()));
  EXPECT_EQ(m.renderers, 0);

  kill(below[0], SIGKILL);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  EXPECT_EQ(kv::bench::pssKb(child), 0);  // gone
}

}  // namespace
