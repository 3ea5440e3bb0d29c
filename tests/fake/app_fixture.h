// A test fixture for the windows: the fake GUI and OS, a temporary program folder holding the
// data folder (with a signed-out dl.txt), temp and a copy of the generated img folder as the
// current directory, and the stand-in services reached through http_proxy.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/app.h"
#include "platform/hosts.h"
#include "tests/fake/fake_gui.h"
#include "tools/standin/standin.h"

namespace kv::test {

using Names = std::vector<std::string>;

// The paths of the seven requests.
inline constexpr const char* kWang = "/app.php/index/wang";
inline constexpr const char* kCheck = "/app.php/index/wang_yu";
inline constexpr const char* kUp = "/app.php/index/up";
inline constexpr const char* kUpUrl = "/app.php/index/up_url";
inline constexpr const char* kNav = "/app.php/index/nav";
inline constexpr const char* kSignIn = "/app.php/index/index";
inline constexpr const char* kIncome = "/app.php/index/lirun";

// The messages the tests expect, stated once.
inline constexpr const char* kServerError = "错误：连接服务器错误，请稍后再试。";
inline constexpr const char* kSignInNoReply = "连接服务器失败！";
inline constexpr const char* kSaveFailed = "无法保存登录信息，请检查程序文件夹是否可写。";
inline constexpr const char* kSignOutFailed = "无法保存注销状态，请检查程序文件夹是否可写。";
inline constexpr const char* kQueryFailed = "服务器连接失败，请稍后再试。";

class AppFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Starts the program: loads Form1 (the start-up road) as the platform would. False when the
  // process ended.
  bool startApp();
  // A new App on a clean fake (boxes, log, answers, launches and requests forgotten), then the
  // start unless `start` is false. False when the process ended.
  bool restart(bool start = true);
  // Runs a handler as the event dispatcher would; false when the process ended.
  bool run(const std::function<void()>& action) { return gui.dispatch(action); }
  size_t count(const char* host, const std::string& path) const {
    return services.requests(host, path).size();
  }
  // Types into the sign-in window's boxes and clicks its button.
  void signIn(const std::string& account, const std::string& password);

  // Data files: whole bytes ("" for a missing one).
  void writeData(const std::string& name, const std::string& bytes);
  std::string readData(const std::string& name) const;
  void removeDataFolder();
  std::string path(const std::string& relative) const { return folder + "/" + relative; }

  // Whether the window is loaded and visible; the visible ones of Form1 .. Form12.
  bool visible(const std::string& form) const;
  std::vector<std::string> shown() const;
  // The index in gui.log of the first `entry` at or after `from`; gui.log.size() when none.
  size_t logIndex(const std::string& entry, size_t from = 0) const;
  void click(const std::string& form, const std::string& control);

  fake::FakeGui gui;
  fake::FakeOs os;
  standin::StandIn services{hosts::kProduct, hosts::kPlatform};
  std::unique_ptr<App> app;
  std::string folder;

 private:
  std::string oldCwd_;
};

}  // namespace kv::test
