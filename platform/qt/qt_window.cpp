#include "platform/qt/qt_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QTimer>
#include <QWindowStateChangeEvent>
#include <algorithm>

#include "platform/qt/qt_browser.h"
#include "platform/qt/qt_controls.h"
#include "platform/qt/qt_units.h"
#include "platform/qt/qt_x11.h"

namespace kv::qt {

namespace {
QString qs(const std::string& s) {
  return QString::fromStdString(s);
}

QPointer<WindowWidget> lastShown;

}  // namespace

const UserInput* UserInput::current_ = nullptr;
bool QtWindow::placesRefused_ = false;

UserInput::UserInput(unsigned long time) : time_(time), outer_(current_) {
  current_ = this;
}

UserInput::~UserInput() {
  current_ = outer_;
}

QWidget* messageBoxOwner() {
  auto shown = [](QWidget* w) {
    auto* ww = dynamic_cast<WindowWidget*>(w);
    return ww && ww->owner() && ww->owner()->isVisible() ? ww : nullptr;
  };
  QWidget* active = QApplication::activeWindow();
  if (active && !dynamic_cast<WindowWidget*>(active)) return active;
  if (QWidget* w = shown(active)) return w;
  return shown(lastShown.data());
}

// ---- widget ---------------------------------------------------------------------------------

WindowWidget::WindowWidget(QtWindow* owner) : QWidget(nullptr, Qt::Window), owner_(owner) {
  setMouseTracking(true);
  setAttribute(Qt::WA_AlwaysShowToolTips);  // tooltips whether or not the window is active
}

// Moves over the window's own surface only: a move over a control that the control did not take
// (a disabled one) does not count.
void WindowWidget::mouseMoveEvent(QMouseEvent* event) {
  QPoint p = event->position().toPoint();
  if (owner_ && !childAt(p)) owner_->mouseMoved(event->position().x(), event->position().y());
  event->accept();
}

void WindowWidget::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  if (owner_) owner_->moved();
}

void WindowWidget::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && owner_) owner_->stateChanged();
}

// The window manager's close request is the window's to answer; the widget is never closed.
void WindowWidget::closeEvent(QCloseEvent* event) {
  event->ignore();
  if (owner_)
    owner_->closeRequested();
  else
    hide();
}

bool WindowWidget::eventFilter(QObject* watched, QEvent* event) {
  if (!owner_) return false;
  if (event->type() == QEvent::Expose) {
    if (static_cast<QWindow*>(watched)->isExposed())
      owner_->exposed();
    else
      owner_->unexposed();
  } else if (event->type() == QEvent::MouseButtonPress) {
    return owner_->pressed();  // a press that restores the window does nothing else
  }
  return false;
}

// ---- window ---------------------------------------------------------------------------------

QtWindow::QtWindow(const std::string& name) : widget_(new WindowWidget(this)) {
  widget_->setObjectName(qs(name));
}

QtWindow::~QtWindow() {
  if (widget_) {
    widget_->release();
    widget_->hide();
    widget_->setObjectName(QString());
    widget_->deleteLater();  // the window may go from inside one of its own events
  }
}

void QtWindow::setCaption(const std::string& caption) {
  if (widget_) widget_->setWindowTitle(qs(caption));
}

std::string QtWindow::caption() const {
  return widget_ ? widget_->windowTitle().toStdString() : std::string();
}

// A frameless window stays a normal top-level window.
void QtWindow::setFrameless(bool frameless) {
  if (!widget_ || widget_->windowFlags().testFlag(Qt::FramelessWindowHint) == frameless) return;
  bool shown = widget_->isVisible();
  widget_->setWindowFlag(Qt::FramelessWindowHint, frameless);  // hides the widget
  place();
  if (shown) {
    prepareMap();
    widget_->show();
  }
}

void QtWindow::setClientSize(double width, double height) {
  bool changed = width != width_ || height != height_;
  width_ = width;
  height_ = height;
  size();
  if (changed && shownOnce_) raiseResize();
}

// Where the window manager refuses places, the size is fixed too (the smallest and largest size
// the window manager reads): a window manager that tiles windows floats one of a fixed size, as
// sway does when it maps a window again.
void QtWindow::size() {
  if (!widget_) return;
  const QSize px(std::max(0, twipsToPx(width_)), std::max(0, twipsToPx(height_)));
  if (placesRefused_)
    widget_->setFixedSize(px);
  else
    widget_->resize(px);
}

void QtWindow::setLeft(double left) {
  left_ = left;
  place();
}

void QtWindow::setTop(double top) {
  top_ = top;
  place();
}

void QtWindow::place() {
  if (!widget_) return;
  const QPoint at(twipsToPx(left_), twipsToPx(top_));
  // The window manager may still report the places a shown window was given before.
  if (widget_->isVisible() && at != placedAt_ && givenPlaces_.size() < kGivenPlaces)
    givenPlaces_.push_back(at);
  placedAt_ = at;
  widget_->move(at);
}

// Before a hidden window is mapped: its place, and its taskbar state, which the window manager
// reads at the map.
void QtWindow::prepareMap() {
  // Where the program put it: a place the window manager reported for an earlier map, handled
  // only after the window was moved meanwhile, does not hold.
  place();
  if (placesRefused_) size();
  widget_->winId();
  QWindow* handle = widget_->windowHandle();
  if (!handle) return;
  if (handle != watched_) {
    handle->installEventFilter(widget_);
    watched_ = handle;
  }
  if (!inTaskbar_) x11::skipTaskbar(widget_, false);
  awaitingMap_ = !bypassesWm() && x11::mapsRedirected();
  mapped_ = false;
  givenPlaces_.assign(1, placedAt_);
}

// Shown in the normal state: a window minimised by the window manager comes back. Leaving the
// minimised state maps a hidden native window at once, so the map is prepared first.
void QtWindow::show() {
  if (!widget_) return;
  OwnChange own(*this);
  restoreOnPress_ = false;
  if (!widget_->isVisible()) prepareMap();
  if (widget_->isMinimized())
    widget_->setWindowState(widget_->windowState() & ~Qt::WindowMinimized);
  widget_->show();
  widget_->raise();
  lastShown = widget_;
  if (const UserInput* input = UserInput::current()) {
    activationPending_ = true;
    activationTime_ = input->time();
    if (!awaitingMap_) activate();
  }
  if (!shownOnce_) {
    shownOnce_ = true;
    raiseResize();
  }
}

// A window the window manager has not mapped yet is unmapped once it has been: an unmap before
// that would be lost, and the window manager would still map the window. The wait handles no
// event of the program, so the window is off the screen before the caller's next step, however
// long that step takes; a window manager that never maps the window holds the hide for
// kMapWaitMs at most.
void QtWindow::hide() {
  if (!widget_) return;
  activationPending_ = false;
  if (awaitingMap_ && widget_->isVisible()) x11::waitForMap(widget_, kMapWaitMs);
  awaitingMap_ = false;
  widget_->hide();
}

// The window manager has mapped (or restored) the window: the window's taskbar state, which the
// window manager drops when a window is withdrawn (a hide and a show in one handler may meet
// it), and the activation the user's input asked for.
void QtWindow::exposed() {
  if (awaitingMap_ && !inTaskbar_) x11::skipTaskbar(widget_, true);
  awaitingMap_ = false;
  mapped_ = true;
  checkPlace();
  if (placesRefused_ && !inTaskbar_) raiseReachable();
  if (activationPending_) activate();
}

// Unmapped by the window manager (minimised) or by the program.
void QtWindow::unexposed() {
  mapped_ = false;
  if (widget_ && widget_->isVisible()) leftScreen_ = true;
}

// A window out of the window manager's hands stands where the program put it, whatever a
// configure the window manager had under way for its earlier, managed map says.
void QtWindow::moved() {
  if (bypassesWm() && widget_->isVisible() && widget_->pos() != placedAt_) widget_->move(placedAt_);
  checkPlace();
}

// The window manager put a window it has mapped somewhere else than the program did, which went
// on to place it nowhere since. A window manager that honours places may still report an earlier
// place late, so the place is judged a while later by where the X server has the window then:
// still elsewhere, the window manager refuses the places the program sets (a tiling one, or one
// that centres every window). The program's windows are laid out around the bar, so the window
// on the taskbar, the one through which the user reaches all the others, is kept reachable from
// then on.
bool QtWindow::standsElsewhere(const QPoint& at) const {
  return widget_ && mapped_ && !bypassesWm() && widget_->isVisible() && !widget_->isMinimized() &&
         givenPlaces_.size() < kGivenPlaces &&
         std::find(givenPlaces_.begin(), givenPlaces_.end(), at) == givenPlaces_.end();
}

void QtWindow::checkPlace() {
  if (placesRefused_ || placeRecheck_ || !widget_ || !standsElsewhere(widget_->pos())) return;
  placeRecheck_ = true;
  // Through the widget: the window object may be gone by then, its widget still queued to go.
  QTimer::singleShot(kRefusalCheckMs, widget_, [w = widget_.data()] {
    if (QtWindow* window = w->owner()) window->judgePlace();
  });
}

void QtWindow::judgePlace() {
  placeRecheck_ = false;
  const std::optional<QPoint> at = x11::screenPosition(widget_);
  if (placesRefused_ || !at || !standsElsewhere(*at)) return;
  placesRefused_ = true;
  // Out of the window's own event: the change of the window flags may replace its native window.
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* ww = dynamic_cast<WindowWidget*>(w))
      QTimer::singleShot(0, ww, [ww] {
        if (ww->owner()) ww->owner()->keepReachable();
      });
}

// The window on the taskbar leaves the window manager's hands: mapped again without it
// (override-redirect), it stands at its place above the windows the window manager keeps, where
// no other window of the program can cover its controls, and still takes the pointer. It has
// no taskbar entry of its own then; where the window manager refused its places there is no
// usable one anyway.
void QtWindow::keepReachable() {
  if (!inTaskbar_ || !widget_ || !x11::isActive() || bypassesWm()) return;
  const bool shown = widget_->isVisible();
  widget_->setWindowFlag(Qt::BypassWindowManagerHint, true);  // hides the widget
  place();
  if (shown) {
    prepareMap();
    widget_->show();
    widget_->raise();
  }
}

bool QtWindow::bypassesWm() const {
  return widget_ && widget_->windowFlags().testFlag(Qt::BypassWindowManagerHint);
}

// Above a window the window manager has just mapped (and stacked on top).
void QtWindow::raiseReachable() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* ww = dynamic_cast<WindowWidget*>(w); ww && ww->owner() && ww->isVisible())
      if (ww->owner()->inTaskbar_ && ww->owner()->bypassesWm()) ww->raise();
}

// Through the window manager where one takes the request, else through Qt (which waits for the
// map itself, and sets the input focus itself on a window the window manager does not keep).
void QtWindow::activate() {
  activationPending_ = false;
  if (bypassesWm() || !x11::requestActivation(widget_, activationTime_)) widget_->activateWindow();
}

bool QtWindow::isVisible() const {
  return widget_ && widget_->isVisible();
}

// Changes the state alone: a hidden window stays hidden, a shown one is minimised or restored
// where it is. The resize event comes from the state change.
void QtWindow::setState(WindowState state) {
  if (!widget_) return;
  OwnChange own(*this);
  restoreOnPress_ = false;
  Qt::WindowStates s = widget_->windowState();
  if (state == WindowState::Minimised) {
    s |= Qt::WindowMinimized;
    leftScreen_ = false;
  } else {
    s &= ~Qt::WindowMinimized;
  }
  widget_->setWindowState(s);
}

WindowState QtWindow::state() const {
  return widget_ && widget_->isMinimized() ? WindowState::Minimised : WindowState::Normal;
}

// Shown, out of the minimised state, in front and active. A first show and a state change in one
// restore raise one resize event.
void QtWindow::restore() {
  if (!widget_) return;
  OwnChange own(*this);
  restoreOnPress_ = false;
  holdResize_ = true;
  pendingResize_ = false;
  if (!widget_->isVisible()) prepareMap();
  widget_->showNormal();
  if (widget_) {
    widget_->raise();
    widget_->activateWindow();
    lastShown = widget_;
  }
  holdResize_ = false;
  if (!shownOnce_) {
    shownOnce_ = true;
    pendingResize_ = true;
  }
  if (pendingResize_) {
    pendingResize_ = false;
    raiseResize();
  }
}

void QtWindow::setFocus() {
  if (!widget_) return;
  widget_->activateWindow();
  widget_->setFocus();
}

void QtWindow::setIcon(const std::string& resource) {
  if (!widget_) return;
  for (const char* ext : {".png", ".jpg"}) {
    QString path = QStringLiteral(":/pictures/") + qs(resource) + QLatin1String(ext);
    if (QFile::exists(path)) {
      widget_->setWindowIcon(QIcon(path));
      return;
    }
  }
}

std::unique_ptr<Picture> QtWindow::createPicture(const std::string& name) {
  return std::make_unique<QtPicture>(widget_, name);
}

std::unique_ptr<TextBox> QtWindow::createTextBox(const std::string& name) {
  return std::make_unique<QtTextBox>(widget_, name);
}

std::unique_ptr<Timer> QtWindow::createTimer(const std::string& name) {
  return std::make_unique<QtTimer>(widget_, name);
}

std::unique_ptr<Browser> QtWindow::createBrowser(const std::string& name) {
  return kv::qt::createBrowser(widget_, name);
}

// Every change between the normal and the minimised state, whether asked for by the program or
// made by the window manager, raises one resize event.
// A window the program minimised that the window manager put back in the normal state without
// its ever leaving the screen was refused the minimise: that change is taken for a restore only
// at the user's next press on the window.
void QtWindow::stateChanged() {
  bool minimised = widget_ && widget_->isMinimized();
  if (minimised == minimised_) return;
  if (!minimised && !ownChange_ && !leftScreen_ && widget_->isVisible() && x11::mapsRedirected()) {
    restoreOnPress_ = true;
    return;
  }
  minimised_ = minimised;
  if (holdResize_)
    pendingResize_ = true;
  else
    raiseResize();
}

// A press on a window whose minimise the window manager refused or undid, so that it stayed on
// the screen: the window is restored, as from a taskbar. (Without a window manager the program's
// minimise leaves the window as it is, as it always did.)
bool QtWindow::pressed() {
  if (!widget_ || !(restoreOnPress_ || (widget_->isMinimized() && mapped_)) ||
      !x11::mapsRedirected())
    return false;
  restoreOnPress_ = false;
  if (widget_->isMinimized()) {
    OwnChange own(*this);
    widget_->setWindowState(widget_->windowState() & ~Qt::WindowMinimized);
  } else if (minimised_) {
    minimised_ = false;
    raiseResize();
  }
  return true;
}

void QtWindow::closeRequested() {
  if (onCloseRequest)
    onCloseRequest();
  else
    hide();
}

void QtWindow::mouseMoved(double xPx, double yPx) {
  if (onMouseMove)
    onMouseMove(static_cast<float>(pxToTwips(xPx)), static_cast<float>(pxToTwips(yPx)));
}

void QtWindow::raiseResize() {
  if (onResize) onResize();
}

}  // namespace kv::qt
