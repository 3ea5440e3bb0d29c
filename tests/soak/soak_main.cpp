// Soak: the client (Qt windows, real browsers, stand-in services) through 20 rounds of window
// switches, minimise/restore cycles and sign-in reloads (run_soak.sh sets the desktop up). No round
// may hold more renderers, page browsers, pages or windows than the first; the anonymous memory of
// the process tree is compared by trend: the median of the last rounds against the first ones.
#if __has_include(<malloc.h>)
#include <malloc.h>
#endif
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "app/app.h"
#include "bench/harness.h"
#include "bench/procmem.h"
#include "navigation/nav_bar.h"
#include "platform/qt/qt_browser.h"

namespace {

int envInt(const char* name, int fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::atoi(v) : fallback;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

struct Sample {
  kv::bench::TreeMemory memory;
  int views = 0, pages = 0, windows = 0;
};

class Soak : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = std::make_unique<kv::bench::ProgramFolder>(std::getenv("KELVORA_IMG_DIR"));
    client = std::make_unique<kv::bench::Client>(folder->path());
  }

  // Unloaded windows are freed by events posted at their unload; the engine's processes have
  // gone when the count of renderers stops changing. The renderers then collect their garbage
  // (the documents of the pages just closed), so that what is read is what is still held.
  Sample settle() {
    kv::bench::pump(300);
    Sample s;
    int stable = 0, last = -1;
    for (int i = 0; i < 40 && stable < 3; ++i) {
      kv::bench::pump(100);
      int now = kv::bench::treeMemory(getpid()).renderers;
      stable = now == last ? stable + 1 : 0;
      last = now;
    }
    client->collectGarbage();
#ifdef __GLIBC__
    // Free heap pages go back to the system first, so the reading counts what is in use rather
    // than what the allocator happens to keep.
    malloc_trim(0);
#endif
    s.memory = kv::bench::treeMemory(getpid());
    s.views = client->liveViews();
    s.pages = client->livePages();
    s.windows = static_cast<int>(QApplication::topLevelWidgets().size());
    return s;
  }

  std::unique_ptr<kv::bench::ProgramFolder> folder;
  std::unique_ptr<kv::bench::Client> client;
};

TEST_F(Soak, SwitchesMinimisesAndSignInReloadsKeepMemoryFlat) {
  const int rounds = envInt("KELVORA_SOAK_ROUNDS", 20);
  constexpr int kSwitchesPerRound = 50;
  constexpr int kMinimisesPerRound = 5;
  kv::bench::MessageBoxGuard boxes;
  auto& c = *client;

  c.start();
  c.trackPages();
  ASSERT_TRUE(kv::bench::waitUntil([&] { return c.pagesLoaded(); }, 60000))
      << "the search pages did not load";
  ASSERT_TRUE(c.widget(kv::FormId::Form12) && c.widget(kv::FormId::Form12)->isVisible());

  const float restoreCode = 515 * c.gui.screen().twipsPerPixelX;
  const bool tray = c.gui.tray().isAvailable();
  std::printf("notification area: %s\n", tray ? "yes" : "no (taskbar fallback)");

  Sample first;
  std::vector<double> memory;  // anonymous memory in MB after each round
  int switches = 0, minimises = 0, reloads = 0;
  for (int round = 0; round < rounds; ++round) {
    // Window switches over the bar's six tabs; each shows one window beside the bar.
    for (int i = 0; i < kSwitchesPerRound; ++i, ++switches) {
      kv::Form12& bar = c.app.form12();
      constexpr void (kv::Form12::*kTabs[])() = {
          &kv::Form12::Image1_Click, &kv::Form12::Image2_Click, &kv::Form12::Image3_Click,
          &kv::Form12::Image6_Click, &kv::Form12::Image7_Click, &kv::Form12::Image8_Click};
      (bar.*kTabs[switches % 6])();
      if (switches == 5) {
        // The sharing window's page started loading with its window.
        c.trackPages();
        ASSERT_TRUE(kv::bench::waitUntil([&] { return c.pagesLoaded(); }, 30000))
            << "the sharing page did not load";
      }
      kv::bench::pump(2);
    }
    ASSERT_TRUE(c.widget(kv::FormId::Form12)->isVisible());

    // Minimise to the notification area (or the taskbar) and back to the home view.
    for (int i = 0; i < kMinimisesPerRound; ++i, ++minimises) {
      c.app.form12().Image4_Click();
      kv::bench::pump(5);
      ASSERT_FALSE(c.widget(kv::FormId::Form1)->isVisible()) << "minimise " << minimises;
      if (tray)
        c.app.form12().Form_MouseMove(restoreCode, 0);
      else
        c.app.form12().window().restore();
      kv::bench::pump(5);
      for (kv::FormId id :
           {kv::FormId::Form1, kv::FormId::Form2, kv::FormId::Form3, kv::FormId::Form12})
        ASSERT_TRUE(c.widget(id)->isVisible()) << "restore " << minimises;
    }

    // Sign in: the client unloads the bar, the panels, the search pages and the account window
    // and loads them again; the search pages load anew.
    c.signIn("demo", "demo123");
    ++reloads;
    c.trackPages();
    ASSERT_TRUE(kv::bench::waitUntil([&] { return c.pagesLoaded(); }, 60000))
        << "the search pages did not load again, round " << round;
    ASSERT_TRUE(c.widget(kv::FormId::Form12)->isVisible());
    ASSERT_FALSE(c.widget(kv::FormId::Form8)->isVisible());

    Sample s = settle();
    std::printf(
        "round %2d: anonymous %6.1f MB in %d processes, %d renderers, %d views, %d pages, "
        "%d windows\n",
        round, s.memory.anonKb / 1024.0, s.memory.processes, s.memory.renderers, s.views, s.pages,
        s.windows);
    std::fflush(stdout);
    if (round == 0) first = s;
    // The process-tree reading itself: the engine's processes and their memory are seen.
    ASSERT_GT(s.memory.renderers, 0);
    ASSERT_GT(s.memory.processes, s.memory.renderers);
    ASSERT_GT(s.memory.anonKb, 0);
    EXPECT_LE(s.memory.renderers, first.memory.renderers) << "renderers kept, round " << round;
    EXPECT_LE(s.views, first.views) << "page browsers kept, round " << round;
    EXPECT_LE(s.pages, first.pages) << "pages kept, round " << round;
    EXPECT_LE(s.windows, first.windows) << "windows kept, round " << round;
    memory.push_back(s.memory.anonKb / 1024.0);
  }
  // Two rounds of warm-up; then the first and the last third of the rounds, three at least.
  constexpr int kWarmUp = 2;
  const int window = std::max(3, (rounds - kWarmUp) / 3);
  ASSERT_GE(rounds, kWarmUp + 2 * window) << "too few rounds for a trend";
  const double early = median({memory.begin() + kWarmUp, memory.begin() + kWarmUp + window});
  const double late = median({memory.end() - window, memory.end()});
  std::printf("memory: median %.1f MB of rounds %d-%d, %.1f MB of the last %d: %+.1f%%\n", early,
              kWarmUp, kWarmUp + window - 1, late, window, 100.0 * (late - early) / early);
  EXPECT_LE(late, early * 1.1) << "memory grew by more than 10% over the rounds";
  std::printf("%d window switches, %d minimise/restore cycles, %d sign-in reloads\n", switches,
              minimises, reloads);
  EXPECT_TRUE(boxes.texts.empty()) << "a message box opened: " << boxes.texts.front();
  EXPECT_TRUE(c.os.launched.empty()) << "an address reached the default browser";
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
  kv::qt::configureBrowserEngine();
  QApplication app(argc, argv);
  kv::qt::initApplication(app);
  return RUN_ALL_TESTS();
}
