// One synchronous HTTP POST with a form-encoded body: the status and the whole reply text.
#pragma once

#include <string>

namespace kv {

struct PostReply {
  bool completed = false;  // false: no reply (refused, unresolved, timed out, dropped, too large)
  int status = 0;          // the HTTP status of a completed request
  std::string text;        // the reply body decoded to UTF-8 by its charset (UTF-8 when none)
};

// POSTs `body` exactly as given to `url` with the one header
// "Content-Type: application/x-www-form-urlencoded". Blocks the calling thread until the reply
// has arrived or the request failed. Honours http_proxy / no_proxy. Redirections are followed
// only on the same host (the scheme kept, or raised from http to https); one elsewhere fails the
// request.
PostReply PostForm(const std::string& url, const std::string& body);

// Request limits: the connect time-out, how long a reply may stall before it is abandoned and the
// longest a whole request may take. Defaults 30000, 60000 and 60000 ms; tests shorten them. A
// request over a limit, or with a reply over 16 MB, fails as a refused one does.
void setPostLimits(long connectTimeoutMs, long stallTimeoutMs, long totalTimeoutMs = 60000);

}  // namespace kv
