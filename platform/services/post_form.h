// One synchronous HTTP POST with a form-encoded body: the status and the whole reply text.
#pragma once

#include <string>

namespace kv {

struct PostReply {
  bool completed = false;  // false: no reply at all (refused, unresolved, timed out, dropped)
  int status = 0;          // the HTTP status of a completed request
  std::string text;        // the reply body decoded to UTF-8 by its charset (UTF-8 when none)
};

// POSTs `body` exactly as given to `url` with the one header
// "Content-Type: application/x-www-form-urlencoded". Blocks the calling thread until the reply
// has arrived or the request failed. Honours http_proxy / no_proxy.
PostReply PostForm(const std::string& url, const std::string& body);

// Request limits: the connect time-out and how long a reply may stall before it is abandoned.
// Defaults 30000 ms and 60000 ms; tests shorten them.
void setPostLimits(long connectTimeoutMs, long stallTimeoutMs);

}  // namespace kv
