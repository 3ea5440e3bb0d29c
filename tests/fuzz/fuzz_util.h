// Helpers shared by the fuzz targets: a checked condition that stops the run with a message, a
// private temporary folder, and whole-file reads and writes.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace kv::fuzz {

// A broken invariant is a finding: libFuzzer saves the input when the process aborts.
#define FUZZ_CHECK(cond)                                                            \
  do {                                                                              \
    if (!(cond)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                                 \
    }                                                                               \
  } while (0)

inline char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// True when `text` holds `lowerWord` at `pos`, in any case.
inline bool hasAt(std::string_view text, size_t pos, std::string_view lowerWord) {
  if (pos > text.size() || text.size() - pos < lowerWord.size()) return false;
  for (size_t i = 0; i < lowerWord.size(); ++i)
    if (lower(text[pos + i]) != lowerWord[i]) return false;
  return true;
}

// Removes the regular files inside `folder`, then the folder.
inline void removeFolder(const std::string& folder) {
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (dirent* entry = ::readdir(dir)) {
      std::string name = entry->d_name;
      if (name != "." && name != "..") ::unlink((folder + "/" + name).c_str());
    }
    ::closedir(dir);
  }
  ::rmdir(folder.c_str());
}

// A folder of this process under $TMPDIR (else /tmp), removed when the run ends normally.
inline const std::string& tempFolder() {
  static const std::string folder = [] {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/kv-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
      std::perror("mkdtemp");
      std::abort();
    }
    return pattern;
  }();
  static const bool cleanup = [] { return std::atexit([] { removeFolder(folder); }) == 0; }();
  (void)cleanup;
  return folder;
}

// The whole content of a file; aborts when it cannot be read.
inline std::string readAll(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  FUZZ_CHECK(fd >= 0);
  std::string content;
  char buffer[65536];
  for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
    content.append(buffer, static_cast<size_t>(n));
  ::close(fd);
  return content;
}

// Writes `bytes` as the whole file; aborts on failure.
inline void writeAll(const std::string& path, std::string_view bytes) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  FUZZ_CHECK(fd >= 0);
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    FUZZ_CHECK(n > 0);
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  ::close(fd);
}

}  // namespace kv::fuzz
