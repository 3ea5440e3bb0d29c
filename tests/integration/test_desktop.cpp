// The windows as a window manager sees them: maps answered late, taskbar state, close requests,
// message boxes, tooltips on inactive windows.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/qt/qt_controls.h"
#include "platform/qt/qt_gui.h"
#include "platform/qt/qt_window.h"

#define KV_WAIT_FOR(expr) \
  ASSERT_TRUE(QTest::qWaitFor([&]() -> bool { return (expr); }, 5000)) << "waited for: " #expr

namespace {

template <class T>
std::unique_ptr<T, decltype(&std::free)> own(T* p) {
  return {p, &std::free};
}
QWidget* widgetOf(kv::Window& w) {
  return static_cast<kv::qt::QtWindow&>(w).widget();
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

// A window manager of its own connection: it maps `held` only when told, others at once.
struct LateWm {
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root, held = 0;
  int mapRequests = 0;  // of `held`
  ~LateWm() { xcb_disconnect(c); }
  bool take() {
    uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT;
    return !own(xcb_request_check(
        c, xcb_change_window_attributes_checked(c, root, XCB_CW_EVENT_MASK, &mask)));
  }
  void pump() {
    while (auto e = own(xcb_poll_for_event(c))) {
      auto* r = reinterpret_cast<xcb_map_request_event_t*>(e.get());
      if ((e->response_type & 0x7f) != XCB_MAP_REQUEST) continue;
      r->window == held ? void(++mapRequests) : void(xcb_map_window(c, r->window));
    }
    xcb_flush(c);
  }
};

class DesktopTest : public ::testing::Test {
 protected:
  std::unique_ptr<kv::Window> window(const char* name, bool inTaskbar) {
    auto w = gui.createWindow(name);
    w->setFrameless(true);
    w->setShowInTaskbar(inTaskbar);
    w->setClientSize(3000, 1500);
    return w;
  }
  kv::qt::QtGui gui;
};

// Shown and hidden in one handler, mapped by the window manager after the client has run its
// event loop: the window ends withdrawn.
TEST_F(DesktopTest, HideBeforeALateMapWithdrawsTheWindow) {
  LateWm wm;
  if (!wm.take()) GTEST_SKIP() << "another window manager runs";
  auto win = window("LatePage", false);
  wm.held = widgetOf(*win)->winId();
  win->show();
  win->hide();
  KV_WAIT_FOR((wm.pump(), wm.mapRequests == 1));
  for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
  EXPECT_FALSE(win->isVisible());
  xcb_map_window(wm.c, wm.held);
  KV_WAIT_FOR((wm.pump(), own(xcb_get_window_attributes_reply(
                                  wm.c, xcb_get_window_attributes(wm.c, wm.held), nullptr))
                                  ->map_state == XCB_MAP_STATE_UNMAPPED));
}

// The window manager's close (a close event) hides a window, or goes to its handler; only a window
// on the taskbar lacks the skip state. Tooltips show on a window that is not active.
TEST_F(DesktopTest, CloseRequestsTaskbarStateAndTooltips) {
  auto page = window("ClosePage", false), bar = window("CloseBar", true);
  int exits = 0;
  bar->onCloseRequest = [&] { ++exits; };
  bar->setLeft(6000);
  auto pic = bar->createPicture("Image5");
  pic->setGeometry(0, 0, 1500, 750);
  pic->setToolTip("退出");
  page->show();
  bar->show();
  EXPECT_TRUE(skipsTaskbar(x11(), widgetOf(*page)->winId()));
  EXPECT_FALSE(skipsTaskbar(x11(), widgetOf(*bar)->winId()));
  EXPECT_FALSE(widgetOf(*page)->close());
  EXPECT_FALSE(widgetOf(*bar)->close());
  EXPECT_TRUE(!page->isVisible() && exits == 1 && bar->isVisible());

  ASSERT_TRUE(QTest::qWaitForWindowExposed(widgetOf(*bar)));
  ASSERT_FALSE(widgetOf(*bar)->isActiveWindow());
  QCursor::setPos(0, 0);  // away first: a move onto the label starts the tooltip
  QCursor::setPos(static_cast<kv::qt::QtPicture&>(*pic).label()->mapToGlobal(QPoint(20, 20)));
  KV_WAIT_FOR(QToolTip::isVisible() && QToolTip::text() == QString::fromUtf8("退出"));
}

// A box belongs to the active window: transient for it, off the taskbar, no button icons.
TEST_F(DesktopTest, MessageBoxesBelongToTheActiveWindow) {
  auto owner = window("BoxOwner", false);
  owner->show();
  QWidget* ow = widgetOf(*owner);
  ow->activateWindow();
  KV_WAIT_FOR(QApplication::activeWindow() == ow);
  bool belongs = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->windowHandle() || !box->windowHandle()->isExposed()) return;
    poll.stop();
    belongs =
        property(x11(), box->winId(), "WM_TRANSIENT_FOR") == std::vector{uint32_t(ow->winId())};
    belongs &= skipsTaskbar(x11(), box->winId());
    for (QAbstractButton* b : box->buttons()) belongs &= b->icon().isNull();
    box->button(QMessageBox::Ok)->click();
  });
  poll.start(10);
  EXPECT_EQ(gui.messageBox("x", "发现新版本"), kv::MsgResult::Ok);
  EXPECT_TRUE(belongs);
}

}  // namespace
