#include "platform/services/post_form.h"

#include <curl/curl.h>
#include <iconv.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>

namespace kv {

namespace {

std::atomic<long> connectLimitMs{30000};
std::atomic<long> stallLimitMs{60000};
std::atomic<long> totalLimitMs{60000};

// A reply larger than this fails the request (a cut reply would pass for a whole one).
constexpr size_t kMaxReplyBytes = 16 * 1024 * 1024;

const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

void ensureCurl() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

size_t collect(char* data, size_t size, size_t count, void* user) {
  auto* text = static_cast<std::string*>(user);
  size_t bytes = size * count;
  if (bytes > kMaxReplyBytes - text->size()) return 0;  // too large: the transfer fails
  text->append(data, bytes);
  return bytes;
}

// The length of the well-formed UTF-8 sequence at `s[i]`, or 0 when it is not one (overlong
// forms, surrogates and values above U+10FFFF included).
size_t utf8Length(const std::string& s, size_t i) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char c = byte(i);
  if (c < 0x80) return 1;
  size_t n = s.size() - i;
  auto cont = [&](size_t k) { return (byte(i + k) & 0xC0) == 0x80; };
  if (c >= 0xC2 && c <= 0xDF) return n >= 2 && cont(1) ? 2 : 0;
  if (c >= 0xE0 && c <= 0xEF) {
    if (n < 3 || !cont(1) || !cont(2)) return 0;
    unsigned char c1 = byte(i + 1);
    if (c == 0xE0 && c1 < 0xA0) return 0;   // overlong
    if (c == 0xED && c1 >= 0xA0) return 0;  // surrogate
    return 3;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    if (n < 4 || !cont(1) || !cont(2) || !cont(3)) return 0;
    unsigned char c1 = byte(i + 1);
    if (c == 0xF0 && c1 < 0x90) return 0;   // overlong
    if (c == 0xF4 && c1 >= 0x90) return 0;  // above U+10FFFF
    return 4;
  }
  return 0;
}

// Valid UTF-8: every byte that does not begin a well-formed sequence becomes U+FFFD. Runs of
// well-formed text are copied whole, and ASCII is passed over without decoding, so that a reply of
// many megabytes costs little more than one copy.
std::string sanitizeUtf8(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  const char* data = s.data();
  const size_t size = s.size();
  size_t run = 0;  // start of the well-formed run not yet copied
  for (size_t i = 0; i < size;) {
    if (static_cast<unsigned char>(data[i]) < 0x80) {
      ++i;
      continue;
    }
    size_t len = utf8Length(s, i);
    if (len == 0) {
      out.append(data + run, i - run);
      out += kReplacement;
      run = ++i;
    } else {
      i += len;
    }
  }
  out.append(data + run, size - run);
  return out;
}

std::string lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// The charset parameter of a Content-Type value, lower-case, without quotes; empty when none.
std::string charsetOf(const char* contentType) {
  if (contentType == nullptr) return {};
  std::string value = lower(contentType);
  size_t pos = 0;
  while ((pos = value.find(';', pos)) != std::string::npos) {
    ++pos;
    size_t start = value.find_first_not_of(" \t", pos);
    if (start == std::string::npos) break;
    if (value.compare(start, 8, "charset=") != 0) continue;
    start += 8;
    size_t end = value.find(';', start);
    std::string name = value.substr(start, end == std::string::npos ? end : end - start);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.pop_back();
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
      name = name.substr(1, name.size() - 2);
    return name;
  }
  return {};
}

// Decodes `bytes` from the iconv encoding `from` to UTF-8; bytes that cannot be decoded become
// U+FFFD. False when the encoding is unknown.
bool decodeWith(const char* from, const std::string& bytes, std::string& out) {
  iconv_t cd = iconv_open("UTF-8", from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out.clear();
  out.reserve(bytes.size() * 3 / 2 + 16);
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  char buffer[16384];
  while (inLeft > 0) {
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer, static_cast<size_t>(outPtr - buffer));
    if (rc != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    // An invalid or incomplete sequence: one replacement character, then go on after its first
    // byte.
    out += kReplacement;
    ++in;
    --inLeft;
  }
  char* outPtr = buffer;
  size_t outLeft = sizeof buffer;
  iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
  out.append(buffer, static_cast<size_t>(outPtr - buffer));
  iconv_close(cd);
  return true;
}

bool plainName(const std::string& name) {
  if (name.empty() || name.size() > 40) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' ||
           c == ':';
  });
}

// The reply body as UTF-8, by the charset of its Content-Type; UTF-8 when there is none.
std::string decodeReply(const std::string& body, const char* contentType) {
  std::string charset = charsetOf(contentType);
  std::string decoded;
  if (charset == "gbk" || charset == "gb2312" || charset == "gb18030" || charset == "cp936" ||
      charset == "x-gbk" || charset == "euc-cn") {
    // GB 18030 is a superset of both older Chinese encodings.
    if (decodeWith("GB18030", body, decoded)) return sanitizeUtf8(decoded);
  } else if (charset.empty() || charset == "utf-8" || charset == "utf8") {
    if (charset.empty() && body.size() >= 2 &&
        ((body[0] == '\xFF' && body[1] == '\xFE') || (body[0] == '\xFE' && body[1] == '\xFF')) &&
        decodeWith("UTF-16", body, decoded))
      return sanitizeUtf8(decoded);
  } else if (plainName(charset) && decodeWith(charset.c_str(), body, decoded)) {
    return sanitizeUtf8(decoded);
  }
  // UTF-8, or an encoding that iconv does not know: taken as UTF-8, a leading mark dropped.
  if (body.compare(0, 3, "\xEF\xBB\xBF") == 0) return sanitizeUtf8(body.substr(3));
  return sanitizeUtf8(body);
}

// Abandons a transfer once nothing has moved in either direction for the stall limit. (curl's
// own low-speed check averages over several seconds, too coarse for short limits.)
struct StallWatch {
  std::chrono::steady_clock::time_point lastActivity = std::chrono::steady_clock::now();
  curl_off_t received = 0;
  curl_off_t sent = 0;
  std::chrono::milliseconds limit;
};

int watchStall(void* user, curl_off_t, curl_off_t dlnow, curl_off_t, curl_off_t ulnow) {
  auto* watch = static_cast<StallWatch*>(user);
  auto now = std::chrono::steady_clock::now();
  if (dlnow != watch->received || ulnow != watch->sent) {
    watch->received = dlnow;
    watch->sent = ulnow;
    watch->lastActivity = now;
    return 0;
  }
  return now - watch->lastActivity > watch->limit ? 1 : 0;
}

// Where a request goes: its scheme and host, lower-case.
struct Origin {
  std::string scheme, host;
};

std::optional<Origin> originOf(const char* url) {
  CURLU* parsed = curl_url();
  if (parsed == nullptr) return std::nullopt;
  std::optional<Origin> origin;
  char *scheme = nullptr, *host = nullptr;
  if (url != nullptr && curl_url_set(parsed, CURLUPART_URL, url, 0) == CURLUE_OK &&
      curl_url_get(parsed, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
      curl_url_get(parsed, CURLUPART_HOST, &host, 0) == CURLUE_OK)
    origin = Origin{lower(scheme), lower(host)};
  curl_free(scheme);
  curl_free(host);
  curl_url_cleanup(parsed);
  return origin;
}

// Stops a redirection away from the request's own host once connected, before any request is
// sent, so the form (a password among its fields) never travels elsewhere. The scheme stays, or
// goes from http up to https; never down.
struct RedirectGuard {
  CURL* handle;
  Origin first;
};

int checkRedirect(void* user, char*, char*, int, int) {
  auto* guard = static_cast<RedirectGuard*>(user);
  char* url = nullptr;
  curl_easy_getinfo(guard->handle, CURLINFO_EFFECTIVE_URL, &url);
  std::optional<Origin> now = originOf(url);
  bool allowed = now && now->host == guard->first.host &&
                 (now->scheme == guard->first.scheme ||
                  (guard->first.scheme == "http" && now->scheme == "https"));
  return allowed ? CURL_PREREQFUNC_OK : CURL_PREREQFUNC_ABORT;
}

struct CurlDeleter {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct SlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

}  // namespace

void setPostLimits(long connectTimeoutMs, long stallTimeoutMs, long totalTimeoutMs) {
  connectLimitMs = std::max(1L, connectTimeoutMs);
  stallLimitMs = std::max(1L, stallTimeoutMs);
  totalLimitMs = std::max(1L, totalTimeoutMs);
}

PostReply PostForm(const std::string& url, const std::string& body) {
  ensureCurl();
  PostReply reply;
  std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
  if (!curl) return reply;

  // The one header we send; the empty "Expect:" only stops curl from adding one of its own.
  curl_slist* headers =
      curl_slist_append(nullptr, "Content-Type: application/x-www-form-urlencoded");
  if (headers == nullptr) return reply;
  std::unique_ptr<curl_slist, SlistDeleter> headerList(headers);
  if (curl_slist_append(headers, "Expect:") == nullptr) return reply;

  std::string raw;
  CURL* h = curl.get();
  std::optional<Origin> first = originOf(url.c_str());
  if (!first) return reply;
  RedirectGuard guard{h, *first};
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_POST, 1L);
  curl_easy_setopt(h, CURLOPT_POSTFIELDS, body.data());
  curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers);
  // Redirections within the host are followed as a browser's request object does (a POST
  // answered by 301, 302 or 303 continues as a GET, by 307 or 308 as the same POST); one to
  // another host fails the request.
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(h, CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_PREREQFUNCTION, checkRedirect);
  curl_easy_setopt(h, CURLOPT_PREREQDATA, &guard);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, connectLimitMs.load());
  // However it trickles, a request ends by this time from its start (redirections included).
  curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, totalLimitMs.load());
  // A reply that delivers nothing for the stall limit is abandoned.
  StallWatch watch;
  watch.limit = std::chrono::milliseconds(stallLimitMs.load());
  curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, watchStall);
  curl_easy_setopt(h, CURLOPT_XFERINFODATA, &watch);
  curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, collect);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &raw);

  if (curl_easy_perform(h) != CURLE_OK) return reply;
  long status = 0;
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
  char* contentType = nullptr;
  curl_easy_getinfo(h, CURLINFO_CONTENT_TYPE, &contentType);
  reply.completed = true;
  reply.status = static_cast<int>(status);
  reply.text = decodeReply(raw, contentType);
  return reply;
}

}  // namespace kv
