// What every control shown by one child widget has in common: its place and size, kept in twips
// exactly as set and applied to the widget in pixels, its visibility and its enabled state.
#pragma once

#include <QPointer>
#include <QRect>
#include <QWidget>
#include <algorithm>

#include "platform/qt/qt_units.h"

namespace kv::qt {

inline QRect pxRect(double left, double top, double width, double height) {
  return QRect(twipsToPx(left), twipsToPx(top), std::max(0, twipsToPx(width)),
               std::max(0, twipsToPx(height)));
}

template <class Base>
class QtControl : public Base {
 public:
  void setGeometry(double left, double top, double width, double height) override {
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    QWidget* w = widget();
    if (!w) return;
    QSize before = w->size();
    w->setGeometry(pxRect(left, top, width, height));
    placed(before);
  }
  double left() const override { return left_; }
  double top() const override { return top_; }
  double width() const override { return width_; }
  double height() const override { return height_; }
  void setVisible(bool visible) override {
    if (QWidget* w = widget()) w->setVisible(visible);
  }
  // The control's own flag: a control of a hidden window still counts as visible.
  bool isVisible() const override {
    QWidget* w = widget();
    return w && !w->isHidden();
  }
  void setEnabled(bool enabled) override {
    if (QWidget* w = widget()) w->setEnabled(enabled);
  }
  bool isEnabled() const override {
    QWidget* w = widget();
    return w && !w->testAttribute(Qt::WA_ForceDisabled);
  }

 protected:
  // The widget that shows the control; null once it is gone.
  virtual QWidget* widget() const = 0;
  // Called after the widget was given its place; `before` is its size until then.
  virtual void placed(const QSize& before) { (void)before; }

 private:
  double left_ = 0, top_ = 0, width_ = 0, height_ = 0;
};

}  // namespace kv::qt
