#include "platform/qt/qt_gui.h"

#include "platform/qt/qt_browser.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "platform/qt/qt_units.h"
#include "platform/qt/qt_window.h"
#include "platform/qt/qt_x11.h"

namespace kv::qt {

double twipsPerPixel() {
  QScreen* screen = QGuiApplication::primaryScreen();
  double dpi = screen ? screen->logicalDotsPerInchX() : 0;
  return dpi > 0 ? 1440.0 / dpi : 15.0;
}

void initApplication(QApplication& app) {
  app.setQuitOnLastWindowClosed(false);
  // The program's icon, for every window that sets none of its own (message boxes included).
  const QString icon = QStringLiteral(":/pictures/form12/icon.png");
  if (QFile::exists(icon)) QApplication::setWindowIcon(QIcon(icon));

#if defined(__GLIBC__)
  // Large buffers (the windows' pictures, the browsers' frames) are made and freed at every load
  // and unload of a window. glibc raises its mmap threshold to the size of each large block freed,
  // so that later ones land in the heap, which then only grows with fragments. A fixed threshold
  // keeps them in mappings of their own, given back to the system when freed.
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif

  auto* translator = new QTranslator(&app);
  const QString name = QStringLiteral("qtbase_zh_CN");
  if (translator->load(name, QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
      translator->load(name, QStringLiteral("/usr/share/qt6/translations")))
    app.installTranslator(translator);
  else
    delete translator;

  const QString family = QStringLiteral("WenQuanYi Micro Hei");
  if (!QFontDatabase::hasFamily(family)) {
    const QString file = QStringLiteral("/usr/share/fonts/truetype/wqy/wqy-microhei.ttc");
    if (QFile::exists(file)) QFontDatabase::addApplicationFont(file);
  }
  if (QFontDatabase::hasFamily(family)) {
    QFont font = app.font();
    font.setFamilies({family});
    app.setFont(font);
  }
}

QtGui::QtGui() = default;
QtGui::~QtGui() = default;

std::unique_ptr<Window> QtGui::createWindow(const std::string& name) {
  return std::make_unique<QtWindow>(name);
}

QString messageBoxText(const std::string& text) {
  // A box shows the text a server sent (the update prompt); a page of megabytes would freeze the
  // client, so it is cut to what a box can show.
  constexpr int kMaxChars = 2000;
  constexpr int kMaxLines = 40;
  QString shown = QString::fromStdString(text);
  bool cut = false;
  if (shown.size() > kMaxChars) {
    shown.truncate(kMaxChars);
    cut = true;
  }
  int lines = 0;
  for (int i = 0; i < shown.size(); ++i) {
    if (shown[i] == QLatin1Char('\n') && ++lines == kMaxLines) {
      shown.truncate(i);
      cut = true;
      break;
    }
  }
  if (cut) shown += QStringLiteral("…");
  return shown;
}

// The look every box of the program shares: no icons on the buttons (some desktop styles add
// them); wide enough for a window manager's title bar to show the title beside its buttons (room
// for four of them and the icon), within two thirds of the screen; no taskbar entry of its own
// when it belongs to a window.
void fitMessageBox(QMessageBox* box) {
  for (QAbstractButton* b : box->buttons()) b->setIcon(QIcon());
  constexpr int kTitleBarRoom = 160;
  QFont titleFont = box->font();
  titleFont.setBold(true);
  int width = QFontMetrics(titleFont).horizontalAdvance(box->windowTitle()) + kTitleBarRoom;
  if (QScreen* screen = QGuiApplication::primaryScreen())
    width = std::min(width, screen->availableGeometry().width() * 2 / 3);
  if (auto* grid = qobject_cast<QGridLayout*>(box->layout()))
    grid->addItem(new QSpacerItem(width, 0), grid->rowCount(), 0, 1, grid->columnCount());
  if (box->parentWidget()) x11::skipTaskbar(box, false);
}

// A modal box with no icon. With OK and Cancel, closing the box any other way answers Cancel.
// The box belongs to the window that raised it (see messageBoxOwner): it stands over that window
// and has no taskbar entry of its own; it goes with its owner if the owner goes while it is open.
MsgResult QtGui::messageBox(const std::string& text, const std::string& title, MsgButtons buttons) {
  QWidget* owner = messageBoxOwner();
  QPointer<QMessageBox> box = new QMessageBox(owner);
  box->setObjectName(QStringLiteral("KelvoraMessageBox"));
  box->setIcon(QMessageBox::NoIcon);
  box->setWindowTitle(QString::fromStdString(title));
  box->setTextFormat(Qt::PlainText);  // server replies are shown as they are
  box->setText(messageBoxText(text));
  if (buttons == MsgButtons::OkCancel) {
    box->setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    box->setEscapeButton(QMessageBox::Cancel);
  } else {
    box->setStandardButtons(QMessageBox::Ok);
    box->setEscapeButton(QMessageBox::Ok);
  }
  box->setDefaultButton(QMessageBox::Ok);
  fitMessageBox(box);
  box->exec();
  if (!box) return buttons == MsgButtons::Ok ? MsgResult::Ok : MsgResult::Cancel;
  bool ok = buttons == MsgButtons::Ok || box->clickedButton() == box->button(QMessageBox::Ok);
  delete box;
  return ok ? MsgResult::Ok : MsgResult::Cancel;
}

ScreenInfo QtGui::screen() const {
  ScreenInfo info;
  QScreen* screen = QGuiApplication::primaryScreen();
  double tpp = twipsPerPixel();
  info.twipsPerPixelX = static_cast<float>(tpp);
  if (!screen) return info;
  QRect g = screen->geometry();
  QRect work = screen->availableGeometry();
  info.widthTwips = g.width() * tpp;
  info.heightTwips = g.height() * tpp;
  info.workAreaBottomPx = work.y() + work.height();
  return info;
}

void QtGui::post(std::function<void()> fn) {
  QTimer::singleShot(0, qApp, std::move(fn));
}

void QtGui::endProcess(int code) {
  // No handler runs any more; only the browsers' cookies are written out, so that a member who
  // signed in on a search page is still signed in at the next start.
  shutdownBrowsers();
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
  std::_Exit(code);
}

std::unique_ptr<Gui> createGui() {
  return std::make_unique<QtGui>();
}

}  // namespace kv::qt
