// PostForm against the stand-in services, reached through http_proxy.
#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstdlib>

#include "platform/hosts.h"
#include "platform/services/post_form.h"
#include "tests/fake/scoped_env.h"
#include "tools/standin/standin.h"

namespace {

using kv::standin::Reply;

const std::string kPath = "/app.php/index/up";
const std::string kUrl = std::string("http://") + kv::hosts::kProduct + kPath;

class PostFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_GT(services.start(), 0);
    // Through the stand-in, whatever proxy exceptions the machine has.
    env.set("http_proxy", services.proxyUrl()).unset("no_proxy").unset("NO_PROXY");
  }
  void TearDown() override { kv::setPostLimits(30000, 60000); }

  void queue(std::string body, std::string contentType = "text/plain; charset=utf-8",
             int status = 200) {
    Reply r;
    r.body = std::move(body);
    r.contentType = std::move(contentType);
    r.status = status;
    services.queueReply(kv::hosts::kProduct, kPath, r);
  }

  kv::standin::StandIn services{kv::hosts::kProduct, kv::hosts::kPlatform};
  kv::test::ScopedEnv env;
};

// An empty body is still a form POST; a body goes out exactly as given; each request stands
// alone (no cookie carried over); error pages come back with their status; a 302 is followed as
// a GET to the new address.
TEST_F(PostFormTest, RequestsGoOutAsGivenAndRepliesComeBackWhole) {
  const std::string target = std::string("http://") + kv::hosts::kProduct + "/app.php/index/up_url";
  Reply moved{302, "moved"};
  moved.location = target;
  services.queueReply(kv::hosts::kProduct, kPath, moved);
  services.queueReply(kv::hosts::kProduct, "/app.php/index/up_url", {200, "http://dl.example/x"});
  kv::PostReply a = kv::PostForm(kUrl, "");
  ASSERT_TRUE(a.completed);
  EXPECT_EQ(a.status, 200);
  EXPECT_EQ(a.text, "http://dl.example/x");
  queue("<html>Not Found</html>", "text/html", 404);
  kv::PostReply b = kv::PostForm(kUrl, "lsrname=a&b=c&lsrpw=%41 +");
  ASSERT_TRUE(b.completed);
  EXPECT_EQ(b.status, 404);
  EXPECT_EQ(b.text, "<html>Not Found</html>");

  auto sent = services.requests(kv::hosts::kProduct, kPath);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(services.requests(kv::hosts::kProduct).at(1).method, "GET");
  for (auto& r : sent) {
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.headers["content-type"], "application/x-www-form-urlencoded");
    EXPECT_EQ(r.headers.count("expect"), 0u);
    EXPECT_EQ(r.headers.count("cookie"), 0u);
  }
  EXPECT_EQ(sent[0].body, "");
  EXPECT_EQ(sent[0].headers["content-length"], "0");
  EXPECT_EQ(sent[1].body, "lsrname=a&b=c&lsrpw=%41 +");
  EXPECT_EQ(sent[1].headers["content-length"], "25");
}

// No whole reply is a failure: closed, stalled, dropped, trickling past the overall deadline, or
// over the 16 MB cap.
TEST_F(PostFormTest, NoWholeReplyIsAFailure) {
  kv::setPostLimits(1000, 1000, 1500);
  Reply refuse, stall, drop, trickle{200, "1"};
  refuse.refuse = true;
  stall.stall = drop.dropMidReply = true;
  stall.body = drop.body = "0123456789abcdef0123456789abcdef";
  trickle.trickleMs = 100;
  const Reply huge{200, std::string(16 * 1024 * 1024 + 1, 'x')};
  for (const Reply& r : {refuse, stall, drop, trickle, huge})
    services.queueReply(kv::hosts::kProduct, kPath, r);
  auto start = std::chrono::steady_clock::now();
  for (const char* fault : {"closed without a reply", "stalled", "dropped", "trickling"})
    EXPECT_FALSE(kv::PostForm(kUrl, "banben=1").completed) << fault;
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  kv::setPostLimits(30000, 60000);
  EXPECT_FALSE(kv::PostForm(kUrl, "banben=1").completed) << "over the cap";

  // Nothing listening at all.
  std::string deadProxy = services.proxyUrl();
  services.stop();
  env.set("http_proxy", deadProxy);
  EXPECT_FALSE(kv::PostForm(kUrl, "banben=1").completed);
}

TEST_F(PostFormTest, ReplyDecodedByItsCharset) {
  struct Case {
    std::string body, contentType, text;
  };
  const Case cases[] = {
      {"\xC4\xE3\xBA\xC3", "text/plain; charset=GBK", "\xE4\xBD\xA0\xE5\xA5\xBD"},
      {"\xC4\xE3 ok", "text/html;charset=\"gb2312\"", "\xE4\xBD\xA0 ok"},
      // A character cut in the middle: the lone byte becomes U+FFFD.
      {"\xC4\xE3\xBA", "text/plain; charset=gb18030", "\xE4\xBD\xA0\xEF\xBF\xBD"},
      // No charset: UTF-8 as it is, invalid bytes replaced, NUL kept.
      {std::string("a\xFF\xC3(\xE4\xBD\xA0\0z", 9), "text/plain",
       std::string("a\xEF\xBF\xBD\xEF\xBF\xBD(\xE4\xBD\xA0\0z", 13)},
      {"1", "text/plain; charset=x-no-such-thing", "1"},
      // A leading UTF-8 byte-order mark is dropped, with or without the charset.
      {"\xEF\xBB\xBF"
       "1",
       "text/plain", "1"},
      {"\xEF\xBB\xBF"
       "ok\xEF\xBB\xBF",
       "text/html; charset=UTF-8", "ok\xEF\xBB\xBF"},
      // UTF-16 by its byte-order mark or by the charset.
      {std::string("\xFF\xFE\x60\x4F\x31\x00", 6), "text/plain",
       "\xE4\xBD\xA0"
       "1"},
      {std::string("\xFE\xFF\x4F\x60\x00\x32", 6), "text/plain",
       "\xE4\xBD\xA0"
       "2"},
      {std::string("\x31\x00\x32\x00", 4), "text/plain; charset=UTF-16LE", "12"},
  };
  for (const Case& c : cases) {
    queue(c.body, c.contentType);
    EXPECT_EQ(kv::PostForm(kUrl, "").text, c.text) << c.contentType;
  }
}

// A redirection is followed only on the request's own host: 307 and 308 carry the same POST on,
// 301, 302 and 303 go on as a GET; one to another host fails the request before anything is
// sent there, so a password never leaves the sign-in service.
TEST_F(PostFormTest, RedirectionsStayOnTheRequestsHost) {
  const std::string host = kv::hosts::kPlatform, path = "/app.php/index/index";
  const std::string url = "http://" + host + path, form = "lsrname=a&lsrpw=secret";
  auto redirect = [&](int status, const std::string& location) {
    Reply r{status, "moved"};
    r.location = location;
    services.queueReply(host, path, r);
  };
  for (int status : {307, 308}) {
    redirect(status, "/app.php/index/moved");
    services.queueReply(host, "/app.php/index/moved", {200, "ok"});
    kv::PostReply kept = kv::PostForm(url, form);
    ASSERT_TRUE(kept.completed) << status;
    EXPECT_EQ(kept.text, "ok");
    auto moved = services.requests(host, "/app.php/index/moved");
    ASSERT_EQ(moved.size(), 1u) << status;
    EXPECT_EQ(moved[0].method, "POST");
    EXPECT_EQ(moved[0].body, form);
    services.clearRequests();
  }
  // The host compares without regard to case.
  std::string upper = host;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  redirect(303, "http://" + upper + "/app.php/index/moved");
  services.queueReply(host, "/app.php/index/moved", {200, "ok"});
  EXPECT_EQ(kv::PostForm(url, form).text, "ok");
  EXPECT_EQ(services.requests(host, "/app.php/index/moved").at(0).method, "GET");
  services.clearRequests();

  const std::string away[] = {
      "http://elsewhere.example/collect", "http://" + host + "@elsewhere.example/collect",
      "//elsewhere.example/collect", "http://" + std::string(kv::hosts::kProduct) + "/"};
  for (int status : {307, 302})
    for (const std::string& location : away) {
      redirect(status, location);
      EXPECT_FALSE(kv::PostForm(url, form).completed) << status << " " << location;
    }
  EXPECT_TRUE(services.requests("elsewhere.example").empty());
  EXPECT_TRUE(services.requests(kv::hosts::kProduct).empty());
  EXPECT_EQ(services.requests(host, path).size(), 8u);
}

}  // namespace
