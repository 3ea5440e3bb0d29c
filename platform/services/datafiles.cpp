#include "platform/services/datafiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace kv::files {

namespace {

// Writes all of `bytes` to `fd`, retrying short writes and interruptions.
bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

std::string folderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Flushes a folder's entries (the rename) to disk; failures are not fatal for the write.
void syncFolder(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Replaces the file at `path` with `bytes`: a new file is written beside it, flushed and renamed
// over the old one, so the old content stays whole until the new one is complete.
bool replaceFile(const std::string& requested, std::string_view bytes) {
  // A link is replaced through to its target, so the link itself stays.
  std::string path = requested;
  struct stat old {};
  bool hadOld = ::lstat(path.c_str(), &old) == 0;
  if (hadOld && S_ISLNK(old.st_mode)) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr) return false;
    path = resolved;
    hadOld = ::stat(path.c_str(), &old) == 0;
  }
  if (hadOld && !S_ISREG(old.st_mode)) return false;

  static std::atomic<unsigned> counter{0};
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;

  bool ok = writeAll(fd, bytes);
  if (ok && hadOld) ::fchmod(fd, old.st_mode & 07777);
  ok = ok && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  syncFolder(folderOf(path));
  return true;
}

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

// A data file holds one short line; a longer first item is cut here.
constexpr size_t kMaxItemBytes = 64 * 1024;
// The largest file read whole (a stored sign-in reply, itself at most 16 MB as received).
constexpr size_t kMaxWholeFile = 64 * 1024 * 1024;
// The largest picture read: the interface's pictures are JPEGs of some kilobytes.
constexpr size_t kMaxPicture = 4 * 1024 * 1024;

// Opens a data file for reading, following links; -1 unless it is a regular file. Opened without
// blocking, so that a pipe or a device in its place cannot hang the client.
int openRegular(const std::string& path, size_t maxSize = SIZE_MAX) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<size_t>(st.st_size) > maxSize) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Appends what `fd` holds to `content` until its end, until `done(content)` or until `limit`
// bytes are there. False on a read error.
template <class Done>
bool readSome(int fd, std::string& content, size_t limit, Done done) {
  char buffer[4096];
  while (content.size() < limit && !done(content)) {
    ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, limit - content.size()));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    content.append(buffer, static_cast<size_t>(n));
  }
  return true;
}

// True once `content` holds the whole first item: its closing quote, or the comma or line end
// after it.
bool itemComplete(const std::string& content) {
  size_t pos = content.find_first_not_of(" \t");
  if (pos == std::string::npos) return false;
  if (content[pos] == '"') return content.find('"', pos + 1) != std::string::npos;
  return content.find_first_of(",\r\n", pos) != std::string::npos;
}

// The whole of a regular file of at most `maxSize` bytes (one that grew past it meanwhile too).
std::optional<std::string> readWhole(const std::string& path, size_t maxSize) {
  int fd = openRegular(path, maxSize);
  if (fd < 0) return std::nullopt;
  std::string content;
  bool ok = readSome(fd, content, maxSize + 1, [](const std::string&) { return false; });
  ::close(fd);
  if (!ok || content.size() > maxSize) return std::nullopt;
  return content;
}

}  // namespace

std::string dataFolder(const std::string& programFolder) {
  return programFolder + "/paz/l/s/r";
}

std::string dataFile(const std::string& programFolder, const std::string& name) {
  return dataFolder(programFolder) + "/" + name;
}

bool writeText(const std::string& path, const std::string& text) {
  return replaceFile(path, text + "\r\n");
}

bool writeNumber(const std::string& path, long value) {
  std::string digits = std::to_string(value);
  std::string bytes = value < 0 ? digits : " " + digits;
  bytes += " \r\n";
  return replaceFile(path, bytes);
}

bool writeBytes(const std::string& path, const std::string& bytes) {
  return replaceFile(path, bytes);
}

std::optional<std::string> readAll(const std::string& path) {
  return readWhole(path, kMaxWholeFile);
}

std::optional<std::string> readPicture(const std::string& path) {
  return readWhole(path, kMaxPicture);
}

std::optional<std::string> readFirstItem(const std::string& path) {
  int fd = openRegular(path);
  if (fd < 0) return std::nullopt;
  // Read in small steps until the item is complete; an item longer than the cap is cut there.
  std::string content;
  bool ok = readSome(fd, content, kMaxItemBytes, itemComplete);
  ::close(fd);
  if (!ok) return std::nullopt;
  return firstItemOf(content);
}

std::string firstItemOf(const std::string& content) {
  size_t pos = 0;
  while (pos < content.size() && isBlank(content[pos])) ++pos;
  if (pos < content.size() && content[pos] == '"') {
    // A quoted item runs to the next quote; without one it runs to the end of the text.
    size_t close = content.find('"', pos + 1);
    if (close == std::string::npos) return content.substr(pos + 1);
    return content.substr(pos + 1, close - pos - 1);
  }
  size_t end = content.find_first_of(",\r\n", pos);
  if (end == std::string::npos) end = content.size();
  // An unquoted item keeps everything up to the comma or line end: " 1 " reads as "1 ", which
  // compares as the number 1; an account name typed with a blank at its end keeps it.
  return content.substr(pos, end - pos);
}

std::optional<long long> fileLength(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<long long>(st.st_size);
}

bool isFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool createEmptyFile(const std::string& path) {
  // O_EXCL: an existing file is never emptied, so no stored text can be lost here.
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  return ::close(fd) == 0;
}

bool createFolder(const std::string& path) {
  return ::mkdir(path.c_str(), 0777) == 0;
}

void emptyFolder(const std::string& folder) {
  // The folder itself must not be a link, and nothing inside is followed.
  int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (dirFd < 0) return;
  DIR* dir = ::fdopendir(dirFd);
  if (dir == nullptr) {
    ::close(dirFd);
    return;
  }
  while (dirent* entry = ::readdir(dir)) {
    std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat st {};
    if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISREG(st.st_mode)) ::unlinkat(dirFd, entry->d_name, 0);
  }
  ::closedir(dir);  // closes dirFd too
}

}  // namespace kv::files
