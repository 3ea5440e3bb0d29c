#include "platform/qt/qt_x11.h"

#include <xcb/xcb.h>

#include <poll.h>

#include <QGuiApplication>
#include <QPoint>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

namespace kv::qt::x11 {

namespace {

xcb_connection_t* connection() {
  if (!isActive()) return nullptr;
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 ? x11->connection() : nullptr;
}

xcb_window_t rootOf(xcb_connection_t* c) {
  return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

xcb_atom_t internAtom(xcb_connection_t* c, const char* name) {
  xcb_intern_atom_reply_t* r =
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr);
  xcb_atom_t atom = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
  std::free(r);
  return atom;
}

// An EWMH request to the window manager about `window`.
void sendToRoot(xcb_connection_t* c, xcb_window_t window, xcb_atom_t type,
                std::initializer_list<uint32_t> data) {
  xcb_client_message_event_t event{};
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = 32;
  event.window = window;
  event.type = type;
  int i = 0;
  for (uint32_t d : data) event.data.data32[i++] = d;
  xcb_send_event(c, 0, rootOf(c),
                 XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                 reinterpret_cast<const char*>(&event));
}

template <class T>
std::unique_ptr<T, decltype(&std::free)> own(T* p) {
  return {p, &std::free};
}

// Whether the window manager names this EWMH atom among those it supports.
bool supported(xcb_connection_t* c, const char* name) {
  constexpr uint32_t kMaxAtoms = 4096;
  const xcb_atom_t wanted = internAtom(c, name);
  auto r =
      own(xcb_get_property_reply(c,
                                 xcb_get_property(c, 0, rootOf(c), internAtom(c, "_NET_SUPPORTED"),
                                                  XCB_ATOM_ATOM, 0, kMaxAtoms),
                                 nullptr));
  if (!r || r->format != 32 || wanted == XCB_ATOM_NONE) return false;
  auto* atoms = static_cast<xcb_atom_t*>(xcb_get_property_value(r.get()));
  const int n = xcb_get_property_value_length(r.get()) / 4;
  return std::find(atoms, atoms + n, wanted) != atoms + n;
}

}  // namespace

bool isActive() {
  return qGuiApp && QGuiApplication::platformName() == QLatin1String("xcb");
}

// Before the map: Qt adds the states it sets at the map to what the property holds; anything left
// from an earlier map is dropped here. Once mapped: the EWMH request to the window manager.
void skipTaskbar(QWidget* widget, bool mapped) {
  xcb_connection_t* c = connection();
  if (!widget || !c) return;
  static const xcb_atom_t state = internAtom(c, "_NET_WM_STATE");
  static const xcb_atom_t skip[] = {internAtom(c, "_NET_WM_STATE_SKIP_TASKBAR"),
                                    internAtom(c, "_NET_WM_STATE_SKIP_PAGER")};
  const auto window = static_cast<xcb_window_t>(widget->winId());
  if (!mapped)
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, state, XCB_ATOM_ATOM, 32, 2, skip);
  else
    sendToRoot(c, window, state, {1 /* add */, skip[0], skip[1], 1 /* from an application */});
  xcb_flush(c);
}

bool mapsRedirected() {
  xcb_connection_t* c = connection();
  if (!c) return false;
  auto* r = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, rootOf(c)), nullptr);
  const bool redirected = r && (r->all_event_masks & XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT);
  std::free(r);
  return redirected;
}

std::optional<QPoint> screenPosition(QWidget* widget) {
  xcb_connection_t* c = connection();
  if (!widget || !c) return std::nullopt;
  auto* r = xcb_translate_coordinates_reply(
      c, xcb_translate_coordinates(c, static_cast<xcb_window_t>(widget->winId()), rootOf(c), 0, 0),
      nullptr);
  if (!r) return std::nullopt;
  const QPoint at(r->dst_x, r->dst_y);
  std::free(r);
  return at;
}

bool requestActivation(QWidget* widget, unsigned long time) {
  xcb_connection_t* c = connection();
  if (!widget || !c || !mapsRedirected() || !supported(c, "_NET_ACTIVE_WINDOW")) return false;
  static const xcb_atom_t active = internAtom(c, "_NET_ACTIVE_WINDOW");
  constexpr uint32_t kFromPager = 2;
  sendToRoot(c, static_cast<xcb_window_t>(widget->winId()), active,
             {kFromPager, static_cast<uint32_t>(time), XCB_NONE});
  xcb_flush(c);
  return true;
}

bool waitForMap(QWidget* widget, int ms) {
  xcb_connection_t* qt = connection();
  if (!widget || !qt) return false;
  xcb_flush(qt);  // the map request itself
  const auto window = static_cast<xcb_window_t>(widget->winId());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  // The map is seen on a connection of this wait alone: its event mask on the window goes with
  // it. Selected before the state is read, a map either shows in the state or comes as an event.
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  bool mapped = false, gone = false;
  if (!xcb_connection_has_error(c)) {
    const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, window, XCB_CW_EVENT_MASK, &mask);
    auto a = own(xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
    mapped = a && a->map_state != XCB_MAP_STATE_UNMAPPED;
    gone = !a;
  }
  while (!mapped && !gone && !xcb_connection_has_error(c)) {
    while (auto e = own(xcb_poll_for_event(c))) {
      const uint8_t type = e->response_type & 0x7f;
      if (type == XCB_MAP_NOTIFY)
        mapped = mapped || reinterpret_cast<xcb_map_notify_event_t*>(e.get())->window == window;
      gone = gone || type == XCB_DESTROY_NOTIFY;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (mapped || gone || left.count() <= 0) break;
    pollfd p{xcb_get_file_descriptor(c), POLLIN, 0};
    ::poll(&p, 1, static_cast<int>(left.count()) + 1);
  }
  xcb_disconnect(c);
  return mapped;
}

}  // namespace kv::qt::x11
