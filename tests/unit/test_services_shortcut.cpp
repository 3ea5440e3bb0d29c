// Shortcut files, the launchable-address rule and the Linux OS services: $BROWSER and the
// single-instance lock.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/services/datafiles.h"
#include "platform/services/os_linux.h"
#include "platform/services/shortcut.h"
#include "tests/fake/scoped_env.h"

namespace fs = std::filesystem;

namespace {

using kv::files::readAll;

// A folder of the test's own, and a PATH of its own (holding nothing until a test puts a
// program there) with no $BROWSER: nothing the machine has installed is ever started.
class TempDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kv-shortcut-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir = pattern;
    fs::create_directory(dir + "/bin");
    env.set("PATH", dir + "/bin").unset("BROWSER");
  }
  void TearDown() override { fs::remove_all(dir); }
  // A program that writes its arguments, each followed by "|", to `out` once it has them all.
  void recorder(const std::string& program, const std::string& out) {
    std::ofstream(program) << "#!/bin/sh\nprintf '%s|' \"$@\" > '" << out << ".part'\n/bin/mv '"
                           << out << ".part' '" << out << "'\n";
    fs::permissions(program, fs::perms::owner_all);
  }
  // Waits for a file that a started program writes.
  static bool appears(const std::string& path) {
    for (int i = 0; i < 400 && !fs::exists(path); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return fs::exists(path);
  }
  std::string dir;
  kv::test::ScopedEnv env;
};

TEST_F(TempDirTest, ShortcutFileNamedByTheStampAndDistinctWithinASecond) {
  std::tm when{};
  when.tm_year = 2024 - 1900;
  when.tm_mon = 2;
  when.tm_mday = 3;
  when.tm_hour = 14;
  when.tm_min = 5;
  when.tm_sec = 9;
  const std::string stamp = dir + "/20240303140509";
  const std::string url = " http://www.example.com/a b?x=1&y=\xE4\xB8\xAD\r\n";
  std::string first = kv::writeShortcutFile(dir, when, url);
  std::string second = kv::writeShortcutFile(dir, when, "http://b/");
  EXPECT_EQ(first, stamp + ".url");
  EXPECT_EQ(readAll(first), "[InternetShortcut]\r\nURL=" + url + "\r\n");
  EXPECT_EQ(second, stamp + "_2.url");
  EXPECT_EQ(readAll(second), "[InternetShortcut]\r\nURL=http://b/\r\n");

  // A name written earlier in this run is not reused even after its file is gone, and a file
  // already present is never overwritten.
  fs::remove(first);
  std::ofstream(stamp + "_3.url") << "foreign";
  EXPECT_EQ(kv::writeShortcutFile(dir, when, "http://c/"), stamp + "_4.url");
  EXPECT_EQ(readAll(stamp + "_3.url"), "foreign");
  EXPECT_EQ(kv::writeShortcutFile(dir + "/missing", when, "http://d/"), "");
  // Only into a real folder, never through a link in its place.
  fs::create_directory(dir + "/elsewhere");
  fs::create_directory_symlink(dir + "/elsewhere", dir + "/temp");
  EXPECT_EQ(kv::writeShortcutFile(dir + "/temp", when, "http://a/"), "");
  EXPECT_TRUE(fs::is_empty(dir + "/elsewhere"));

  EXPECT_EQ(kv::GetShortName(second), second);
  EXPECT_EQ(kv::GetShortName(dir), dir);
  EXPECT_EQ(kv::GetShortName(first), "");
  EXPECT_EQ(kv::GetShortName(""), "");
}

TEST(LaunchableUrl, OnlyWebAndFtpSchemes) {
  for (const char* url : {"http://x", "HTTP://x", "https://a.b/c?d", "Ftp://f", "http:x"})
    EXPECT_TRUE(kv::isLaunchableUrl(url)) << url;
  for (const char* url :
       {"", "file:///etc/passwd", "javascript:alert(1)", "mailto:a@b", "myapp://x", " http://x",
        "http//x", "://x", "-http://x", "httpx://y", "about:blank"})
    EXPECT_FALSE(kv::isLaunchableUrl(url)) << url;
}

// $BROWSER: a colon list of commands in words, "%s" the address (else it goes last), "%%" a
// percent; xdg-open last. A command that cannot start gives way to the next; the address is one
// argument, with no shell between.
TEST_F(TempDirTest, BrowserVariableFollowsItsConvention) {
  using Commands = std::vector<std::vector<std::string>>;
  const std::string u = "http://a/b?c=1";
  EXPECT_EQ(kv::browserCommands("", u), (Commands{{"xdg-open", u}}));
  EXPECT_EQ(kv::browserCommands("browser %s", u), (Commands{{"browser", u}, {"xdg-open", u}}));
  EXPECT_EQ(kv::browserCommands(" browser  --new-tab ", u),
            (Commands{{"browser", "--new-tab", u}, {"xdg-open", u}}));
  EXPECT_EQ(kv::browserCommands("missing::b --x=%s%%s", u),
            (Commands{{"missing", u}, {"b", "--x=" + u + "%s"}, {"xdg-open", u}}));

  const std::string script = dir + "/record", out = dir + "/args";
  recorder(script, out);
  env.set("BROWSER", dir + "/missing %s:" + script + " --new-tab");
  kv::LinuxOs os(dir);
  EXPECT_FALSE(os.launchBrowser("javascript:alert(1)"));
  const std::string url = "http://www.example.com/a b?x=1&y=$(id);z='q'";
  EXPECT_TRUE(os.launchBrowser(url));
  ASSERT_TRUE(appears(out));
  EXPECT_EQ(readAll(out), "--new-tab|" + url + "|");

  // No $BROWSER that starts and no desktop opener: nothing opens. With the opener on PATH, it
  // comes last.
  env.set("BROWSER", dir + "/no such browser");
  EXPECT_FALSE(os.launchBrowser("http://x/"));
  recorder(dir + "/bin/xdg-open", dir + "/opened");
  EXPECT_TRUE(os.launchBrowser("http://x/"));
  ASSERT_TRUE(appears(dir + "/opened"));
  EXPECT_EQ(readAll(dir + "/opened"), "http://x/|");
}

// The lock is held until released; it lives only where no other user can write, and what stands
// at its path in place of a regular file is replaced.
TEST_F(TempDirTest, InstanceLockHeldUntilReleasedOnlyInAPrivateFolder) {
  auto first = std::make_unique<kv::LinuxOs>(dir);
  auto second = std::make_unique<kv::LinuxOs>(dir);
  EXPECT_FALSE(first->anotherInstanceRunning());
  EXPECT_FALSE(first->anotherInstanceRunning());  // holding the lock itself is not another
  EXPECT_TRUE(second->anotherInstanceRunning());
  const std::string lock = first->lockFilePath();
  EXPECT_EQ(lock.rfind(dir + "/kelvora-", 0), 0u);
  first.reset();
  EXPECT_FALSE(second->anotherInstanceRunning());
  second.reset();

  const std::string target = dir + "/victim";
  std::ofstream(target) << "keep";
  for (bool asFolder : {false, true}) {
    fs::remove_all(lock);
    asFolder ? (void)fs::create_directory(lock) : fs::create_symlink(target, lock);
    kv::LinuxOs a(dir), b(dir);
    EXPECT_FALSE(a.anotherInstanceRunning());
    EXPECT_TRUE(b.anotherInstanceRunning());
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(lock)));
  }
  EXPECT_EQ(readAll(target), "keep");

  fs::create_directory(dir + "/shared");
  fs::permissions(dir + "/shared", fs::perms::all);
  env.set("XDG_RUNTIME_DIR", dir + "/shared").set("HOME", dir);
  const std::string path = kv::LinuxOs().lockFilePath();
  EXPECT_EQ(path.rfind(dir + "/.cache/kelvora/kelvora-", 0), 0u) << path;
  EXPECT_EQ(fs::status(dir + "/.cache/kelvora").permissions(), fs::perms::owner_all);
}

}  // namespace
