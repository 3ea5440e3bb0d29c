// Shared by the fuzz targets: the entry point taking the input as a string, a checked condition
// that stops the run with a message, a private temporary folder, whole-file reads and writes.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

// The target's body, with the input as `const std::string& name`.
#define FUZZ_TARGET(name)                                                   \
  static void fuzzOne(const std::string& name);                             \
  extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { \
    fuzzOne(std::string(reinterpret_cast<const char*>(data), size));        \
    return 0;                                                               \
  }                                                                         \
  static void fuzzOne(const std::string& name)

// A broken invariant is a finding: libFuzzer saves the input when the process aborts.
#define FUZZ_CHECK(cond)                                                            \
  do {                                                                              \
    if (!(cond)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                                 \
    }                                                                               \
  } while (0)

namespace kv::fuzz {

// True when `text` holds `lowerWord` at `pos`, in any case.
inline bool hasAt(std::string_view text, size_t pos, std::string_view lowerWord) {
  if (pos > text.size() || text.size() - pos < lowerWord.size()) return false;
  for (size_t i = 0; i < lowerWord.size(); ++i) {
    const char c = text[pos + i];
    if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != lowerWord[i]) return false;
  }
  return true;
}

// A folder of this process under $TMPDIR (else /tmp), removed when the run ends normally.
inline const std::string& tempFolder() {
  static const std::string folder = [] {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/kv-fuzz-XXXXXX";
    FUZZ_CHECK(::mkdtemp(pattern.data()) != nullptr);
    return pattern;
  }();
  // Registered once the folder's name is complete, so that it runs before the name goes.
  static const bool removed = std::atexit([] { std::filesystem::remove_all(folder); }) == 0;
  (void)removed;
  return folder;
}

// The whole content of a file, and a whole file written; a failure aborts.
inline std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  FUZZ_CHECK(in);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}
inline void writeAll(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  FUZZ_CHECK(out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())).flush());
}

}  // namespace kv::fuzz
