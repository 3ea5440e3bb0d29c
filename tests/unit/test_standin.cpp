// The stand-in web services as the other tests rely on them, driven with libcurl through the
// server as an http proxy: dispatch on the host, scripted replies, the request log, faults that
// reach the client as failures, and the control requests of the end-to-end scripts.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/standin/standin.h"

namespace {

using kv::standin::Reply;
using kv::standin::StandIn;

constexpr const char* kProduct = "app.test.example";
constexpr const char* kPlatform = "www.platform.example";
constexpr const char* kMember = "shop7.member.example";

struct Result {
  CURLcode code = CURLE_OK;
  long status = 0;
  std::string body;
};

// "POST" sends `body` as a form; "POST-NOBODY" is a POST with neither body nor length, as
// `curl -X POST` sends it. An empty proxy goes direct.
Result fetch(const std::string& proxy, const std::string& method, const std::string& url,
             const std::string& body = {}, long timeoutMs = 3000) {
  Result r;
  CURL* curl = curl_easy_init();
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROXY, proxy.c_str());
  curl_easy_setopt(curl, CURLOPT_NOPROXY, "");
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, timeoutMs);
  curl_easy_setopt(
      curl, CURLOPT_WRITEFUNCTION, +[](char* p, size_t s, size_t n, void* out) {
        static_cast<std::string*>(out)->append(p, s * n);
        return s * n;
      });
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &r.body);
  curl_slist* headers = nullptr;
  if (method == "POST") {
    headers = curl_slist_append(headers, "Content-Type: application/x-www-form-urlencoded");
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
    curl_easy_setopt(curl, CURLOPT_COPYPOSTFIELDS, body.c_str());
  } else if (method == "POST-NOBODY") {
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, "POST");
  }
  r.code = curl_easy_perform(curl);
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &r.status);
  curl_slist_free_all(headers);
  curl_easy_cleanup(curl);
  return r;
}

class StandInTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_GT(services.start(), 0); }

  Result post(const std::string& host, const std::string& path, const std::string& body = {},
              long timeoutMs = 3000) {
    return fetch(services.proxyUrl(), "POST", "http://" + host + path, body, timeoutMs);
  }
  // A control request straight to the server (no proxy).
  Result control(const std::string& method, const std::string& what, const std::string& body = {}) {
    return fetch("", method, direct("/__control/" + what), body);
  }
  std::string direct(const std::string& pathAndQuery) {
    return "http://127.0.0.1:" + std::to_string(services.port()) + pathAndQuery;
  }

  StandIn services{kProduct, kPlatform};
};

// Requests come in proxy form and are answered by host; scripts hold for their host and path,
// queued replies first, then the standing one, until a reset.
TEST_F(StandInTest, DispatchesByHostQueuedRepliesBeforeTheStandingOne) {
  EXPECT_EQ(post(kProduct, "/app.php/index/wang").body, StandIn::defaultSiteText());
  EXPECT_EQ(post(kMember, "/app.php/index/wang").status, 404);

  const std::string path = "/app.php/index/up";
  services.setReply(kProduct, path, {200, "standing"});
  services.queueReply(kProduct, path, {500, "first"});
  services.queueReply(kProduct, path, {200, "second"});
  Result first = post(kProduct, path);
  EXPECT_EQ(first.status, 500);
  EXPECT_EQ(first.body, "first");
  EXPECT_EQ(post(kProduct, path).body, "second");
  EXPECT_EQ(post(kProduct, path).body, "standing");
  EXPECT_EQ(post(kPlatform, path).status, 404);
  EXPECT_EQ(post(kProduct, "/app.php/index/nav").body, "4");

  services.queueReply(kProduct, path, {200, "queued"});
  services.resetReplies();
  EXPECT_EQ(post(kProduct, path).body, "0");
}

TEST_F(StandInTest, LogsEveryRequestInOrderAsSent) {
  post(kProduct, "/app.php/index/wang");
  post(kPlatform, "/app.php/index/index", "lsrname=a&b=c+d%26&lsrpw=\t\n\\");
  fetch(services.proxyUrl(), "GET",
        "http://" + std::string(kMember) + ":8080/APP.PHP/index/ss_taobao?lsr=1&x=%20");
  std::vector<std::string> seen;
  for (auto& r : services.requests())
    seen.push_back(r.method + " " + r.host + r.path + "?" + r.query + " " + r.body);
  EXPECT_EQ(seen,
            (std::vector<std::string>{
                "POST app.test.example/app.php/index/wang? ",
                "POST www.platform.example/app.php/index/index? lsrname=a&b=c+d%26&lsrpw=\t\n\\",
                "GET shop7.member.example/APP.PHP/index/ss_taobao?lsr=1&x=%20 "}));
  EXPECT_EQ(services.requests(kPlatform).size(), 1u);
  EXPECT_EQ(services.requests(kProduct, "/app.php/index/wang").size(), 1u);
  EXPECT_TRUE(services.requests(kProduct, "/other").empty());
  services.clearRequests();
  EXPECT_TRUE(services.requests().empty());
}

// Each fault is used once like any queued reply, and the client sees it as a failure.
TEST_F(StandInTest, RefusedDroppedAndStalledRepliesFailAtTheClient) {
  const std::string path = "/app.php/index/nav";
  Reply refuse, drop{200, "0123456789"}, stall{200, "0123456789"};
  refuse.refuse = true;
  drop.dropMidReply = true;
  stall.stall = true;
  for (const Reply& r : {refuse, drop, stall}) services.queueReply(kProduct, path, r);

  EXPECT_EQ(post(kProduct, path).code, CURLE_GOT_NOTHING);
  Result dropped = post(kProduct, path);
  EXPECT_EQ(dropped.code, CURLE_PARTIAL_FILE);
  EXPECT_EQ(dropped.body, "01234");
  Result stalled = post(kProduct, path, {}, 300);
  EXPECT_EQ(stalled.code, CURLE_OPERATION_TIMEDOUT);
  EXPECT_EQ(stalled.body, "01234");
  EXPECT_EQ(post(kProduct, path).body, "4");
  EXPECT_EQ(services.requests(kProduct, path).size(), 4u);
}

// The control requests the end-to-end scripts send with curl.
TEST_F(StandInTest, ControlRequestsScriptRepliesAndListTheLog) {
  const std::string product(kProduct);
  EXPECT_EQ(control("POST", "reply?host=" + product + "&path=/app.php/index/up&status=503&once=1",
                    "new version\tready")
                .status,
            200);
  Result scripted = post(kProduct, "/app.php/index/up");
  EXPECT_EQ(scripted.status, 503);
  EXPECT_EQ(scripted.body, "new version\tready");
  EXPECT_EQ(post(kProduct, "/app.php/index/up").body, "0");  // once

  control("POST", "reply?host=" + product + "&path=/app.php/index/nav&mode=refuse");
  EXPECT_EQ(post(kProduct, "/app.php/index/nav").code, CURLE_GOT_NOTHING);
  EXPECT_EQ(post(kProduct, "/app.php/index/nav").code, CURLE_GOT_NOTHING);  // standing
  // Answered without waiting for a body.
  EXPECT_EQ(fetch("", "POST-NOBODY", direct("/__control/reset"), {}, 1000).code, CURLE_OK);
  EXPECT_EQ(post(kProduct, "/app.php/index/nav").body, "4");
  EXPECT_EQ(control("POST", "reply?path=/x").status, 400);
  EXPECT_EQ(control("POST", "reply?host=h&path=/x&mode=odd").status, 400);

  // One line per request: method, host, path, query, body, with tabs and line breaks escaped.
  services.clearRequests();
  post(kPlatform, "/app.php/index/index", "lsrname=a\tb&lsrpw=1\n2\\");
  const std::string line = "POST\t" + std::string(kPlatform) +
                           "\t/app.php/index/index\t\tlsrname=a\\tb&lsrpw=1\\n2\\\\\n";
  EXPECT_EQ(control("GET", "requests").body, line);
  // Through the proxy, by the control host or the server's own address.
  EXPECT_EQ(fetch(services.proxyUrl(), "GET", "http://standin.control/__control/requests").body,
            line);
  EXPECT_EQ(fetch(services.proxyUrl(), "POST", direct("/__control/clear")).status, 200);
  EXPECT_TRUE(services.requests().empty());
}

}  // namespace
