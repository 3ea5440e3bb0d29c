// The Os interface on Linux: /proc/self/exe, an flock instance lock, getifaddrs, localtime_r and
// a spawned browser.
#pragma once

#include <memory>
#include <string>

#include "platform/os.h"

namespace kv {

class LinuxOs : public Os {
 public:
  // `lockFolder`: where the instance lock file lives; empty: $XDG_RUNTIME_DIR, else /tmp.
  explicit LinuxOs(std::string lockFolder = {});
  ~LinuxOs() override;
  LinuxOs(const LinuxOs&) = delete;
  LinuxOs& operator=(const LinuxOs&) = delete;

  std::string programFolder() const override;
  bool anotherInstanceRunning() override;
  bool networkConnected() override;
  std::tm localTime() override;
  bool launchBrowser(const std::string& url) override;

  // The instance lock file of this program: "kelvora-" + a hash of the program file's real path.
  std::string lockFilePath() const;

 private:
  std::string lockFolder_;
  int lockFd_ = -1;  // open, and locked, for the life of this object once taken
};

std::unique_ptr<Os> makeLinuxOs();

}  // namespace kv
