// Internet-shortcut files and the short-path function.
#pragma once

#include <ctime>
#include <string>

namespace kv {

// The stamp "yyyymmddhhmmss" of a local date and time.
std::string timeStamp(const std::tm& t);
// Writes "[InternetShortcut]" CR LF "URL=" + url CR LF into tempFolder + "/" + stamp + ".url".
// When this process already wrote that file name (a second opening within the same second), a
// distinct name stamp + "_2.url", "_3.url", ... is used instead. Returns the path written, or
// the empty text when the file could not be written (`tempFolder` a link included: files go only
// into a real folder).
std::string writeShortcutFile(const std::string& tempFolder, const std::tm& when,
                              const std::string& url);
// The short form of a path: here there is none, so an existing path gives itself and a missing
// one the empty text.
std::string GetShortName(const std::string& path);
// True for addresses that may be handed to the default browser: http, https, ftp (any case).
bool isLaunchableUrl(const std::string& url);

}  // namespace kv
