// The Qt implementation of the GUI interfaces on a real display (Xvfb): placement in twips,
// pictures read from files, clicks, text boxes, timers, message boxes, the screen and the tray.
#include <fcntl.h>
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

// Polling waits that report to gtest (the QTRY_ macros report to QTest's own log only).
#define KV_TRY_VERIFY_T(expr, ms) \
  ASSERT_TRUE(QTest::qWaitFor([&]() -> bool { return (expr); }, ms)) << "waited for: " #expr
#define KV_TRY_VERIFY(expr) KV_TRY_VERIFY_T(expr, 5000)
#define KV_TRY_COMPARE(a, b)                                                        \
  do {                                                                              \
    static_cast<void>(QTest::qWaitFor([&]() -> bool { return (a) == (b); }, 5000)); \
    ASSERT_EQ(a, b);                                                                \
  } while (0)

namespace {

using kv::qt::twipsPerPixel;

// clang-format off
QWidget* widgetOf(kv::Window& w) { return static_cast<kv::qt::QtWindow&>(w).widget(); }
QLabel* labelOf(kv::Picture& p) { return static_cast<kv::qt::QtPicture&>(p).label(); }
QLineEdit* editOf(kv::TextBox& t) { return static_cast<kv::qt::QtTextBox&>(t).lineEdit(); }
// clang-format on

// The colour in the middle of what a picture control shows.
QColor shownColour(kv::Picture& p) {
  QImage img = labelOf(p)->pixmap().toImage();
  return img.isNull() ? QColor() : img.pixelColor(img.width() / 2, img.height() / 2);
}

bool near(const QColor& a, const QColor& b) {
  return std::abs(a.red() - b.red()) < 24 && std::abs(a.green() - b.green()) < 24 &&
         std::abs(a.blue() - b.blue()) < 24;
}

void writePicture(const QString& path, QColor colour, QSize size = {60, 40}) {
  QImage img(size, QImage::Format_RGB32);
  img.fill(colour);
  ASSERT_TRUE(img.save(path, path.endsWith(".png") ? "PNG" : "JPG")) << path.toStdString();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}

class QtGuiTest : public ::testing::Test {
 protected:
  void TearDown() override {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
  }

  // A shown window of 200 x 100 pixels at 100, 100.
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

// The current directory moved into a fresh folder for one test.
class TempCwd {
 public:
  TempCwd() : old_(QDir::currentPath()) {
    EXPECT_TRUE(dir_.isValid());
    QDir::setCurrent(dir_.path());
    QDir().mkdir("img");
  }
  ~TempCwd() { QDir::setCurrent(old_); }

 private:
  QString old_;
  QTemporaryDir dir_;
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

  EXPECT_TRUE(QApplication::topLevelWidgets().contains(w));
  EXPECT_EQ(w->objectName(), "GeoForm");
  EXPECT_EQ(w->windowTitle(), QString::fromUtf8("Kelvora搜淘宝"));

  // The twips as set are kept; the widget stands on the nearest pixels.
  EXPECT_EQ(win->top(), 200.5 * tpp);
  EXPECT_EQ(win->width(), 4740);
  const QRect expected(100, 201, std::lround(4740 / tpp), std::lround(5475 / tpp));
  KV_TRY_COMPARE(w->geometry(), expected);
  EXPECT_EQ(w->frameGeometry(), expected);  // frameless: the frame is the client area

  // Moving a shown window and placing a hidden one.
  win->setLeft(300 * tpp);
  KV_TRY_COMPARE(w->geometry().topLeft(), QPoint(300, 201));
  win->hide();
  EXPECT_FALSE(win->isVisible());
  win->setTop(50 * tpp);
  win->show();
  KV_TRY_COMPARE(w->geometry().topLeft(), QPoint(300, 50));

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
  EXPECT_EQ(resizes, 1);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(widgetOf(*win)));
  win->show();
  win->setClientSize(1500, 1500);
  EXPECT_EQ(resizes, 1);
  win->setClientSize(3000, 1500);
  EXPECT_EQ(resizes, 2);

  win->setState(kv::WindowState::Minimised);
  EXPECT_EQ(win->state(), kv::WindowState::Minimised);
  EXPECT_EQ(resizes, 3);
  QCoreApplication::processEvents();
  EXPECT_EQ(resizes, 3);  // the state reported back by the display raises nothing more

  // A hidden window changes its state and stays hidden.
  win->hide();
  win->setState(kv::WindowState::Normal);
  EXPECT_EQ(resizes, 4);
  EXPECT_FALSE(win->isVisible());
  win->setState(kv::WindowState::Minimised);
  EXPECT_EQ(resizes, 5);
  EXPECT_FALSE(win->isVisible());

  win->restore();
  EXPECT_EQ(resizes, 6);
  EXPECT_TRUE(win->isVisible());
  EXPECT_EQ(win->state(), kv::WindowState::Normal);
  QCoreApplication::processEvents();
  EXPECT_EQ(resizes, 6);

  // Restoring a window never shown: one event for the first show and the state change together.
  auto fresh = gui.createWindow("ResizeForm2");
  int freshResizes = 0;
  fresh->onResize = [&] { ++freshResizes; };
  fresh->setState(kv::WindowState::Minimised);
  freshResizes = 0;
  fresh->restore();
  EXPECT_EQ(freshResizes, 1);

  // A handler that hides the window as it is minimised (the way to the tray) keeps it hidden.
  fresh->onResize = [&] {
    if (fresh->state() == kv::WindowState::Minimised) fresh->hide();
  };
  fresh->setState(kv::WindowState::Minimised);
  QCoreApplication::processEvents();
  EXPECT_FALSE(fresh->isVisible());
  fresh->restore();
  EXPECT_TRUE(fresh->isVisible());
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
  KV_TRY_COMPARE(windowMoves.size(), size_t{1});
  EXPECT_FLOAT_EQ(windowMoves[0].first, static_cast<float>(120 * tpp));
  EXPECT_FLOAT_EQ(windowMoves[0].second, static_cast<float>(30 * tpp));

  QTest::mouseMove(widgetOf(*win), QPoint(10, 20));
  KV_TRY_COMPARE(pictureMoves.size(), size_t{1});
  EXPECT_FLOAT_EQ(pictureMoves[0].first, static_cast<float>(10 * tpp));
  EXPECT_FLOAT_EQ(pictureMoves[0].second, static_cast<float>(20 * tpp));
  EXPECT_EQ(windowMoves.size(), 1u);  // a move over the picture is not the window's
}

TEST_F(QtGuiTest, PicturesAreReadFromTheCurrentDirectoryEveryTime) {
  TempCwd cwd;
  const double tpp = twipsPerPixel();
  auto win = gui.createWindow("PicForm");
  auto pic = win->createPicture("Image6");
  pic->setGeometry(0, 0, 60 * tpp, 40 * tpp);
  writePicture("img/dl0.jpg", Qt::red);

  ASSERT_TRUE(pic->loadFile("img\\dl0.jpg"));
  EXPECT_EQ(pic->source(), "img\\dl0.jpg");
  EXPECT_TRUE(near(shownColour(*pic), Qt::red));
  const qint64 shown = labelOf(*pic)->pixmap().cacheKey();

  // Failures leave the picture as it was: a missing file, random bytes, an empty file, a folder.
  EXPECT_FALSE(pic->loadFile("img\\missing.jpg"));
  writeBytes("img/bad.jpg", QByteArray("this is not a picture at all", 28).repeated(20));
  EXPECT_FALSE(pic->loadFile("img\\bad.jpg"));
  writeBytes("img/empty.jpg", QByteArray());
  EXPECT_FALSE(pic->loadFile("img\\empty.jpg"));
  EXPECT_FALSE(pic->loadFile("img"));
  EXPECT_FALSE(pic->loadFile(""));
  EXPECT_EQ(pic->source(), "img\\dl0.jpg");
  EXPECT_EQ(labelOf(*pic)->pixmap().cacheKey(), shown);

  // The same file replaced on disk, with the same time stamp, shows at the next load.
  QDateTime stamp = QFileInfo("img/dl0.jpg").lastModified();
  writePicture("img/dl0.jpg", Qt::blue);
  {
    QFile f("img/dl0.jpg");
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.setFileTime(stamp, QFileDevice::FileModificationTime);
  }
  ASSERT_TRUE(pic->loadFile("img/dl0.jpg"));
  EXPECT_TRUE(near(shownColour(*pic), Qt::blue));

  // A PNG under a .jpg name loads by its content; a picture of another size fills the control.
  writePicture("img/small.png", Qt::green, {30, 20});
  QFile::rename("img/small.png", "img/small.jpg");
  ASSERT_TRUE(pic->loadFile("img\\small.jpg"));
  EXPECT_EQ(labelOf(*pic)->pixmap().size(), QSize(60, 40));
  EXPECT_TRUE(near(shownColour(*pic), Qt::green));

  // The pictures compiled into the program, by name.
  EXPECT_FALSE(pic->loadResource("no/such/picture"));
  if (!QFile::exists(":/pictures/form1/image1.jpg")) GTEST_SKIP() << "no pictures compiled in";
  ASSERT_TRUE(pic->loadResource("form1/image1"));
  EXPECT_EQ(pic->source(), "res:form1/image1");
  EXPECT_NE(labelOf(*pic)->pixmap().cacheKey(), shown);
}

TEST_F(QtGuiTest, PictureClicksAndCursor) {
  const double tpp = twipsPerPixel();
  auto win = shownWindow("ClickForm");
  auto pic = win->createPicture("Image2");
  pic->setGeometry(10 * tpp, 10 * tpp, 80 * tpp, 40 * tpp);
  int clicks = 0;
  pic->onClick = [&] { ++clicks; };
  QLabel* label = labelOf(*pic);
  ASSERT_EQ(widgetOf(*win)->findChild<QLabel*>("Image2"), label);

  QTest::mouseClick(label, Qt::LeftButton);
  EXPECT_EQ(clicks, 1);
  QTest::mouseClick(label, Qt::RightButton);
  EXPECT_EQ(clicks, 1);
  // Pressed inside, released outside: no click.
  QTest::mousePress(label, Qt::LeftButton, {}, QPoint(5, 5));
  QTest::mouseRelease(label, Qt::LeftButton, {}, QPoint(-5, 60));
  EXPECT_EQ(clicks, 1);

  pic->setEnabled(false);
  QTest::mouseClick(label, Qt::LeftButton);
  EXPECT_EQ(clicks, 1);
  pic->setEnabled(true);
  QTest::mouseClick(label, Qt::LeftButton);
  EXPECT_EQ(clicks, 2);

  // Hidden with its window, a picture still counts as visible; hidden itself, it does not.
  win->hide();
  EXPECT_TRUE(pic->isVisible());
  win->show();
  pic->setVisible(false);
  EXPECT_FALSE(pic->isVisible());
  pic->setVisible(true);

  pic->setHandCursor(true);
  EXPECT_EQ(label->cursor().shape(), Qt::PointingHandCursor);
  pic->setHandCursor(false);
  EXPECT_NE(label->cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(QtGuiTest, TextBoxesMaskAndDisable) {
  auto win = shownWindow("TextForm");
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
  EXPECT_EQ(box->text(), "xy");

  box->setEnabled(false);
  QTest::keyClicks(edit, "z");
  EXPECT_EQ(box->text(), "xy");
  EXPECT_FALSE(edit->hasFocus());
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
  refTicks = 0;
  KV_TRY_VERIFY(refTicks >= 5);
  EXPECT_EQ(ticks, 0);

  timer->setInterval(10);
  KV_TRY_VERIFY(ticks >= 3);
  timer->setEnabled(false);
  int stopped = ticks;
  refTicks = 0;
  KV_TRY_VERIFY(refTicks >= 5);
  EXPECT_EQ(ticks, stopped);

  // A timer may go from inside its own tick.
  timer->onTick = [&] { timer.reset(); };
  timer->setEnabled(true);
  KV_TRY_VERIFY(timer == nullptr);
  refTicks = 0;
  KV_TRY_VERIFY(refTicks >= 3);
}

// Answers the next message box from inside its modal loop: records what it shows and then runs
// `answer` on it.
struct BoxAnswer {
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::Warning;
  QStringList buttons;
  bool seen = false;
};

void answerNextBox(BoxAnswer& seen, std::function<void(QMessageBox*)> answer) {
  auto* poll = new QTimer(qApp);
  QObject::connect(poll, &QTimer::timeout, [poll, &seen, answer] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(w);
      if (!box || box->objectName() != "KelvoraMessageBox" || !box->isVisible()) continue;
      poll->stop();
      poll->deleteLater();
      seen.seen = true;
      seen.title = box->windowTitle();
      seen.text = box->text();
      seen.icon = box->icon();
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
  BoxAnswer seen;
  answerNextBox(seen, [](QMessageBox* b) { b->button(QMessageBox::Ok)->click(); });
  EXPECT_EQ(g.messageBox("网络连接失败"), kv::MsgResult::Ok);
  ASSERT_TRUE(seen.seen);
  EXPECT_EQ(seen.title, "Kelvora");
  EXPECT_FALSE(QApplication::quitOnLastWindowClosed());
  EXPECT_EQ(seen.text, QString::fromUtf8("网络连接失败"));
  EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
  EXPECT_EQ(seen.buttons, QStringList{QString::fromUtf8("确定")});

  seen = {};
  answerNextBox(seen, [](QMessageBox* b) { b->button(QMessageBox::Cancel)->click(); });
  EXPECT_EQ(g.messageBox("<b>1.2</b>", "发现新版本", kv::MsgButtons::OkCancel),
            kv::MsgResult::Cancel);
  EXPECT_EQ(seen.title, QString::fromUtf8("发现新版本"));
  EXPECT_EQ(seen.text, "<b>1.2</b>");
  QStringList both{QString::fromUtf8("取消"), QString::fromUtf8("确定")};
  both.sort();
  EXPECT_EQ(seen.buttons, both);

  seen = {};
  answerNextBox(seen, [](QMessageBox* b) { b->button(QMessageBox::Ok)->click(); });
  EXPECT_EQ(g.messageBox("x", "t", kv::MsgButtons::OkCancel), kv::MsgResult::Ok);

  seen = {};
  answerNextBox(seen, [](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Escape); });
  EXPECT_EQ(g.messageBox("x", "t", kv::MsgButtons::OkCancel), kv::MsgResult::Cancel);
}

TEST_F(QtGuiTest, AHugeServerTextIsCutToWhatABoxCanShow) {
  EXPECT_EQ(kv::qt::messageBoxText("有新版本"), QString::fromUtf8("有新版本"));
  QString longText = kv::qt::messageBoxText(std::string(10 * 1024 * 1024, 'x'));
  EXPECT_EQ(longText.size(), 2001);
  EXPECT_TRUE(longText.endsWith(QString::fromUtf8("…")));
  std::string lines;
  for (int i = 0; i < 100; ++i) lines += "line\n";
  EXPECT_EQ(kv::qt::messageBoxText(lines).count(QLatin1Char('\n')), 39);

  kv::Gui& g = gui;
  BoxAnswer seen;
  answerNextBox(seen, [](QMessageBox* b) { b->button(QMessageBox::Ok)->click(); });
  EXPECT_EQ(g.messageBox(std::string(10 * 1024 * 1024, 'y')), kv::MsgResult::Ok);
  EXPECT_EQ(seen.text.size(), 2001);
}

TEST_F(QtGuiTest, ScreenMeasuresFollowThePrimaryScreen) {
  QScreen* s = QGuiApplication::primaryScreen();
  kv::ScreenInfo info = gui.screen();
  const double tpp = 1440.0 / s->logicalDotsPerInchX();
  EXPECT_FLOAT_EQ(info.twipsPerPixelX, static_cast<float>(tpp));
  EXPECT_DOUBLE_EQ(info.widthTwips, s->geometry().width() * tpp);
  EXPECT_DOUBLE_EQ(info.heightTwips, s->geometry().height() * tpp);
  EXPECT_EQ(info.workAreaBottomPx, s->availableGeometry().bottom() + 1);
  if (s->geometry().size() == QSize(1920, 1080) && tpp == 15) {
    EXPECT_EQ(info.widthTwips, 28800);
    EXPECT_EQ(info.heightTwips, 16200);
  }
}

// The process ends at once with its code: what was printed is flushed, and no exit handler runs.
TEST_F(QtGuiTest, EndProcessStopsAtOnce) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    dup2(fds[1], STDOUT_FILENO);
    close(fds[0]);
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
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 7);
  EXPECT_EQ(out, "before-end");
}

// The notification area of `trayer` on the test display.
class TrayTest : public QtGuiTest {
 protected:
  void TearDown() override {
    if (trayer_.state() != QProcess::NotRunning) {
      trayer_.terminate();
      trayer_.waitForFinished(3000);
    }
    QtGuiTest::TearDown();
  }

  bool startTrayer() {
    if (QSystemTrayIcon::isSystemTrayAvailable()) return true;
    if (QStandardPaths::findExecutable("trayer").isEmpty()) return false;
    trayer_.start("trayer", {"--edge", "bottom", "--align", "right", "--widthtype", "pixel",
                             "--width", "200", "--height", "32"});
    if (!trayer_.waitForStarted(3000)) return false;
    return QTest::qWaitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 10000);
  }

  QProcess trayer_;
};

TEST_F(TrayTest, IconShowsTheTipAndHandsActivationsToTheWindow) {
  kv::Tray& tray = gui.tray();
  auto bar = gui.createWindow("TrayBar");
  bar->setIcon("form12/icon");
  std::vector<float> xs;
  bar->onMouseMove = [&](float x, float) { xs.push_back(x); };
  kv::TrayIconData rec;
  rec.hWnd = bar.get();
  rec.szTip = std::string("Kelvo搜") + '\0' + std::string(57, ' ');

  if (!QSystemTrayIcon::isSystemTrayAvailable()) {
    EXPECT_FALSE(tray.isAvailable());
    EXPECT_FALSE(tray.add(rec));
    EXPECT_FALSE(tray.isShown());
  }
  if (!startTrayer()) GTEST_SKIP() << "no notification area";
  ASSERT_TRUE(tray.isAvailable());

  gui.qtTray().setTriggerRestores(false);
  ASSERT_TRUE(tray.add(rec));
  EXPECT_TRUE(tray.isShown());
  QSystemTrayIcon* icon = gui.qtTray().icon();
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(icon->toolTip(), QString::fromUtf8("Kelvo搜"));
  EXPECT_FALSE(icon->icon().isNull());
  if (QFile::exists(":/pictures/form12/icon.png")) {  // the bar's own window icon
    EXPECT_FALSE(widgetOf(*bar)->windowIcon().isNull());
    EXPECT_EQ(icon->icon().cacheKey(), widgetOf(*bar)->windowIcon().cacheKey());
  }

  const float tpp = static_cast<float>(twipsPerPixel());
  emit icon->activated(QSystemTrayIcon::Trigger);
  emit icon->activated(QSystemTrayIcon::DoubleClick);
  emit icon->activated(QSystemTrayIcon::Context);
  emit icon->activated(QSystemTrayIcon::MiddleClick);
  EXPECT_EQ(xs, (std::vector<float>{514 * tpp, 515 * tpp, 517 * tpp, 520 * tpp}));
  xs.clear();
  gui.qtTray().setTriggerRestores(true);  // a host that reports no double-click
  emit icon->activated(QSystemTrayIcon::Trigger);
  EXPECT_EQ(xs, std::vector<float>{515 * tpp});
  gui.qtTray().setTriggerRestores(false);

  // A real double-click on the icon in the notification area.
  if (!QStandardPaths::findExecutable("xdotool").isEmpty()) {
    QRect g;
    // Embedded, the icon stands in trayer's strip at the bottom of the screen.
    KV_TRY_VERIFY_T((g = icon->geometry()).isValid() && g.y() > 0, 5000);
    xs.clear();
    QProcess::execute("xdotool", {"mousemove", QString::number(g.center().x()),
                                  QString::number(g.center().y()), "click", "--repeat", "2", "1"});
    KV_TRY_VERIFY_T(std::count(xs.begin(), xs.end(), 515 * tpp) == 1, 5000);
    EXPECT_EQ(xs.front(), 514 * tpp);  // the first click alone
  }

  EXPECT_TRUE(tray.remove(rec));
  EXPECT_FALSE(tray.isShown());
  EXPECT_FALSE(tray.remove(rec));

  // The window goes: later activations reach nothing.
  ASSERT_TRUE(tray.add(rec));
  bar.reset();
  emit icon->activated(QSystemTrayIcon::DoubleClick);
  EXPECT_TRUE(tray.remove(rec));
}

}  // namespace
