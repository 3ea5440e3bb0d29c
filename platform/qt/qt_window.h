// A top-level window on a QWidget. Geometry is kept in twips exactly as set; the widget is placed
// and sized in pixels of the primary screen.
#pragma once

#include <QPointer>
#include <QWidget>
#include <QWindow>
#include <vector>

#include "platform/gui.h"

namespace kv::qt {

class QtWindow;

// The window a message box belongs to: the active window, else the window last shown, when the
// program shows it; nullptr when there is none.
QWidget* messageBoxOwner();

// Lives while the program answers the user's input (a click) made at X server time `time`: a
// window shown meanwhile is made the active window once the window manager has mapped it, so
// that the user's first key lands in it. Windows shown otherwise (the start-up road) are not.
class UserInput {
 public:
  explicit UserInput(unsigned long time);
  ~UserInput();
  UserInput(const UserInput&) = delete;
  UserInput& operator=(const UserInput&) = delete;
  static const UserInput* current() { return current_; }
  unsigned long time() const { return time_; }

 private:
  unsigned long time_;
  const UserInput* outer_;
  static const UserInput* current_;
};

// The widget of a window. Its owner is cleared when the window object goes, so that events that
// are still queued for the widget reach nothing.
class WindowWidget : public QWidget {
 public:
  explicit WindowWidget(QtWindow* owner);
  QtWindow* owner() const { return owner_; }
  void release() { owner_ = nullptr; }

 protected:
  void mouseMoveEvent(QMouseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  // The native window's exposure, and presses anywhere on the window.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QtWindow* owner_;
};

class QtWindow : public Window {
 public:
  explicit QtWindow(const std::string& name);
  ~QtWindow() override;

  void setCaption(const std::string& caption) override;
  std::string caption() const override;
  void setFrameless(bool frameless) override;
  void setClientSize(double width, double height) override;
  double left() const override { return left_; }
  double top() const override { return top_; }
  double width() const override { return width_; }
  double height() const override { return height_; }
  void setLeft(double left) override;
  void setTop(double top) override;
  void show() override;
  void hide() override;
  bool isVisible() const override;
  void setState(WindowState state) override;
  WindowState state() const override;
  void restore() override;
  void setFocus() override;
  void setIcon(const std::string& resource) override;
  void setShowInTaskbar(bool show) override { inTaskbar_ = show; }

  std::unique_ptr<Picture> createPicture(const std::string& name) override;
  std::unique_ptr<TextBox> createTextBox(const std::string& name) override;
  std::unique_ptr<Timer> createTimer(const std::string& name) override;
  std::unique_ptr<Browser> createBrowser(const std::string& name) override;

  QWidget* widget() const { return widget_; }

  // Called by the widget.
  void stateChanged();
  void mouseMoved(double xPx, double yPx);
  void closeRequested();
  void exposed();
  void unexposed();
  void moved();
  bool pressed();

  // Whether the window manager was seen to refuse a place: it put a mapped window somewhere else
  // than the program did. Known for the rest of the process; a test may forget it.
  static bool placesRefused() { return placesRefused_; }
  static void forgetRefusedPlaces() { placesRefused_ = false; }

 private:
  void place();
  void size();
  void prepareMap();
  void raiseResize();
  void activate();
  void checkPlace();
  void judgePlace();
  bool standsElsewhere(const QPoint& at) const;
  void keepReachable();
  bool bypassesWm() const;
  static void raiseReachable();

  // Marks the window's state changes made by the program itself, while it lives.
  struct OwnChange {
    explicit OwnChange(QtWindow& w) : w_(w), outer_(w.ownChange_) { w.ownChange_ = true; }
    ~OwnChange() { w_.ownChange_ = outer_; }
    QtWindow& w_;
    bool outer_;
  };

  QPointer<WindowWidget> widget_;
  double left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool shownOnce_ = false;
  bool minimised_ = false;   // the state last reported through onResize
  bool holdResize_ = false;  // inside restore(): raise one resize at its end
  bool pendingResize_ = false;
  bool inTaskbar_ = true;
  static constexpr int kMapWaitMs = 5000;  // the longest wait for the map before a hide
  bool awaitingMap_ = false;               // map request with the window manager, not yet exposed
  bool activationPending_ = false;         // shown for the user's input, activated once mapped
  unsigned long activationTime_ = 0;       // the time of that input
  QPointer<QWindow> watched_;              // the native window the widget filters
  bool mapped_ = false;                    // exposed since the window manager last mapped it
  QPoint placedAt_;                        // the place the program last gave the widget, in pixels
  // The places given since the show, the window manager's reports of which are no refusal; a
  // window moved more often is not judged.
  static constexpr size_t kGivenPlaces = 8;
  static constexpr int kRefusalCheckMs = 1000;  // how late a window manager may report a place
  bool placeRecheck_ = false;                   // a place reported elsewhere, judged later
  std::vector<QPoint> givenPlaces_;
  bool ownChange_ = false;       // inside a state change the program makes
  bool leftScreen_ = false;      // unmapped since the program last minimised it
  bool restoreOnPress_ = false;  // a minimise the window manager undid, taken back at a press
  static bool placesRefused_;
};

}  // namespace kv::qt
