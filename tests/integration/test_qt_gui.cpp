// The Qt implementation of the GUI interfaces on a real display (Xvfb): placement in twips,
// pictures read from files, clicks, text boxes, timers, message boxes, the screen and the tray.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <memory>

#include "platform/qt/qt_controls.h"
#include "platform/qt/qt_gui.h"
#include "platform/qt/qt_units.h"
#include "platform/qt/qt_window.h"

// A polling wait that reports to gtest (the QTRY_ macros report to QTest's own log only).
#define KV_WAIT_FOR(expr) \
  ASSERT_TRUE(QTest::qWaitFor([&]() -> bool { return (expr); }, 5000)) << "waited for: " #expr

namespace {

using kv::qt::twipsPerPixel;

// clang-format off
QWidget* widgetOf(kv::Window& w) { return static_cast<kv::qt::QtWindow&>(w).widget(); }
QLabel* labelOf(kv::Picture& p) { return static_cast<kv::qt::QtPicture&>(p).label(); }
QLineEdit* editOf(kv::TextBox& t) { return static_cast<kv::qt::QtTextBox&>(t).lineEdit(); }
// clang-format on

// Whether the middle of what a picture control shows has about this colour.
bool shows(kv::Picture& p, QColor colour) {
  QImage img = labelOf(p)->pixmap().toImage();
  QColor c = img.isNull() ? QColor() : img.pixelColor(img.width() / 2, img.height() / 2);
  return std::abs(c.red() - colour.red()) < 24 && std::abs(c.green() - colour.green()) < 24 &&
         std::abs(c.blue() - colour.blue()) < 24;
}

void writePicture(const QString& path, QColor colour, QSize size = {60, 40}) {
  QImage img(size, QImage::Format_RGB32);
  img.fill(colour);
  ASSERT_TRUE(img.save(path, path.endsWith(".png") ? "PNG" : "JPG")) << path.toStdString();
}

class QtGuiTest : public ::testing::Test {
 protected:
  void TearDown() override {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
  }

  // A shown frameless window of 200 x 100 pixels at 100, 100.
  std::unique_ptr<kv::Window> shownWindow(const std::string& name) {
    auto w = gui.createWindow(name);
    w->setFrameless(true);
    w->setClientSize(200 * twipsPerPixel(), 100 * twipsPerPixel());
    w->setLeft(100 * twipsPerPixel());
    w->setTop(100 * twipsPerPixel());
    w->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(widgetOf(*w)));
    return w;
  }

  kv::qt::QtGui gui;
};

TEST_F(QtGuiTest, WindowStandsWhereItsTwipsSay) {
  const double tpp = twipsPerPixel();
  ASSERT_DOUBLE_EQ(tpp, 1440.0 / QGuiApplication::primaryScreen()->logicalDotsPerInchX());
  auto win = gui.createWindow("GeoForm");
  win->setFrameless(true);
  win->setCaption("Kelvora搜淘宝");
  win->setClientSize(4740, 5475);
  win->setLeft(100 * tpp);
  win->setTop(200.5 * tpp);
  win->show();
  QWidget* w = widgetOf(*win);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
  EXPECT_EQ(w->objectName(), "GeoForm");
  EXPECT_EQ(w->windowTitle(), QString::fromUtf8("Kelvora搜淘宝"));

  // The twips as set are kept; the widget stands on the nearest pixels, frame and all.
  EXPECT_EQ(win->top(), 200.5 * tpp);
  EXPECT_EQ(win->width(), 4740);
  const QRect expected(100, 201, std::lround(4740 / tpp), std::lround(5475 / tpp));
  KV_WAIT_FOR(w->geometry() == expected);
  EXPECT_EQ(w->frameGeometry(), expected);

  // Moving a shown window and placing a hidden one.
  win->setLeft(300 * tpp);
  KV_WAIT_FOR(w->geometry().topLeft() == QPoint(300, 201));
  win->hide();
  win->setTop(50 * tpp);
  win->show();
  KV_WAIT_FOR(w->geometry().topLeft() == QPoint(300, 50));

  // Closing through the window manager only hides the window.
  EXPECT_FALSE(w->close());
  EXPECT_FALSE(win->isVisible());
  win->show();
  EXPECT_EQ(widgetOf(*win), w);
}

TEST_F(QtGuiTest, ResizeIsRaisedOnceForFirstShowSizeChangesAndMinimiseRestore) {
  auto win = gui.createWindow("ResizeForm");
  int resizes = 0;
  win->onResize = [&] { ++resizes; };
  win->setClientSize(1500, 1500);
  EXPECT_EQ(resizes, 0);  // not before the first show
  win->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(widgetOf(*win)));
  win->show();
  win->setClientSize(1500, 1500);
  EXPECT_EQ(resizes, 1);
  win->setClientSize(3000, 1500);
  EXPECT_EQ(resizes, 2);

  win->setState(kv::WindowState::Minimised);
  EXPECT_EQ(win->state(), kv::WindowState::Minimised);
  QCoreApplication::processEvents();
  EXPECT_EQ(resizes, 3);  // the state reported back by the display raises nothing more
  // A hidden window changes its state and stays hidden.
  win->hide();
  win->setState(kv::WindowState::Normal);
  win->setState(kv::WindowState::Minimised);
  EXPECT_EQ(resizes, 5);
  EXPECT_FALSE(win->isVisible());
  win->restore();
  QCoreApplication::processEvents();
  EXPECT_EQ(resizes, 6);
  EXPECT_TRUE(win->isVisible());
  EXPECT_EQ(win->state(), kv::WindowState::Normal);

  // Changes made by the window manager raise it too, and the handler may act on the window
  // inside them as the bar does: hide it as it is minimised (to the tray), or, when it stays on
  // the taskbar, restore it as it comes back from there.
  bool toTray = true;
  win->onResize = [&] {
    ++resizes;
    const bool minimised = win->state() == kv::WindowState::Minimised;
    if (minimised && toTray) win->hide();
    if (!minimised && !toTray) win->restore();
  };
  QWidget* w = widgetOf(*win);
  w->setWindowState(w->windowState() | Qt::WindowMinimized);
  QCoreApplication::processEvents();
  EXPECT_EQ(resizes, 7);
  EXPECT_FALSE(win->isVisible());
  win->restore();  // the icon's double-click
  toTray = false;
  win->setState(kv::WindowState::Minimised);
  EXPECT_TRUE(win->isVisible());
  w->showNormal();
  QCoreApplication::processEvents();
  EXPECT_EQ(resizes, 10);
  EXPECT_TRUE(win->isVisible());
  EXPECT_EQ(win->state(), kv::WindowState::Normal);
}

TEST_F(QtGuiTest, MouseMovesReachTheWindowSurfaceAndThePictureApart) {
  const double tpp = twipsPerPixel();
  auto win = shownWindow("MoveForm");
  auto pic = win->createPicture("Image1");
  pic->setGeometry(0, 0, 50 * tpp, 50 * tpp);
  std::vector<std::pair<float, float>> windowMoves, pictureMoves;
  win->onMouseMove = [&](float x, float y) { windowMoves.push_back({x, y}); };
  pic->onMouseMove = [&](float x, float y) { pictureMoves.push_back({x, y}); };
  QTest::mouseMove(widgetOf(*win), QPoint(120, 30));
  KV_WAIT_FOR(windowMoves.size() == 1);
  QTest::mouseMove(widgetOf(*win), QPoint(10, 20));
  KV_WAIT_FOR(pictureMoves.size() == 1);
  EXPECT_EQ(windowMoves.size(), 1u);  // a move over the picture is not the window's
  EXPECT_FLOAT_EQ(windowMoves[0].first, static_cast<float>(120 * tpp));
  EXPECT_FLOAT_EQ(windowMoves[0].second, static_cast<float>(30 * tpp));
  EXPECT_FLOAT_EQ(pictureMoves[0].first, static_cast<float>(10 * tpp));
  EXPECT_FLOAT_EQ(pictureMoves[0].second, static_cast<float>(20 * tpp));
}

TEST_F(QtGuiTest, PicturesAreReadFromTheCurrentDirectoryEveryTime) {
  QTemporaryDir dir;
  const QString oldCwd = QDir::currentPath();
  QDir::setCurrent(dir.path());
  QDir().mkdir("img");
  auto win = gui.createWindow("PicForm");
  auto pic = win->createPicture("Image6");
  pic->setGeometry(0, 0, 60 * twipsPerPixel(), 40 * twipsPerPixel());
  writePicture("img/dl0.jpg", Qt::red);
  ASSERT_TRUE(pic->loadFile("img\\dl0.jpg"));
  EXPECT_EQ(pic->source(), "img\\dl0.jpg");
  EXPECT_TRUE(shows(*pic, Qt::red));
  const qint64 shown = labelOf(*pic)->pixmap().cacheKey();

  // Failures leave the picture as it was: a missing file, random bytes, an empty file, a folder.
  QFile bad("img/bad.jpg"), empty("img/empty.jpg");
  ASSERT_TRUE(bad.open(QIODevice::WriteOnly) && empty.open(QIODevice::WriteOnly));
  bad.write(QByteArray("this is not a picture at all").repeated(20));
  bad.close();
  for (const char* name : {"img\\missing.jpg", "img\\bad.jpg", "img\\empty.jpg", "img", ""})
    EXPECT_FALSE(pic->loadFile(name)) << name;
  EXPECT_EQ(pic->source(), "img\\dl0.jpg");
  EXPECT_EQ(labelOf(*pic)->pixmap().cacheKey(), shown);

  // The same file replaced on disk, with the same time stamp, shows at the next load.
  QDateTime stamp = QFileInfo("img/dl0.jpg").lastModified();
  writePicture("img/dl0.jpg", Qt::blue);
  QFile same("img/dl0.jpg");
  ASSERT_TRUE(same.open(QIODevice::ReadWrite));
  same.setFileTime(stamp, QFileDevice::FileModificationTime);
  same.close();
  ASSERT_TRUE(pic->loadFile("img/dl0.jpg"));
  EXPECT_TRUE(shows(*pic, Qt::blue));

  // A PNG under a .jpg name loads by its content; a picture of another size fills the control.
  writePicture("img/small.png", Qt::green, {30, 20});
  QFile::rename("img/small.png", "img/small.jpg");
  ASSERT_TRUE(pic->loadFile("img\\small.jpg"));
  EXPECT_EQ(labelOf(*pic)->pixmap().size(), QSize(60, 40));
  EXPECT_TRUE(shows(*pic, Qt::green));
  QDir::setCurrent(oldCwd);

  // The pictures compiled into the program, by name.
  EXPECT_FALSE(pic->loadResource("no/such/picture"));
  if (!QFile::exists(":/pictures/form1/image1.jpg")) GTEST_SKIP() << "no pictures compiled in";
  ASSERT_TRUE(pic->loadResource("form1/image1"));
  EXPECT_EQ(pic->source(), "res:form1/image1");
}

TEST_F(QtGuiTest, PicturesClickAndTextBoxesMask) {
  auto win = shownWindow("ClickForm");
  auto pic = win->createPicture("Image2");
  pic->setGeometry(10 * twipsPerPixel(), 10 * twipsPerPixel(), 80 * twipsPerPixel(),
                   40 * twipsPerPixel());
  int clicks = 0;
  pic->onClick = [&] { ++clicks; };
  QLabel* label = labelOf(*pic);
  ASSERT_EQ(widgetOf(*win)->findChild<QLabel*>("Image2"), label);
  QTest::mouseClick(label, Qt::LeftButton);
  QTest::mouseClick(label, Qt::RightButton);
  // Pressed inside, released outside: no click.
  QTest::mousePress(label, Qt::LeftButton, {}, QPoint(5, 5));
  QTest::mouseRelease(label, Qt::LeftButton, {}, QPoint(-5, 60));
  pic->setEnabled(false);
  QTest::mouseClick(label, Qt::LeftButton);
  EXPECT_EQ(clicks, 1);
  pic->setEnabled(true);
  QTest::mouseClick(label, Qt::LeftButton);
  EXPECT_EQ(clicks, 2);
  pic->setHandCursor(true);
  EXPECT_EQ(label->cursor().shape(), Qt::PointingHandCursor);
  // Hidden with its window, a picture still counts as visible; hidden itself, it does not.
  win->hide();
  EXPECT_TRUE(pic->isVisible());
  pic->setVisible(false);
  EXPECT_FALSE(pic->isVisible());

  win->show();
  auto box = win->createTextBox("Text2");
  box->setGeometry(0, 0, 2000, 270);
  QLineEdit* edit = editOf(*box);
  EXPECT_FALSE(edit->hasFrame());
  EXPECT_EQ(edit->font().pixelSize(), std::lround(std::lround(270 / twipsPerPixel()) * 2.0 / 3));
  box->setText("密码abc");
  box->setPasswordMask(true);
  EXPECT_EQ(edit->displayText(), "*****");
  EXPECT_EQ(box->text(), "密码abc");
  box->setText("");
  edit->setFocus();
  QTest::keyClicks(edit, "xy");
  box->setEnabled(false);
  QTest::keyClicks(edit, "z");
  EXPECT_EQ(box->text(), "xy");
  EXPECT_EQ(edit->displayText(), "**");  // the text still shows
}

TEST_F(QtGuiTest, TimersTickWhileOnWithAnInterval) {
  auto win = gui.createWindow("TimerForm");
  auto timer = win->createTimer("Timer1");
  auto reference = win->createTimer("Reference");
  int ticks = 0, refTicks = 0;
  timer->onTick = [&] { ++ticks; };
  reference->onTick = [&] { ++refTicks; };
  reference->setInterval(10);
  reference->setEnabled(true);
  timer->setEnabled(true);  // no interval: no ticks
  KV_WAIT_FOR(refTicks >= 5);
  EXPECT_EQ(ticks, 0);
  timer->setInterval(10);
  KV_WAIT_FOR(ticks >= 3);
  timer->setEnabled(false);
  const int stopped = ticks;
  refTicks = 0;
  KV_WAIT_FOR(refTicks >= 5);
  EXPECT_EQ(ticks, stopped);

  // A timer may go from inside its own tick.
  timer->onTick = [&] { timer.reset(); };
  timer->setEnabled(true);
  KV_WAIT_FOR(timer == nullptr);
  refTicks = 0;
  KV_WAIT_FOR(refTicks >= 3);
}

// Answers the next message box from inside its modal loop after noting what it shows.
struct SeenBox {
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::Warning;
  QStringList buttons;
};

void answerNextBox(SeenBox& seen, std::function<void(QMessageBox*)> answer) {
  auto* poll = new QTimer(qApp);
  QObject::connect(poll, &QTimer::timeout, [poll, &seen, answer] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(w);
      if (!box || box->objectName() != "KelvoraMessageBox" || !box->isVisible()) continue;
      poll->deleteLater();
      poll->stop();
      seen = {box->windowTitle(), box->text(), box->icon(), {}};
      for (QAbstractButton* b : box->buttons()) seen.buttons << b->text();
      seen.buttons.sort();
      answer(box);
      return;
    }
  });
  poll->start(10);
}

TEST_F(QtGuiTest, MessageBoxesShowNoIconAndAnswer) {
  kv::Gui& g = gui;
  auto press = [](QMessageBox::StandardButton b) {
    return [b](QMessageBox* box) { box->button(b)->click(); };
  };
  SeenBox seen;
  answerNextBox(seen, press(QMessageBox::Ok));
  EXPECT_EQ(g.messageBox("网络连接失败"), kv::MsgResult::Ok);
  EXPECT_EQ(seen.title, "Kelvora");
  EXPECT_EQ(seen.text, QString::fromUtf8("网络连接失败"));
  EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
  EXPECT_EQ(seen.buttons, QStringList{QString::fromUtf8("确定")});
  EXPECT_FALSE(QApplication::quitOnLastWindowClosed());

  answerNextBox(seen, press(QMessageBox::Cancel));
  EXPECT_EQ(g.messageBox("<b>1.2</b>", "发现新版本", kv::MsgButtons::OkCancel),
            kv::MsgResult::Cancel);
  EXPECT_EQ(seen.title, QString::fromUtf8("发现新版本"));
  EXPECT_EQ(seen.text, "<b>1.2</b>");
  EXPECT_EQ(seen.buttons, (QStringList{QString::fromUtf8("取消"), QString::fromUtf8("确定")}));
  answerNextBox(seen, [](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Escape); });
  EXPECT_EQ(g.messageBox("x", "t", kv::MsgButtons::OkCancel), kv::MsgResult::Cancel);

  // A huge server text is cut to what a box can show: 2000 characters or 40 lines, then "…".
  answerNextBox(seen, press(QMessageBox::Ok));
  EXPECT_EQ(g.messageBox(std::string(10 * 1024 * 1024, 'y')), kv::MsgResult::Ok);
  EXPECT_EQ(seen.text.size(), 2001);
  EXPECT_TRUE(seen.text.endsWith(QString::fromUtf8("…")));
  std::string lines;
  for (int i = 0; i < 100; ++i) lines += "line\n";
  EXPECT_EQ(kv::qt::messageBoxText(lines).count(QLatin1Char('\n')), 39);
}

TEST_F(QtGuiTest, ScreenMeasuresFollowThePrimaryScreen) {
  QScreen* s = QGuiApplication::primaryScreen();
  kv::ScreenInfo info = gui.screen();
  const double tpp = 1440.0 / s->logicalDotsPerInchX();
  EXPECT_FLOAT_EQ(info.twipsPerPixelX, static_cast<float>(tpp));
  EXPECT_DOUBLE_EQ(info.widthTwips, s->geometry().width() * tpp);
  EXPECT_DOUBLE_EQ(info.heightTwips, s->geometry().height() * tpp);
  EXPECT_EQ(info.workAreaBottomPx, s->availableGeometry().bottom() + 1);
}

// The process ends at once with its code: what was printed is flushed, no exit handler runs.
TEST_F(QtGuiTest, EndProcessStopsAtOnce) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    dup2(fds[1], STDOUT_FILENO);
    std::atexit([] { std::fputs("exit-handler", stdout); });
    std::fputs("before-end", stdout);  // still in the stdio buffer
    gui.endProcess(7);
  }
  close(fds[1]);
  std::string out;
  char buf[256];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) out.append(buf, n);
  close(fds[0]);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 7) << status;
  EXPECT_EQ(out, "before-end");
}

// The icon in `trayer`'s notification area on the test display: the tip, the bar's icon, and
// activations handed to the bar's mouse-move handler as the Windows codes (514 left button up,
// 515 double-click, 517 right up, 520 middle up) times twips per pixel.
TEST_F(QtGuiTest, TrayIconShowsTheTipAndHandsActivationsToTheWindow) {
  kv::Tray& tray = gui.tray();
  auto bar = gui.createWindow("TrayBar");
  bar->setIcon("form12/icon");
  std::vector<float> xs;
  bar->onMouseMove = [&](float x, float) { xs.push_back(x); };
  kv::TrayIconData rec;
  rec.hWnd = bar.get();
  rec.szTip = std::string("Kelvo搜") + '\0' + std::string(57, ' ');

  QProcess trayer;
  if (!QSystemTrayIcon::isSystemTrayAvailable()) {
    EXPECT_FALSE(tray.isAvailable());
    EXPECT_FALSE(tray.add(rec));
    EXPECT_FALSE(tray.isShown());
    if (QStandardPaths::findExecutable("trayer").isEmpty()) GTEST_SKIP() << "no trayer";
    trayer.start("trayer", {"--edge", "bottom", "--align", "right"});
    ASSERT_TRUE(trayer.waitForStarted(3000));
    ASSERT_TRUE(QTest::qWaitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 10000));
  }
  ASSERT_TRUE(tray.isAvailable());
  gui.qtTray().setActivationsOnly(false);
  ASSERT_TRUE(tray.add(rec));
  EXPECT_TRUE(tray.isShown());
  QSystemTrayIcon* icon = gui.qtTray().icon();
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(icon->toolTip(), QString::fromUtf8("Kelvo搜"));
  if (QFile::exists(":/pictures/form12/icon.png")) {  // the bar's own window icon
    EXPECT_EQ(icon->icon().cacheKey(), widgetOf(*bar)->windowIcon().cacheKey());
  }

  const float tpp = static_cast<float>(twipsPerPixel());
  for (auto reason : {QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick,
                      QSystemTrayIcon::Context, QSystemTrayIcon::MiddleClick})
    emit icon->activated(reason);
  gui.qtTray().setActivationsOnly(true);  // two activations are the double-click, one is not
  for (int i = 0; i < 3; ++i) emit icon->activated(QSystemTrayIcon::Trigger);
  EXPECT_EQ(xs, (std::vector<float>{514 * tpp, 515 * tpp, 517 * tpp, 520 * tpp, 514 * tpp,
                                    515 * tpp, 514 * tpp}));

  EXPECT_TRUE(tray.remove(rec));
  EXPECT_FALSE(tray.isShown());
  EXPECT_FALSE(tray.remove(rec));
  // The window goes: later activations reach nothing.
  ASSERT_TRUE(tray.add(rec));
  bar.reset();
  emit icon->activated(QSystemTrayIcon::DoubleClick);
  EXPECT_TRUE(tray.remove(rec));
  gui.qtTray().setActivationsOnly(false);
  trayer.terminate();
  trayer.waitForFinished(3000);
}

}  // namespace
