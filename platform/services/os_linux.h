// The Os interface on Linux: /proc/self/exe, an flock instance lock beside an abstract socket
// name, getifaddrs, localtime_r and a spawned browser.
#pragma once

#include <memory>
#include <string>
#include <thread>
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
  // The abstract socket name held beside the lock, which needs no folder at all:
  // "kelvora-<uid>-" + a hash of the program file's real path (and of `lockFolder` when given).
  std::string instanceName() const;

 private:
  std::string lockFolder_;
  bool instance_ = false;  // this object holds what it could of the two
  int lockFd_ = -1;        // open, and locked, for the life of this object once taken
  int nameFd_ = -1;        // listening on the instance name once taken
  std::thread acceptor_;   // takes and closes the connections of instances that look
};

std::unique_ptr<Os> makeLinuxOs();

// The browser processes launchBrowser started that have not ended yet. At most 32 run at once; a
// launch beyond that is refused, as one that cannot start is.
int runningBrowserCount();

// The commands tried in turn to open `url` by the $BROWSER convention: each non-empty entry of the
// colon-separated list split into words at blanks ("%s" becomes the address, "%%" a percent sign;
// without "%s" the address is the last argument), then xdg-open.
std::vector<std::vector<std::string>> browserCommands(const std::string& browserVariable,
                                                      const std::string& url);

}  // namespace kv
