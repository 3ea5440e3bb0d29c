// The start-up road: Form1's load handler, the program's only entry. It refuses a second
// instance, checks the network, shows the home view, prepares temp and the site-text cache,
// resolves and checks the member's site address, pre-loads the search pages, lays the windows
// out and runs the update check.
#include "app/startup.h"

#include <functional>
#include <stdexcept>

#include "app/app.h"
#include "app/shared.h"
#include "platform/hosts.h"
#include "platform/services/datafiles.h"
#include "platform/services/post_form.h"
#include "platform/services/regexp.h"
#include "platform/services/text.h"

namespace kv {

namespace {

constexpr const char* kVersion = "2.150806";
constexpr const char* kAddressPattern = R"((http://|ftp://)([\w\.]+))";
constexpr const char* kReferralPattern = R"(lsr=\d+)";

constexpr const char* kMsgRunning = "本程序已打开，请关闭后在打开。";
constexpr const char* kMsgNoNetwork = "连接失败：请检查您的网络是否正确连接。";
constexpr const char* kMsgServerError = "错误：连接服务器错误，请稍后再试。";
constexpr const char* kTitleUpdate = "发现新版本";

class Road {
 public:
  explicit Road(App& app) : app_(app), m_(app.m) {}

  void run() {
    // 1. A second instance is refused.
    if (app_.os.anotherInstanceRunning()) {
      app_.gui.messageBox(kMsgRunning, "错误");
      app_.gui.endProcess(0);
    }
    // 2. Fixed values and the request addresses.
    m_.gVersion = kVersion;
    m_.gAppUrlFile = app_.dataFile("app_url.txt");
    m_.gTempDir = app_.tempFolder();
    siteTextUrl_ = ProductUrl("/app.php/index/wang");
    siteCheckUrl_ = ProductUrl("/app.php/index/wang_yu");
    updateUrl_ = ProductUrl("/app.php/index/up");
    downloadUrl_ = ProductUrl("/app.php/index/up_url");
    // 3. Network.
    if (!app_.os.networkConnected()) {
      app_.gui.messageBox(kMsgNoNetwork);
      app_.gui.endProcess(0);
    }
    // 4. The home view's windows; the bar's load and resize handlers run at its first show.
    step([&] { app_.form(FormId::Form1).Show(); });
    step([&] { app_.form(FormId::Form2).Show(); });
    step([&] { app_.form(FormId::Form3).Show(); });
    step([&] { app_.form(FormId::Form12).Show(); });
    // 5. temp loses the files directly inside it.
    step([&] { files::emptyFolder(m_.gTempDir); });
    // 6. An empty app_url.txt where there is none (never the data folder itself).
    step([&] {
      if (!files::isFile(m_.gAppUrlFile)) files::createEmptyFile(m_.gAppUrlFile);
    });
    // 7. The temp folder where nothing of that name exists.
    step([&] {
      if (!files::isFile(m_.gTempDir) && !files::isFolder(m_.gTempDir))
        files::createFolder(m_.gTempDir);
    });
    // 8. The site text: the stored first item, or a fresh one when nothing is stored.
    step([&] {
      auto length = files::fileLength(m_.gAppUrlFile);
      if (!length || *length == 0) {
        fetchSiteText();
      } else {
        siteText_ = files::readFirstItem(m_.gAppUrlFile).value_or("");
      }
    });
    // 9.-11. The site address and the referral, each fetched anew when the text lacks it.
    re_.IgnoreCase = true;
    re_.Multiline = true;
    re_.Global = true;
    step([&] { siteAddress_ = matchOrFetch(kAddressPattern); });
    step([&] { referral_ = matchOrFetch(kReferralPattern); });
    // 12. Module state.
    m_.gSiteUrl = siteAddress_;
    m_.gLsr = referral_;
    // 13. An address that is none of the product's own sites is checked.
    step([&] { checkSite(); });
    // 14. The search pages load their pages hidden; the bar is shown again.
    for (FormId id : {FormId::Form4, FormId::Form5, FormId::Form6}) {
      step([&] { app_.form(id).Show(); });
      step([&] { app_.form(id).Hide(); });
    }
    step([&] { app_.form(FormId::Form12).Show(); });
    // 15. Layout.
    step([&] { LayoutHomeView(app_); });
    // 16. Update check.
    step([&] { checkUpdate(); });
  }

 private:
  // A failing step is skipped and the road goes on; ending the process is no failure.
  static void step(const std::function<void()>& fn) {
    try {
      fn();
    } catch (const std::exception&) {
    }
  }

  // The status rule: anything but a completed request with status 200 ends the process.
  void requireOk(const PostReply& r) {
    if (!r.completed || r.status != 200) {
      app_.gui.messageBox(kMsgServerError);
      app_.gui.endProcess(0);
    }
  }

  // The site-text request: the reply becomes the site text and is stored whole.
  void fetchSiteText() {
    PostReply r = PostForm(siteTextUrl_, "");
    requireOk(r);
    siteText_ = r.text;
    files::writeText(m_.gAppUrlFile, siteText_);
  }

  // The first match of `pattern` in the site text; when there is none, a fresh site text is
  // fetched and its first match taken (empty when it has none either).
  std::string matchOrFetch(const char* pattern) {
    re_.Pattern = pattern;
    if (!re_.Test(siteText_)) fetchSiteText();
    return re_.FirstMatch(siteText_).value_or("");
  }

  bool isOwnSite(const std::string& url) const {
    for (const char* host : hosts::kOwnSites)
      if (url == std::string("http://") + host) return true;
    return false;
  }

  void checkSite() {
    if (isOwnSite(m_.gSiteUrl)) return;
    PostReply check = PostForm(siteCheckUrl_, "yu=" + m_.gSiteUrl);
    std::optional<double> code = check.completed ? toNumber(check.text) : std::nullopt;
    if (code && *code != 0) {
      requireOk(check);
      return;
    }
    // Rejected: a fresh site text gives the address; the referral stays.
    fetchSiteText();
    re_.Pattern = kAddressPattern;
    if (auto match = re_.FirstMatch(siteText_)) siteAddress_ = *match;
    m_.gSiteUrl = siteAddress_;
  }

  void checkUpdate() {
    PostReply r = PostForm(updateUrl_, "banben=" + m_.gVersion);
    if (!r.completed) return;
    std::optional<double> code = toNumber(r.text);
    if (code && *code == 0) return;
    if (app_.gui.messageBox(r.text, kTitleUpdate, MsgButtons::OkCancel) != MsgResult::Ok) return;
    PostReply download = PostForm(downloadUrl_, "");
    if (download.completed) OpenUrlShortcut(app_, app_.form(FormId::Form1), download.text);
    app_.gui.endProcess(0);
  }

  App& app_;
  Module1& m_;
  RegExp re_;
  std::string siteTextUrl_, siteCheckUrl_, updateUrl_, downloadUrl_;
  std::string siteText_, siteAddress_, referral_;
};

}  // namespace

void RunStartupRoad(App& app) {
  Road(app).run();
}

}  // namespace kv
