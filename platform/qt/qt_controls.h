// Pictures, text boxes and timers on Qt Widgets. Geometry in twips, kept exactly as set; the
// widgets are placed in pixels.
#pragma once

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>

#include "platform/gui.h"

namespace kv::qt {

class QtPicture;

// The label of a picture control: clicks on left-button release inside it, mouse moves with
// tracking. The events stop here; they never reach the window's own surface.
class PictureLabel : public QLabel {
 public:
  PictureLabel(QWidget* parent, QtPicture* owner);
  void release() { owner_ = nullptr; }

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  QtPicture* owner_;
  bool pressed_ = false;
};

class QtPicture : public Picture {
 public:
  QtPicture(QWidget* parent, const std::string& name);
  ~QtPicture() override;

  void setGeometry(double left, double top, double width, double height) override;
  double left() const override { return left_; }
  double top() const override { return top_; }
  double width() const override { return width_; }
  double height() const override { return height_; }
  void setVisible(bool visible) override;
  bool isVisible() const override;
  void setEnabled(bool enabled) override;
  bool isEnabled() const override;

  bool loadFile(const std::string& path) override;
  bool loadResource(const std::string& name) override;
  std::string source() const override { return source_; }
  void setToolTip(const std::string& text) override;
  std::string toolTip() const override;
  void setHandCursor(bool hand) override;
  bool hasHandCursor() const override;

  QLabel* label() const { return label_; }

  // Called by the label.
  void clicked();
  void mouseMoved(double xPx, double yPx);

 private:
  bool show(const QImage& image, const std::string& source);
  void refresh();

  QPointer<PictureLabel> label_;
  QImage image_;  // the picture as loaded; shown at the control's size
  std::string source_;
  double left_ = 0, top_ = 0, width_ = 0, height_ = 0;
};

class QtTextBox : public TextBox {
 public:
  QtTextBox(QWidget* parent, const std::string& name);
  ~QtTextBox() override;

  void setGeometry(double left, double top, double width, double height) override;
  double left() const override { return left_; }
  double top() const override { return top_; }
  double width() const override { return width_; }
  double height() const override { return height_; }
  void setVisible(bool visible) override;
  bool isVisible() const override;
  void setEnabled(bool enabled) override;
  bool isEnabled() const override;

  std::string text() const override;
  void setText(const std::string& text) override;
  void setPasswordMask(bool masked) override;
  bool isPasswordMasked() const override;

  QLineEdit* lineEdit() const { return edit_; }

 private:
  QPointer<QLineEdit> edit_;
  double left_ = 0, top_ = 0, width_ = 0, height_ = 0;
};

class QtTimer : public Timer {
 public:
  QtTimer(QObject* parent, const std::string& name);
  ~QtTimer() override;

  void setInterval(int ms) override;
  int interval() const override { return interval_; }
  void setEnabled(bool on) override;
  bool isEnabled() const override { return enabled_; }

 private:
  void apply();

  QPointer<QTimer> timer_;
  int interval_ = 0;
  bool enabled_ = false;
};

}  // namespace kv::qt
