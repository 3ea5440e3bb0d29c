// Operating-system services the windows call that a unit test must be able to control: the
// program folder, the single-instance test, the network check, the clock and the launch of the
// default browser. The real implementation is platform/services/os_linux.cpp; the tests have a
// fake.
#pragma once

#include <ctime>
#include <string>

namespace kv {

class Os {
 public:
  virtual ~Os() = default;
  // The folder that holds the program file, without a separator at the end.
  virtual std::string programFolder() const = 0;
  // True when another instance of this program (same program file) is running. The first call
  // takes the instance lock, held for the life of the process.
  virtual bool anotherInstanceRunning() = 0;
  // True when a network interface other than loopback is up with an address.
  virtual bool networkConnected() = 0;
  // The local date and time now.
  virtual std::tm localTime() = 0;
  // Hands `url` to the user's default browser ($BROWSER, else xdg-open) as one argument, without
  // a shell and without waiting. Returns false when nothing could be started.
  virtual bool launchBrowser(const std::string& url) = 0;
};

}  // namespace kv
