#include "platform/qt/qt_controls.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QMouseEvent>
#include <QPixmap>
#include <algorithm>
#include <cmath>

#include "platform/qt/qt_units.h"
#include "platform/qt/qt_window.h"
#include "platform/services/datafiles.h"

namespace kv::qt {

namespace {

QString qs(const std::string& s) {
  return QString::fromStdString(s);
}

// Decodes a picture; the format is taken from the content, not from the name.
QImage decodeImage(QIODevice* device) {
  QImageReader reader(device);
  reader.setDecideFormatFromContent(true);
  return reader.read();
}

// Reads a picture straight from its file, at every load, so a file replaced on disk shows at its
// next load. Only a regular file of picture size is read, as the data files are: anything else (a
// pipe, a device, a folder) counts as a missing picture.
QImage readImage(const std::string& path) {
  std::optional<std::string> bytes = files::readPicture(path);
  if (!bytes) return {};
  QByteArray data = QByteArray::fromRawData(bytes->data(), static_cast<qsizetype>(bytes->size()));
  QBuffer buffer(&data);
  buffer.open(QIODevice::ReadOnly);
  return decodeImage(&buffer);
}

}  // namespace

// ---- pictures -------------------------------------------------------------------------------

PictureLabel::PictureLabel(QWidget* parent, QtPicture* owner) : QLabel(parent), owner_(owner) {
  setMouseTracking(true);
  setScaledContents(false);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setMargin(0);
  setContentsMargins(0, 0, 0, 0);
}

void PictureLabel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) pressed_ = true;
  event->accept();
}

// The second press of a double-click raises no click of its own, as with the native picture
// control, where it raises the double-click event (the windows handle none).
void PictureLabel::mouseDoubleClickEvent(QMouseEvent* event) {
  pressed_ = false;
  event->accept();
}

void PictureLabel::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  if (event->button() != Qt::LeftButton) return;
  bool wasPressed = pressed_;
  pressed_ = false;
  if (wasPressed && rect().contains(event->position().toPoint()) && isEnabled() && isVisible() &&
      owner_) {
    UserInput input(event->timestamp());  // on X11 the server's time of the release
    owner_->clicked();
  }
}

void PictureLabel::mouseMoveEvent(QMouseEvent* event) {
  event->accept();
  if (owner_) owner_->mouseMoved(event->position().x(), event->position().y());
}

QtPicture::QtPicture(QWidget* parent, const std::string& name)
    : label_(new PictureLabel(parent, this)) {
  label_->setObjectName(qs(name));
  label_->show();  // shown with its window
}

QtPicture::~QtPicture() {
  if (label_) {
    label_->release();
    label_->hide();
    label_->setObjectName(QString());
    label_->deleteLater();
  }
}

void QtPicture::placed(const QSize& before) {
  if (label_->size() != before) refresh();
}

bool QtPicture::loadFile(const std::string& path) {
  std::string p = path;
  std::replace(p.begin(), p.end(), '\\', '/');
  if (p.empty()) return false;
  return show(readImage(p), path);  // a relative path resolves against the current directory
}

bool QtPicture::loadResource(const std::string& name) {
  for (const char* ext : {".jpg", ".png"}) {
    QString path = QStringLiteral(":/pictures/") + qs(name) + QLatin1String(ext);
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) return show(decodeImage(&file), "res:" + name);
  }
  return false;
}

bool QtPicture::show(const QImage& image, const std::string& source) {
  if (image.isNull() || !label_) return false;
  image_ = image;
  source_ = source;
  refresh();
  return true;
}

// The pictures are drawn at the control's size; one of another size is scaled to fit.
void QtPicture::refresh() {
  if (!label_ || image_.isNull()) return;
  QSize size = label_->size();
  if (size.isEmpty() || image_.size() == size)
    label_->setPixmap(QPixmap::fromImage(image_));
  else
    label_->setPixmap(
        QPixmap::fromImage(image_.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
}

void QtPicture::setToolTip(const std::string& text) {
  if (label_) label_->setToolTip(qs(text));
}
std::string QtPicture::toolTip() const {
  return label_ ? label_->toolTip().toStdString() : std::string();
}

void QtPicture::setHandCursor(bool hand) {
  if (!label_) return;
  if (hand)
    label_->setCursor(Qt::PointingHandCursor);
  else
    label_->unsetCursor();
}
bool QtPicture::hasHandCursor() const {
  return label_ && label_->testAttribute(Qt::WA_SetCursor) &&
         label_->cursor().shape() == Qt::PointingHandCursor;
}

void QtPicture::clicked() {
  if (onClick) onClick();
}

void QtPicture::mouseMoved(double xPx, double yPx) {
  if (onMouseMove)
    onMouseMove(static_cast<float>(pxToTwips(xPx)), static_cast<float>(pxToTwips(yPx)));
}

// ---- text boxes -----------------------------------------------------------------------------

namespace {

// Borderless on the white field of the picture behind it; the mask shows "*"; a disabled box
// keeps its text readable in dark grey.
const char* kTextBoxStyle =
    "QLineEdit { border: none; background: white; color: #333333;"
    " selection-background-color: #0E9F8E; selection-color: white;"
    " lineedit-password-character: 42; }"
    "QLineEdit:disabled { color: #555555; background: white; }";

}  // namespace

QtTextBox::QtTextBox(QWidget* parent, const std::string& name) : edit_(new QLineEdit(parent)) {
  edit_->setObjectName(qs(name));
  edit_->setFrame(false);
  edit_->setStyleSheet(QLatin1String(kTextBoxStyle));
  edit_->setTextMargins(0, 0, 0, 0);
  edit_->show();  // shown with its window
}

QtTextBox::~QtTextBox() {
  if (edit_) {
    edit_->hide();
    edit_->setObjectName(QString());
    edit_->deleteLater();
  }
}

void QtTextBox::placed(const QSize&) {
  // The font follows the box: 12 pixels in a box of 18 (270 twips).
  QFont f = edit_->font();
  f.setPixelSize(std::max(8, static_cast<int>(std::lround(edit_->height() * 2.0 / 3.0))));
  edit_->setFont(f);
}

std::string QtTextBox::text() const {
  return edit_ ? edit_->text().toStdString() : std::string();
}
void QtTextBox::setText(const std::string& text) {
  if (edit_) edit_->setText(qs(text));
}

void QtTextBox::setPasswordMask(bool masked) {
  if (edit_) edit_->setEchoMode(masked ? QLineEdit::Password : QLineEdit::Normal);
}
bool QtTextBox::isPasswordMasked() const {
  return edit_ && edit_->echoMode() == QLineEdit::Password;
}

// ---- timers ---------------------------------------------------------------------------------

QtTimer::QtTimer(QObject* parent, const std::string& name) : timer_(new QTimer(parent)) {
  timer_->setObjectName(qs(name));
  QObject::connect(timer_, &QTimer::timeout, [this] {
    if (onTick) onTick();
  });
}

QtTimer::~QtTimer() {
  if (timer_) {
    timer_->stop();
    timer_->disconnect();
    timer_->setObjectName(QString());
    timer_->deleteLater();  // may be inside its own tick
  }
}

void QtTimer::setInterval(int ms) {
  interval_ = ms;
  apply();
}

void QtTimer::setEnabled(bool on) {
  if (on == enabled_) return;
  enabled_ = on;
  apply();
}

// Ticks while on with an interval above 0; a new interval starts the count again.
void QtTimer::apply() {
  if (!timer_) return;
  if (enabled_ && interval_ > 0)
    timer_->start(interval_);
  else
    timer_->stop();
}

}  // namespace kv::qt
