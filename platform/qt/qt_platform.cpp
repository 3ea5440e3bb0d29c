#include "platform/qt/qt_platform.h"

#include <xcb/xcb.h>

#include <QByteArray>
#include <QList>
#include <QtGlobal>
#include <cstdio>

namespace kv::qt {

namespace {
bool platformSetHere = false;
}

bool chooseX11Platform() {
  QByteArray platform = qgetenv("QT_QPA_PLATFORM").trimmed();
  if (platform.isEmpty()) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    platformSetHere = true;
  } else if (platform.split(';').first().split(':').first().trimmed() != "xcb") {
    return true;  // another platform chosen by the user: Qt reports its own failures
  }
  const QByteArray display = qgetenv("DISPLAY");
  if (display.isEmpty()) {
    if (!qgetenv("WAYLAND_DISPLAY").isEmpty() || qgetenv("XDG_SESSION_TYPE") == "wayland")
      std::fprintf(stderr,
                   "kelvora: no X display: the client needs one (XWayland on this Wayland "
                   "session), and DISPLAY is not set\n");
    else
      std::fprintf(stderr, "kelvora: no display: DISPLAY is not set\n");
    return false;
  }
  xcb_connection_t* c = xcb_connect(display.constData(), nullptr);
  const bool opened = xcb_connection_has_error(c) == 0;
  xcb_disconnect(c);
  if (!opened)
    std::fprintf(stderr, "kelvora: cannot open the X display \"%s\"\n", display.constData());
  return opened;
}

void platformChosen() {
  if (platformSetHere) qunsetenv("QT_QPA_PLATFORM");
  platformSetHere = false;
}

}  // namespace kv::qt
