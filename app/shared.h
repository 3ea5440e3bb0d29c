// Routines the windows share: placement, the default-browser opener and the service addresses.
#pragma once

#include <string>

namespace kv {

class App;
class Form;

// The height in twips of the screen strip below the desktop work area.
short GetTaskbarHeight(App& app);
// Places the start panels, the search pages and the navigation bar; writes gPanelsWidth.
void LayoutHomeView(App& app);
// Centres a loading dialog on the screen's width at the panel row's top; places Form1 again.
void CenterDialog(App& app, Form& dialog);

// Opens `url` in the default browser through an Internet-shortcut file in the temp folder; the
// short path of the file is kept in the caller's mShortPath.
void OpenUrlShortcut(App& app, Form& caller, const std::string& url);

// "http://" + the service's host + path.
std::string ProductUrl(const std::string& path);
std::string PlatformUrl(const std::string& path);

}  // namespace kv
