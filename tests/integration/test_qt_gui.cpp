// The Qt implementation of the GUI interfaces on a real display (Xvfb), and its windows as a
// window manager sees them: late maps, taskbar state, close requests, message boxes.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <poll.h>
#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

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

template <class T>
std::unique_ptr<T, decltype(&std::free)> own(T* p) {
  return {p, &std::free};
}
xcb_connection_t* x11() {
  return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}
xcb_atom_t atom(xcb_connection_t* c, const char* name) {
  auto r = own(xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr));
  return r ? r->atom : 0;
}
std::vector<uint32_t> property(xcb_connection_t* c, xcb_window_t w, const char* name) {
  auto r = own(xcb_get_property_reply(
      c, xcb_get_property(c, 0, w, atom(c, name), XCB_GET_PROPERTY_TYPE_ANY, 0, 32), nullptr));
  auto* v = static_cast<uint32_t*>(r ? xcb_get_property_value(r.get()) : nullptr);
  return {v, v + (r ? xcb_get_property_value_length(r.get()) / 4 : 0)};
}
bool skipsTaskbar(xcb_connection_t* c, xcb_window_t w) {
  auto s = property(c, w, "_NET_WM_STATE");
  return std::count(s.begin(), s.end(), atom(c, "_NET_WM_STATE_SKIP_TASKBAR")) == 1 &&
         std::count(s.begin(), s.end(), atom(c, "_NET_WM_STATE_SKIP_PAGER")) == 1;
}

// A window manager of its own connection: it maps `held` only when told (or, when `mapHeldAt` is
// set, once that time has come), others at once (at `mapAt` when set, wherever they asked to
// be), and records the activations and withdrawals it is asked for. It takes no move. A minimise
// request marks the window iconic (WM_STATE), and unmaps it when `honourMinimise`. It runs where
// pump() is called, or in a thread of its own after run().
struct LateWm {
  struct Activation {
    uint32_t window, source, time;
    bool operator==(const Activation&) const = default;
  };
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root, held = 0;
  const xcb_atom_t activeAtom = atom(c, "_NET_ACTIVE_WINDOW");
  std::optional<std::chrono::steady_clock::time_point> mapHeldAt;
  std::optional<std::pair<int16_t, int16_t>> mapAt;
  bool honourMinimise = false;
  std::mutex mutex;     // guards what follows while the thread runs
  int mapRequests = 0;  // of `held`
  bool heldMapped = false;
  std::vector<xcb_window_t> withdrawn;
  std::vector<Activation> activations;
  int minimiseRequests = 0;
  std::atomic<bool> stop = false;
  std::thread thread;

  ~LateWm() {
    stop = true;
    if (thread.joinable()) thread.join();
    xcb_delete_property(c, root, atom(c, "_NET_SUPPORTED"));
    xcb_disconnect(c);
  }
  bool take() {
    uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT;
    return !own(xcb_request_check(
        c, xcb_change_window_attributes_checked(c, root, XCB_CW_EVENT_MASK, &mask)));
  }
  void supportActivation() {
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, root, atom(c, "_NET_SUPPORTED"), XCB_ATOM_ATOM,
                        32, 1, &activeAtom);
    xcb_flush(c);
  }
  void pump() {
    std::lock_guard lock(mutex);
    while (auto e = own(xcb_poll_for_event(c))) {
      const uint8_t type = e->response_type & 0x7f;
      if (type == XCB_MAP_REQUEST) {
        auto* r = reinterpret_cast<xcb_map_request_event_t*>(e.get());
        if (r->window == held) {
          ++mapRequests;
          continue;
        }
        xcb_map_window(c, r->window);
        if (mapAt) {
          const uint32_t at[] = {uint32_t(mapAt->first), uint32_t(mapAt->second)};
          xcb_configure_window(c, r->window, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, at);
        }
      } else if (type == XCB_UNMAP_NOTIFY && (e->response_type & 0x80)) {  // sent: a withdrawal
        withdrawn.push_back(reinterpret_cast<xcb_unmap_notify_event_t*>(e.get())->window);
      } else if (type == XCB_CLIENT_MESSAGE) {
        auto* m = reinterpret_cast<xcb_client_message_event_t*>(e.get());
        if (m->type == activeAtom)
          activations.push_back({m->window, m->data.data32[0], m->data.data32[1]});
        if (m->type == atom(c, "WM_CHANGE_STATE") && m->data.data32[0] == 3 /* iconic */) {
          ++minimiseRequests;
          setState(m->window, 3);
          if (honourMinimise) xcb_unmap_window(c, m->window);
        }
      }
    }
    if (mapHeldAt && mapRequests > 0 && !heldMapped &&
        std::chrono::steady_clock::now() >= *mapHeldAt) {
      xcb_map_window(c, held);
      heldMapped = true;
    }
    xcb_flush(c);
  }
  void setState(xcb_window_t w, uint32_t state) {  // WM_STATE: normal 1, iconic 3
    const uint32_t value[] = {state, XCB_NONE};
    const xcb_atom_t wmState = atom(c, "WM_STATE");
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, wmState, wmState, 32, 2, value);
    xcb_flush(c);
  }
  void run() {
    thread = std::thread([this] {
      while (!stop) {
        pump();
        pollfd p{xcb_get_file_descriptor(c), POLLIN, 0};
        ::poll(&p, 1, 20);
      }
    });
  }
};

class QtGuiTest : public ::testing::Test {
 protected:
  void TearDown() override {
    kv::qt::QtWindow::forgetRefusedPlaces();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
  }

  // A frameless window of 200 x 100 pixels, hidden, on the taskbar or not.
  std::unique_ptr<kv::Window> window(const char* name, bool inTaskbar) {
    auto w = gui.createWindow(name);
    w->setFrameless(true);
    w->setShowInTaskbar(inTaskbar);
    w->setClientSize(200 * twipsPerPixel(), 100 * twipsPerPixel());
    return w;
  }

  kv::qt::QtGui gui;
};

TEST_F(QtGuiTest, WindowStandsWhereItsTwipsSayAndRaisesResizeOnceForEachChange) {
  const double tpp = twipsPerPixel();
  ASSERT_DOUBLE_EQ(tpp, 1440.0 / QGuiApplication::primaryScreen()->logicalDotsPerInchX());
  auto win = gui.createWindow("GeoForm");
  int resizes = 0;
  win->onResize = [&] { ++resizes; };
  win->setFrameless(true);
  win->setCaption("Kelvora搜淘宝");
  win->setClientSize(4740, 5475);
  win->setLeft(100 * tpp);
  win->setTop(200.5 * tpp);
  EXPECT_EQ(resizes, 0);  // not before the first show
  win->show();
  QWidget* w = widgetOf(*win);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
  EXPECT_EQ(w->windowTitle(), QString::fromUtf8("Kelvora搜淘宝"));

  // The twips as set are kept; the widget stands on the nearest pixels, frame and all.
  EXPECT_EQ(win->top(), 200.5 * tpp);
  EXPECT_EQ(win->width(), 4740);
  const QRect expected(100, 201, std::lround(4740 / tpp), std::lround(5475 / tpp));
  KV_WAIT_FOR(w->geometry() == expected);
  EXPECT_EQ(w->frameGeometry(), expected);

  win->show();
  win->setClientSize(4740, 5475);
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

  // Changes made by the window manager raise it too; the handler may act on the window inside
  // them as the bar does: hide it when minimised (to the tray), or restore it (on the taskbar).
  bool toTray = true;
  win->onResize = [&] {
    ++resizes;
    const bool minimised = win->state() == kv::WindowState::Minimised;
    if (minimised && toTray) win->hide();
    if (!minimised && !toTray) win->restore();
  };
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
  // Shown again, a window the window manager minimised comes back in its normal state.
  w->setWindowState(w->windowState() | Qt::WindowMinimized);
  win->show();
  EXPECT_FALSE(w->isMinimized());
}

// The moves go through the window system interface of this process, not the display's shared
// pointer, which other programs on the display may move or cover.
TEST_F(QtGuiTest, PicturesTakeMovesAndClicksApartFromTheWindowAndTextBoxesMask) {
  const double tpp = twipsPerPixel();
  auto win = window("MoveForm", true);
  win->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(widgetOf(*win)));
  auto pic = win->createPicture("Image1");
  pic->setGeometry(0, 0, 50 * tpp, 50 * tpp);
  std::vector<std::pair<float, float>> windowMoves, pictureMoves;
  win->onMouseMove = [&](float x, float y) { windowMoves.push_back({x, y}); };
  pic->onMouseMove = [&](float x, float y) { pictureMoves.push_back({x, y}); };
  QWindow* handle = widgetOf(*win)->windowHandle();
  QTest::mouseMove(handle, QPoint(120, 30));
  QTest::mouseMove(handle, QPoint(10, 20));
  const auto twips = [&](int x, int y) {
    return std::pair{static_cast<float>(x * tpp), static_cast<float>(y * tpp)};
  };
  auto has = [](const auto& moves, auto move) {
    return std::find(moves.begin(), moves.end(), move) != moves.end();
  };
  KV_WAIT_FOR(has(pictureMoves, twips(10, 20)));
  EXPECT_TRUE(has(windowMoves, twips(120, 30)));
  for (auto [x, y] : windowMoves)  // a move over the picture is not the window's
    EXPECT_FALSE(x < 50 * tpp && y < 50 * tpp) << x << ", " << y;

  int clicks = 0;
  pic->onClick = [&] { ++clicks; };
  QLabel* label = labelOf(*pic);
  ASSERT_EQ(widgetOf(*win)->findChild<QLabel*>("Image1"), label);
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
  QLineEdit* edit = static_cast<kv::qt::QtTextBox&>(*box).lineEdit();
  EXPECT_FALSE(edit->hasFrame());
  EXPECT_EQ(edit->font().pixelSize(), std::lround(std::lround(270 / tpp) * 2.0 / 3));
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
}

// Answers the next message box from inside its modal loop, once it is on screen.
void answerNextBox(std::function<void(QMessageBox*)> answer) {
  auto* poll = new QTimer(qApp);
  QObject::connect(poll, &QTimer::timeout, [poll, answer] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->windowHandle() || !box->windowHandle()->isExposed()) return;
    poll->deleteLater();
    poll->stop();
    answer(box);
  });
  poll->start(10);
}

// A box shows no icon and belongs to the active window (transient, off the taskbar, no button
// icons). A close event hides a window, or goes to its handler; only the taskbar's lacks skip
// state.
TEST_F(QtGuiTest, MessageBoxesAndCloseRequests) {
  auto owner = window("BoxOwner", false), bar = window("CloseBar", true);
  owner->show();
  QWidget* ow = widgetOf(*owner);
  ow->activateWindow();
  KV_WAIT_FOR(QApplication::activeWindow() == ow);
  QString title, text;
  QStringList buttons;
  bool belongs = false;
  auto press = [&](QMessageBox::StandardButton b) {
    return [&, b](QMessageBox* box) {
      title = box->windowTitle();
      text = box->text();
      belongs =
          box->icon() == QMessageBox::NoIcon && skipsTaskbar(x11(), box->winId()) &&
          property(x11(), box->winId(), "WM_TRANSIENT_FOR") == std::vector{uint32_t(ow->winId())};
      buttons.clear();
      for (QAbstractButton* x : box->buttons()) {
        buttons << x->text();
        belongs &= x->icon().isNull();
      }
      buttons.sort();
      box->button(b)->click();
    };
  };
  kv::Gui& g = gui;
  answerNextBox(press(QMessageBox::Ok));
  EXPECT_EQ(g.messageBox("网络连接失败"), kv::MsgResult::Ok);
  EXPECT_TRUE(belongs);
  EXPECT_EQ(title, "Kelvora");
  EXPECT_EQ(text, QString::fromUtf8("网络连接失败"));
  EXPECT_EQ(buttons, QStringList{QString::fromUtf8("确定")});
  EXPECT_FALSE(QApplication::quitOnLastWindowClosed());

  answerNextBox(press(QMessageBox::Cancel));
  EXPECT_EQ(g.messageBox("<b>1.2</b>", "发现新版本", kv::MsgButtons::OkCancel),
            kv::MsgResult::Cancel);
  EXPECT_EQ(title, QString::fromUtf8("发现新版本"));
  EXPECT_EQ(text, "<b>1.2</b>");
  EXPECT_EQ(buttons, (QStringList{QString::fromUtf8("取消"), QString::fromUtf8("确定")}));
  answerNextBox([](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Escape); });
  EXPECT_EQ(g.messageBox("x", "t", kv::MsgButtons::OkCancel), kv::MsgResult::Cancel);

  // A huge server text is cut to what a box can show: 2000 characters or 40 lines, then "…".
  answerNextBox(press(QMessageBox::Ok));
  EXPECT_EQ(g.messageBox(std::string(10 * 1024 * 1024, 'y')), kv::MsgResult::Ok);
  EXPECT_EQ(text.size(), 2001);
  EXPECT_TRUE(text.endsWith(QString::fromUtf8("…")));
  EXPECT_EQ(kv::qt::messageBoxText(QByteArray("line\n").repeated(100).toStdString())
                .count(QLatin1Char('\n')),
            39);

  int exits = 0;
  bar->onCloseRequest = [&] { ++exits; };
  bar->show();
  EXPECT_TRUE(skipsTaskbar(x11(), ow->winId()));
  EXPECT_FALSE(skipsTaskbar(x11(), widgetOf(*bar)->winId()));
  EXPECT_FALSE(ow->close());
  EXPECT_FALSE(widgetOf(*bar)->close());
  EXPECT_TRUE(!owner->isVisible() && exits == 1 && bar->isVisible());
}

// The icon in `trayer`'s notification area: the tip, the bar's icon, and activations handed to the
// bar's mouse-move handler as codes (514 left up, 515 double, 517 right up, 520 middle up) x twips.
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

// Shown and hidden in one handler, mapped late by the window manager: the hide waits for the
// map, so the window ends withdrawn.
TEST_F(QtGuiTest, HideBeforeALateMapWithdrawsTheWindow) {
  LateWm wm;
  if (!wm.take()) GTEST_SKIP() << "another window manager runs";
  auto win = window("LatePage", false);
  wm.held = widgetOf(*win)->winId();
  wm.run();
  win->show();
  {
    std::lock_guard lock(wm.mutex);  // the map comes once the hide has begun
    wm.mapHeldAt = std::chrono::steady_clock::now();
  }
  win->hide();
  EXPECT_FALSE(win->isVisible());
  KV_WAIT_FOR((std::lock_guard(wm.mutex), wm.heldMapped));
  auto state = own(xcb_get_window_attributes_reply(wm.c, xcb_get_window_attributes(wm.c, wm.held),
                                                   nullptr));  // after the map
  ASSERT_TRUE(state);
  EXPECT_EQ(state->map_state, XCB_MAP_STATE_UNMAPPED);
}

// A click that shows a window has it activated once the window manager has mapped it, as the
// user's request with the click's time; a window shown outside a click is not activated. A window
// shown and hidden in the click that the window manager never maps is withdrawn after the hide's
// bounded wait, never activated, and the program goes on.
TEST_F(QtGuiTest, ClickActivatesTheWindowItShowsAndAHideWaitsBoundedForTheMap) {
  const double tpp = twipsPerPixel();
  LateWm wm;
  if (!wm.take()) GTEST_SKIP() << "another window manager runs";
  wm.supportActivation();
  auto bar = window("ClickBar", true), page = window("ClickedPage", false),
       flash = window("FlashPage", false);
  wm.held = widgetOf(*flash)->winId();
  // A hide that waited with no bound would end only here, after the bounded wait's five seconds.
  wm.mapHeldAt = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  wm.run();
  bar->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(widgetOf(*bar)));
  auto tab = bar->createPicture("Tab");
  tab->setGeometry(0, 0, 50 * tpp, 50 * tpp);
  bool wentOn = false;
  tab->onClick = [&] {
    flash->show();
    flash->hide();
    page->show();
    wentOn = true;
  };
  QLabel* label = labelOf(*tab);
  const QPointF at(5, 5);
  QMouseEvent press(QEvent::MouseButtonPress, at, label->mapToGlobal(at), Qt::LeftButton,
                    Qt::LeftButton, {});
  QMouseEvent release(QEvent::MouseButtonRelease, at, label->mapToGlobal(at), Qt::LeftButton,
                      Qt::NoButton, {});
  release.setTimestamp(4242);
  QApplication::sendEvent(label, &press);
  QApplication::sendEvent(label, &release);
  EXPECT_TRUE(wentOn);
  EXPECT_FALSE(flash->isVisible());
  const auto pageId = static_cast<uint32_t>(widgetOf(*page)->winId());
  KV_WAIT_FOR((std::lock_guard(wm.mutex), !wm.activations.empty()));
  std::lock_guard lock(wm.mutex);
  EXPECT_EQ(wm.activations, (std::vector<LateWm::Activation>{{pageId, 2, 4242}}));
  EXPECT_EQ(wm.mapRequests, 1);
  EXPECT_FALSE(wm.heldMapped);
  EXPECT_EQ(std::count(wm.withdrawn.begin(), wm.withdrawn.end(), wm.held), 1);
}

// Counts the property notifications of WM_STATE on one window that reach the application.
struct WmStateWatch : QAbstractNativeEventFilter {
  explicit WmStateWatch(xcb_window_t w) : window(w) {
    QCoreApplication::instance()->installNativeEventFilter(this);
  }
  ~WmStateWatch() override { QCoreApplication::instance()->removeNativeEventFilter(this); }
  bool nativeEventFilter(const QByteArray&, void* message, qintptr*) override {
    auto* e = static_cast<xcb_generic_event_t*>(message);
    if ((e->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
      auto* p = reinterpret_cast<xcb_property_notify_event_t*>(e);
      if (p->window == window && p->atom == atom(x11(), "WM_STATE")) ++seen;
    }
    return false;
  }
  xcb_window_t window;
  int seen = 0;
};

// A window manager that puts every window elsewhere than asked: the window on the taskbar leaves
// its hands and stands at its own place above the others, which keep a fixed size (a tiling
// window manager floats them), and stays above a window mapped later.
TEST_F(QtGuiTest, WhereTheWindowManagerRefusesPlacesTheTaskbarWindowStaysAtItsPlaceOnTop) {
  const double tpp = twipsPerPixel();
  LateWm wm;
  if (!wm.take()) GTEST_SKIP() << "another window manager runs";
  wm.mapAt = {{7, 9}};
  wm.run();
  kv::qt::QtWindow::forgetRefusedPlaces();
  auto bar = window("RefusedBar", true), page = window("RefusedPage", false),
       later = window("LaterPage", false);
  bar->setLeft(100 * tpp);
  bar->setTop(50 * tpp);
  page->setLeft(300 * tpp);
  page->setTop(200 * tpp);
  bar->show();
  page->show();
  KV_WAIT_FOR(kv::qt::QtWindow::placesRefused());

  auto id = [](kv::Window& w) { return static_cast<xcb_window_t>(widgetOf(w)->winId()); };
  auto bypassesAt = [&](xcb_window_t w, int16_t x, int16_t y) {
    auto a =
        own(xcb_get_window_attributes_reply(x11(), xcb_get_window_attributes(x11(), w), nullptr));
    auto g = own(xcb_get_geometry_reply(x11(), xcb_get_geometry(x11(), w), nullptr));
    return a && g && a->override_redirect && a->map_state == XCB_MAP_STATE_VIEWABLE && g->x == x &&
           g->y == y;
  };
  auto above = [&](xcb_window_t top, xcb_window_t below) {
    auto t = own(xcb_query_tree_reply(x11(), xcb_query_tree(x11(), wm.root), nullptr));
    if (!t) return false;
    xcb_window_t* ch = xcb_query_tree_children(t.get());
    xcb_window_t* end = ch + xcb_query_tree_children_length(t.get());
    return std::find(ch, end, below) < std::find(ch, end, top) && std::find(ch, end, top) != end;
  };
  KV_WAIT_FOR(bypassesAt(id(*bar), 100, 50));
  KV_WAIT_FOR(above(id(*bar), id(*page)));
  EXPECT_TRUE(bar->isVisible());
  EXPECT_EQ(widgetOf(*page)->pos(), QPoint(7, 9));  // where the window manager keeps it
  later->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(widgetOf(*later)));
  KV_WAIT_FOR(above(id(*bar), id(*later)));
  const QSize size(200, 100);
  EXPECT_EQ(widgetOf(*later)->minimumSize(), size);
  EXPECT_EQ(widgetOf(*later)->maximumSize(), size);
}

// A minimise the window manager marks and then undoes while the window stays on the screen raises
// no restore at once (the bar would bounce back to the home view): the user's next press on the
// window does, and does nothing else. A minimise that took the window off the screen is restored
// by the window manager at once, as from a taskbar.
TEST_F(QtGuiTest, AMinimiseUndoneOnTheScreenIsTakenBackAtThePressOnTheWindow) {
  const double tpp = twipsPerPixel();
  LateWm wm;
  if (!wm.take()) GTEST_SKIP() << "another window manager runs";
  wm.run();
  auto bar = window("UndoBar", true);
  int resizes = 0, clicks = 0;
  bar->onResize = [&] { ++resizes; };
  bar->show();
  QWidget* w = widgetOf(*bar);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
  auto tab = bar->createPicture("Tab");
  tab->setGeometry(0, 0, 50 * tpp, 50 * tpp);
  tab->onClick = [&] { ++clicks; };
  const auto barId = static_cast<xcb_window_t>(w->winId());
  WmStateWatch watch(barId);

  resizes = 0;
  bar->setState(kv::WindowState::Minimised);
  EXPECT_EQ(resizes, 1);
  KV_WAIT_FOR(watch.seen == 1);  // iconic, read by the application
  {
    std::lock_guard lock(wm.mutex);
    EXPECT_EQ(wm.minimiseRequests, 1);
    wm.setState(barId, 1);  // and normal again
  }
  KV_WAIT_FOR(!w->isMinimized());
  EXPECT_EQ(resizes, 1);
  EXPECT_EQ(bar->state(), kv::WindowState::Normal);
  QTest::mouseClick(w->windowHandle(), Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(resizes, 2);
  EXPECT_EQ(clicks, 0);
  QTest::mouseClick(w->windowHandle(), Qt::LeftButton, {}, QPoint(5, 5), 1000);
  EXPECT_EQ(resizes, 2);
  EXPECT_EQ(clicks, 1);

  // Minimised off the screen, then mapped and marked normal by the window manager.
  {
    std::lock_guard lock(wm.mutex);
    wm.honourMinimise = true;
  }
  bar->setState(kv::WindowState::Minimised);
  EXPECT_EQ(resizes, 3);
  KV_WAIT_FOR(!w->windowHandle()->isExposed() && watch.seen == 3);
  {
    std::lock_guard lock(wm.mutex);
    xcb_map_window(wm.c, barId);
    wm.setState(barId, 1);
  }
  KV_WAIT_FOR(resizes == 4);
  EXPECT_EQ(bar->state(), kv::WindowState::Normal);
}

}  // namespace
