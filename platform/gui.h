// The user-interface services the windows are built on. The windows above platform/ know only
// these interfaces; the Qt implementation (platform/qt) and the recording fake used by the unit
// tests (tests/fake) implement them. All geometry is in twips (1/1440 inch); implementations
// convert with the primary screen's twips per pixel. Everything runs on the one UI thread.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace kv {

// Thrown by the fake GUI when the program ends the process, so that a test can unwind to the
// dispatcher and look at what happened before. The real implementation never returns.
struct ProcessEnded {
  int code = 0;
};

enum class MsgButtons { Ok, OkCancel };
enum class MsgResult { Ok, Cancel };
enum class WindowState { Normal, Minimised };

// A child control of a window: place and size in twips inside the window's client area.
class Control {
 public:
  virtual ~Control() = default;
  virtual void setGeometry(double left, double top, double width, double height) = 0;
  virtual double left() const = 0;
  virtual double top() const = 0;
  virtual double width() const = 0;
  virtual double height() const = 0;
  virtual void setLeft(double left) { setGeometry(left, top(), width(), height()); }
  virtual void setVisible(bool visible) = 0;
  virtual bool isVisible() const = 0;
  virtual void setEnabled(bool enabled) = 0;
  virtual bool isEnabled() const = 0;
};

// A picture control. Pictures come from a file (a path relative to the current directory, with
// "\" or "/" as separator) or from the pictures compiled into the program (a resource name such
// as "form1/image1"). A load that fails leaves the picture as it was and returns false.
class Picture : public Control {
 public:
  virtual bool loadFile(const std::string& path) = 0;
  virtual bool loadResource(const std::string& name) = 0;
  // What the control shows now: the path or resource name of the last successful load.
  virtual std::string source() const = 0;
  virtual void setToolTip(const std::string& text) = 0;
  virtual std::string toolTip() const = 0;
  virtual void setHandCursor(bool hand) = 0;
  virtual bool hasHandCursor() const = 0;

  std::function<void()> onClick;                      // only while enabled and visible
  std::function<void(float x, float y)> onMouseMove;  // pointer position in twips
};

class TextBox : public Control {
 public:
  virtual std::string text() const = 0;
  virtual void setText(const std::string& text) = 0;
  virtual void setPasswordMask(bool masked) = 0;  // every character shows as "*"
  virtual bool isPasswordMasked() const = 0;
};

class Timer {
 public:
  virtual ~Timer() = default;
  virtual void setInterval(int ms) = 0;
  virtual int interval() const = 0;
  virtual void setEnabled(bool on) = 0;  // ticks every interval() ms while on
  virtual bool isEnabled() const = 0;

  std::function<void()> onTick;
};

// The HTML document a browser holds, as far as the windows use it.
class Document {
 public:
  virtual ~Document() = default;
  // Called at each context-menu event of this (top-level) document; returning false suppresses
  // the menu. Frames inside the document are not covered.
  std::function<bool()> onContextMenu;
};

// An embedded web browser.
class Browser : public Control {
 public:
  virtual void setSilent(bool silent) = 0;  // no dialog boxes of its own (alerts, prompts, ...)
  virtual bool isSilent() const = 0;
  virtual void navigate(const std::string& url) = 0;
  virtual std::string url() const = 0;  // the address last navigated to or loaded
  // The current top-level document (owned by the browser; replaced at each load), or nullptr.
  virtual std::shared_ptr<Document> document() = 0;

  // The page asks for a new window. The handler may set `receiver` to another browser of the
  // same window, which then opens the requested address; left null, no window opens. `cancel`
  // set to true refuses the new window.
  std::function<void(Browser*& receiver, bool& cancel)> onNewWindow;
  // Raised for every navigation this browser begins (frames included); `cancel` stops it.
  std::function<void(const std::string& url, bool& cancel)> onBeforeNavigate;
  // A navigation finished, stopped or failed.
  std::function<void()> onDownloadComplete;
};

// A top-level window. Frameless windows are as large as their client area, so width() and
// height() are the client size.
class Window {
 public:
  virtual ~Window() = default;
  virtual void setCaption(const std::string& caption) = 0;
  virtual std::string caption() const = 0;
  virtual void setFrameless(bool frameless) = 0;
  virtual void setClientSize(double width, double height) = 0;
  virtual double left() const = 0;
  virtual double top() const = 0;
  virtual double width() const = 0;
  virtual double height() const = 0;
  virtual void setLeft(double left) = 0;
  virtual void setTop(double top) = 0;
  // Modeless, no owner, in the normal state, at the place last set.
  virtual void show() = 0;
  virtual void hide() = 0;
  virtual bool isVisible() const = 0;
  virtual void setState(WindowState state) = 0;
  virtual WindowState state() const = 0;
  virtual void restore() = 0;   // shown and restored from the minimised state
  virtual void setFocus() = 0;  // give the window the input focus
  virtual void setIcon(const std::string& resource) = 0;
  // Whether the window has an entry of its own on the taskbar and the pager (taken at each show).
  virtual void setShowInTaskbar(bool show) = 0;

  virtual std::unique_ptr<Picture> createPicture(const std::string& name) = 0;
  virtual std::unique_ptr<TextBox> createTextBox(const std::string& name) = 0;
  virtual std::unique_ptr<Timer> createTimer(const std::string& name) = 0;
  virtual std::unique_ptr<Browser> createBrowser(const std::string& name) = 0;

  // Raised at the first show, at every change of the client size and at every change between the
  // normal and the minimised state.
  std::function<void()> onResize;
  // Mouse moves over the window's own surface, x and y in twips.
  std::function<void(float x, float y)> onMouseMove;
  // The window manager asks to close the window (its close button, Alt+F4). Unset, the window
  // hides.
  std::function<void()> onCloseRequest;
};

// The notification-area icon record: the fields the program fills before an add.
struct TrayIconData {
  unsigned cbSize = 0;
  Window* hWnd = nullptr;
  unsigned uID = 0;
  unsigned uFlags = 0;
  unsigned uCallbackMessage = 0;
  unsigned hIcon = 0;
  std::string szTip;  // 64 characters
};

// The notification area. Notifications of the icon are handed to the window of the record as
// mouse moves with x = event code * twips per pixel (515 for a left double-click).
class Tray {
 public:
  virtual ~Tray() = default;
  virtual bool add(const TrayIconData& data) = 0;
  virtual bool remove(const TrayIconData& data) = 0;
  virtual bool isAvailable() const = 0;  // a notification area exists
  virtual bool isShown() const = 0;
};

// The primary screen.
struct ScreenInfo {
  double widthTwips = 0;
  double heightTwips = 0;
  float twipsPerPixelX = 15;
  int workAreaBottomPx = 0;  // bottom of the desktop work area, in pixels
};

class Gui {
 public:
  virtual ~Gui() = default;
  virtual std::unique_ptr<Window> createWindow(const std::string& name) = 0;
  virtual MsgResult messageBox(const std::string& text, const std::string& title = "Kelvora",
                               MsgButtons buttons = MsgButtons::Ok) = 0;
  virtual ScreenInfo screen() const = 0;
  virtual Tray& tray() = 0;
  // Runs `fn` once the current event handler has returned (used to free unloaded windows).
  virtual void post(std::function<void()> fn) = 0;
  // Ends the process at once: no further step and no unload handler runs.
  [[noreturn]] virtual void endProcess(int code = 0) = 0;
};

}  // namespace kv
