// A recording fake of the GUI and OS interfaces for the unit tests. Every window, control,
// message box and picture load is recorded; message boxes answer from a queue; timers tick and
// the clock moves only when the test says so.
#pragma once

#include <array>
#include <ctime>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui.h"
#include "platform/os.h"

namespace kv::fake {

class FakeGui;

struct Entry {
  virtual ~Entry() = default;
};

// A live object listed under "Owner.Name" (a window under ".Name") in the GUI's registry.
template <class Base>
class Listed : public Base, public Entry {
 public:
  Listed(FakeGui& gui, std::string owner, std::string name);
  ~Listed() override;
  std::string owner, name;

 protected:
  FakeGui& gui_;
};

// Place, size, visibility and enabled state, as every fake control keeps them.
template <class Base>
class FakeControl : public Listed<Base> {
 public:
  using Listed<Base>::Listed;
  void setGeometry(double l, double t, double w, double h) override { g_ = {l, t, w, h}; }
  double left() const override { return g_[0]; }
  double top() const override { return g_[1]; }
  double width() const override { return g_[2]; }
  double height() const override { return g_[3]; }
  void setVisible(bool v) override { visible_ = v; }
  bool isVisible() const override { return visible_; }
  void setEnabled(bool e) override { enabled_ = e; }
  bool isEnabled() const override { return enabled_; }

 protected:
  std::array<double, 4> g_{};
  bool visible_ = true, enabled_ = true;
};

class FakePicture : public FakeControl<Picture> {
 public:
  using FakeControl::FakeControl;
  // A file loads when it is a regular file of picture size, relative to the current directory,
  // that starts like a JPEG or PNG (the rule of files::readPicture).
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

 private:
  bool hand_ = false;
  std::string source_, tip_;
};

class FakeTextBox : public FakeControl<TextBox> {
 public:
  using FakeControl::FakeControl;
  std::string text() const override { return text_; }
  void setText(const std::string& t) override { text_ = t; }
  void setPasswordMask(bool m) override { mask_ = m; }
  bool isPasswordMasked() const override { return mask_; }

 private:
  bool mask_ = false;
  std::string text_;
};

class FakeTimer : public Listed<Timer> {
 public:
  using Listed::Listed;
  void setInterval(int ms) override { interval_ = ms; }
  int interval() const override { return interval_; }
  void setEnabled(bool on) override { on_ = on; }
  bool isEnabled() const override { return on_; }
  void tick();  // one tick, when the timer is on and has an interval

 private:
  int interval_ = 0;
  bool on_ = false;
};

class FakeBrowser : public FakeControl<Browser> {
 public:
  using FakeControl::FakeControl;
  void setSilent(bool s) override { silent_ = s; }
  bool isSilent() const override { return silent_; }
  void navigate(const std::string& url) override;
  std::string url() const override { return navigations.empty() ? "" : navigations.back(); }
  std::shared_ptr<Document> document() override { return nullptr; }
  std::vector<std::string> navigations;  // every address navigate() was given, in order

 private:
  bool silent_ = false;
};

class FakeWindow : public Listed<Window> {
 public:
  FakeWindow(FakeGui& gui, const std::string& name) : Listed(gui, "", name) {}
  void setCaption(const std::string& c) override { caption_ = c; }
  std::string caption() const override { return caption_; }
  void setFrameless(bool) override {}
  void setClientSize(double w, double h) override;
  double left() const override { return left_; }
  double top() const override { return top_; }
  double width() const override { return width_; }
  double height() const override { return height_; }
  void setLeft(double v) override { move(v, top_); }
  void setTop(double v) override { move(left_, v); }
  void show() override;
  void hide() override;
  bool isVisible() const override { return visible_; }
  void setState(WindowState s) override;
  WindowState state() const override { return state_; }
  void restore() override;
  void setFocus() override;
  void setIcon(const std::string&) override {}
  void setShowInTaskbar(bool) override {}
  std::unique_ptr<Picture> createPicture(const std::string& n) override;
  std::unique_ptr<TextBox> createTextBox(const std::string& n) override;
  std::unique_ptr<Timer> createTimer(const std::string& n) override;
  std::unique_ptr<Browser> createBrowser(const std::string& n) override;

 private:
  void move(double left, double top);
  std::string caption_;
  bool visible_ = false, shownOnce_ = false;
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

  bool available = true;  // a notification area exists
  int adds = 0;
  TrayIconData last;  // the record of the last add

 private:
  FakeGui& gui_;
  bool shown_ = false;
};

class FakeGui : public Gui {
 public:
  FakeGui();
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

  // Live objects by window and control name ("Form12", "Image1"); nullptr when absent.
  using S = std::string;
  FakeWindow* window(const S& name) const { return find<FakeWindow>("", name); }
  FakePicture* picture(const S& o, const S& n) const { return find<FakePicture>(o, n); }
  FakeTextBox* textBox(const S& o, const S& n) const { return find<FakeTextBox>(o, n); }
  FakeTimer* timer(const S& o, const S& n) const { return find<FakeTimer>(o, n); }
  FakeBrowser* browser(const S& o, const S& n) const { return find<FakeBrowser>(o, n); }

  ScreenInfo screenInfo;
  std::deque<MsgResult> answers;       // answers for the next message boxes; Ok when empty
  std::function<void()> whileNextBox;  // runs while the next box is open, as its event loop would
  std::vector<MessageBoxRecord> boxes;
  // Ordered record of what happened: "show X", "hide X", "move X" (a window placed),
  // "picture Form12.Image1 img\\dl0.jpg", "picture-failed ...", "navigate Form4.WebBrowser1 <url>",
  // "box <text>", "tray-add", "tray-remove", "restore X", "focus X", "end".
  std::vector<std::string> log;
  bool ended = false;
  FakeTray tray_{*this};
  std::map<std::string, Entry*> live;  // "Owner.Name" -> object, kept by the objects themselves

 private:
  template <class T>
  T* find(const std::string& owner, const std::string& name) const {
    auto it = live.find(owner + "." + name);
    return it == live.end() ? nullptr : dynamic_cast<T*>(it->second);
  }
  std::vector<std::function<void()>> posted_;
};

template <class Base>
Listed<Base>::Listed(FakeGui& gui, std::string o, std::string n)
    : owner(std::move(o)), name(std::move(n)), gui_(gui) {
  gui_.live[owner + "." + name] = this;
}
template <class Base>
Listed<Base>::~Listed() {
  auto it = gui_.live.find(owner + "." + name);
  if (it != gui_.live.end() && it->second == static_cast<Entry*>(this)) gui_.live.erase(it);
}

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
  bool launchBrowser(const std::string& url) override {
    launched.push_back(url);
    return true;
  }
};

}  // namespace kv::fake
