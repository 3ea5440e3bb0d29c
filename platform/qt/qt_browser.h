// The embedded web browser on Qt WebEngine: a QWebEngineView child of a window, whose page hands
// new windows to another browser of the program, reports every navigation it begins and carries
// the context-menu hook of its top-level document.
#pragma once

#include <memory>
#include <string>

#include "platform/gui.h"

class QWidget;
class QWebEngineProfile;

namespace kv::qt {

// Before the QApplication is created: the browser engine's defaults. Pages share renderer
// processes by site (--process-per-site) rather than taking one each, unless the engine's flags
// (QTWEBENGINE_CHROMIUM_FLAGS) choose a process model themselves. When the flags turn the GPU off
// (--disable-gpu), the views are composited in software and no OpenGL driver is loaded (it would
// only copy software frames); otherwise the OpenGL contexts are shared, as the engine needs.
// Settings made in the environment (QT_QUICK_BACKEND, QT_XCB_GL_INTEGRATION) win.
void configureBrowserEngine();

// A browser control named `name` (its object name) inside `parent`.
std::unique_ptr<kv::Browser> createBrowser(QWidget* parent, const std::string& name);

// The one named, persistent profile all embedded browsers share (cookies survive a restart).
// Created at its first use.
QWebEngineProfile* browserProfile();

// Before the process ends without unwinding: closes every browser and the shared profile so that
// the engine writes the cookies it has not saved yet, and waits until the engine has closed the
// cookie file (10 s at most). Does nothing when no browser was ever made, or when called from a
// browser's own event.
void shutdownBrowsers();

}  // namespace kv::qt
