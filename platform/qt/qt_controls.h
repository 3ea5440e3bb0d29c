// Pictures, text boxes and timers on Qt Widgets. Geometry in twips, kept exactly as set; the
// widgets are placed in pixels.
#pragma once

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>

#include "platform/gui.h"
#include "platform/qt/qt_control.h"

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

class QtPicture : public QtControl<Picture> {
 public:
  QtPicture(QWidget* parent, const std::string& name);
  ~QtPicture() override;

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

  QWidget* widget() const override { return label_; }
  void placed(const QSize& before) override;

  QPointer<PictureLabel> label_;
  QImage image_;  // the picture as loaded; shown at the control's size
  std::string source_;
};

class QtTextBox : public QtControl<TextBox> {
 public:
  QtTextBox(QWidget* parent, const std::string& name);
  ~QtTextBox() override;

  std::string text() const override;
  void setText(const std::string& text) override;
  void setPasswordMask(bool masked) override;
  bool isPasswordMasked() const override;

  QLineEdit* lineEdit() const { return edit_; }

 private:
  QWidget* widget() const override { return edit_; }
  void placed(const QSize& before) override;

  QPointer<QLineEdit> edit_;
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
