// The stand-in web services, driven with libcurl the way the client and the browsers reach them:
// as their http proxy.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <string>
#include <thread>

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
  long elapsedMs = 0;
};

size_t collect(char* data, size_t size, size_t count, void* out) {
  static_cast<std::string*>(out)->append(data, size * count);
  return size * count;
}

// method "POST" sends `body` with a Content-Length; "POST-NOBODY" sends a POST with no body and
// no length at all, as `curl -X POST` does.
Result fetch(const std::string& proxy, const std::string& method, const std::string& url,
             const std::string& body = {}, long timeoutMs = 3000) {
  Result r;
  CURL* curl = curl_easy_init();
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROXY, proxy.c_str());  // "" = direct
  curl_easy_setopt(curl, CURLOPT_NOPROXY, "");
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, timeoutMs);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collect);
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
  auto start = std::chrono::steady_clock::now();
  r.code = curl_easy_perform(curl);
  r.elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::steady_clock::now() - start)
                    .count();
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &r.status);
  curl_slist_free_all(headers);
  curl_easy_cleanup(curl);
  return r;
}

Reply reply(std::string body, int status = 200) {
  Reply r;
  r.body = std::move(body);
  r.status = status;
  return r;
}

class StandInTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_GT(services.start(), 0); }

  Result post(const std::string& host, const std::string& path, const std::string& body = {},
              long timeoutMs = 3000) {
    return fetch(services.proxyUrl(), "POST", "http://" + host + path, body, timeoutMs);
  }
  Result get(const std::string& url) { return fetch(services.proxyUrl(), "GET", url); }
  std::string direct(const std::string& pathAndQuery) {
    return "http://127.0.0.1:" + std::to_string(services.port()) + pathAndQuery;
  }

  StandIn services{kProduct, kPlatform};
};

TEST_F(StandInTest, DefaultsAnswerEachServiceByHost) {
  Result site = post(kProduct, "/app.php/index/wang");
  EXPECT_EQ(site.status, 200);
  EXPECT_EQ(site.body, StandIn::defaultSiteText());
  // The client takes the member site with "(http://|ftp://)([\w\.]+)" and the referral with
  // "lsr=\d+": the default text must yield a whole host and a referral.
  std::smatch m;
  ASSERT_TRUE(std::regex_search(site.body, m, std::regex(R"((http://|ftp://)([\w\.]+))")));
  EXPECT_EQ(m.str(), "http://shop10086.member.example");
  EXPECT_TRUE(std::regex_search(site.body, std::regex(R"(lsr=\d+)")));

  EXPECT_EQ(post(kProduct, "/app.php/index/wang_yu", "yu=http://x").body, "1");
  EXPECT_EQ(post(kProduct, "/app.php/index/up", "banben=2.150806").body, "0");
  EXPECT_EQ(post(kProduct, "/app.php/index/up_url").body,
            std::string("http://") + kProduct + "/download/kelvora-setup.exe");
  EXPECT_EQ(post(kProduct, "/app.php/index/nav").body, "4");

  const std::string good =
      "lsrname=" + StandIn::demoAccount() + "&lsrpw=" + StandIn::demoPassword();
  Result signIn = post(kPlatform, "/app.php/index/index", good);
  EXPECT_NE(signIn.body, "0");
  EXPECT_NE(signIn.body, "1");
  EXPECT_TRUE(std::regex_search(signIn.body, std::regex(R"(http://[\w\.]+/.*lsr=\d+)")));
  EXPECT_EQ(post(kPlatform, "/app.php/index/index", "lsrname=demo&lsrpw=wrong").body, "0");
  EXPECT_EQ(post(kPlatform, "/app.php/index/index", "lsrname=other&lsrpw=demo123").body, "0");
  EXPECT_EQ(post(kPlatform, "/app.php/index/lirun", "id=20261").body, "12.50aaa3.40");

  // The same path on another host is no service of ours.
  EXPECT_EQ(post(kMember, "/app.php/index/wang").status, 404);
}

TEST_F(StandInTest, PagesOpenNewWindowsAndFrames) {
  const std::string base = std::string("http://") + kMember;
  for (const char* search : {"ss_taobao", "ss_tianmao", "ss_kelvora"}) {
    SCOPED_TRACE(search);
    Result page = get(base + "/APP.PHP/index/" + search + "?lsr=10086");
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.body.find("charset=\"utf-8\""), std::string::npos);
    EXPECT_NE(page.body.find("href=\"" + base + "/item/1001\" target=\"_blank\""),
              std::string::npos);
    EXPECT_NE(page.body.find("window.open('" + base + "/item/1002')"), std::string::npos);
    EXPECT_NE(page.body.find("href=\"" + base + "/framed\" target=\"_blank\""), std::string::npos);
    EXPECT_NE(page.body.find("lsr=10086"), std::string::npos);
  }
  Result framed = get(base + "/framed");
  EXPECT_NE(framed.body.find("src=\"" + base + "/frame/a\""), std::string::npos);
  EXPECT_NE(framed.body.find("src=\"" + base + "/frame/b\""), std::string::npos);
  EXPECT_EQ(get(base + "/frame/a").status, 200);
  EXPECT_EQ(get(base + "/item/1002").status, 200);
  Result missing = get(base + "/nothing/here");
  EXPECT_EQ(missing.status, 404);
  EXPECT_NE(missing.body.find("未找到"), std::string::npos);

  Result share = get(std::string("http://") + kPlatform + "/APP.PHP/index/fenxiang_app");
  EXPECT_EQ(share.status, 200);
  EXPECT_NE(share.body.find("target=\"_blank\""), std::string::npos);
  EXPECT_NE(share.body.find("window.open("), std::string::npos);
  for (const char* path :
       {"/index.php/index/lsrzc?lsr=", "/index.php/index/lsrpw", "/app.php/index/fenxiang/user/abc",
        "/index.php/index/app/user/abc/tz/bbuser"}) {
    EXPECT_EQ(get(std::string("http://") + kPlatform + path).status, 200) << path;
  }
  // An account that would break the markup is shown as text.
  Result member = get(std::string("http://") + kPlatform + "/app.php/index/fenxiang/user/%3Cb%3E");
  EXPECT_EQ(member.body.find("<b>"), std::string::npos);
  EXPECT_NE(member.body.find("&lt;b&gt;"), std::string::npos);
}

TEST_F(StandInTest, QueuedRepliesComeFirstThenTheStandingOne) {
  const std::string path = "/app.php/index/up";
  services.setReply(kProduct, path, reply("standing"));
  services.queueReply(kProduct, path, reply("first", 500));
  services.queueReply(kProduct, path, reply("second"));

  Result r1 = post(kProduct, path);
  EXPECT_EQ(r1.status, 500);
  EXPECT_EQ(r1.body, "first");
  EXPECT_EQ(post(kProduct, path).body, "second");
  EXPECT_EQ(post(kProduct, path).body, "standing");
  EXPECT_EQ(post(kProduct, path).body, "standing");
  // Scripts hold for their own host and path only, without the query.
  EXPECT_EQ(post(kPlatform, path).status, 404);
  EXPECT_EQ(post(kProduct, "/app.php/index/nav").body, "4");
  EXPECT_EQ(
      fetch(services.proxyUrl(), "GET", std::string("http://") + kProduct + path + "?a=1").body,
      "standing");

  services.queueReply(kProduct, path, reply("queued"));
  services.resetReplies();
  EXPECT_EQ(post(kProduct, path).body, "0");
}

TEST_F(StandInTest, LogsEveryRequestInOrderWithItsBody) {
  post(kProduct, "/app.php/index/wang");
  post(kPlatform, "/app.php/index/index", "lsrname=a&b=c+d%26&lsrpw=\t\n\\");
  get(std::string("http://") + kMember + ":8080/APP.PHP/index/ss_taobao?lsr=1&x=%20");
  post(kProduct, "/app.php/index/wang_yu", "yu=http://shop.example");

  auto all = services.requests();
  ASSERT_EQ(all.size(), 4u);
  EXPECT_EQ(all[0].method, "POST");
  EXPECT_EQ(all[0].host, kProduct);
  EXPECT_EQ(all[0].path, "/app.php/index/wang");
  EXPECT_EQ(all[0].body, "");
  EXPECT_EQ(all[0].headers["content-type"], "application/x-www-form-urlencoded");
  EXPECT_EQ(all[0].headers["content-length"], "0");
  EXPECT_EQ(all[0].headers.count("remote_addr"), 0u);
  EXPECT_EQ(all[1].body, "lsrname=a&b=c+d%26&lsrpw=\t\n\\");
  EXPECT_EQ(all[2].method, "GET");
  EXPECT_EQ(all[2].host, kMember);  // without the port
  EXPECT_EQ(all[2].path, "/APP.PHP/index/ss_taobao");
  EXPECT_EQ(all[2].query, "lsr=1&x=%20");  // as sent
  EXPECT_EQ(all[3].body, "yu=http://shop.example");

  auto product = services.requests(kProduct);
  ASSERT_EQ(product.size(), 2u);
  EXPECT_EQ(product[1].path, "/app.php/index/wang_yu");
  EXPECT_EQ(services.requests(kProduct, "/app.php/index/wang").size(), 1u);

  services.clearRequests();
  EXPECT_TRUE(services.requests().empty());
}

TEST_F(StandInTest, FaultsReachTheClientAsFailures) {
  const std::string path = "/app.php/index/nav";
  Reply refuse;
  refuse.refuse = true;
  Reply drop = reply("0123456789");
  drop.dropMidReply = true;
  Reply stall = reply("0123456789");
  stall.stall = true;
  Reply slow = reply("late");
  slow.delayMs = 200;
  services.queueReply(kProduct, path, refuse);
  services.queueReply(kProduct, path, drop);
  services.queueReply(kProduct, path, stall);
  services.queueReply(kProduct, path, slow);

  EXPECT_EQ(post(kProduct, path).code, CURLE_GOT_NOTHING);
  Result dropped = post(kProduct, path);
  EXPECT_EQ(dropped.code, CURLE_PARTIAL_FILE);
  EXPECT_EQ(dropped.body, "01234");
  Result stalled = post(kProduct, path, {}, 300);
  EXPECT_EQ(stalled.code, CURLE_OPERATION_TIMEDOUT);
  EXPECT_EQ(stalled.body, "01234");
  Result late = post(kProduct, path);
  EXPECT_EQ(late.code, CURLE_OK);
  EXPECT_EQ(late.body, "late");
  EXPECT_GE(late.elapsedMs, 190);
  // A fault is used once like any queued reply; the connection after it works.
  EXPECT_EQ(post(kProduct, path).body, "4");
  EXPECT_EQ(services.requests(kProduct, path).size(), 5u);
}

TEST_F(StandInTest, StopEndsStalledAndWaitingClientsQuickly) {
  Reply stall = reply("x");
  stall.stall = true;
  services.setReply(kProduct, "/stall", stall);
  Reply slow = reply("late");
  slow.delayMs = 60000;
  services.setReply(kProduct, "/slow", slow);

  Result stalled, waiting;
  std::thread a([&] { stalled = post(kProduct, "/stall", {}, 10000); });
  std::thread b([&] { waiting = post(kProduct, "/slow", {}, 10000); });
  while (services.requests().size() < 2) std::this_thread::sleep_for(std::chrono::milliseconds(5));

  auto start = std::chrono::steady_clock::now();
  services.stop();
  services.stop();  // idempotent
  auto stopMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::steady_clock::now() - start)
                    .count();
  a.join();
  b.join();
  EXPECT_LT(stopMs, 1000);
  EXPECT_NE(stalled.code, CURLE_OK);
  EXPECT_NE(waiting.code, CURLE_OK);
  EXPECT_EQ(services.port(), -1);

  // It serves again after a stop, with its scripts and log kept.
  ASSERT_GT(services.start(), 0);
  EXPECT_EQ(post(kProduct, "/app.php/index/wang").body, StandIn::defaultSiteText());
  EXPECT_EQ(services.requests().size(), 3u);
}

TEST_F(StandInTest, ControlRequestsScriptRepliesAndListTheLog) {
  const std::string none;  // direct, no proxy
  Result set = fetch(none, "POST",
                     direct("/__control/reply?host=" + std::string(kProduct) +
                            "&path=/app.php/index/up&status=503&once=1&type=text%2Fhtml"),
                     "new version\tready");
  EXPECT_EQ(set.status, 200);
  Result scripted = post(kProduct, "/app.php/index/up");
  EXPECT_EQ(scripted.status, 503);
  EXPECT_EQ(scripted.body, "new version\tready");
  EXPECT_EQ(post(kProduct, "/app.php/index/up").body, "0");  // once

  fetch(none, "POST",
        direct("/__control/reply?host=" + std::string(kProduct) +
               "&path=/app.php/index/nav&mode=refuse"),
        "");
  EXPECT_EQ(post(kProduct, "/app.php/index/nav").code, CURLE_GOT_NOTHING);
  EXPECT_EQ(post(kProduct, "/app.php/index/nav").code, CURLE_GOT_NOTHING);  // standing
  // A POST with no body and no length is answered at once.
  Result reset = fetch(none, "POST-NOBODY", direct("/__control/reset"), {}, 2000);
  EXPECT_EQ(reset.code, CURLE_OK);
  EXPECT_LT(reset.elapsedMs, 1000);
  EXPECT_EQ(post(kProduct, "/app.php/index/nav").body, "4");

  EXPECT_EQ(fetch(none, "POST", direct("/__control/reply?path=/x"), "").status, 400);
  EXPECT_EQ(fetch(none, "POST", direct("/__control/reply?host=h&path=/x&mode=odd"), "").status,
            400);

  post(kPlatform, "/app.php/index/index", "lsrname=a\tb&lsrpw=1\n2\\");
  // Through the proxy, the control host reaches the same requests.
  Result list = get("http://standin.control/__control/requests");
  EXPECT_EQ(list.body, "POST\t" + std::string(kProduct) + "\t/app.php/index/up\t\t\n" + "POST\t" +
                           kProduct + "\t/app.php/index/up\t\t\n" + "POST\t" + kProduct +
                           "\t/app.php/index/nav\t\t\n" + "POST\t" + kProduct +
                           "\t/app.php/index/nav\t\t\n" + "POST\t" + kProduct +
                           "\t/app.php/index/nav\t\t\n" + "POST\t" + kPlatform +
                           "\t/app.php/index/index\t\tlsrname=a\\tb&lsrpw=1\\n2\\\\\n");

  // Also when a shell's http_proxy sends it to the server's own address in proxy form.
  EXPECT_EQ(fetch(services.proxyUrl(), "POST", direct("/__control/clear"), "").status, 200);
  EXPECT_EQ(fetch(none, "GET", direct("/__control/requests")).body, "");
  EXPECT_TRUE(services.requests().empty());
}

}  // namespace
