#include "platform/qt/qt_window.h"

#include <xcb/xcb.h>

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QMouseEvent>
#include <QTimer>
#include <QWindowStateChangeEvent>
#include <cstdlib>
#include <cstring>

#include "platform/qt/qt_browser.h"
#include "platform/qt/qt_controls.h"
#include "platform/qt/qt_units.h"

namespace kv::qt {

namespace {
QString qs(const std::string& s) {
  return QString::fromStdString(s);
}

xcb_atom_t internAtom(xcb_connection_t* c, const char* name) {
  xcb_intern_atom_reply_t* r =
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr);
  xcb_atom_t atom = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
  std::free(r);
  return atom;
}

xcb_connection_t* xcbConnection() {
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return x11 ? x11->connection() : nullptr;
}

// Whether a window manager takes the map requests of top-level windows, so that a map may be
// answered late. Without one a map is done at once.
bool mapsRedirected() {
  xcb_connection_t* c = xcbConnection();
  if (!c) return false;
  xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  auto* r = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, root), nullptr);
  const bool redirected = r && (r->all_event_masks & XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT);
  std::free(r);
  return redirected;
}

QPointer<WindowWidget> lastShown;

}  // namespace

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

// Before the map: Qt adds the states it sets at the map to what the property holds; anything left
// from an earlier map is dropped here. Once mapped: the EWMH request to the window manager.
void skipTaskbar(QWidget* widget, bool mapped) {
  xcb_connection_t* c = xcbConnection();
  if (!widget || !c) return;
  static const xcb_atom_t state = internAtom(c, "_NET_WM_STATE");
  static const xcb_atom_t skip[] = {internAtom(c, "_NET_WM_STATE_SKIP_TASKBAR"),
                                    internAtom(c, "_NET_WM_STATE_SKIP_PAGER")};
  const auto window = static_cast<xcb_window_t>(widget->winId());
  if (!mapped) {
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, state, XCB_ATOM_ATOM, 32, 2, skip);
  } else {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = state;
    event.data.data32[0] = 1;  // add
    event.data.data32[1] = skip[0];
    event.data.data32[2] = skip[1];
    event.data.data32[3] = 1;  // from an application
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_send_event(c, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&event));
  }
  xcb_flush(c);
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
  if (event->type() == QEvent::Expose && owner_ && static_cast<QWindow*>(watched)->isExposed())
    owner_->exposed();
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
  if (widget_) widget_->resize(std::max(0, twipsToPx(width)), std::max(0, twipsToPx(height)));
  if (changed && shownOnce_) raiseResize();
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
  if (widget_) widget_->move(twipsToPx(left_), twipsToPx(top_));
}

// Before a hidden window is mapped: its taskbar state, which the window manager reads at the map.
void QtWindow::prepareMap() {
  widget_->winId();
  QWindow* handle = widget_->windowHandle();
  if (!handle) return;
  if (handle != watched_) {
    handle->installEventFilter(widget_);
    watched_ = handle;
  }
  if (!inTaskbar_) skipTaskbar(widget_, false);
  awaitingMap_ = mapsRedirected();
}

// Shown in the normal state: a window minimised by the window manager comes back. Leaving the
// minimised state maps a hidden native window at once, so the map is prepared first.
void QtWindow::show() {
  if (!widget_) return;
  hidePending_ = false;
  if (!widget_->isVisible()) prepareMap();
  if (widget_->isMinimized())
    widget_->setWindowState(widget_->windowState() & ~Qt::WindowMinimized);
  widget_->show();
  widget_->raise();
  lastShown = widget_;
  if (!shownOnce_) {
    shownOnce_ = true;
    raiseResize();
  }
}

// A window the window manager has not mapped yet is unmapped once it has been: an unmap before
// that would be lost, and the window manager would still map the window.
void QtWindow::hide() {
  if (!widget_) return;
  hidePending_ = true;
  finishHide();
  // A window manager that never maps the window (or never says so) must not keep it on screen
  // for good: the hide is done after a bounded wait all the same.
  if (hidePending_)
    QTimer::singleShot(kMapWaitMs, widget_, [w = widget_.data()] {
      QtWindow* window = w->owner();
      if (!window || !window->hidePending_) return;
      window->awaitingMap_ = false;
      window->finishHide();
    });
}

void QtWindow::finishHide() {
  if (!hidePending_ || (awaitingMap_ && widget_->isVisible())) return;
  hidePending_ = false;
  widget_->hide();
}

// The window manager has mapped (or restored) the window: the window's taskbar state, which the
// window manager drops when a window is withdrawn (a hide and a show in one handler may meet
// it), and a hide asked for meanwhile, once the expose event has been handled.
void QtWindow::exposed() {
  if (awaitingMap_ && !inTaskbar_) skipTaskbar(widget_, true);
  awaitingMap_ = false;
  if (!hidePending_) return;
  QTimer::singleShot(0, widget_, [w = widget_.data()] {
    if (QtWindow* window = w->owner()) window->finishHide();
  });
}

bool QtWindow::isVisible() const {
  return widget_ && widget_->isVisible() && !hidePending_;
}

// Changes the state alone: a hidden window stays hidden, a shown one is minimised or restored
// where it is. The resize event comes from the state change.
void QtWindow::setState(WindowState state) {
  if (!widget_) return;
  Qt::WindowStates s = widget_->windowState();
  if (state == WindowState::Minimised)
    s |= Qt::WindowMinimized;
  else
    s &= ~Qt::WindowMinimized;
  widget_->setWindowState(s);
}

WindowState QtWindow::state() const {
  return widget_ && widget_->isMinimized() ? WindowState::Minimised : WindowState::Normal;
}

// Shown, out of the minimised state, in front and active. A first show and a state change in one
// restore raise one resize event.
void QtWindow::restore() {
  if (!widget_) return;
  holdResize_ = true;
  pendingResize_ = false;
  hidePending_ = false;
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
void QtWindow::stateChanged() {
  bool minimised = widget_ && widget_->isMinimized();
  if (minimised == minimised_) return;
  minimised_ = minimised;
  if (holdResize_)
    pendingResize_ = true;
  else
    raiseResize();
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
