#include "platform/qt/qt_x11.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWidget>
#include <cstdlib>
#include <cstring>

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

}  // namespace kv::qt::x11
