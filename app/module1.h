// The module-level state the windows share. It belongs to no window and lives as long as the
// process; nothing of it is saved (the data folder is the only state kept between runs).
#pragma once

#include <string>

#include "platform/gui.h"

namespace kv {

struct Module1 {
  std::string gVersion;           // "2.150806"
  std::string gSiteUrl;           // the member's site address: scheme and host
  std::string gLsr;               // the referral: "lsr=" and digits
  std::string gAppUrlFile;        // program folder + "/paz/l/s/r/app_url.txt"
  std::string gTempDir;           // program folder + "/temp"
  std::string gLoginFlag;         // "1" signed in, "0" signed out
  std::string gPanelsWidth;       // width of the start-panel row in twips, as text
  std::string gLoginWaitSeconds;  // the sign-in lock-out countdown, as text
  TrayIconData gTrayIcon;         // the one notification-area icon
};

}  // namespace kv
