#include "tools/standin/standin.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <list>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>

#include "tools/standin/pages.h"

namespace kv::standin {

namespace {

constexpr int kSliceMs = 50;        // how often waits look at the stop flag
constexpr int kIoTimeoutMs = 5000;  // a request or reply that makes no progress
constexpr int kKeepAliveMs = 5000;  // an idle kept-alive connection
constexpr int kMaxRequestsPerConnection = 100;
constexpr const char* kControlPrefix = "/__control/";
constexpr const char* kControlHost = "standin.control";

// Waits until `fd` is ready for `events`, in short slices so that a stop is noticed at once.
// Hang-ups and errors count as ready: the following call reports them.
bool waitFd(int fd, short events, int timeoutMs, const std::atomic<bool>& stopping) {
  for (int waited = 0; waited < timeoutMs; waited += kSliceMs) {
    if (stopping) return false;
    pollfd p{fd, events, 0};
    int n = ::poll(&p, 1, std::min(kSliceMs, timeoutMs - waited));
    if (n > 0) return true;
    if (n < 0 && errno != EINTR) return false;
  }
  return false;
}

bool sendAll(int fd, const char* data, size_t size, const std::atomic<bool>& stopping) {
  size_t done = 0;
  while (done < size) {
    if (!waitFd(fd, POLLOUT, kIoTimeoutMs, stopping)) return false;
    ssize_t n = ::send(fd, data + done, size - done, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// One client connection. Once `silent` is set (a scripted refusal, or a reply already written by
// hand) nothing more goes out on it and it is closed after the current request.
struct Connection {
  int fd;
  const std::atomic<bool>& stopping;
  bool silent = false;
};

// The connection whose request the current server thread is handling.
thread_local Connection* tConnection = nullptr;

// The socket as the request parser reads and writes it; buffered reads, writes that never raise
// SIGPIPE, and waits that end when the server stops.
class SocketStream final : public httplib::Stream {
 public:
  explicit SocketStream(Connection& c) : c_(c) {}

  bool hasBuffered() const { return pos_ < len_; }

  // Called before each request on the connection.
  void beginRequest() {
    inHead_ = true;
    head_.clear();
    noBody_ = false;
  }

  bool is_readable() const override {
    return hasBuffered() || waitFd(c_.fd, POLLIN, kIoTimeoutMs, c_.stopping);
  }
  bool is_writable() const override {
    return !c_.silent && waitFd(c_.fd, POLLOUT, kIoTimeoutMs, c_.stopping);
  }
  ssize_t read(char* ptr, size_t size) override {
    // A request without Content-Length or Transfer-Encoding has no body; the parser would wait
    // for the connection to close instead, so its body reads end here.
    if (noBody_) return 0;
    if (!hasBuffered()) {
      if (!waitFd(c_.fd, POLLIN, kIoTimeoutMs, c_.stopping)) return -1;
      ssize_t n;
      do {
        n = ::recv(c_.fd, buf_.data(), buf_.size(), 0);
      } while (n < 0 && errno == EINTR);
      if (n <= 0) return n;
      pos_ = 0;
      len_ = static_cast<size_t>(n);
    }
    size_t k = std::min(size, len_ - pos_);
    if (inHead_) {
      // Watch the head go by (the parser reads it byte by byte) and stop at its end.
      size_t i = 0;
      while (i < k && inHead_) {
        head_ += buf_[pos_ + i++];
        if (head_.ends_with("\r\n\r\n") || head_.ends_with("\n\n")) endOfHead();
      }
      k = i;
    }
    std::memcpy(ptr, buf_.data() + pos_, k);
    pos_ += k;
    return static_cast<ssize_t>(k);
  }
  ssize_t write(const char* ptr, size_t size) override {
    if (c_.silent) return -1;
    return sendAll(c_.fd, ptr, size, c_.stopping) ? static_cast<ssize_t>(size) : -1;
  }
  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    address(true, ip, port);
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    address(false, ip, port);
  }
  socket_t socket() const override { return c_.fd; }

 private:
  void endOfHead() {
    inHead_ = false;
    const std::string h = pages::lower(head_);
    noBody_ = h.find("\ncontent-length:") == std::string::npos &&
              h.find("\ntransfer-encoding:") == std::string::npos;
    head_.clear();
  }

  void address(bool peer, std::string& ip, int& port) const {
    sockaddr_storage addr{};
    socklen_t len = sizeof(addr);
    int rc = peer ? ::getpeername(c_.fd, reinterpret_cast<sockaddr*>(&addr), &len)
                  : ::getsockname(c_.fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ip.clear();
    port = -1;
    if (rc != 0) return;
    char text[INET6_ADDRSTRLEN] = {};
    if (addr.ss_family == AF_INET) {
      auto* a = reinterpret_cast<sockaddr_in*>(&addr);
      ::inet_ntop(AF_INET, &a->sin_addr, text, sizeof(text));
      port = ntohs(a->sin_port);
    } else if (addr.ss_family == AF_INET6) {
      auto* a = reinterpret_cast<sockaddr_in6*>(&addr);
      ::inet_ntop(AF_INET6, &a->sin6_addr, text, sizeof(text));
      port = ntohs(a->sin6_port);
    }
    ip = text;
  }

  Connection& c_;
  std::array<char, 4096> buf_{};
  size_t pos_ = 0;
  size_t len_ = 0;
  bool inHead_ = true;
  bool noBody_ = false;
  std::string head_;
};

// The server with its own connection loop, so that a handler can reach its socket (to refuse, to
// break a reply off) and so that idle or stalled connections end as soon as the server stops.
class ProxyServer final : public httplib::Server {
 public:
  explicit ProxyServer(const std::atomic<bool>& stopping) : stopping_(stopping) {}

 private:
  bool process_and_close_socket(socket_t sock) override {
    Connection c{sock, stopping_};
    SocketStream strm(c);
    for (int i = 0; i < kMaxRequestsPerConnection && !c.silent; ++i) {
      if (!strm.hasBuffered() && !waitFd(sock, POLLIN, kKeepAliveMs, stopping_)) break;
      bool closed = false;
      strm.beginRequest();
      tConnection = &c;
      bool ok = process_request(strm, i + 1 == kMaxRequestsPerConnection, closed, nullptr);
      tConnection = nullptr;
      if (!ok || closed) break;
    }
    ::shutdown(sock, SHUT_RDWR);
    ::close(sock);
    return true;
  }

  const std::atomic<bool>& stopping_;
};

// One thread per connection: a browser's kept-alive connections and stalled replies must not
// hold up other clients, as a fixed pool would.
class ThreadPerConnection final : public httplib::TaskQueue {
 public:
  void enqueue(std::function<void()> fn) override {
    std::unique_lock<std::mutex> lock(mutex_);
    reapFinished();
    auto done = std::make_shared<std::atomic<bool>>(false);
    try {
      workers_.push_back({std::thread([fn, done] {
                            fn();
                            *done = true;
                          }),
                          done});
    } catch (const std::system_error&) {
      lock.unlock();
      fn();  // no thread to be had: serve the connection on the accepting thread
    }
  }
  void shutdown() override {
    std::list<Worker> all;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      all.swap(workers_);
    }
    for (Worker& w : all) w.thread.join();
  }

 private:
  struct Worker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };
  void reapFinished() {
    for (auto it = workers_.begin(); it != workers_.end();) {
      if (*it->done) {
        it->thread.join();
        it = workers_.erase(it);
      } else {
        ++it;
      }
    }
  }

  std::mutex mutex_;
  std::list<Worker> workers_;
};

const char* reason(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 500:
      return "Internal Server Error";
    case 502:
      return "Bad Gateway";
    case 503:
      return "Service Unavailable";
    default:
      return "Status";
  }
}

// The host of an authority ("host", "host:port", "user@host:port", "[::1]:80"), lower case.
std::string hostOf(std::string authority) {
  if (auto at = authority.rfind('@'); at != std::string::npos) authority.erase(0, at + 1);
  if (!authority.empty() && authority[0] == '[') {
    auto close = authority.find(']');
    return pages::lower(authority.substr(1, close == std::string::npos ? close : close - 1));
  }
  return pages::lower(authority.substr(0, authority.find(':')));
}

std::string key(const std::string& host, const std::string& path) {
  return pages::lower(host) + '\n' + path;
}

std::string escapeField(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::map<std::string, std::string> parseQuery(const std::string& query) {
  std::map<std::string, std::string> out;
  size_t start = 0;
  while (start <= query.size()) {
    size_t end = query.find('&', start);
    if (end == std::string::npos) end = query.size();
    std::string pair = query.substr(start, end - start);
    if (!pair.empty()) {
      auto eq = pair.find('=');
      out[pages::percentDecode(pair.substr(0, eq), true)] =
          eq == std::string::npos ? "" : pages::percentDecode(pair.substr(eq + 1), true);
    }
    start = end + 1;
  }
  return out;
}

// A whole decimal number within [lo, hi], or nullopt.
std::optional<int> number(const std::string& text, int lo, int hi) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < lo || value > hi) return std::nullopt;
  return value;
}

// A request as it arrived: what is recorded, the authority it named and its form.
struct Incoming {
  Request request;
  std::string authority;
  bool originForm = false;
};

Incoming parse(const httplib::Request& in) {
  Incoming out;
  Request& r = out.request;
  r.method = in.method;
  r.body = in.body;
  for (const auto& [name, value] : in.headers) {
    std::string k = pages::lower(name);
    // The parser adds the connection's addresses as headers; no client sent them.
    if (k == "remote_addr" || k == "remote_port" || k == "local_addr" || k == "local_port") {
      continue;
    }
    auto [it, fresh] = r.headers.emplace(k, value);
    if (!fresh) it->second += ", " + value;
  }

  const std::string& target = in.target;
  std::string rest;
  if (!target.empty() && (target[0] == '/' || target[0] == '*')) {
    out.originForm = true;
    out.authority = in.get_header_value("Host");
    rest = target;
  } else if (auto scheme = target.find("://"); scheme != std::string::npos) {
    auto end = target.find_first_of("/?#", scheme + 3);
    out.authority = target.substr(scheme + 3, end == std::string::npos ? end : end - scheme - 3);
    if (end != std::string::npos) rest = target.substr(end);
  } else {
    out.authority = target;  // CONNECT host:port
  }
  if (auto at = out.authority.rfind('@'); at != std::string::npos) out.authority.erase(0, at + 1);
  if (auto hash = rest.find('#'); hash != std::string::npos) rest.erase(hash);
  auto q = rest.find('?');
  r.path = rest.substr(0, q);
  if (r.path.empty()) r.path = "/";
  if (q != std::string::npos) r.query = rest.substr(q + 1);
  r.host = hostOf(out.authority);
  return out;
}

}  // namespace

struct StandIn::Impl {
  pages::Hosts hosts;

  mutable std::mutex mutex;
  std::condition_variable wake;  // delays and stalls wait on it; stop() wakes them
  std::atomic<bool> stopping{false};
  std::vector<Request> log;
  std::map<std::string, std::deque<Reply>> queued;
  std::map<std::string, Reply> standing;

  std::unique_ptr<ProxyServer> server;
  std::thread listener;
  int port = -1;

  void handle(const httplib::Request& in, httplib::Response& res);
  void control(const Request& r, httplib::Response& res);
  void answer(const Reply& reply, httplib::Response& res);
  bool pause(int ms);
  void hang(int fd);

  void setReply(const std::string& host, const std::string& path, Reply reply) {
    std::lock_guard<std::mutex> lock(mutex);
    standing[key(host, path)] = std::move(reply);
  }
  void queueReply(const std::string& host, const std::string& path, Reply reply) {
    std::lock_guard<std::mutex> lock(mutex);
    queued[key(host, path)].push_back(std::move(reply));
  }
  void resetReplies() {
    std::lock_guard<std::mutex> lock(mutex);
    queued.clear();
    standing.clear();
  }
  void clearRequests() {
    std::lock_guard<std::mutex> lock(mutex);
    log.clear();
  }
};

void StandIn::Impl::handle(const httplib::Request& in, httplib::Response& res) {
  Incoming inc = parse(in);
  const Request& r = inc.request;
  // Control requests come straight to the server, or through it as a proxy to the control
  // host or to the server's own address (a shell with http_proxy set).
  if (r.path.rfind(kControlPrefix, 0) == 0 && (inc.originForm || r.host == kControlHost ||
                                               r.host == "127.0.0.1" || r.host == "localhost")) {
    control(r, res);
    return;
  }

  std::optional<Reply> scripted;
  {
    std::lock_guard<std::mutex> lock(mutex);
    log.push_back(r);
    if (r.method == "CONNECT") {
      res.status = 405;  // nothing here speaks https
      return;
    }
    const std::string k = key(r.host, r.path);
    if (auto q = queued.find(k); q != queued.end() && !q->second.empty()) {
      scripted = std::move(q->second.front());
      q->second.pop_front();
    } else if (auto s = standing.find(k); s != standing.end()) {
      scripted = s->second;
    }
  }
  answer(scripted ? *scripted : pages::defaultReply(hosts, r, "http://" + inc.authority), res);
}

void StandIn::Impl::answer(const Reply& reply, httplib::Response& res) {
  Connection* c = tConnection;
  if (reply.delayMs > 0 && !pause(reply.delayMs)) {
    if (c) c->silent = true;
    return;
  }
  if (c && reply.refuse) {
    c->silent = true;
    return;
  }
  if (c && (reply.dropMidReply || reply.stall)) {
    // Announce more than is sent, send half of the body, then close or hang.
    std::string raw = "HTTP/1.1 " + std::to_string(reply.status) + " " + reason(reply.status) +
                      "\r\nContent-Type: " + reply.contentType +
                      "\r\nContent-Length: " + std::to_string(reply.body.size() + 64) +
                      "\r\nConnection: close\r\n\r\n" + reply.body.substr(0, reply.body.size() / 2);
    c->silent = true;
    if (sendAll(c->fd, raw.data(), raw.size(), stopping) && reply.stall) hang(c->fd);
    return;
  }
  if (c && reply.trickleMs > 0) {
    // A reply that never ends: announce a gigabyte, then send the body over and over.
    std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " + reason(reply.status) +
                       "\r\nContent-Type: " + reply.contentType +
                       "\r\nContent-Length: 1073741824\r\nConnection: close\r\n\r\n";
    c->silent = true;
    const std::string piece = reply.body.empty() ? std::string("a") : reply.body;
    if (!sendAll(c->fd, head.data(), head.size(), stopping)) return;
    while (sendAll(c->fd, piece.data(), piece.size(), stopping) && pause(reply.trickleMs)) {
    }
    return;
  }
  res.status = reply.status;
  if (!reply.location.empty()) res.set_header("Location", reply.location);
  if (reply.contentType.empty()) {
    res.body = reply.body;
  } else {
    res.set_content(reply.body, reply.contentType);
  }
}

bool StandIn::Impl::pause(int ms) {
  std::unique_lock<std::mutex> lock(mutex);
  return !wake.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stopping.load(); });
}

// Waits until the server stops or the client goes away.
void StandIn::Impl::hang(int fd) {
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex);
      if (wake.wait_for(lock, std::chrono::milliseconds(kSliceMs),
                        [&] { return stopping.load(); })) {
        return;
      }
    }
    pollfd p{fd, POLLRDHUP, 0};
    if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR))) return;
  }
}

void StandIn::Impl::control(const Request& r, httplib::Response& res) {
  const std::string what = r.path.substr(std::strlen(kControlPrefix));
  auto reply = [&](int status, const std::string& body) {
    res.status = status;
    res.set_content(body, "text/plain; charset=utf-8");
  };
  if (what == "reply" && r.method == "POST") {
    auto params = parseQuery(r.query);
    if (params["host"].empty() || params["path"].empty()) {
      return reply(400, "host and path are required\n");
    }
    Reply scripted;
    scripted.body = r.body;
    if (!params["status"].empty()) {
      auto status = number(params["status"], 100, 999);
      if (!status) return reply(400, "bad status\n");
      scripted.status = *status;
    }
    if (!params["delay"].empty()) {
      auto delay = number(params["delay"], 0, 600000);
      if (!delay) return reply(400, "bad delay\n");
      scripted.delayMs = *delay;
    }
    if (params.count("type")) scripted.contentType = params["type"];
    scripted.location = params["location"];
    auto every =
        params["every"].empty() ? std::optional<int>(500) : number(params["every"], 1, 600000);
    if (!every) return reply(400, "bad every\n");
    const std::string mode = params["mode"];
    if (mode == "refuse") {
      scripted.refuse = true;
    } else if (mode == "drop") {
      scripted.dropMidReply = true;
    } else if (mode == "stall") {
      scripted.stall = true;
    } else if (mode == "trickle") {
      scripted.trickleMs = *every;  // the body once every `every` ms, without end
    } else if (!mode.empty() && mode != "normal") {
      return reply(400, "bad mode\n");
    }
    if (params["once"] == "1") {
      queueReply(params["host"], params["path"], std::move(scripted));
    } else {
      setReply(params["host"], params["path"], std::move(scripted));
    }
    return reply(200, "ok\n");
  }
  if (what == "reset" && r.method == "POST") {
    resetReplies();
    return reply(200, "ok\n");
  }
  if (what == "clear" && r.method == "POST") {
    clearRequests();
    return reply(200, "ok\n");
  }
  if (what == "requests" && r.method == "GET") {
    std::string out;
    std::lock_guard<std::mutex> lock(mutex);
    for (const Request& q : log) {
      out += escapeField(q.method) + '\t' + escapeField(q.host) + '\t' + escapeField(q.path) +
             '\t' + escapeField(q.query) + '\t' + escapeField(q.body) + '\n';
    }
    return reply(200, out);
  }
  reply(404, "unknown control request\n");
}

StandIn::StandIn(std::string productHost, std::string platformHost) : impl_(new Impl) {
  impl_->hosts = {std::move(productHost), std::move(platformHost)};
}

StandIn::~StandIn() {
  stop();
  delete impl_;
}

int StandIn::start(int port) {
  if (impl_->server) return impl_->port;
  impl_->stopping = false;
  auto server = std::make_unique<ProxyServer>(impl_->stopping);
  server->new_task_queue = [] { return new ThreadPerConnection; };
  Impl* impl = impl_;
  auto handler = [impl](const httplib::Request& in, httplib::Response& res) {
    impl->handle(in, res);
  };
  const std::string any = "[\\s\\S]*";
  server->Get(any, handler);
  server->Post(any, handler);
  server->Put(any, handler);
  server->Patch(any, handler);
  server->Delete(any, handler);
  server->Options(any, handler);
  server->set_pre_routing_handler([impl](const httplib::Request& in, httplib::Response& res) {
    if (in.method != "CONNECT") return httplib::Server::HandlerResponse::Unhandled;
    impl->handle(in, res);
    return httplib::Server::HandlerResponse::Handled;
  });

  int bound = -1;
  if (port == 0) {
    bound = server->bind_to_any_port("127.0.0.1");
  } else if (port > 0 && port < 65536 && server->bind_to_port("127.0.0.1", port)) {
    bound = port;
  }
  if (bound <= 0) return -1;

  ProxyServer* raw = server.get();
  impl_->listener = std::thread([raw] { raw->listen_after_bind(); });
  // The socket listens already; wait for the accepting loop so that stop() can end it.
  for (int i = 0; i < 5000 && !raw->is_running(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  impl_->server = std::move(server);
  impl_->port = bound;
  return bound;
}

void StandIn::stop() {
  if (!impl_->server) return;
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->stopping = true;
  }
  impl_->wake.notify_all();
  impl_->server->stop();
  if (impl_->listener.joinable()) impl_->listener.join();
  impl_->server.reset();
  impl_->port = -1;
}

int StandIn::port() const {
  return impl_->port;
}

std::string StandIn::proxyUrl() const {
  return "http://127.0.0.1:" + std::to_string(port());
}

void StandIn::setReply(const std::string& host, const std::string& path, Reply reply) {
  impl_->setReply(host, path, std::move(reply));
}

void StandIn::queueReply(const std::string& host, const std::string& path, Reply reply) {
  impl_->queueReply(host, path, std::move(reply));
}

void StandIn::resetReplies() {
  impl_->resetReplies();
}

std::vector<Request> StandIn::requests() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->log;
}

std::vector<Request> StandIn::requests(const std::string& host, const std::string& path) const {
  const std::string h = pages::lower(host);
  std::vector<Request> out;
  std::lock_guard<std::mutex> lock(impl_->mutex);
  for (const Request& r : impl_->log) {
    if (r.host == h && (path.empty() || r.path == path)) out.push_back(r);
  }
  return out;
}

void StandIn::clearRequests() {
  impl_->clearRequests();
}

std::string StandIn::defaultSiteText() {
  return "http://shop10086.member.example/?lsr=10086";
}

std::string StandIn::demoAccount() {
  return "demo";
}

std::string StandIn::demoPassword() {
  return "demo123";
}

}  // namespace kv::standin
