// The Linux OS services under conditions a test sets up itself: many browsers at once, one
// instance where there is no private folder, and a machine with nothing but loopback.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/services/os_linux.h"
#include "tests/fake/scoped_env.h"

namespace fs = std::filesystem;

namespace {

// Waits (bounded) until `done` holds; whether it does.
template <class Done>
bool eventually(Done done) {
  for (int i = 0; i < 1000 && !done(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  return done();
}

class OsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kv-os-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir = pattern;
    fs::create_directory(dir + "/bin");
    env.set("PATH", dir + "/bin").unset("BROWSER");
  }
  void TearDown() override {
    // Browsers a test left running are let go and awaited.
    std::ofstream(dir + "/release");
    EXPECT_TRUE(eventually([] { return kv::runningBrowserCount() == 0; }));
    fs::remove_all(dir);
  }
  std::string dir;
  kv::test::ScopedEnv env;
};

// At most 32 browsers run at once: a page that opens windows without end cannot fill the
// machine. Launches beyond are refused, $BROWSER and the desktop opener alike, and work again
// once the browsers have ended.
TEST_F(OsTest, AtMost32BrowsersRunAtOnce) {
  ASSERT_TRUE(eventually([] { return kv::runningBrowserCount() == 0; }));
  // A browser that stays until the test lets it go (and at most about a minute).
  const std::string browser = dir + "/browser", release = dir + "/release";
  std::ofstream(browser) << "#!/bin/sh\ni=0\nwhile [ ! -e '" << release
                         << "' ] && [ $i -lt 1200 ]; do /bin/sleep 0.05; i=$((i+1)); done\n";
  fs::permissions(browser, fs::perms::owner_all);
  fs::copy_file(browser, dir + "/bin/xdg-open");
  env.set("BROWSER", browser);
  kv::LinuxOs os(dir);
  int started = 0;
  for (int i = 0; i < 40; ++i) started += os.launchBrowser("http://x/" + std::to_string(i));
  EXPECT_EQ(started, 32);
  EXPECT_EQ(kv::runningBrowserCount(), 32);
  env.unset("BROWSER");
  EXPECT_FALSE(os.launchBrowser("http://x/"));  // the desktop opener too

  std::ofstream(release).close();
  ASSERT_TRUE(eventually([] { return kv::runningBrowserCount() == 0; }));
  EXPECT_TRUE(os.launchBrowser("http://x/again"));
}

// The abstract name of an instance, bound (and listening when `listening`) on a new socket.
int bindName(const std::string& name, bool listening) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path + 1, name.data(), name.size());
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), size) != 0 ||
      (listening && ::listen(fd, 4) != 0)) {
    if (fd >= 0) ::close(fd);
    return -1;
  }
  return fd;
}

// No runtime folder and a home nobody can write (a system account, "sudo -u" without a
// session): no lock file can be made, and still only one instance runs. One started with a
// private runtime folder sees it as well.
TEST_F(OsTest, OneInstanceWithoutAPrivateFolder) {
  env.unset("XDG_RUNTIME_DIR").set("HOME", "/proc");
  auto first = std::make_unique<kv::LinuxOs>();
  ASSERT_EQ(first->lockFilePath(), "");
  kv::LinuxOs second;
  EXPECT_FALSE(first->anotherInstanceRunning());
  EXPECT_TRUE(second.anotherInstanceRunning());
  {
    kv::test::ScopedEnv session;
    ASSERT_TRUE(fs::create_directory(dir + "/run"));
    fs::permissions(dir + "/run", fs::perms::owner_all);
    session.set("XDG_RUNTIME_DIR", dir + "/run");
    kv::LinuxOs third;
    EXPECT_TRUE(third.anotherInstanceRunning());
  }
  first.reset();
  EXPECT_FALSE(second.anotherInstanceRunning());
  EXPECT_FALSE(second.anotherInstanceRunning());
}

// Anyone can bind any name: one that nobody listens on, or that another user holds, is no
// instance of ours, and the program runs. (In a lock folder of the test's own, whose name no
// other test uses.)
TEST_F(OsTest, ANameNotHeldByThisUsersInstanceLetsTheProgramRun) {
  {
    kv::LinuxOs os(dir);
    int squatter = bindName(os.instanceName(), false);
    ASSERT_GE(squatter, 0);
    EXPECT_FALSE(os.anotherInstanceRunning());
    ::close(squatter);
  }
  if (::getuid() != 0) GTEST_SKIP() << "another user's socket needs root to set up";
  kv::LinuxOs os(dir);
  const std::string name = os.instanceName();
  int ready[2], hold[2];
  ASSERT_EQ(::pipe2(ready, O_CLOEXEC), 0);
  ASSERT_EQ(::pipe2(hold, O_CLOEXEC), 0);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // As user "nobody": hold the name until the test closes the pipe.
    ::close(ready[0]);
    ::close(hold[1]);
    if (::setresgid(65534, 65534, 65534) != 0 || ::setresuid(65534, 65534, 65534) != 0) _exit(1);
    if (bindName(name, true) < 0) _exit(1);
    char c = 1;
    if (::write(ready[1], &c, 1) != 1) _exit(1);
    while (::read(hold[0], &c, 1) > 0) {
    }
    _exit(0);
  }
  ::close(ready[1]);
  ::close(hold[0]);
  char c = 0;
  bool held = ::read(ready[0], &c, 1) == 1;
  if (held) {
    EXPECT_FALSE(os.anotherInstanceRunning());
  }
  ::close(hold[1]);
  ::close(ready[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(held) << "the other user's socket was not set up";
}

// A machine whose only interface is loopback, up with 127.0.0.1, has no network: checked in a
// network namespace of its own, on a thread of its own.
TEST(NetworkCheck, LoopbackAloneIsNoNetwork) {
  std::string skip;
  bool loopbackUp = false, connected = true;
  std::thread([&] {
    if (::unshare(CLONE_NEWNET) != 0) {
      skip = std::string("no network namespace: ") + std::strerror(errno);
      return;
    }
    int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq ifr{};
    std::strncpy(ifr.ifr_name, "lo", IFNAMSIZ - 1);
    if (s >= 0 && ::ioctl(s, SIOCGIFFLAGS, &ifr) == 0) {
      ifr.ifr_flags = static_cast<short>(ifr.ifr_flags | IFF_UP);
      ::ioctl(s, SIOCSIFFLAGS, &ifr);
    }
    if (s >= 0) ::close(s);
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) == 0) {
      for (ifaddrs* a = list; a != nullptr; a = a->ifa_next)
        if (a->ifa_addr && a->ifa_addr->sa_family == AF_INET && (a->ifa_flags & IFF_UP) &&
            reinterpret_cast<sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr == htonl(INADDR_LOOPBACK))
          loopbackUp = true;
      ::freeifaddrs(list);
    }
    connected = kv::LinuxOs().networkConnected();
  }).join();
  if (!skip.empty()) GTEST_SKIP() << skip;
  ASSERT_TRUE(loopbackUp) << "loopback is not up with 127.0.0.1";
  EXPECT_FALSE(connected);
}

}  // namespace
