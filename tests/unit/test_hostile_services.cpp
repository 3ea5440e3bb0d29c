// Hostile replies and files: each is handled in bounded time and memory, and nothing it holds
// reaches a shell or another user's files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "account/income.h"
#include "platform/hosts.h"
#include "platform/services/datafiles.h"
#include "platform/services/os_linux.h"
#include "platform/services/post_form.h"
#include "platform/services/shortcut.h"
#include "tools/standin/standin.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

class HostileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "kv-hostile-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir = pattern;
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string dir;
};

// Markers by the million: the removals take linear time (they took minutes).
TEST(HostileIncome, LongRepliesParseInLinearTime) {
  const auto start = Clock::now();
  auto income = kv::ParseIncome("12" + std::string(4 << 20, 'a') + "\n");
  ASSERT_TRUE(income);
  EXPECT_EQ(income->lastMonth.size(), 1u);  // 4 Mi "a": the "aaa" removed, one "a" left
  income = kv::ParseIncome("5aaa" + std::string(3 << 20, 'b') + "7");
  ASSERT_TRUE(income);
  EXPECT_EQ(income->lastMonth, "7");
  EXPECT_LT(secondsSince(start), 3.0);
}

// A reply that trickles without end fails at the overall deadline; one over 16 MB fails too.
TEST(HostilePost, EndlessAndOversizedRepliesFail) {
  kv::standin::StandIn services{kv::hosts::kProduct, kv::hosts::kPlatform};
  ASSERT_GT(services.start(), 0);
  ::setenv("http_proxy", services.proxyUrl().c_str(), 1);
  ::unsetenv("no_proxy");
  const std::string url = std::string("http://") + kv::hosts::kProduct + "/app.php/index/up";
  kv::standin::Reply trickle{200, "1"};
  trickle.trickleMs = 100;
  services.queueReply(kv::hosts::kProduct, "/app.php/index/up", trickle);
  services.queueReply(kv::hosts::kProduct, "/app.php/index/up",
                      {200, std::string(16 * 1024 * 1024 + 1, 'x')});
  kv::setPostLimits(30000, 60000, 1500);
  const auto start = Clock::now();
  EXPECT_FALSE(kv::PostForm(url, "").completed);
  EXPECT_LT(secondsSince(start), 5.0);
  kv::setPostLimits(30000, 60000);
  EXPECT_FALSE(kv::PostForm(url, "").completed);
  services.stop();
}

// Only the first item of a regular file is read; a pipe, a device or a folder counts as missing
// and never blocks.
TEST_F(HostileTest, DataFilesReadOnlyTheFirstItemOfARegularFile) {
  const std::string fifo = dir + "/fifo", zero = dir + "/zero", big = dir + "/big";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", zero);
  std::ofstream(big) << " 1 \r\n";
  fs::resize_file(big, 200 << 20);  // sparse: 200 MB after the first line
  const auto start = Clock::now();
  for (const std::string& path : {fifo, zero, dir}) {
    EXPECT_EQ(kv::files::readFirstItem(path), std::nullopt) << path;
    EXPECT_EQ(kv::files::readAll(path), std::nullopt) << path;
  }
  EXPECT_EQ(kv::files::readFirstItem(big), "1 ");
  EXPECT_EQ(kv::files::readAll(big), std::nullopt);  // larger than any stored reply
  EXPECT_LT(secondsSince(start), 2.0);
  EXPECT_FALSE(kv::files::writeNumber(fifo, 1));
}

// Shortcut files go only into a real temp folder, never through a link in its place.
TEST_F(HostileTest, ShortcutFilesNeverFollowALinkedTempFolder) {
  fs::create_directory(dir + "/elsewhere");
  fs::create_directory_symlink(dir + "/elsewhere", dir + "/temp");
  EXPECT_EQ(kv::writeShortcutFile(dir + "/temp", std::tm{}, "http://a/"), "");
  EXPECT_TRUE(fs::is_empty(dir + "/elsewhere"));
}

// $BROWSER: a colon list of commands in words, "%s" the address (else it goes last), "%%" a
// percent; xdg-open last. A command that cannot start gives way to the next.
TEST_F(HostileTest, BrowserVariableFollowsItsConvention) {
  using Commands = std::vector<std::vector<std::string>>;
  const std::string u = "http://a/b?c=1";
  EXPECT_EQ(kv::browserCommands("", u), (Commands{{"xdg-open", u}}));
  EXPECT_EQ(kv::browserCommands("browser %s", u), (Commands{{"browser", u}, {"xdg-open", u}}));
  EXPECT_EQ(kv::browserCommands(" browser  --new-tab ", u),
            (Commands{{"browser", "--new-tab", u}, {"xdg-open", u}}));
  EXPECT_EQ(kv::browserCommands("missing::b --x=%s%%s", u),
            (Commands{{"missing", u}, {"b", "--x=" + u + "%s"}, {"xdg-open", u}}));

  const std::string script = dir + "/record", out = dir + "/args";
  std::ofstream(script) << "#!/bin/sh\nprintf '%s|' \"$@\" > '" << out << ".part'\nmv '" << out
                        << ".part' '" << out << "'\n";
  fs::permissions(script, fs::perms::owner_all);
  ::setenv("BROWSER", (dir + "/missing %s:" + script + " --new-tab").c_str(), 1);
  EXPECT_TRUE(kv::LinuxOs(dir).launchBrowser(u));
  ::unsetenv("BROWSER");
  for (int i = 0; i < 100 && !fs::exists(out); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::ifstream in(out);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "--new-tab|" + u + "|");
}

// The lock lives only where no other user can write; what stands at its path in place of a
// regular file is replaced, and one instance still excludes the next.
TEST_F(HostileTest, InstanceLockOnlyInAPrivateFolder) {
  fs::create_directory(dir + "/shared");
  fs::permissions(dir + "/shared", fs::perms::all);
  const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  ::setenv("XDG_RUNTIME_DIR", (dir + "/shared").c_str(), 1);
  ::setenv("HOME", dir.c_str(), 1);
  const std::string path = kv::LinuxOs().lockFilePath();
  ::setenv("HOME", home.c_str(), 1);
  ::unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(path.rfind(dir + "/.cache/kelvora/kelvora-", 0), 0u) << path;
  EXPECT_EQ(fs::status(dir + "/.cache/kelvora").permissions(), fs::perms::owner_all);

  const std::string target = dir + "/victim";
  std::ofstream(target) << "keep";
  for (bool asFolder : {false, true}) {
    const std::string lock = kv::LinuxOs(dir).lockFilePath();
    fs::remove_all(lock);
    asFolder ? (void)fs::create_directory(lock) : fs::create_symlink(target, lock);
    kv::LinuxOs first(dir), second(dir);
    EXPECT_FALSE(first.anotherInstanceRunning());
    EXPECT_TRUE(second.anotherInstanceRunning());
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(lock)));
  }
  std::ifstream in(target);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep");
}

}  // namespace
