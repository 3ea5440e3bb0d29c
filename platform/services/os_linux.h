// The Os interface on Linux: /proc/self/exe, an flock instance lock, getifaddrs, localtime_r and
// a spawned browser.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/os.h"

namespace kv {

class LinuxOs : public Os {
 public:
  // `lockFolder`: where the instance lock file lives; empty: $XDG_RUNTIME_DIR when it is a
  // private folder of the user, else ~/.cache/kelvora (made private).
  explicit LinuxOs(std::string lockFolder = {});
  ~LinuxOs() override;
  LinuxOs(const LinuxOs&) = delete;
  LinuxOs& operator=(const LinuxOs&) = delete;

  std::string programFolder() const override;
  bool anotherInstanceRunning() override;
  bool networkConnected() override;
  std::tm localTime() override;
  bool launchBrowser(const std::string& url) override;

  // The instance lock file of this program: "kelvora-" + a hash of the program file's real path;
  // empty when there is no private place for it.
  std::string lockFilePath() const;

 private:
  std::string lockFolder_;
  int lockFd_ = -1;  // open, and locked, for the life of this object once taken
};

std::unique_ptr<Os> makeLinuxOs();

// The commands tried in turn to open `url` by the $BROWSER convention: each non-empty entry of the
// colon-separated list split into words at blanks ("%s" becomes the address, "%%" a percent sign;
// without "%s" the address is the last argument), then xdg-open.
std::vector<std::vector<std::string>> browserCommands(const std::string& browserVariable,
                                                      const std::string& url);

}  // namespace kv
