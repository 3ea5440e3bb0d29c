#include "platform/services/os_linux.h"

#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <thread>
#include <vector>

#include "platform/services/shortcut.h"

extern char** environ;

namespace kv {

namespace {

// The program file's full path (links resolved), empty when the system does not tell.
std::string programFile() {
  std::vector<char> buffer(PATH_MAX);
  for (;;) {
    ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return {};
    if (static_cast<size_t>(n) < buffer.size()) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
}

std::string hexHash(const std::string& text) {
  // 64-bit FNV-1a: stable across builds, so every instance of one program file names one lock.
  unsigned long long hash = 14695981039346656037ull;
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  char buffer[17];
  std::snprintf(buffer, sizeof buffer, "%016llx", hash);
  return buffer;
}

bool isFolder(const char* path) {
  struct stat st {};
  return path != nullptr && *path != '\0' && ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

// The browser program: the first non-empty entry of $BROWSER, else xdg-open.
std::string browserProgram() {
  const char* env = std::getenv("BROWSER");
  std::string value = env != nullptr ? env : "";
  size_t start = 0;
  while (start <= value.size()) {
    size_t end = value.find(':', start);
    if (end == std::string::npos) end = value.size();
    if (end > start) return value.substr(start, end - start);
    start = end + 1;
  }
  return "xdg-open";
}

}  // namespace

LinuxOs::LinuxOs(std::string lockFolder) : lockFolder_(std::move(lockFolder)) {}

LinuxOs::~LinuxOs() {
  if (lockFd_ >= 0) ::close(lockFd_);
}

std::string LinuxOs::programFolder() const {
  std::string file = programFile();
  size_t slash = file.rfind('/');
  if (slash == std::string::npos) {
    char cwd[PATH_MAX];
    return ::getcwd(cwd, sizeof cwd) != nullptr ? cwd : ".";
  }
  return slash == 0 ? "/" : file.substr(0, slash);
}

std::string LinuxOs::lockFilePath() const {
  std::string name = "kelvora-" + hexHash(programFile()) + ".lock";
  if (!lockFolder_.empty()) return lockFolder_ + "/" + name;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (isFolder(runtime)) return std::string(runtime) + "/" + name;
  // /tmp is shared by all users: one lock per user there.
  return "/tmp/kelvora-" + std::to_string(::getuid()) + "-" + name.substr(8);
}

bool LinuxOs::anotherInstanceRunning() {
  if (lockFd_ >= 0) return false;
  int fd = ::open(lockFilePath().c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  // Without a lock file there is no way to tell; this instance then runs.
  if (fd < 0) return false;
  int rc;
  do {
    rc = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc == 0) {
    lockFd_ = fd;
    return false;
  }
  bool held = errno == EWOULDBLOCK;
  ::close(fd);
  return held;
}

bool LinuxOs::networkConnected() {
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return false;
  bool connected = false;
  for (ifaddrs* ifa = list; ifa != nullptr && !connected; ifa = ifa->ifa_next) {
    if (ifa->ifa_addr == nullptr) continue;
    int family = ifa->ifa_addr->sa_family;
    connected = (family == AF_INET || family == AF_INET6) && (ifa->ifa_flags & IFF_UP) &&
                !(ifa->ifa_flags & IFF_LOOPBACK);
  }
  ::freeifaddrs(list);
  return connected;
}

std::tm LinuxOs::localTime() {
  std::time_t now = std::time(nullptr);
  std::tm t{};
  ::localtime_r(&now, &t);
  return t;
}

bool LinuxOs::launchBrowser(const std::string& url) {
  if (!isLaunchableUrl(url)) return false;
  std::string program = browserProgram();

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  if (posix_spawn_file_actions_init(&actions) != 0) return false;
  if (posix_spawnattr_init(&attr) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return false;
  }
  for (int fd = 0; fd <= 2; ++fd)
    posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
  // Its own session, no inherited signal mask, default signal handling.
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &all);
  posix_spawnattr_setflags(&attr,
                           POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  // The address is one argument; no shell sees it.
  std::vector<char*> argv{program.data(), const_cast<char*>(url.c_str()), nullptr};
  pid_t pid = 0;
  int rc = ::posix_spawnp(&pid, program.c_str(), &actions, &attr, argv.data(), environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;  // not found, not executable, ...

  // Not waited for here; a detached thread reaps it when it ends, so no zombie is left.
  try {
    std::thread([pid] {
      int status = 0;
      while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
    }).detach();
  } catch (...) {
    // No thread to spare: the browser still runs; only its exit status stays unreaped.
  }
  return true;
}

std::unique_ptr<Os> makeLinuxOs() {
  return std::make_unique<LinuxOs>();
}

}  // namespace kv
