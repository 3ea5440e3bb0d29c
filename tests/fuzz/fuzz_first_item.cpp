// The first-item reader on any bytes: in memory, from a file, and its round trip with writeText.
#include "platform/services/datafiles.h"
#include "tests/fuzz/fuzz_util.h"

namespace {

// The rule written out character by character: leading blanks skipped; a quoted item runs to the
// next quote (or the end); any other to the first comma, CR or LF.
std::string referenceItem(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  std::string item;
  if (i < text.size() && text[i] == '"') {
    for (++i; i < text.size() && text[i] != '"'; ++i) item += text[i];
    return item;
  }
  for (; i < text.size() && text[i] != ',' && text[i] != '\r' && text[i] != '\n'; ++i)
    item += text[i];
  return item;
}

}  // namespace

FUZZ_TARGET(content) {
  using namespace kv::fuzz;
  const std::string item = kv::files::firstItemOf(content);
  FUZZ_CHECK(item == referenceItem(content));
  FUZZ_CHECK(content.find(item) != std::string::npos);

  // The same bytes in a file read the same, up to the reader's cap of 64 KB.
  constexpr size_t kCap = 64 * 1024;
  const std::string path = tempFolder() + "/user.txt";
  writeAll(path, content);
  const std::optional<std::string> fromFile = kv::files::readFirstItem(path);
  FUZZ_CHECK(fromFile && *fromFile == kv::files::firstItemOf(content.substr(0, kCap)));

  // An unquoted item is stored by writeText and read back unchanged: no stored name is altered.
  const size_t first = content.find_first_not_of(" \t");
  const bool quoted = first != std::string::npos && content[first] == '"';
  if (!quoted && item.size() < kCap) {
    FUZZ_CHECK(kv::files::writeText(path, item));
    FUZZ_CHECK(readAll(path) == item + "\r\n");
    const std::optional<std::string> again = kv::files::readFirstItem(path);
    FUZZ_CHECK(again && *again == item);
  }
}
