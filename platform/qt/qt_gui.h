// The Qt Widgets implementation of the GUI interfaces: windows, message boxes, the screen, the
// notification area, the event queue and the end of the process.
//
// Use:
//   QApplication a(argc, argv);
//   kv::qt::initApplication(a);
//   kv::qt::QtGui gui;
//   ...
//   return a.exec();
#pragma once

#include <memory>

#include "platform/gui.h"
#include "platform/qt/qt_tray.h"

class QApplication;
class QString;

class QMessageBox;

namespace kv::qt {

// Chinese standard-button texts (确定 / 取消), the CJK application font, and no quit when the last
// window closes: every window is hidden while the program sits in the notification area.
void initApplication(QApplication& app);

// The text a message box shows: the whole text, or its first 2000 characters and 40 lines
// followed by "…".
QString messageBoxText(const std::string& text);

// Gives a message box the look all the program's boxes share: plain buttons, a width that shows
// its title, and no taskbar entry when it belongs to a window.
void fitMessageBox(QMessageBox* box);

class QtGui : public Gui {
 public:
  QtGui();
  ~QtGui() override;

  std::unique_ptr<Window> createWindow(const std::string& name) override;
  MsgResult messageBox(const std::string& text, const std::string& title = "Kelvora",
                       MsgButtons buttons = MsgButtons::Ok) override;
  ScreenInfo screen() const override;
  Tray& tray() override { return tray_; }
  void post(std::function<void()> fn) override;
  [[noreturn]] void endProcess(int code = 0) override;

  QtTray& qtTray() { return tray_; }

 private:
  QtTray tray_;
};

std::unique_ptr<Gui> createGui();

}  // namespace kv::qt
