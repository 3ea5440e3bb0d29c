// Fault injection: every request scripted to fail, and damaged data files. Each row checks the
// message or default chosen and that the data folder's bytes are as they should be.
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>

#include "account/signin_window.h"
#include "app/app.h"
#include "app/shared.h"
#include "platform/services/datafiles.h"
#include "tests/fake/app_fixture.h"

namespace kv::test {
namespace {

namespace fs = std::filesystem;
using standin::Reply;

// The site text the product service hands out in these tests, and the stored one.
constexpr const char* kFreshText = "http://shop7.member.example/?lsr=777";
constexpr const char* kFreshSite = "http://shop7.member.example";
constexpr const char* kStoredText = "http://x.member.example/?lsr=9\r\n";
constexpr const char* kStoredSite = "http://x.member.example";
constexpr const char* kSignedIn = " 1 \r\n";

// The faults every request meets, and a good reply.
enum class Fault { Refused, ServerError, Empty, NoNumber, Good };
constexpr Fault kFaults[] = {Fault::Refused, Fault::ServerError, Fault::Empty, Fault::NoNumber,
                             Fault::Good};
const char* const kFaultNames[] = {"refused", "500 with a page", "empty", "no number", "good"};

// The reply a fault sends.
Reply scripted(Fault f, const std::string& good) {
  Reply r{200, good};
  r.refuse = f == Fault::Refused;
  if (f == Fault::ServerError) r = {500, "<html>500 服务器内部错误</html>", "text/html"};
  if (f == Fault::Empty) r.body = "";
  if (f == Fault::NoNumber) r.body = "服务维护中 please retry";
  return r;
}

// A data folder that takes no writes: every write that carries a byte is refused through the
// file-size limit (EFBIG, its signal ignored), which binds root as well.
class ReadOnlyData {
 public:
  ReadOnlyData() {
    getrlimit(RLIMIT_FSIZE, &old_);
    oldHandler_ = signal(SIGXFSZ, SIG_IGN);
    rlimit none = old_;
    none.rlim_cur = 0;
    setrlimit(RLIMIT_FSIZE, &none);
  }
  ~ReadOnlyData() {
    setrlimit(RLIMIT_FSIZE, &old_);
    signal(SIGXFSZ, oldHandler_);
  }

 private:
  rlimit old_{};
  sighandler_t oldHandler_ = SIG_DFL;
};

// Every file and folder under paz/ by relative path: a file's bytes, "<folder>" for a folder.
using Tree = std::map<std::string, std::string>;

class FaultTest : public AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    product(kWang, {200, kFreshText});
  }
  void product(const std::string& path, Reply r) {
    services.setReply(hosts::kProduct, path, std::move(r));
  }

  // A data folder holding the given files (nullopt: absent) and a fresh process: a new App on a
  // clean fake, the request log emptied. Returns the data folder's bytes.
  Tree fresh(std::optional<std::string> appUrl, std::optional<std::string> dl = " 0 \r\n",
             std::optional<std::string> user = std::nullopt) {
    removeDataFolder();
    fs::create_directories(path("paz/l/s/r"));
    if (appUrl) writeData("app_url.txt", *appUrl);
    if (dl) writeData("dl.txt", *dl);
    if (user) writeData("user.txt", *user);
    restart(false);
    return tree();
  }
  Tree tree() const {
    Tree out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(path("paz"), ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
      out[fs::relative(it->path(), folder).string()] =
          it->is_directory() ? "<folder>" : files::readAll(it->path()).value_or("");
    }
    return out;
  }
  // The data folder now equals `expected` with `changes` applied (a data file's new bytes).
  ::testing::AssertionResult treeIs(Tree expected, const Tree& changes = {}) const {
    for (const auto& [name, bytes] : changes) expected["paz/l/s/r/" + name] = bytes;
    const Tree now = tree();
    auto r = ::testing::AssertionFailure() << "data folder differs at:";
    for (const auto& [k, v] : expected)
      if (!now.count(k) || now.at(k) != v) r << " " << k << " (" << now.count(k) << ")";
    for (const auto& [k, v] : now)
      if (!expected.count(k)) r << " " << k << " (unexpected)";
    return now == expected ? ::testing::AssertionSuccess() : r;
  }
  // The home view shown and laid out (the layout is what places the bar).
  bool homeViewUp() const {
    return shown() == Names{"Form1", "Form2", "Form3", "Form12"} &&
           logIndex("move Form12") < gui.log.size();
  }
};

// The site-text request at its places: no status-200 reply ends the process; any other is stored
// whole, its address and referral used when it holds both, else what was stored.
TEST_F(FaultTest, SiteTextRequest) {
  const std::string good = "http://good.member.example/?lsr=31,会员之家\nline two";
  const char* const goodSite = "http://good.member.example";
  struct Place {
    const char* name;
    std::optional<std::string> stored;
    const char* check;
    const char *siteWith, *lsrWith, *siteWithout, *lsrWithout;
  };
  const Place places[] = {
      {"nothing stored", std::nullopt, "1", goodSite, "lsr=31", "", ""},
      {"stored text without an address", "lsr=9\r\n", "1", goodSite, "lsr=31", "", ""},
      {"stored text without a referral", "http://x.member.example/\r\n", "1", kStoredSite, "lsr=31",
       kStoredSite, ""},
      {"stored address rejected", kStoredText, "0", goodSite, "lsr=9", kStoredSite, "lsr=9"},
  };
  for (const auto& place : places) {
    for (Fault f : kFaults) {
      SCOPED_TRACE(std::string(place.name) + ", " + kFaultNames[int(f)]);
      const Tree before = fresh(place.stored);
      const Reply s = scripted(f, good);
      product(kCheck, {200, place.check});
      product(kWang, s);
      const bool up = startApp();
      if (s.refuse || s.status != 200) {
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
      EXPECT_TRUE(treeIs(before, {{"app_url.txt", s.body + "\r\n"}}));
      const bool full = f == Fault::Good;
      EXPECT_EQ(app->m.gSiteUrl, full ? place.siteWith : place.siteWithout);
      EXPECT_EQ(app->m.gLsr, full ? place.lsrWith : place.lsrWithout);
    }
  }
}

// The three start-up queries failing alike: the site check rejects the address; the update
// prompt shows any reply but 0 after the layout; the bar keeps its design layout.
TEST_F(FaultTest, StartUpQueries) {
  for (Fault f : kFaults) {
    SCOPED_TRACE(kFaultNames[int(f)]);
    const Tree before = fresh(kStoredText);
    const Reply update = scripted(f, "发现新版本 2.2，是否更新？");
    product(kCheck, scripted(f, "网站正常"));
    product(kUp, update);
    product(kNav, scripted(f, "二"));
    gui.answers.push_back(MsgResult::Cancel);
    ASSERT_TRUE(startApp());
    EXPECT_TRUE(homeViewUp());
    for (const char* path : {kCheck, kWang, kUp, kNav}) EXPECT_EQ(count(hosts::kProduct, path), 1u);
    EXPECT_EQ(count(hosts::kProduct, kUpUrl), 0u);
    EXPECT_EQ(app->m.gSiteUrl, kFreshSite);
    EXPECT_EQ(app->m.gLsr, "lsr=9");
    EXPECT_TRUE(treeIs(before, {{"app_url.txt", std::string(kFreshText) + "\r\n"}}));
    ASSERT_EQ(gui.boxes.size(), update.refuse ? 0u : 1u);
    if (!update.refuse) {
      EXPECT_EQ(gui.boxes[0].text, update.body);
      EXPECT_EQ(gui.boxes[0].title, "发现新版本");
      EXPECT_EQ(gui.boxes[0].buttons, MsgButtons::OkCancel);
      EXPECT_LT(logIndex("move Form12"), logIndex("box " + gui.boxes[0].text));
    }
    EXPECT_EQ(gui.window("Form12")->width(), 7650);
    for (int i = 1; i <= 8; ++i)
      EXPECT_TRUE(gui.picture("Form12", "Image" + std::to_string(i))->isVisible()) << i;
  }
}

// After OK in the update prompt: any reply becomes a shortcut file, only a web address reaches
// the browser, and the process ends.
TEST_F(FaultTest, DownloadAddressRequest) {
  const std::string good = "http://dl.example/新版本.exe";
  product(kUp, {200, "2"});
  for (Fault f : kFaults) {
    SCOPED_TRACE(kFaultNames[int(f)]);
    const Tree before = fresh(kStoredText);
    const Reply s = scripted(f, good);
    product(kUpUrl, s);
    gui.answers.push_back(MsgResult::Ok);
    EXPECT_FALSE(startApp());
    EXPECT_TRUE(gui.ended);
    ASSERT_EQ(gui.boxes.size(), 1u);
    std::vector<fs::path> shortcuts;  // in temp, which the road emptied at the start
    for (const auto& e : fs::directory_iterator(path("temp"))) shortcuts.push_back(e.path());
    ASSERT_EQ(shortcuts.size(), s.refuse ? 0u : 1u);
    if (!s.refuse) {
      EXPECT_EQ(files::readAll(shortcuts[0]), "[InternetShortcut]\r\nURL=" + s.body + "\r\n");
    }
    EXPECT_EQ(os.launched, f == Fault::Good ? Names{good} : Names{});
    EXPECT_TRUE(treeIs(before));
  }
}

// Anything but a status-200 reply holding both figures: the failure message, then the window
// hides itself, both income boxes stay empty and the account comes from user.txt.
TEST_F(FaultTest, IncomeQuery) {
  for (Fault f : kFaults) {
    SCOPED_TRACE(kFaultNames[int(f)]);
    const Tree before = fresh(kStoredText, kSignedIn, "abc\r\n");
    services.setReply(hosts::kPlatform, kIncome, scripted(f, "12.50aaa3.40bbb"));
    ASSERT_TRUE(startApp());
    click("Form12", "Image6");
    EXPECT_EQ(count(hosts::kPlatform, kIncome), 1u);
    ASSERT_NE(gui.textBox("Form7", "Text1"), nullptr);
    EXPECT_EQ(gui.textBox("Form7", "Text1")->text(), "abc");
    const bool shown = f == Fault::Good;
    EXPECT_EQ(gui.boxes.size(), shown ? 0u : 1u);
    const size_t box = logIndex(std::string("box ") + kQueryFailed);
    EXPECT_EQ(box + 1 < gui.log.size() && gui.log[box + 1] == "hide Form7", !shown);
    EXPECT_EQ(gui.textBox("Form7", "Text2")->text(), shown ? "12.50元" : "");
    EXPECT_EQ(gui.textBox("Form7", "Text3")->text(), shown ? "3.40" : "");
    EXPECT_EQ(app->m.gLoginFlag, "1");
    EXPECT_TRUE(treeIs(before));
  }
}

// Each row damages the data folder, starts, opens the account tab and signs in, out or opens a
// member page; a failed sign-in or sign-out leaves state and files as they were.
TEST_F(FaultTest, DataFiles) {
  enum class Action { None, SignIn, SignOut, MemberPage };
  struct Row {
    std::string name;
    std::function<void()> damage;
    Action action = Action::None;
    std::string box{};               // the action's message; none when empty
    std::string site = kStoredSite;  // gSiteUrl after the start
    bool signedIn = false;
    std::string account{};   // the account box when signed in
    bool readOnly = false;   // the data folder takes no writes during the run
    bool freshText = false;  // app_url.txt rewritten with the fresh site text
  };
  const std::string dataDir = path("paz/l/s/r");
  const std::string megabyte(1024 * 1024, 'u');
  auto put = [this](std::string name, std::string bytes) {
    return [=, this] { writeData(name, bytes); };
  };
  auto signedInAs = [this](std::string user) {
    return [=, this] { writeData("dl.txt", kSignedIn), writeData("user.txt", user); };
  };
  auto folderFor = [&](std::string name) {
    return [=] { fs::remove(dataDir + "/" + name), fs::create_directory(dataDir + "/" + name); };
  };
  using enum Action;
  const Row rows[] = {
      {"data folder missing", [&] { removeDataFolder(); }, SignIn, kSaveFailed, kFreshSite},
      {"read-only, signed out", [] {}, SignIn, kSaveFailed, kStoredSite, false, "", true},
      {"read-only, signed in", signedInAs("abc\r\n"), SignOut, kSignOutFailed, kStoredSite, true,
       "abc", true},
      {"read-only, empty app_url.txt", put("app_url.txt", ""), None, "", kFreshSite, false, "",
       true},
      // A sign-in that cannot write dl.txt or user.txt puts the stored site text back.
      {"dl.txt is a folder", folderFor("dl.txt"), SignIn, kSaveFailed},
      {"user.txt is a folder", folderFor("user.txt"), SignIn, kSaveFailed},
      {"app_url.txt is a folder", folderFor("app_url.txt"), SignIn, kSaveFailed, kFreshSite},
      {"dl.txt missing", [&] { fs::remove(dataDir + "/dl.txt"); }},
      {"dl.txt: a NUL before the number", put("dl.txt", std::string("\0 1 \r\n", 6))},
      {"user.txt missing", put("dl.txt", kSignedIn), MemberPage, "", kStoredSite, true},
      {"app_url.txt of 1 MB without an address", put("app_url.txt", megabyte), None, "", kFreshSite,
       false, "", false, true},
      {"user.txt: NUL bytes", signedInAs(std::string("a\0b\0\r\n", 6)), MemberPage, "", kStoredSite,
       true, std::string("a\0b\0", 4)},
      // An item is read up to 64 KB.
      {"user.txt: 1 MB", signedInAs(megabyte), MemberPage, "", kStoredSite, true,
       megabyte.substr(0, 64 * 1024)},
  };
  services.setReply(hosts::kPlatform, kSignIn, {200, "http://shop9.member.example/?lsr=99"});
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    fresh(kStoredText);
    row.damage();
    const Tree before = tree();
    std::optional<ReadOnlyData> readOnly;
    if (row.readOnly) readOnly.emplace();

    ASSERT_TRUE(startApp());
    EXPECT_TRUE(homeViewUp());
    EXPECT_EQ(app->m.gSiteUrl, row.site);
    EXPECT_EQ(gui.picture("Form12", "Image6")->source(),
              row.signedIn ? "img\\dl1.jpg" : "img\\dl0.jpg");
    click("Form12", "Image6");
    ASSERT_TRUE(visible(row.signedIn ? "Form7" : "Form8"));
    EXPECT_TRUE(!row.signedIn || gui.textBox("Form7", "Text1")->text() == row.account);
    if (row.action == SignIn) signIn("abc", "pw");
    if (row.action == SignOut) click("Form7", "Image6");
    if (row.action == MemberPage) {
      click("Form7", "Image3");
      ASSERT_FALSE(os.launched.empty());
      EXPECT_TRUE(os.launched.back() ==
                  PlatformUrl("/index.php/index/app/user/") + row.account + "/tz/bbuser");
    }
    readOnly.reset();
    EXPECT_FALSE(gui.ended);
    EXPECT_EQ(gui.boxes.empty() ? "" : gui.boxes.back().text, row.box);
    EXPECT_EQ(app->m.gLoginFlag, row.signedIn ? "1" : "0");
    EXPECT_TRUE(treeIs(
        before, row.freshText ? Tree{{"app_url.txt", std::string(kFreshText) + "\r\n"}} : Tree{}));
  }
}

}  // namespace
}  // namespace kv::test
