#include "platform/qt/qt_window.h"

#include <QCloseEvent>
#include <QFile>
#include <QIcon>
#include <QMouseEvent>
#include <QWindowStateChangeEvent>

#include "platform/qt/qt_browser.h"
#include "platform/qt/qt_controls.h"
#include "platform/qt/qt_units.h"

namespace kv::qt {

namespace {
QString qs(const std::string& s) {
  return QString::fromStdString(s);
}
}  // namespace

// ---- widget ---------------------------------------------------------------------------------

WindowWidget::WindowWidget(QtWindow* owner) : QWidget(nullptr, Qt::Window), owner_(owner) {
  setMouseTracking(true);
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

// The program closes no window through the window manager; a close request only hides it.
void WindowWidget::closeEvent(QCloseEvent* event) {
  event->ignore();
  hide();
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

// A frameless window stays a normal top-level window with its place on the taskbar.
void QtWindow::setFrameless(bool frameless) {
  if (!widget_ || widget_->windowFlags().testFlag(Qt::FramelessWindowHint) == frameless) return;
  bool shown = widget_->isVisible();
  widget_->setWindowFlag(Qt::FramelessWindowHint, frameless);  // hides the widget
  place();
  if (shown) widget_->show();
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

void QtWindow::show() {
  if (!widget_) return;
  widget_->show();
  widget_->raise();
  if (!shownOnce_) {
    shownOnce_ = true;
    raiseResize();
  }
}

void QtWindow::hide() {
  if (widget_) widget_->hide();
}

bool QtWindow::isVisible() const {
  return widget_ && widget_->isVisible();
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
  widget_->showNormal();
  if (widget_) {
    widget_->raise();
    widget_->activateWindow();
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

void QtWindow::mouseMoved(double xPx, double yPx) {
  if (onMouseMove)
    onMouseMove(static_cast<float>(pxToTwips(xPx)), static_cast<float>(pxToTwips(yPx)));
}

void QtWindow::raiseResize() {
  if (onResize) onResize();
}

}  // namespace kv::qt
