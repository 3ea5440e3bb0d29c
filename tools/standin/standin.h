// Stand-in web services for the tests and the demo: one HTTP server that plays the product
// service, the cash-back platform and the member site. The client reaches it as its proxy
// (http_proxy), so requests arrive in proxy form ("POST http://host/path") and are dispatched on
// the host. Each test scripts replies and reads back the requests received, in order.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace kv::standin {

struct Request {
  std::string method;                          // "POST", "GET", ...
  std::string host;                            // without port
  std::string path;                            // path only, as sent, e.g. "/app.php/index/wang"
  std::string query;                           // after "?", may be empty
  std::map<std::string, std::string> headers;  // names lower-case
  std::string body;
};

struct Reply {
  int status = 200;
  std::string body;
  std::string contentType = "text/plain; charset=utf-8";
  int delayMs = 0;            // wait before answering
  bool refuse = false;        // close the connection without any reply
  bool dropMidReply = false;  // send the headers and part of the body, then close
  bool stall = false;         // send the headers and part of the body, then hang
  int trickleMs = 0;          // > 0: send the headers, then the body again and again without end,
                              // one copy every trickleMs, until the client goes away
  std::string location{};     // non-empty: sent as the Location header (a redirection)
};

class StandIn {
 public:
  // productHost and platformHost are the hosts the client was built with; every other host is
  // treated as a member site.
  StandIn(std::string productHost, std::string platformHost);
  ~StandIn();
  StandIn(const StandIn&) = delete;
  StandIn& operator=(const StandIn&) = delete;

  // Starts serving on 127.0.0.1 in a background thread; port 0 picks a free port. Returns the
  // port, or -1 when it cannot listen.
  int start(int port = 0);
  void stop();
  int port() const;
  // "http://127.0.0.1:<port>", for http_proxy.
  std::string proxyUrl() const;

  // The reply for every later request to host + path (exact path, no query), until changed.
  void setReply(const std::string& host, const std::string& path, Reply reply);
  // A reply for the next request only; queued replies are used before the standing one.
  void queueReply(const std::string& host, const std::string& path, Reply reply);
  // Back to the friendly defaults, request log kept.
  void resetReplies();

  std::vector<Request> requests() const;
  // Requests to one host (and path, when given), in order.
  std::vector<Request> requests(const std::string& host, const std::string& path = {}) const;
  void clearRequests();

  // The defaults the demo runs with.
  static std::string defaultSiteText();  // holds a member-site address and a referral
  static std::string demoAccount();      // the account the sign-in accepts
  static std::string demoPassword();

 private:
  struct Impl;
  Impl* impl_;
};

}  // namespace kv::standin
