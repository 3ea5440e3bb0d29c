// The choice of Qt's platform plugin, made before the QApplication exists.
//
// Use, first thing in main():
//   if (!kv::qt::chooseX11Platform()) return 1;
//   QApplication a(argc, argv);
//   kv::qt::platformChosen();
#pragma once

namespace kv::qt {

// The windows are laid out at absolute places and their taskbar hints are X11's, so unless the
// user chose a platform (QT_QPA_PLATFORM) the client runs on X11, through XWayland on a Wayland
// session. When X11 is what will be used, its display is opened once to see that it can be: when
// it cannot (or none is set), one line on stderr says which display, and the result is false;
// the caller then ends with 1, before any window or file is touched.
bool chooseX11Platform();

// After the QApplication is made: the programs the client starts (the default browser) get the
// environment the client was started with, not the client's own platform choice.
void platformChosen();

}  // namespace kv::qt
