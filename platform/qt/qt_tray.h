// The notification-area icon on QSystemTrayIcon. Activations of the icon reach the window of the
// record as mouse moves with x = the Windows mouse message code * twips per pixel, so that the
// window's handler decodes them as it would the native notification (515 a left double-click).
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <memory>
#include <optional>

#include "platform/gui.h"

class QSystemTrayIcon;

namespace kv::qt {

class WindowWidget;

class QtTray : public Tray {
 public:
  QtTray();
  ~QtTray() override;

  bool add(const TrayIconData& data) override;
  bool remove(const TrayIconData& data) override;
  bool isAvailable() const override;
  bool isShown() const override;

  // Notification areas that speak the StatusNotifierItem protocol report one activation per left
  // click and never a double-click. With such a host two activations within the double-click
  // interval are delivered as the double-click code, a single one as a left button up. Unset, the
  // host is detected (see the .cpp); the environment variable KELVORA_TRAY_SNI=1 or =0 forces it
  // as well.
  void setActivationsOnly(std::optional<bool> on) { activationsOnly_ = on; }
  bool activationsOnly() const;

  // The Qt icon (nullptr before the first add); for tests.
  QSystemTrayIcon* icon() const { return icon_.get(); }

  // Windows mouse message codes of the icon's activations.
  static constexpr unsigned kLeftUp = 0x202;      // 514
  static constexpr unsigned kLeftDouble = 0x203;  // 515
  static constexpr unsigned kRightUp = 0x205;     // 517
  static constexpr unsigned kMiddleUp = 0x208;    // 520

 private:
  void activated(int reason);

  std::unique_ptr<QSystemTrayIcon> icon_;
  QPointer<WindowWidget> window_;  // the window of the last add
  std::optional<bool> activationsOnly_;
  QElapsedTimer lastActivation_;  // the single activation that may begin a double-click
};

}  // namespace kv::qt
