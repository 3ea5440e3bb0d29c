// Shortcut files, the launchable-address rule and the Linux OS services.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include "platform/services/os_linux.h"
#include "platform/services/shortcut.h"

namespace fs = std::filesystem;

namespace {

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

class TempDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "kv-shortcut-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir = pattern;
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string dir;
};

std::tm at(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return t;
}

using ShortcutTest = TempDirTest;

TEST_F(ShortcutTest, WritesStampNamedFileExactly) {
  std::tm when = at(2024, 3, 3, 14, 5, 9);
  EXPECT_EQ(kv::timeStamp(when), "20240303140509");
  std::string url = " http://www.example.com/a b?x=1&y=\xE4\xB8\xAD\r\n";
  std::string written = kv::writeShortcutFile(dir, when, url);
  EXPECT_EQ(written, dir + "/20240303140509.url");
  EXPECT_EQ(readAll(written), "[InternetShortcut]\r\nURL=" + url + "\r\n");
}

TEST_F(ShortcutTest, SameSecondGetsDistinctNames) {
  std::tm when = at(2023, 12, 31, 23, 59, 58);
  std::string first = kv::writeShortcutFile(dir, when, "http://a/");
  std::string second = kv::writeShortcutFile(dir, when, "http://b/");
  EXPECT_EQ(first, dir + "/20231231235958.url");
  EXPECT_EQ(second, dir + "/20231231235958_2.url");
  EXPECT_EQ(readAll(first), "[InternetShortcut]\r\nURL=http://a/\r\n");
  EXPECT_EQ(readAll(second), "[InternetShortcut]\r\nURL=http://b/\r\n");

  // A name written earlier in this run is not reused even after its file is gone, and a file
  // already present is never overwritten.
  fs::remove(first);
  std::ofstream(dir + "/20231231235958_3.url") << "foreign";
  EXPECT_EQ(kv::writeShortcutFile(dir, when, "http://c/"), dir + "/20231231235958_4.url");
  EXPECT_EQ(readAll(dir + "/20231231235958_3.url"), "foreign");

  EXPECT_EQ(kv::writeShortcutFile(dir + "/missing", when, "http://d/"), "");
}

TEST_F(ShortcutTest, ShortName) {
  std::string file = dir + "/a file.url";
  std::ofstream(file) << "x";
  EXPECT_EQ(kv::GetShortName(file), file);
  EXPECT_EQ(kv::GetShortName(dir), dir);
  EXPECT_EQ(kv::GetShortName(dir + "/missing.url"), "");
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

// Sets an environment variable for one test and puts the old value back.
class EnvGuard {
 public:
  EnvGuard(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~EnvGuard() {
    if (old_)
      ::setenv(name_, old_->c_str(), 1);
    else
      ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class LaunchTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    // The stand-in browser records its argument count and first argument.
    script = dir + "/browser script";
    out = dir + "/args.txt";
    std::ofstream(script) << "#!/bin/sh\n"
                          << "printf '%s\\n%s' \"$#\" \"$1\" > '" << out << ".part'\n"
                          << "mv '" << out << ".part' '" << out << "'\n";
    fs::permissions(script, fs::perms::owner_all);
  }

  // The recorded arguments, once the script has run.
  std::optional<std::string> waitForArgs() const {
    for (int i = 0; i < 100; ++i) {
      if (fs::exists(out)) return readAll(out);
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return std::nullopt;
  }

  std::string script, out;
};

TEST_F(LaunchTest, AddressArrivesAsOneArgument) {
  EnvGuard browser("BROWSER", script + ":/usr/bin/false");
  kv::LinuxOs os(dir);
  const std::string url = "http://www.example.com/a b?x=1&y=$(id);z='q'";
  ASSERT_TRUE(os.launchBrowser(url));
  EXPECT_EQ(waitForArgs(), "1\n" + url);
}

TEST_F(LaunchTest, RefusesOtherSchemesAndMissingPrograms) {
  EnvGuard browser("BROWSER", script);
  kv::LinuxOs os(dir);
  EXPECT_FALSE(os.launchBrowser("javascript:alert(1)"));
  EXPECT_FALSE(os.launchBrowser("file:///etc/passwd"));
  EXPECT_FALSE(os.launchBrowser(""));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(fs::exists(out));

  EnvGuard missing("BROWSER", dir + "/no such browser");
  EXPECT_FALSE(os.launchBrowser("http://x/"));
}

TEST_F(TempDirTest, InstanceLockHeldUntilReleased) {
  auto first = std::make_unique<kv::LinuxOs>(dir);
  kv::LinuxOs second(dir);
  EXPECT_FALSE(first->anotherInstanceRunning());
  EXPECT_FALSE(first->anotherInstanceRunning());  // holding the lock itself is not another
  EXPECT_TRUE(second.anotherInstanceRunning());
  EXPECT_TRUE(fs::exists(first->lockFilePath()));
  EXPECT_EQ(first->lockFilePath().rfind(dir + "/kelvora-", 0), 0u);
  first.reset();
  EXPECT_FALSE(second.anotherInstanceRunning());
}

TEST(LinuxOs, ProgramFolderHoldsTheProgram) {
  kv::LinuxOs os;
  std::string folder = os.programFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.front(), '/');
  EXPECT_NE(folder.back(), '/');
  EXPECT_TRUE(fs::equivalent(fs::path(folder) / fs::read_symlink("/proc/self/exe").filename(),
                             "/proc/self/exe"));
}

}  // namespace
