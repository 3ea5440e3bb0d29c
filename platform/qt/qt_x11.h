// The window-manager hints of top-level windows that need X11 itself. The windows call only these
// functions; each does nothing (or answers false) when the application does not run on X11, so
// the windows behave the same on any other platform, with what Qt alone gives.
#pragma once

#include <QPoint>
#include <optional>

class QWidget;

namespace kv::qt::x11 {

// Whether the application runs on X11 (Qt's xcb platform).
bool isActive();

// Gives a top-level widget no entry on the taskbar and the pager: before its map (`mapped` false)
// the state is set on the native window (created here), which the window manager reads at the
// map; once mapped it is asked of the window manager.
void skipTaskbar(QWidget* widget, bool mapped);

// Whether a window manager takes the map requests of top-level windows, so that a map may be
// answered late. Without one a map is done at once.
bool mapsRedirected();

// Where the widget's window stands on the screen now, as the X server has it (whatever the window
// manager last reported to the toolkit); none when that cannot be told.
std::optional<QPoint> screenPosition(QWidget* widget);

// Asks the window manager to make the widget's mapped window the active one, for the user's
// input made at X server time `time`. The request says the user asked for it (as a pager does),
// so that no rule against focus stealing holds it back. False when no window manager takes such
// requests; the caller then activates the window through Qt.
bool requestActivation(QWidget* widget, unsigned long time);

// Waits at most `ms` milliseconds for the window manager to map the widget's window, on a
// connection of its own, so that no event of the application is handled meanwhile. Returns
// whether the window is mapped.
bool waitForMap(QWidget* widget, int ms);

}  // namespace kv::qt::x11
