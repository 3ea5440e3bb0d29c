// PostForm against the stand-in services, reached through http_proxy.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>

#include "platform/hosts.h"
#include "platform/services/post_form.h"
#include "tools/standin/standin.h"

namespace {

using kv::standin::Reply;

class PostFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_GT(services.start(), 0);
    saveEnv("http_proxy");
    saveEnv("no_proxy");
    ::setenv("http_proxy", services.proxyUrl().c_str(), 1);
    ::unsetenv("no_proxy");
  }
  void TearDown() override {
    kv::setPostLimits(30000, 60000);
    services.stop();
    for (auto& [name, value] : saved_) {
      if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
      else
        ::unsetenv(name.c_str());
    }
  }

  static std::string url(const std::string& path) {
    return std::string("http://") + kv::hosts::kProduct + path;
  }
  Reply reply(std::string body, std::string contentType = "text/plain; charset=utf-8") {
    Reply r;
    r.body = std::move(body);
    r.contentType = std::move(contentType);
    return r;
  }
  void saveEnv(const char* name) {
    const char* value = std::getenv(name);
    saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
  }

  kv::standin::StandIn services{kv::hosts::kProduct, kv::hosts::kPlatform};

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(PostFormTest, EmptyBodyIsStillAFormPost) {
  services.setReply(kv::hosts::kProduct, "/app.php/index/up_url", reply("http://dl.example/x"));
  kv::PostReply r = kv::PostForm(url("/app.php/index/up_url"), "");
  ASSERT_TRUE(r.completed);
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.text, "http://dl.example/x");

  auto requests = services.requests(kv::hosts::kProduct, "/app.php/index/up_url");
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].body, "");
  EXPECT_EQ(requests[0].headers["content-type"], "application/x-www-form-urlencoded");
  EXPECT_EQ(requests[0].headers["content-length"], "0");
  EXPECT_EQ(requests[0].headers.count("expect"), 0u);
  EXPECT_EQ(requests[0].headers.count("cookie"), 0u);
}

TEST_F(PostFormTest, BodyGoesOutUnescapedAndEachRequestStandsAlone) {
  services.setReply(kv::hosts::kProduct, "/app.php/index/wang_yu", reply("1"));
  kv::PostReply a = kv::PostForm(url("/app.php/index/wang_yu"), "yu=http://a.b.c");
  kv::PostReply b = kv::PostForm(url("/app.php/index/wang_yu"), "lsrname=a&b=c&lsrpw=%41 +");
  ASSERT_TRUE(a.completed);
  ASSERT_TRUE(b.completed);
  EXPECT_EQ(a.text, "1");
  auto requests = services.requests(kv::hosts::kProduct, "/app.php/index/wang_yu");
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].body, "yu=http://a.b.c");
  EXPECT_EQ(requests[1].body, "lsrname=a&b=c&lsrpw=%41 +");
  EXPECT_EQ(requests[1].headers["content-length"], "25");
}

TEST_F(PostFormTest, ErrorStatusComesBackWithItsPage) {
  Reply notFound = reply("<html>Not Found</html>", "text/html");
  notFound.status = 404;
  services.setReply(kv::hosts::kProduct, "/app.php/index/nav", notFound);
  kv::PostReply r = kv::PostForm(url("/app.php/index/nav"), "");
  ASSERT_TRUE(r.completed);
  EXPECT_EQ(r.status, 404);
  EXPECT_EQ(r.text, "<html>Not Found</html>");
}

TEST_F(PostFormTest, RefusedConnectionIsNotCompleted) {
  kv::standin::StandIn closed{kv::hosts::kProduct, kv::hosts::kPlatform};
  ASSERT_GT(closed.start(), 0);
  std::string deadProxy = closed.proxyUrl();
  closed.stop();
  ::setenv("http_proxy", deadProxy.c_str(), 1);
  kv::PostReply r = kv::PostForm(url("/app.php/index/up"), "banben=1");
  EXPECT_FALSE(r.completed);

  // The service closing the connection without a word is a failure too.
  ::setenv("http_proxy", services.proxyUrl().c_str(), 1);
  Reply refuse;
  refuse.refuse = true;
  services.queueReply(kv::hosts::kProduct, "/app.php/index/up", refuse);
  EXPECT_FALSE(kv::PostForm(url("/app.php/index/up"), "banben=1").completed);
}

TEST_F(PostFormTest, StalledOrDroppedReplyIsNotCompleted) {
  kv::setPostLimits(1000, 1000);
  Reply stall = reply("0123456789abcdef0123456789abcdef");
  stall.stall = true;
  services.queueReply(kv::hosts::kProduct, "/app.php/index/up", stall);
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(kv::PostForm(url("/app.php/index/up"), "banben=1").completed);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));

  Reply drop = reply("0123456789abcdef0123456789abcdef");
  drop.dropMidReply = true;
  services.queueReply(kv::hosts::kProduct, "/app.php/index/up", drop);
  EXPECT_FALSE(kv::PostForm(url("/app.php/index/up"), "banben=1").completed);
}

TEST_F(PostFormTest, ReplyDecodedByCharset) {
  services.queueReply(kv::hosts::kProduct, "/app.php/index/up",
                      reply("\xC4\xE3\xBA\xC3", "text/plain; charset=GBK"));
  EXPECT_EQ(kv::PostForm(url("/app.php/index/up"), "").text, "\xE4\xBD\xA0\xE5\xA5\xBD");

  services.queueReply(kv::hosts::kProduct, "/app.php/index/up",
                      reply("\xC4\xE3 ok", "text/html;charset=\"gb2312\""));
  EXPECT_EQ(kv::PostForm(url("/app.php/index/up"), "").text, "\xE4\xBD\xA0 ok");

  // A GBK text cut in the middle of a character: the lone byte becomes U+FFFD.
  services.queueReply(kv::hosts::kProduct, "/app.php/index/up",
                      reply("\xC4\xE3\xBA", "text/plain; charset=gb18030"));
  EXPECT_EQ(kv::PostForm(url("/app.php/index/up"), "").text, "\xE4\xBD\xA0\xEF\xBF\xBD");

  // No charset: UTF-8 as it is, invalid bytes replaced.
  services.queueReply(kv::hosts::kProduct, "/app.php/index/up",
                      reply(std::string("a\xFF\xC3(\xE4\xBD\xA0\0z", 9), "text/plain"));
  EXPECT_EQ(kv::PostForm(url("/app.php/index/up"), "").text,
            std::string("a\xEF\xBF\xBD\xEF\xBF\xBD(\xE4\xBD\xA0\0z", 13));

  // An unknown charset falls back to UTF-8.
  services.queueReply(kv::hosts::kProduct, "/app.php/index/up",
                      reply("1", "text/plain; charset=x-no-such-thing"));
  EXPECT_EQ(kv::PostForm(url("/app.php/index/up"), "").text, "1");
}

}  // namespace
