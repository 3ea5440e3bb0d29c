// A recording fake of the GUI and OS interfaces for the unit tests. Every window, control,
// message box and picture load is recorded; message boxes answer from a queue; timers tick and
// the clock moves only when the test says so.
#pragma once

#include <ctime>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/gui.h"
#include "platform/os.h"

namespace kv::fake {

class FakeGui;

struct Geometry {
  double left = 0, top = 0, width = 0, height = 0;
};

// Place, size, visibility and enabled state, as every fake control keeps them.
template <class Base>
class FakeControl : public Base {
 public:
  void setGeometry(double l, double t, double w, double h) override { g_ = {l, t, w, h}; }
  double left() const override { return g_.left; }
  double top() const override { return g_.top; }
  double width() const override { return g_.width; }
  double height() const override { return g_.height; }
  void setVisible(bool v) override { visible_ = v; }
  bool isVisible() const override { return visible_; }
  void setEnabled(bool e) override { enabled_ = e; }
  bool isEnabled() const override { return enabled_; }

 protected:
  Geometry g_;
  bool visible_ = true, enabled_ = true;
};

class FakePicture : public FakeControl<Picture> {
 public:
  FakePicture(FakeGui& gui, std::string owner, std::string name);
  ~FakePicture() override;
  // A file loads when it exists relative to the current directory and starts like a JPEG or PNG.
  bool loadFile(const std::string& path) override;
  bool loadResource(const std::string& name) override;
  std::string source() const override { return source_; }
  void setToolTip(const std::string& t) override { tip_ = t; }
  std::string toolTip() const override { return tip_; }
  void setHandCursor(bool h) override { hand_ = h; }
  bool hasHandCursor() const override { return hand_; }

  // Test actions: a click reaches the handler only while the control is enabled and visible.
  void click();
  void moveMouse(float x = 0, float y = 0);

  std::string owner, name;

 private:
  FakeGui& gui_;
  bool hand_ = false;
  std::string source_, tip_;
};

class FakeTextBox : public FakeControl<TextBox> {
 public:
  FakeTextBox(FakeGui& gui, std::string owner, std::string name);
  ~FakeTextBox() override;
  std::string text() const override { return text_; }
  void setText(const std::string& t) override { text_ = t; }
  void setPasswordMask(bool m) override { mask_ = m; }
  bool isPasswordMasked() const override { return mask_; }
  std::string owner, name;

 private:
  FakeGui& gui_;
  bool mask_ = false;
  std::string text_;
};

class FakeTimer : public Timer {
 public:
  FakeTimer(FakeGui& gui, std::string owner, std::string name);
  ~FakeTimer() override;
  void setInterval(int ms) override { interval_ = ms; }
  int interval() const override { return interval_; }
  void setEnabled(bool on) override { on_ = on; }
  bool isEnabled() const override { return on_; }
  // One tick, when the timer is on and has an interval.
  void tick();
  std::string owner, name;

 private:
  FakeGui& gui_;
  int interval_ = 0;
  bool on_ = false;
};

class FakeBrowser : public FakeControl<Browser> {
 public:
  FakeBrowser(FakeGui& gui, std::string owner, std::string name);
  ~FakeBrowser() override;
  void setSilent(bool s) override { silent_ = s; }
  bool isSilent() const override { return silent_; }
  void navigate(const std::string& url) override;
  std::string url() const override { return url_; }
  std::shared_ptr<Document> document() override { return doc_; }

  // Test actions.
  // The page finishes loading: a new document, then the download-complete event.
  void completeDownload();
  // The page asks for a new window on `url`: the new-window event, then, when a receiver was
  // given and nothing cancelled, the receiver's before-navigate event and (not cancelled) load.
  // Returns true when the receiver went on to load the address.
  bool requestNewWindow(const std::string& url);
  // The browser begins a navigation of its own (a frame, a script): before-navigate, then load
  // when not cancelled. Returns true when loaded.
  bool beginNavigation(const std::string& url);
  // A context-menu event on the current top-level document: true when a menu would show.
  bool contextMenu();

  std::vector<std::string> navigations;  // every address navigate() was given, in order
  std::string owner, name;

 private:
  FakeGui& gui_;
  bool silent_ = false;
  std::string url_;
  std::shared_ptr<Document> doc_;
};

class FakeWindow : public Window {
 public:
  FakeWindow(FakeGui& gui, std::string name);
  ~FakeWindow() override;
  void setCaption(const std::string& c) override { caption_ = c; }
  std::string caption() const override { return caption_; }
  void setFrameless(bool f) override { frameless_ = f; }
  void setClientSize(double w, double h) override;
  double left() const override { return left_; }
  double top() const override { return top_; }
  double width() const override { return width_; }
  double height() const override { return height_; }
  void setLeft(double v) override { left_ = v; }
  void setTop(double v) override { top_ = v; }
  void show() override;
  void hide() override;
  bool isVisible() const override { return visible_; }
  void setState(WindowState s) override;
  WindowState state() const override { return state_; }
  void restore() override;
  void setFocus() override;
  void setIcon(const std::string& r) override { icon_ = r; }
  void setShowInTaskbar(bool s) override { inTaskbar = s; }

  std::unique_ptr<Picture> createPicture(const std::string& name) override;
  std::unique_ptr<TextBox> createTextBox(const std::string& name) override;
  std::unique_ptr<Timer> createTimer(const std::string& name) override;
  std::unique_ptr<Browser> createBrowser(const std::string& name) override;

  std::string name;
  bool inTaskbar = true;
  bool frameless() const { return frameless_; }
  std::string icon() const { return icon_; }

 private:
  FakeGui& gui_;
  std::string caption_, icon_;
  bool frameless_ = false, visible_ = false, shownOnce_ = false;
  double left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  WindowState state_ = WindowState::Normal;
};

struct MessageBoxRecord {
  std::string text, title;
  MsgButtons buttons;
};

class FakeTray : public Tray {
 public:
  explicit FakeTray(FakeGui& gui) : gui_(gui) {}
  bool add(const TrayIconData& d) override;
  bool remove(const TrayIconData& d) override;
  bool isAvailable() const override { return available; }
  bool isShown() const override { return shown_; }
  // Test action: the icon reports an event code (515 a left double-click, 513 a press, ...).
  void activate(unsigned code);

  bool available = true;      // a notification area exists
  int adds = 0, removes = 0;  // calls made
  TrayIconData last;          // the record of the last add
 private:
  FakeGui& gui_;
  bool shown_ = false;
};

class FakeGui : public Gui {
 public:
  FakeGui();
  ~FakeGui() override;
  std::unique_ptr<Window> createWindow(const std::string& name) override;
  MsgResult messageBox(const std::string& text, const std::string& title,
                       MsgButtons buttons) override;
  ScreenInfo screen() const override { return screenInfo; }
  Tray& tray() override { return tray_; }
  void post(std::function<void()> fn) override { posted_.push_back(std::move(fn)); }
  [[noreturn]] void endProcess(int code) override;

  // Runs everything posted so far (the event loop coming back after a handler).
  void runPosted();
  // Runs a test action as the event dispatcher would: a ProcessEnded ends it and is recorded.
  // Returns false when the process ended.
  bool dispatch(const std::function<void()>& action);

  // Lookups of live objects by window and control name ("Form12", "Image1"); nullptr when absent.
  FakeWindow* window(const std::string& name) const;
  FakePicture* picture(const std::string& owner, const std::string& name) const;
  FakeTextBox* textBox(const std::string& owner, const std::string& name) const;
  FakeTimer* timer(const std::string& owner, const std::string& name) const;
  FakeBrowser* browser(const std::string& owner, const std::string& name) const;

  ScreenInfo screenInfo;
  std::deque<MsgResult> answers;  // answers for the next message boxes; Ok when empty
  std::vector<MessageBoxRecord> boxes;
  // Ordered record of what happened: "show Form1", "hide Form4", "load Form7", "unload Form7"
  // are added by the tests' App observer; the fake adds "show X", "hide X", "picture
  // Form12.Image1 img\\dl0.jpg", "picture-failed ...", "navigate Form4.WebBrowser1 <url>".
  std::vector<std::string> log;
  bool ended = false;
  int endCode = 0;
  FakeTray tray_{*this};

  // Registry of live objects (maintained by the fakes themselves).
  std::map<std::string, FakeWindow*> windows;
  std::map<std::string, FakePicture*> pictures;
  std::map<std::string, FakeTextBox*> textBoxes;
  std::map<std::string, FakeTimer*> timers;
  std::map<std::string, FakeBrowser*> browsers;

 private:
  std::vector<std::function<void()>> posted_;
};

// Fake OS: a program folder chosen by the test, switches for the single instance and the network,
// a clock the test sets, and a record of the addresses handed to the default browser.
class FakeOs : public Os {
 public:
  std::string folder;
  bool otherInstance = false;
  bool connected = true;
  std::tm now{};
  std::vector<std::string> launched;

  std::string programFolder() const override { return folder; }
  bool anotherInstanceRunning() override { return otherInstance; }
  bool networkConnected() override { return connected; }
  std::tm localTime() override { return now; }
  bool launchBrowser(const std::string& url) override;
};

}  // namespace kv::fake
