#include "platform/services/shortcut.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <mutex>
#include <set>
#include <string_view>

namespace kv {

namespace {

// The shortcut file names this process has written, so that a later opening never rewrites a
// file whose reader may not have read it yet.
std::mutex writtenMutex;
std::set<std::string> written;  // of the latest stamp only
std::string writtenStamp;

// Creates `name` in the folder `dirFd` (never an existing file) holding `bytes`: 0, or the error
// number of the failure.
int writeNew(int dirFd, const std::string& name, std::string_view bytes) {
  int fd =
      ::openat(dirFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return errno;
  bool ok = true;
  while (ok && !bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  ok = (::close(fd) == 0) && ok;
  if (ok) return 0;
  ::unlinkat(dirFd, name.c_str(), 0);
  return EIO;
}

bool exists(int dirFd, const std::string& name) {
  struct stat st {};
  return ::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

}  // namespace

std::string timeStamp(const std::tm& t) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%04d%02d%02d%02d%02d%02d", t.tm_year + 1900, t.tm_mon + 1,
                t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
  return buffer;
}

std::string writeShortcutFile(const std::string& tempFolder, const std::tm& when,
                              const std::string& url) {
  const std::string stamp = timeStamp(when);
  const std::string bytes = "[InternetShortcut]\r\nURL=" + url + "\r\n";
  // Only into a real folder: a link in its place would send the files, which nothing removes,
  // wherever it points.
  int dirFd = ::open(tempFolder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (dirFd < 0) return {};
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{dirFd};
  std::lock_guard<std::mutex> lock(writtenMutex);
  if (stamp != writtenStamp) {
    written.clear();
    writtenStamp = stamp;
  }
  // The first file of a second takes the plain stamp; later ones within the same second, or a
  // name already taken by any file, get "_2", "_3", ...
  for (int n = 1; n <= 1000; ++n) {
    std::string name = stamp + (n == 1 ? "" : "_" + std::to_string(n)) + ".url";
    std::string path = tempFolder + "/" + name;
    if (written.count(path) != 0 || exists(dirFd, name)) continue;
    int error = writeNew(dirFd, name, bytes);
    if (error == 0) {
      written.insert(path);
      return path;
    }
    if (error != EEXIST) return {};
  }
  return {};
}

std::string GetShortName(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return {};
  return path;
}

bool isLaunchableUrl(const std::string& url) {
  // The scheme: letters, digits, "+", "-", "." from the first character up to the first ":".
  size_t colon = url.find(':');
  if (colon == std::string::npos || colon == 0) return false;
  std::string scheme;
  for (size_t i = 0; i < colon; ++i) {
    char c = url[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    bool letter = c >= 'a' && c <= 'z';
    bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
    if (!letter && !(i > 0 && other)) return false;
    scheme += c;
  }
  return scheme == "http" || scheme == "https" || scheme == "ftp";
}

}  // namespace kv
