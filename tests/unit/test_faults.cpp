// Fault injection: the windows against the fake GUI, with the stand-in services scripted to fail
// for each of the seven requests, with damaged data files and with damaged pictures. Every row
// checks the message or default the client chose for it, and that no stored file was lost or
// cut short (the bytes of the data folder before and after).
#include <gtest/gtest.h>
#include <iconv.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "account/signin_window.h"
#include "app/app.h"
#include "app/shared.h"
#include "platform/services/post_form.h"
#include "tests/fake/app_fixture.h"

namespace kv::test {
namespace {

namespace fs = std::filesystem;
using standin::Reply;

constexpr const char* kWang = "/app.php/index/wang";
constexpr const char* kCheck = "/app.php/index/wang_yu";
constexpr const char* kUp = "/app.php/index/up";
constexpr const char* kUpUrl = "/app.php/index/up_url";
constexpr const char* kNav = "/app.php/index/nav";
constexpr const char* kSignIn = "/app.php/index/index";
constexpr const char* kIncome = "/app.php/index/lirun";

constexpr const char* kServerError = "错误：连接服务器错误，请稍后再试。";
constexpr const char* kSignInNoReply = "连接服务器失败！";
constexpr const char* kSaveFailed = "无法保存登录信息，请检查程序文件夹是否可写。";
constexpr const char* kSignOutFailed = "无法保存注销状态，请检查程序文件夹是否可写。";
constexpr const char* kQueryFailed = "服务器连接失败，请稍后再试。";
constexpr const char* kUpdateTitle = "发现新版本";

// The site text the product service hands out in these tests, and the stored one.
constexpr const char* kFreshText = "http://shop7.member.example/?lsr=777";
constexpr const char* kFreshSite = "http://shop7.member.example";
constexpr const char* kStoredText = "http://x.member.example/?lsr=9\r\n";
constexpr const char* kStoredSite = "http://x.member.example";
constexpr const char* kSignedOut = " 0 \r\n";
constexpr const char* kSignedIn = " 1 \r\n";

// ---- the faults ---------------------------------------------------------------------------

// "connection refused" is scripted per request: the connection closes without a reply. A port
// where nothing listens, for every request at once, is the ServicesUnreachable test.
enum class Fault { Refused, ServerError, NotFound, Empty, NoNumber, Huge, Stalled, Dropped, Gbk };

struct FaultRow {
  Fault fault;
  const char* name;
};

constexpr FaultRow kFaults[] = {
    {Fault::Refused, "connection refused"},
    {Fault::ServerError, "500 with a page"},
    {Fault::NotFound, "404 page"},
    {Fault::Empty, "empty reply"},
    {Fault::NoNumber, "text that is no number"},
    {Fault::Huge, "10 MB reply"},
    {Fault::Stalled, "reply stalls"},
    {Fault::Dropped, "connection dropped mid-reply"},
    {Fault::Gbk, "GBK-encoded text"},
};

const char* const kPage500 =
    "<html><head><title>500 Internal Server Error</title></head>"
    "<body><h1>服务器内部错误</h1></body></html>";
const char* const kPage404 =
    "<html><head><title>404 Not Found</title></head><body><h1>页面不存在</h1></body></html>";
const char* const kNoNumber = "服务维护中 please retry";

// One line of 10 MB: the longest run a pattern can backtrack over.
const std::string& hugeText() {
  static const std::string text(10 * 1024 * 1024, 'x');
  return text;
}

std::string toGbk(const std::string& utf8) {
  iconv_t cd = iconv_open("GBK", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    ADD_FAILURE() << "no GBK converter";
    return {};
  }
  std::string out(utf8.size() * 2 + 8, '\0');
  char* in = const_cast<char*>(utf8.data());
  size_t inLeft = utf8.size();
  char* outPtr = out.data();
  size_t outLeft = out.size();
  EXPECT_NE(iconv(cd, &in, &inLeft, &outPtr, &outLeft), static_cast<size_t>(-1));
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

// What a request's fault rows send besides the fixed pages: `partial` is a good reply of which a
// stalled or dropped connection delivers only the first half; `gbk` is sent GBK-encoded.
struct Texts {
  std::string partial;
  std::string gbk;
};

Reply faultReply(Fault f, const Texts& t) {
  Reply r;
  switch (f) {
    case Fault::Refused:
      r.refuse = true;
      break;
    case Fault::ServerError:
      r = {500, kPage500, "text/html; charset=utf-8"};
      break;
    case Fault::NotFound:
      r = {404, kPage404, "text/html; charset=utf-8"};
      break;
    case Fault::Empty:
      r.body = "";
      break;
    case Fault::NoNumber:
      r.body = kNoNumber;
      break;
    case Fault::Huge:
      r.body = hugeText();
      r.contentType = "text/plain";
      break;
    case Fault::Stalled:
      r.body = t.partial;
      r.stall = true;
      break;
    case Fault::Dropped:
      r.body = t.partial;
      r.dropMidReply = true;
      break;
    case Fault::Gbk:
      r.body = toGbk(t.gbk);
      r.contentType = "text/plain; charset=GBK";
      break;
  }
  return r;
}

// The reply text the client receives; nullopt when the request does not complete.
std::optional<std::string> receivedText(Fault f, const Texts& t) {
  switch (f) {
    case Fault::Refused:
    case Fault::Stalled:
    case Fault::Dropped:
      return std::nullopt;
    case Fault::ServerError:
      return std::string(kPage500);
    case Fault::NotFound:
      return std::string(kPage404);
    case Fault::Empty:
      return std::string();
    case Fault::NoNumber:
      return std::string(kNoNumber);
    case Fault::Huge:
      return hugeText();
    case Fault::Gbk:
      return t.gbk;
  }
  return std::nullopt;
}

// Completed with status 200.
bool answered(Fault f) {
  return f == Fault::Empty || f == Fault::NoNumber || f == Fault::Huge || f == Fault::Gbk;
}

// Texts of any size, compared without printing megabytes on a failure.
::testing::AssertionResult sameText(const std::string& actual, const std::string& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  auto shorten = [](const std::string& s) {
    return s.size() <= 200 ? s : s.substr(0, 200) + "... (" + std::to_string(s.size()) + " bytes)";
  };
  return ::testing::AssertionFailure()
         << "got \"" << shorten(actual) << "\", expected \"" << shorten(expected) << "\"";
}

// ---- a data folder that takes no writes ----------------------------------------------------

// Root ignores permission bits, so besides them every write that carries a byte is refused
// through the file-size limit (EFBIG; its signal ignored) while the files stay readable.
class ReadOnlyData {
 public:
  explicit ReadOnlyData(const std::string& folder) : folder_(folder) {
    getrlimit(RLIMIT_FSIZE, &old_);
    oldHandler_ = signal(SIGXFSZ, SIG_IGN);
    rlimit none = old_;
    none.rlim_cur = 0;
    setrlimit(RLIMIT_FSIZE, &none);
    setWritable(false);
  }
  ~ReadOnlyData() {
    setrlimit(RLIMIT_FSIZE, &old_);
    signal(SIGXFSZ, oldHandler_);
    setWritable(true);
  }
  ReadOnlyData(const ReadOnlyData&) = delete;
  ReadOnlyData& operator=(const ReadOnlyData&) = delete;

 private:
  void setWritable(bool on) {
    std::error_code ec;
    if (!fs::is_directory(folder_, ec)) return;
    for (const auto& e : fs::directory_iterator(folder_, ec))
      if (e.is_regular_file())
        fs::permissions(e.path(), on ? fs::perms(0644) : fs::perms(0444), ec);
    fs::permissions(folder_, on ? fs::perms(0755) : fs::perms(0555), ec);
  }

  std::string folder_;
  rlimit old_{};
  sighandler_t oldHandler_ = SIG_DFL;
};

// ---- the fixture ---------------------------------------------------------------------------

// Every file and folder under paz/, by relative path: the bytes of a file, "<folder>" for a
// folder.
using Tree = std::map<std::string, std::string>;

class FaultTest : public AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    setPostLimits(300, 300);
    standardReplies();
  }
  void TearDown() override {
    AppFixture::TearDown();
    setPostLimits(30000, 60000);
  }

  void standardReplies() {
    services.resetReplies();
    product(kWang, {200, kFreshText});
    product(kCheck, {200, "1"});
    product(kUp, {200, "0"});
    product(kNav, {200, "4"});
  }
  void product(const std::string& path, Reply r) {
    services.setReply(hosts::kProduct, path, std::move(r));
  }
  void platform(const std::string& path, Reply r) {
    services.setReply(hosts::kPlatform, path, std::move(r));
  }
  size_t count(const char* host, const char* path) const {
    return services.requests(host, path).size();
  }

  // A data folder holding the given files (nullopt: the file is absent).
  void resetData(std::optional<std::string> appUrl, std::optional<std::string> dl,
                 std::optional<std::string> user = std::nullopt) {
    removeDataFolder();
    fs::create_directories(path("paz/l/s/r"));
    if (appUrl) writeData("app_url.txt", *appUrl);
    if (dl) writeData("dl.txt", *dl);
    if (user) writeData("user.txt", *user);
  }

  // A fresh process: a new App on a clean fake, the request log emptied.
  void restart() {
    app.reset();
    gui.runPosted();
    gui.ended = false;
    gui.boxes.clear();
    gui.log.clear();
    gui.answers.clear();
    os.launched.clear();
    services.clearRequests();
    app = std::make_unique<App>(gui, os);
  }

  Tree tree() const {
    Tree out;
    std::error_code ec;
    if (!fs::exists(path("paz"), ec)) return out;
    for (auto it = fs::recursive_directory_iterator(path("paz"), ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
      std::string name = fs::relative(it->path(), folder).string();
      if (it->is_directory()) {
        out[name] = "<folder>";
      } else {
        std::ifstream in(it->path(), std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        out[name] = s.str();
      }
    }
    return out;
  }

  // The data folder now equals `before` with `changes` applied (a data file's new bytes).
  ::testing::AssertionResult treeIs(const Tree& before,
                                    const std::map<std::string, std::string>& changes = {}) const {
    Tree expected = before;
    for (const auto& [name, bytes] : changes) expected["paz/l/s/r/" + name] = bytes;
    Tree now = tree();
    if (now == expected) return ::testing::AssertionSuccess();
    auto r = ::testing::AssertionFailure() << "data folder differs:";
    std::set<std::string> names;
    for (const auto& [k, v] : now) names.insert(k);
    for (const auto& [k, v] : expected) names.insert(k);
    for (const auto& k : names) {
      auto a = now.find(k);
      auto e = expected.find(k);
      if (a == now.end()) {
        r << " " << k << " missing;";
      } else if (e == expected.end()) {
        r << " " << k << " unexpected;";
      } else if (a->second != e->second) {
        r << " " << k << " " << sameText(a->second, e->second).message() << ";";
      }
    }
    return r;
  }

  bool homeViewUp() const {
    return visible("Form1") && visible("Form2") && visible("Form3") && visible("Form12") &&
           !app->m.gPanelsWidth.empty();
  }
  // The window hid itself right after showing `message`.
  bool boxThenHide(const std::string& message, const std::string& form) const {
    for (size_t i = 0; i + 1 < gui.log.size(); ++i)
      if (gui.log[i] == "box " + message && gui.log[i + 1] == "hide " + form) return true;
    return false;
  }
  void click(const char* form, const char* control) {
    auto* p = gui.picture(form, control);
    ASSERT_NE(p, nullptr) << form << "." << control;
    p->click();
  }
  void signIn(const std::string& account, const std::string& password) {
    gui.textBox("Form8", "Text1")->setText(account);
    gui.textBox("Form8", "Text2")->setText(password);
    click("Form8", "Image3");
  }
};

// ---- the seven requests --------------------------------------------------------------------

// The site-text request at its three places and after a rejected address: no reply or a status
// other than 200 ends the process with the server-error message and app_url.txt as it was; any
// reply with status 200 is stored whole and the road goes on.
TEST_F(FaultTest, SiteTextRequest) {
  const Texts texts{"http://half.member.example/?lsr=55,half",
                    "http://gbk.member.example/?lsr=31,会员之家"};
  // Where the request is made, and the address and referral the road ends with when the reply
  // holds both (the GBK row) or neither (the other replies with status 200): a stored address and
  // a referral that the reply cannot replace stay.
  struct Place {
    const char* name;
    std::optional<std::string> stored;
    const char* check;
    const char *siteWith, *lsrWith, *siteWithout, *lsrWithout;
  };
  const char* const gbkSite = "http://gbk.member.example";
  const Place places[] = {
      {"nothing stored", std::nullopt, "1", gbkSite, "lsr=31", "", ""},
      {"stored text without an address", "lsr=9\r\n", "1", gbkSite, "lsr=31", "", ""},
      {"stored text without a referral", "http://x.member.example/\r\n", "1", kStoredSite, "lsr=31",
       kStoredSite, ""},
      {"stored address rejected", kStoredText, "0", gbkSite, "lsr=9", kStoredSite, "lsr=9"},
  };
  for (const auto& place : places) {
    for (const auto& row : kFaults) {
      SCOPED_TRACE(std::string(place.name) + ", " + row.name);
      resetData(place.stored, kSignedOut);
      const Tree before = tree();
      product(kCheck, {200, place.check});
      product(kWang, faultReply(row.fault, texts));
      restart();
      const bool up = startApp();

      if (!answered(row.fault)) {
        EXPECT_FALSE(up);
        EXPECT_TRUE(!gui.boxes.empty() && gui.boxes.back().text == kServerError);
        EXPECT_EQ(count(hosts::kProduct, kUp), 0u);
        // The road creates the empty file before asking; nothing else is written.
        EXPECT_TRUE(treeIs(before, {{"app_url.txt", place.stored.value_or("")}}));
        continue;
      }
      ASSERT_TRUE(up);
      EXPECT_TRUE(gui.boxes.empty());
      EXPECT_TRUE(homeViewUp());
      EXPECT_TRUE(treeIs(before, {{"app_url.txt", *receivedText(row.fault, texts) + "\r\n"}}));
      const bool full = row.fault == Fault::Gbk;
      EXPECT_EQ(app->m.gSiteUrl, full ? place.siteWith : place.siteWithout);
      EXPECT_EQ(app->m.gLsr, full ? place.lsrWith : place.lsrWithout);
    }
  }
}

// Every failure of the site check, and every reply that is no number, rejects the address: a
// fresh site text gives the new one and the referral stays.
TEST_F(FaultTest, SiteCheck) {
  const Texts texts{"1\r\n", "网站正常"};
  for (const auto& row : kFaults) {
    SCOPED_TRACE(row.name);
    resetData(kStoredText, kSignedOut);
    const Tree before = tree();
    product(kCheck, faultReply(row.fault, texts));
    restart();
    ASSERT_TRUE(startApp());
    EXPECT_TRUE(gui.boxes.empty());
    EXPECT_EQ(count(hosts::kProduct, kCheck), 1u);
    EXPECT_EQ(count(hosts::kProduct, kWang), 1u);
    EXPECT_EQ(app->m.gSiteUrl, kFreshSite);
    EXPECT_EQ(app->m.gLsr, "lsr=9");
    EXPECT_TRUE(homeViewUp());
    EXPECT_TRUE(treeIs(before, {{"app_url.txt", std::string(kFreshText) + "\r\n"}}));
  }
}

// A failed update check shows nothing; any reply but 0, error pages included, is shown as the
// update prompt; Cancel leaves the home view laid out.
TEST_F(FaultTest, UpdateCheck) {
  const Texts texts{"有新版本 2.2，是否更新？", "发现新版本 2.2，是否更新？"};
  for (const auto& row : kFaults) {
    SCOPED_TRACE(row.name);
    resetData(kStoredText, kSignedOut);
    const Tree before = tree();
    product(kUp, faultReply(row.fault, texts));
    restart();
    gui.answers.push_back(MsgResult::Cancel);
    ASSERT_TRUE(startApp());
    const auto text = receivedText(row.fault, texts);
    if (text) {
      ASSERT_EQ(gui.boxes.size(), 1u);
      EXPECT_TRUE(sameText(gui.boxes[0].text, *text));
      EXPECT_EQ(gui.boxes[0].title, kUpdateTitle);
      EXPECT_EQ(gui.boxes[0].buttons, MsgButtons::OkCancel);
    } else {
      EXPECT_TRUE(gui.boxes.empty());
    }
    EXPECT_EQ(count(hosts::kProduct, kUpUrl), 0u);
    EXPECT_TRUE(homeViewUp());
    EXPECT_TRUE(treeIs(before));
  }
}

// After OK in the update prompt: a failed download-address request opens nothing; a reply is
// written to a shortcut file and handed to the browser only when it is a web address. The
// process ends either way.
TEST_F(FaultTest, DownloadAddressRequest) {
  const Texts texts{"http://dl.example/setup.exe", "http://dl.example/新版本.exe"};
  for (const auto& row : kFaults) {
    SCOPED_TRACE(row.name);
    resetData(kStoredText, kSignedOut);
    const Tree before = tree();
    product(kUp, {200, "2"});
    product(kUpUrl, faultReply(row.fault, texts));
    restart();
    gui.answers.push_back(MsgResult::Ok);
    EXPECT_FALSE(startApp());
    EXPECT_TRUE(gui.ended);
    ASSERT_EQ(gui.boxes.size(), 1u);
    // The shortcut files in temp (the road emptied it at the start).
    std::vector<std::string> shortcuts;
    for (const auto& e : fs::directory_iterator(path("temp")))
      if (e.path().extension() == ".url") shortcuts.push_back(e.path().string());
    const auto text = receivedText(row.fault, texts);
    if (!text) {
      EXPECT_TRUE(os.launched.empty());
      EXPECT_TRUE(shortcuts.empty());
    } else {
      ASSERT_EQ(shortcuts.size(), 1u);
      std::ifstream in(shortcuts[0], std::ios::binary);
      std::ostringstream s;
      s << in.rdbuf();
      EXPECT_TRUE(sameText(s.str(), "[InternetShortcut]\r\nURL=" + *text + "\r\n"));
      if (row.fault == Fault::Gbk) {
        EXPECT_EQ(os.launched, std::vector<std::string>{texts.gbk});
      } else {
        EXPECT_TRUE(os.launched.empty());
      }
    }
    EXPECT_TRUE(treeIs(before));
  }
}

// Whatever the layout query gets, unless it is one of the numbers 0 to 3, the bar keeps its
// design layout: all eight controls at their places, 7650 twips wide.
TEST_F(FaultTest, LayoutQuery) {
  const Texts texts{"0\r\n", "二"};
  const std::map<std::string, double> designLeft = {
      {"Image1", 0},    {"Image2", 1080}, {"Image3", 2160}, {"Image4", 6330},
      {"Image5", 6980}, {"Image6", 3270}, {"Image7", 5440}, {"Image8", 4560}};
  for (const auto& row : kFaults) {
    SCOPED_TRACE(row.name);
    resetData(kStoredText, kSignedOut);
    const Tree before = tree();
    product(kNav, faultReply(row.fault, texts));
    restart();
    ASSERT_TRUE(startApp());
    EXPECT_EQ(count(hosts::kProduct, kNav), 1u);
    EXPECT_EQ(gui.window("Form12")->width(), 7650);
    for (const auto& [name, left] : designLeft) {
      auto* p = gui.picture("Form12", name);
      ASSERT_NE(p, nullptr) << name;
      EXPECT_TRUE(p->isVisible()) << name;
      EXPECT_EQ(p->left(), left) << name;
    }
    EXPECT_TRUE(gui.boxes.empty());
    EXPECT_TRUE(homeViewUp());
    EXPECT_TRUE(treeIs(before));
  }
}

// No reply or a status other than 200: "connection failed", still signed out, nothing written.
// Any other reply with status 200 is a sign-in: it is stored as the site text (the start-up road
// then fetches a fresh one when it holds no address) and the windows reload signed in.
TEST_F(FaultTest, SignInRequest) {
  const Texts texts{"http://half.member.example/?lsr=55", "http://gbk.member.example/?lsr=31,会员"};
  for (const auto& row : kFaults) {
    SCOPED_TRACE(row.name);
    resetData(kStoredText, kSignedOut);
    const Tree before = tree();
    restart();
    ASSERT_TRUE(startApp());
    ASSERT_TRUE(run([&] { app->form8().Show(); }));
    services.queueReply(hosts::kPlatform, kSignIn, faultReply(row.fault, texts));
    signIn("abc", "pw");
    EXPECT_FALSE(gui.ended);
    EXPECT_EQ(count(hosts::kPlatform, kSignIn), 1u);
    if (!answered(row.fault)) {
      EXPECT_EQ(gui.boxes.size(), 1u);
      EXPECT_EQ(gui.boxes.back().text, kSignInNoReply);
      EXPECT_EQ(app->m.gLoginFlag, "0");
      EXPECT_TRUE(visible("Form8"));
      EXPECT_EQ(count(hosts::kPlatform, kIncome), 0u);
      EXPECT_TRUE(treeIs(before));
      continue;
    }
    EXPECT_TRUE(gui.boxes.empty());
    EXPECT_EQ(app->m.gLoginFlag, "1");
    EXPECT_FALSE(visible("Form8"));
    EXPECT_TRUE(homeViewUp());
    EXPECT_EQ(gui.picture("Form12", "Image6")->source(), "img\\dl1.jpg");
    const bool withAddress = row.fault == Fault::Gbk;
    EXPECT_EQ(app->m.gSiteUrl, withAddress ? "http://gbk.member.example" : kFreshSite);
    EXPECT_EQ(count(hosts::kProduct, kWang), withAddress ? 0u : 1u);
    EXPECT_TRUE(treeIs(
        before, {{"app_url.txt", (withAddress ? texts.gbk : std::string(kFreshText)) + "\r\n"},
                 {"dl.txt", kSignedIn},
                 {"user.txt", "abc\r\n"}}));
  }
}

// Anything but a status-200 reply holding both figures: the failure message, the window hides
// itself, both income boxes stay empty and the account comes from user.txt.
TEST_F(FaultTest, IncomeQuery) {
  // Half of the partial reply still holds both figures: taking it would show them.
  const Texts texts{"12.50aaa3.40bbb" + std::string(16, ' '), "本月12.50aaa上月3.40bbb"};
  for (const auto& row : kFaults) {
    SCOPED_TRACE(row.name);
    resetData(kStoredText, kSignedIn, "abc\r\n");
    const Tree before = tree();
    platform(kIncome, faultReply(row.fault, texts));
    restart();
    ASSERT_TRUE(startApp());
    click("Form12", "Image6");
    EXPECT_EQ(count(hosts::kPlatform, kIncome), 1u);
    auto* text1 = gui.textBox("Form7", "Text1");
    ASSERT_NE(text1, nullptr);
    EXPECT_EQ(text1->text(), "abc");
    if (row.fault == Fault::Gbk) {
      EXPECT_TRUE(gui.boxes.empty());
      EXPECT_EQ(gui.textBox("Form7", "Text2")->text(), "本月12.50元");
      EXPECT_EQ(gui.textBox("Form7", "Text3")->text(), "上月3.40");
    } else {
      ASSERT_EQ(gui.boxes.size(), 1u);
      EXPECT_TRUE(boxThenHide(kQueryFailed, "Form7"));
      EXPECT_EQ(gui.textBox("Form7", "Text2")->text(), "");
      EXPECT_EQ(gui.textBox("Form7", "Text3")->text(), "");
    }
    EXPECT_EQ(app->m.gLoginFlag, "1");
    EXPECT_TRUE(treeIs(before));
  }
}

// Nothing listens where the services should be (a real refused connection for every request).
TEST_F(FaultTest, ServicesUnreachable) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), len), 0);
  ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len), 0);
  ::close(fd);  // the port is now closed
  setenv("http_proxy", ("http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port))).c_str(), 1);

  {
    SCOPED_TRACE("first start");
    resetData(std::nullopt, kSignedOut);
    const Tree before = tree();
    restart();
    EXPECT_FALSE(startApp());
    ASSERT_FALSE(gui.boxes.empty());
    EXPECT_EQ(gui.boxes.back().text, kServerError);
    EXPECT_EQ(gui.window("Form12")->width(), 7650);
    EXPECT_TRUE(treeIs(before, {{"app_url.txt", ""}}));
  }
  {
    SCOPED_TRACE("stored own site, signed in");
    resetData("http://" + std::string(hosts::kOwnSites[1]) + "/?lsr=9\r\n", kSignedIn, "abc\r\n");
    const Tree before = tree();
    restart();
    ASSERT_TRUE(startApp());
    EXPECT_TRUE(gui.boxes.empty());
    EXPECT_TRUE(homeViewUp());
    EXPECT_EQ(gui.window("Form12")->width(), 7650);
    click("Form12", "Image6");
    EXPECT_TRUE(boxThenHide(kQueryFailed, "Form7"));
    EXPECT_EQ(gui.textBox("Form7", "Text1")->text(), "abc");
    EXPECT_TRUE(treeIs(before));
  }
  {
    SCOPED_TRACE("stored own site, signed out");
    resetData("http://" + std::string(hosts::kOwnSites[1]) + "/?lsr=9\r\n", kSignedOut);
    const Tree before = tree();
    restart();
    ASSERT_TRUE(startApp());
    click("Form12", "Image6");
    ASSERT_TRUE(visible("Form8"));
    signIn("abc", "pw");
    ASSERT_EQ(gui.boxes.size(), 1u);
    EXPECT_EQ(gui.boxes.back().text, kSignInNoReply);
    EXPECT_EQ(app->m.gLoginFlag, "0");
    EXPECT_TRUE(treeIs(before));
  }
}

// ---- data files ----------------------------------------------------------------------------

// Each row damages the data folder, starts the client, opens the account tab and, when asked,
// signs in ("abc", answered with a site text), signs out or opens a member page.
TEST_F(FaultTest, DataFiles) {
  enum class Action { None, SignIn, SignOut, MemberPage };
  struct Row {
    std::string name;
    std::function<void()> damage;
    bool readOnly = false;
    bool signedIn = false;
    Action action = Action::None;
    std::string box;                             // the action's message; none when empty
    std::map<std::string, std::string> changes;  // data files the row legitimately rewrites
    std::string site = kStoredSite;              // gSiteUrl after the start
    std::string account;                         // the account box when signed in
  };
  const std::string signInText = "http://shop9.member.example/?lsr=99";
  const std::string megabyte(1024 * 1024, 'u');
  std::string binary;
  for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 37) & 0xFF);
  ASSERT_EQ(binary.find("http"), std::string::npos);
  const std::string dataDir = path("paz/l/s/r");
  auto replaceByFolder = [&](const char* name) {
    fs::remove(dataDir + "/" + name);
    fs::create_directory(dataDir + "/" + name);
  };

  std::vector<Row> rows;
  auto add = [&rows](std::string name, std::function<void()> damage) -> Row& {
    rows.emplace_back();
    rows.back().name = std::move(name);
    rows.back().damage = std::move(damage);
    return rows.back();
  };
  {
    Row& r = add("data folder missing", [&] { removeDataFolder(); });
    r.action = Action::SignIn;
    r.box = kSaveFailed;
    r.site = kFreshSite;
  }
  {
    Row& r = add("data folder path is a file", [&] {
      fs::remove_all(dataDir);
      std::ofstream(dataDir, std::ios::binary) << "not a folder";
    });
    r.action = Action::SignIn;
    r.box = kSaveFailed;
    r.site = kFreshSite;
  }
  {
    Row& r = add("read-only, signed out", [] {});
    r.readOnly = true;
    r.action = Action::SignIn;
    r.box = kSaveFailed;
  }
  {
    Row& r = add("read-only, signed in", [&] {
      writeData("dl.txt", kSignedIn);
      writeData("user.txt", "abc\r\n");
    });
    r.readOnly = true;
    r.signedIn = true;
    r.action = Action::SignOut;
    r.box = kSignOutFailed;
    r.account = "abc";
  }
  {
    Row& r = add("read-only, empty app_url.txt", [&] { writeData("app_url.txt", ""); });
    r.readOnly = true;
    r.site = kFreshSite;
  }
  // A sign-in that cannot write dl.txt or user.txt puts the stored site text back: the client
  // stays signed out on what it had.
  for (const char* name : {"dl.txt", "user.txt"}) {
    Row& r = add(std::string(name) + " is a folder", [&, name] { replaceByFolder(name); });
    r.action = Action::SignIn;
    r.box = kSaveFailed;
  }
  {
    Row& r = add("app_url.txt is a folder", [&] { replaceByFolder("app_url.txt"); });
    r.action = Action::SignIn;
    r.box = kSaveFailed;
    r.site = kFreshSite;
  }
  add("dl.txt missing", [&] { fs::remove(dataDir + "/dl.txt"); });
  const std::pair<const char*, std::string> garbage[] = {
      {"letters", "abc\r\n"},
      {"a number followed by letters", "1abc\r\n"},
      {"a NUL before the number", std::string("\0 1 \r\n", 6)},
      {"binary", "\x01\x02\xFF\xFE"},
      {"nothing", ""},
      {"another number", " 2 \r\n"},
      {"1 MB of digits", std::string(1024 * 1024, '9')},
      {"a number too large", "1e999\r\n"},
  };
  for (const auto& [name, bytes] : garbage)
    add(std::string("dl.txt holds ") + name, [&, b = bytes] { writeData("dl.txt", b); });
  {
    Row& r = add("user.txt missing", [&] { writeData("dl.txt", kSignedIn); });
    r.signedIn = true;
    r.action = Action::MemberPage;
  }
  struct UserCase {
    const char* name;
    std::string bytes, account;
  };
  const UserCase users[] = {
      {"comma", "ab,cd\r\n", "ab"},
      {"quoted comma", "\"a,b\"c\r\n", "a,b"},
      {"unterminated quote", "\"abc", "abc"},
      {"NUL bytes", std::string("a\0b\0\r\n", 6), std::string("a\0b\0", 4)},
      {"1 MB", megabyte, megabyte},
      {"empty", "", ""},
  };
  for (const auto& u : users) {
    Row& r = add(std::string("user.txt: ") + u.name, [&, bytes = u.bytes] {
      writeData("dl.txt", kSignedIn);
      writeData("user.txt", bytes);
    });
    r.signedIn = true;
    r.action = Action::MemberPage;
    r.account = u.account;
  }
  add("app_url.txt of 1 MB after a good first item", [&] {
    writeData("app_url.txt", "http://big.member.example/?lsr=5," + megabyte);
  }).site = "http://big.member.example";
  {
    Row& r =
        add("app_url.txt of 1 MB without an address", [&] { writeData("app_url.txt", megabyte); });
    r.changes = {{"app_url.txt", std::string(kFreshText) + "\r\n"}};
    r.site = kFreshSite;
  }
  {
    Row& r = add("app_url.txt binary", [&] { writeData("app_url.txt", binary); });
    r.changes = {{"app_url.txt", std::string(kFreshText) + "\r\n"}};
    r.site = kFreshSite;
  }
  add("app_url.txt binary around an address", [&] {
    writeData("app_url.txt",
              std::string("\0\xFF\xFE", 3) + "http://bin.member.example/?lsr=8\r\n" + binary);
  }).site = "http://bin.member.example";

  platform(kSignIn, {200, signInText});
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    resetData(kStoredText, kSignedOut);
    row.damage();
    const Tree before = tree();
    restart();
    std::optional<ReadOnlyData> readOnly;
    if (row.readOnly) readOnly.emplace(path("paz/l/s/r"));

    ASSERT_TRUE(startApp());
    EXPECT_TRUE(homeViewUp());
    EXPECT_EQ(app->m.gSiteUrl, row.site);
    EXPECT_EQ(app->m.gLoginFlag, row.signedIn ? "1" : "0");
    EXPECT_EQ(gui.picture("Form12", "Image6")->source(),
              row.signedIn ? "img\\dl1.jpg" : "img\\dl0.jpg");

    click("Form12", "Image6");
    if (row.signedIn) {
      ASSERT_TRUE(visible("Form7"));
      EXPECT_TRUE(sameText(gui.textBox("Form7", "Text1")->text(), row.account));
    } else {
      ASSERT_TRUE(visible("Form8"));
    }
    switch (row.action) {
      case Action::None:
        break;
      case Action::SignIn:
        signIn("abc", "pw");
        break;
      case Action::SignOut:
        click("Form7", "Image6");
        break;
      case Action::MemberPage:
        click("Form7", "Image3");
        ASSERT_FALSE(os.launched.empty());
        EXPECT_TRUE(sameText(os.launched.back(), PlatformUrl("/index.php/index/app/user/") +
                                                     row.account + "/tz/bbuser"));
        break;
    }
    readOnly.reset();
    EXPECT_FALSE(gui.ended);
    if (row.box.empty()) {
      EXPECT_TRUE(gui.boxes.empty()) << gui.boxes.front().text;
    } else {
      ASSERT_FALSE(gui.boxes.empty());
      EXPECT_EQ(gui.boxes.back().text, row.box);
    }
    // A failed sign-in or sign-out leaves the state as it was.
    EXPECT_EQ(app->m.gLoginFlag, row.signedIn ? "1" : "0");
    EXPECT_TRUE(treeIs(before, row.changes));
  }
}

// ---- pictures ------------------------------------------------------------------------------

// One pass over every picture the client reads from img: every tab of the bar, every tab of the
// questions window, the account tab signed in and signed out, the sign-out, and minimise and
// restore through the notification area.
struct PictureRun {
  std::vector<std::string> loads;              // "Owner.Control path", failed ones included
  std::vector<std::set<std::string>> shown;    // the visible windows after each step
  std::map<std::string, std::string> sources;  // every picture control's final source
  bool ended = false;
  ::testing::AssertionResult data = ::testing::AssertionSuccess();  // the data folder as expected
};

class FaultPictureTest : public FaultTest {
 protected:
  PictureRun pass() {
    PictureRun out;
    resetData("http://" + std::string(hosts::kOwnSites[0]) + "/?lsr=9\r\n", kSignedIn, "abc\r\n");
    const Tree before = tree();
    restart();
    auto step = [&](const std::function<void()>& action) {
      if (action) action();
      std::set<std::string> shown;
      for (const auto& [name, w] : gui.windows)
        if (w->isVisible()) shown.insert(name);
      out.shown.push_back(shown);
    };
    auto clickOn = [&](const char* form, const char* control) {
      return [this, form, control] {
        if (auto* p = gui.picture(form, control)) p->click();
      };
    };
    step([&] { startApp(); });
    for (const char* tab : {"Image1", "Image2", "Image3", "Image8", "Image7"})
      step(clickOn("Form12", tab));
    for (const char* tab : {"Image1", "Image2", "Image3", "Image4", "Image5"})
      step(clickOn("Form9", tab));
    step(clickOn("Form12", "Image6"));  // signed in: the account window
    step(clickOn("Form7", "Image6"));   // sign-out: the sign-in window
    step(clickOn("Form12", "Image6"));  // signed out: the sign-in window again
    step(clickOn("Form12", "Image4"));  // to the notification area
    step([&] { gui.tray_.activate(515); });
    for (const auto& line : gui.log) {
      if (line.rfind("picture ", 0) == 0) out.loads.push_back(line.substr(8));
      if (line.rfind("picture-failed ", 0) == 0) out.loads.push_back(line.substr(15));
    }
    for (const auto& [name, p] : gui.pictures) out.sources[name] = p->source();
    out.ended = gui.ended;
    // The sign-out is the only write.
    out.data = treeIs(before, {{"dl.txt", kSignedOut}});
    return out;
  }
};

// A picture missing, empty, corrupt or replaced by a folder: every action goes on as with the
// healthy file, the same pictures are tried, and each control that could not take the file keeps
// the picture it had.
TEST_F(FaultPictureTest, Pictures) {
  const PictureRun healthy = pass();
  ASSERT_FALSE(healthy.ended);
  ASSERT_TRUE(healthy.data);
  ASSERT_EQ(healthy.shown.size(), 16u);
  EXPECT_EQ(healthy.shown.back().count("Form12"), 1u);

  std::vector<std::string> files;
  for (const auto& e : fs::directory_iterator(path("img")))
    if (e.path().extension() == ".jpg") files.push_back(e.path().filename().string());
  std::sort(files.begin(), files.end());
  ASSERT_GE(files.size(), 24u);

  struct Damage {
    const char* name;
    std::function<void(const std::string&)> apply;
  };
  const Damage damages[] = {
      {"missing", [](const std::string& f) { fs::remove(f); }},
      {"empty", [](const std::string& f) { std::ofstream(f, std::ios::binary | std::ios::trunc); }},
      {"corrupt",
       [](const std::string& f) {
         std::ofstream(f, std::ios::binary | std::ios::trunc) << "GIF89a\x01\x02 not a picture";
       }},
      {"a folder",
       [](const std::string& f) {
         fs::remove(f);
         fs::create_directory(f);
       }},
  };
  for (const auto& file : files) {
    const std::string onDisk = path("img/" + file);
    const std::string asLoaded = "img\\" + file;
    std::ifstream in(onDisk, std::ios::binary);
    std::ostringstream good;
    good << in.rdbuf();
    in.close();
    for (const auto& damage : damages) {
      SCOPED_TRACE(file + " " + damage.name);
      damage.apply(onDisk);
      const PictureRun run = pass();
      fs::remove_all(onDisk);
      std::ofstream(onDisk, std::ios::binary) << good.str();

      EXPECT_FALSE(run.ended);
      EXPECT_TRUE(run.data);
      EXPECT_TRUE(gui.boxes.empty());
      EXPECT_EQ(run.shown, healthy.shown);
      EXPECT_EQ(run.loads, healthy.loads);
      bool tried = false;
      for (const auto& load : run.loads)
        tried =
            tried || (load.size() > asLoaded.size() &&
                      load.compare(load.size() - asLoaded.size(), asLoaded.size(), asLoaded) == 0);
      EXPECT_TRUE(tried) << "the pass never reads " << file;
      ASSERT_EQ(run.sources.size(), healthy.sources.size());
      for (const auto& [control, source] : healthy.sources) {
        const std::string& now = run.sources.at(control);
        if (source == asLoaded) {
          EXPECT_NE(now, asLoaded) << control;
          EXPECT_FALSE(now.empty()) << control;
        } else {
          EXPECT_EQ(now, source) << control;
        }
      }
    }
  }
}

}  // namespace
}  // namespace kv::test
