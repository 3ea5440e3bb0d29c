// Opening addresses in the default browser through an Internet-shortcut file in temp, and the
// addresses of the two web services.
#include "app/app.h"
#include "app/shared.h"
#include "platform/hosts.h"
#include "platform/services/shortcut.h"

namespace kv {

void OpenUrlShortcut(App& app, Form& caller, const std::string& url) {
  std::tm now = app.os.localTime();
  std::string file = writeShortcutFile(app.tempFolder(), now, url);
  caller.mShortPath = GetShortName(file);
  // The shortcut's URL= line is what the default browser receives: the address up to a line
  // break. It is opened even when the file could not be written, and only for web addresses.
  std::string target = url.substr(0, url.find_first_of("\r\n"));
  if (isLaunchableUrl(target)) app.os.launchBrowser(target);
}

std::string ProductUrl(const std::string& path) {
  return std::string("http://") + hosts::kProduct + path;
}

std::string PlatformUrl(const std::string& path) {
  return std::string("http://") + hosts::kPlatform + path;
}

}  // namespace kv
