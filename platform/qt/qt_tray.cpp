#include "platform/qt/qt_tray.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QGuiApplication>
#include <QPixmap>
#include <QStyleHints>
#include <QSystemTrayIcon>

#include "platform/qt/qt_units.h"
#include "platform/qt/qt_window.h"

namespace kv::qt {

namespace {

const char* kFallbackIcon = ":/pictures/form12/icon.png";

// The tip ends at its first NUL; the field holds 64 bytes with that NUL, so at most 63 bytes of
// text, never cut inside a character.
QString tipText(const std::string& tip) {
  std::string t = tip.substr(0, tip.find('\0'));
  if (t.size() > 63) {
    size_t n = 63;
    while (n > 0 && (static_cast<unsigned char>(t[n]) & 0xC0) == 0x80) --n;
    t.resize(n);
  }
  return QString::fromStdString(t);
}

// Qt shows the icon through the StatusNotifierItem protocol when a host is registered with the
// watcher on the session bus (the same test Qt itself makes), and always on Wayland, which has
// no other notification area. Such hosts send one activation per left click and no double-click.
// A plain XEmbed notification area (trayer, older panels) sends Trigger then DoubleClick.
bool statusNotifierHost() {
  if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) return true;
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected() || !bus.interface()) return false;
  const QString service = QStringLiteral("org.kde.StatusNotifierWatcher");
  if (!bus.interface()->isServiceRegistered(service)) return false;
  QDBusInterface watcher(service, QStringLiteral("/StatusNotifierWatcher"), service, bus);
  return watcher.isValid() && watcher.property("IsStatusNotifierHostRegistered").toBool();
}

}  // namespace

QtTray::QtTray() = default;
QtTray::~QtTray() = default;

bool QtTray::activationsOnly() const {
  if (activationsOnly_) return *activationsOnly_;
  QByteArray env = qgetenv("KELVORA_TRAY_SNI");
  if (env == "1") return true;
  if (env == "0") return false;
  static const bool detected = statusNotifierHost();
  return detected;
}

bool QtTray::add(const TrayIconData& data) {
  if (!QSystemTrayIcon::isSystemTrayAvailable()) return false;
  if (!icon_) {
    icon_ = std::make_unique<QSystemTrayIcon>();
    icon_->setObjectName(QStringLiteral("KelvoraTrayIcon"));
    QObject::connect(icon_.get(), &QSystemTrayIcon::activated,
                     [this](QSystemTrayIcon::ActivationReason r) { activated(r); });
  }
  auto* window = dynamic_cast<QtWindow*>(data.hWnd);
  window_ = window ? static_cast<WindowWidget*>(window->widget()) : nullptr;
  QIcon icon = window_ ? window_->windowIcon() : QIcon();
  if (icon.isNull() || !window_ || !window_->testAttribute(Qt::WA_SetWindowIcon))
    icon = QIcon(QString::fromLatin1(kFallbackIcon));
  if (icon.isNull()) {
    // Without any picture the icon would not show at all: a plain square in the product's colour.
    QPixmap square(32, 32);
    square.fill(QColor(0x0E, 0x9F, 0x8E));
    icon = QIcon(square);
  }
  icon_->setIcon(icon);
  icon_->setToolTip(tipText(data.szTip));
  icon_->show();
  return true;
}

bool QtTray::remove(const TrayIconData&) {
  if (!icon_ || !icon_->isVisible()) return false;
  icon_->hide();
  return true;
}

bool QtTray::isAvailable() const {
  return QSystemTrayIcon::isSystemTrayAvailable();
}

bool QtTray::isShown() const {
  return icon_ && icon_->isVisible();
}

// The activation becomes the Windows notification the window expects: its mouse-move handler
// with x = the message code in twips.
void QtTray::activated(int reason) {
  unsigned code = 0;
  switch (reason) {
    case QSystemTrayIcon::Trigger:
      code = kLeftUp;
      if (activationsOnly()) {
        const int interval = QGuiApplication::styleHints()->mouseDoubleClickInterval();
        if (lastActivation_.isValid() && !lastActivation_.hasExpired(interval)) {
          code = kLeftDouble;
          lastActivation_.invalidate();
        } else {
          lastActivation_.start();
        }
      }
      break;
    case QSystemTrayIcon::DoubleClick:
      code = kLeftDouble;
      break;
    case QSystemTrayIcon::Context:
      code = kRightUp;
      break;
    case QSystemTrayIcon::MiddleClick:
      code = kMiddleUp;
      break;
    default:
      return;
  }
  QtWindow* window = window_ ? window_->owner() : nullptr;
  if (!window || !window->onMouseMove) return;
  float x = static_cast<float>(code) * static_cast<float>(twipsPerPixel());
  window->onMouseMove(x, 0);
}

}  // namespace kv::qt
