#include "platform/services/os_linux.h"

#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// A folder that only this user can change: a real folder (not a link), owned by the user, not
// writable by group or others.
bool isPrivateFolder(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
         st.st_uid == ::getuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// The user's own folder for the lock when there is no usable runtime folder:
// ~/.cache/kelvora, made 0700 when missing. Empty when it cannot be made private.
std::string privateFolder() {
  const char* home = std::getenv("HOME");
  std::string base = home != nullptr && *home == '/' ? home : "";
  if (base.empty()) {
    if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr)
      base = pw->pw_dir;
  }
  if (base.empty()) return {};
  const std::string cache = base + "/.cache", folder = cache + "/kelvora";
  ::mkdir(cache.c_str(), 0700);
  ::mkdir(folder.c_str(), 0700);
  // A folder of ours that others may write is made private again.
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  struct stat st {};
  if (fd >= 0 && ::fstat(fd, &st) == 0 && st.st_uid == ::getuid()) ::fchmod(fd, 0700);
  if (fd >= 0) ::close(fd);
  return isPrivateFolder(folder) ? folder : std::string();
}

// Opens the lock file without following a link; -1 unless it is a regular file of this user.
int openLockFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::getuid()) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// The address of an abstract socket name (no file anywhere; it ends with the last process that
// holds it).
struct NameAddress {
  sockaddr_un addr{};
  socklen_t size = 0;
  explicit NameAddress(const std::string& name) {
    addr.sun_family = AF_UNIX;
    size_t n = std::min(name.size(), sizeof addr.sun_path - 1);
    std::memcpy(addr.sun_path + 1, name.data(), n);  // sun_path[0] stays 0: abstract
    size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + n);
  }
  const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&addr); }
};

// True when a process of this user listens on the name. Anyone may bind any abstract name, so a
// name that another user holds, or that nobody listens on, is not an instance of ours. An
// instance between its bind and its listen refuses for a moment: asked again a few times.
bool nameHeldByThisUser(const NameAddress& name) {
  for (int attempt = 0; attempt < 20; ++attempt) {
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return false;
    int rc = ::connect(fd, name.get(), name.size);
    int error = errno;
    ucred peer{};
    socklen_t size = sizeof peer;
    bool ours = rc == 0 && ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
                peer.uid == ::getuid();
    ::close(fd);
    if (rc == 0 || error != ECONNREFUSED) return ours;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

// One word of a $BROWSER entry with "%s" replaced by the address and "%%" by a percent sign.
std::string expandWord(const std::string& word, const std::string& url, bool& usedUrl) {
  std::string out;
  for (size_t i = 0; i < word.size(); ++i) {
    if (word[i] == '%' && i + 1 < word.size() && (word[i + 1] == 's' || word[i + 1] == '%')) {
      if (word[++i] == 's') {
        out += url;
        usedUrl = true;
      } else {
        out += '%';
      }
    } else {
      out += word[i];
    }
  }
  return out;
}

// Browser processes started and not yet ended; reaped by a thread each.
std::atomic<int> runningBrowsers{0};
constexpr int kMaxRunningBrowsers = 32;

// Starts `argv` detached from this process (own session, no terminal, default signals); false
// when it cannot be started (not found, not executable, ...).
bool spawn(std::vector<std::string> args) {
  if (args.empty() || args[0].empty()) return false;
  if (runningBrowsers.load() >= kMaxRunningBrowsers) return false;
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  if (posix_spawn_file_actions_init(&actions) != 0) return false;
  if (posix_spawnattr_init(&attr) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return false;
  }
  for (int fd = 0; fd <= 2; ++fd)
    posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &all);
  posix_spawnattr_setflags(&attr,
                           POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  // glibc reports a failed exec here, so the caller can try the next program.
  int rc = ::posix_spawnp(&pid, argv[0], &actions, &attr, argv.data(), environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;

  // Not waited for here; a detached thread reaps it when it ends, so no zombie is left.
  ++runningBrowsers;
  try {
    std::thread([pid] {
      int status = 0;
      while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      --runningBrowsers;
    }).detach();
  } catch (...) {
    // No thread to spare: the browser still runs; only its exit status stays unreaped.
  }
  return true;
}

}  // namespace

std::vector<std::vector<std::string>> browserCommands(const std::string& browserVariable,
                                                      const std::string& url) {
  std::vector<std::vector<std::string>> commands;
  size_t start = 0;
  while (start <= browserVariable.size()) {
    size_t end = browserVariable.find(':', start);
    if (end == std::string::npos) end = browserVariable.size();
    const std::string entry = browserVariable.substr(start, end - start);
    start = end + 1;
    // An entry that names an executable file as it stands is one word, blanks and all.
    std::vector<std::string> words;
    if (entry.find('/') != std::string::npos && entry.find('%') == std::string::npos &&
        ::access(entry.c_str(), X_OK) == 0) {
      words.push_back(entry);
    } else {
      for (size_t i = 0; i < entry.size();) {
        size_t w = entry.find_first_not_of(" \t", i);
        if (w == std::string::npos) break;
        size_t e = entry.find_first_of(" \t", w);
        if (e == std::string::npos) e = entry.size();
        words.push_back(entry.substr(w, e - w));
        i = e;
      }
    }
    if (words.empty()) continue;
    bool usedUrl = false;
    for (std::string& word : words) word = expandWord(word, url, usedUrl);
    if (!usedUrl) words.push_back(url);
    commands.push_back(std::move(words));
  }
  commands.push_back({"xdg-open", url});
  return commands;
}

LinuxOs::LinuxOs(std::string lockFolder) : lockFolder_(std::move(lockFolder)) {}

LinuxOs::~LinuxOs() {
  if (lockFd_ >= 0) ::close(lockFd_);
  if (nameFd_ >= 0) {
    ::shutdown(nameFd_, SHUT_RDWR);  // ends the acceptor's wait
    if (acceptor_.joinable()) acceptor_.join();
    ::close(nameFd_);
  }
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
  // Only in a folder no other user can write: the runtime folder when it is private, else a
  // folder of the user's own. A shared folder such as /tmp would let anyone hold or replace it.
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && isPrivateFolder(runtime)) return std::string(runtime) + "/" + name;
  std::string folder = privateFolder();
  return folder.empty() ? std::string() : folder + "/" + name;
}

std::string LinuxOs::instanceName() const {
  std::string key = programFile();
  if (!lockFolder_.empty()) key += "\n" + lockFolder_;
  return "kelvora-" + std::to_string(::getuid()) + "-" + hexHash(key);
}

bool LinuxOs::anotherInstanceRunning() {
  if (instance_) return false;
  const std::string path = lockFilePath();
  // Nothing but this user's own programs can put anything at the path. When what is there is no
  // regular file of ours (a link, a folder, a pipe), it is taken away once and the lock made
  // anew, so that instances still exclude each other; when even that fails, or there is no
  // private place at all, the name below decides alone. When neither can be had, this instance
  // runs: one working instance rather than none.
  int fd = path.empty() ? -1 : openLockFile(path);
  struct stat st {};
  if (fd < 0 && !path.empty() && ::lstat(path.c_str(), &st) == 0 &&
      !(S_ISREG(st.st_mode) && st.st_uid == ::getuid()) &&
      (::unlink(path.c_str()) == 0 || ::rmdir(path.c_str()) == 0))
    fd = openLockFile(path);
  if (fd >= 0) {
    int rc;
    do {
      rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
      bool held = errno == EWOULDBLOCK;
      ::close(fd);
      if (held) return true;
    } else {
      lockFd_ = fd;
    }
  }

  // The name as well: it needs no folder (a system account, a home nobody can write, no runtime
  // folder) and is the same whatever folders an instance was given, in one network namespace.
  const NameAddress name(instanceName());
  int sock = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (sock >= 0 && ::bind(sock, name.get(), name.size) == 0 && ::listen(sock, 16) == 0) {
    nameFd_ = sock;
    try {
      // Instances that look connect here; each connection is taken and closed, so none waits.
      acceptor_ = std::thread([sock] {
        for (;;) {
          int peer = ::accept4(sock, nullptr, nullptr, SOCK_CLOEXEC);
          if (peer >= 0)
            ::close(peer);
          else if (errno != EINTR && errno != ECONNABORTED)
            return;
        }
      });
    } catch (...) {
      // No thread to spare: the name is still held; instances that look may wait their turn.
    }
  } else {
    bool inUse = sock >= 0 && errno == EADDRINUSE;
    if (sock >= 0) ::close(sock);
    if (inUse && nameHeldByThisUser(name)) {
      if (lockFd_ >= 0) ::close(lockFd_);
      lockFd_ = -1;
      return true;
    }
  }
  instance_ = true;
  return false;
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
  const char* env = std::getenv("BROWSER");
  // Each command in turn until one starts; the address is one argument, no shell sees it.
  for (auto& command : browserCommands(env != nullptr ? env : "", url))
    if (spawn(std::move(command))) return true;
  return false;
}

int runningBrowserCount() {
  return runningBrowsers.load();
}

std::unique_ptr<Os> makeLinuxOs() {
  return std::make_unique<LinuxOs>();
}

}  // namespace kv
