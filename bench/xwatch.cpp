#include "bench/xwatch.h"

#include <poll.h>
#include <xcb/xcb.h>

#include <atomic>
#include <cstdlib>
#include <map>
#include <mutex>
#include <thread>

namespace kv::bench {

struct XWatch::Impl {
  xcb_connection_t* conn = nullptr;
  xcb_window_t root = 0;
  std::thread thread;
  std::atomic<bool> stop{false};
  mutable std::mutex mutex;
  std::vector<XEvent> events;

  void add(XEvent e) {
    std::lock_guard<std::mutex> lock(mutex);
    events.push_back(e);
  }

  void run() {
    const int fd = xcb_get_file_descriptor(conn);
    while (!stop) {
      pollfd p{fd, POLLIN, 0};
      poll(&p, 1, 50);
      while (xcb_generic_event_t* ev = xcb_poll_for_event(conn)) {
        const auto now = Clock::now();
        switch (ev->response_type & ~0x80) {
          case XCB_CREATE_NOTIFY: {
            auto* e = reinterpret_cast<xcb_create_notify_event_t*>(ev);
            if (e->parent == root)
              add({now, XEvent::Create, e->window, e->x, e->y, e->width, e->height});
            break;
          }
          case XCB_MAP_NOTIFY: {
            auto* e = reinterpret_cast<xcb_map_notify_event_t*>(ev);
            if (e->event == root) add({now, XEvent::Map, e->window});
            break;
          }
          case XCB_UNMAP_NOTIFY: {
            auto* e = reinterpret_cast<xcb_unmap_notify_event_t*>(ev);
            if (e->event == root) add({now, XEvent::Unmap, e->window});
            break;
          }
          case XCB_CONFIGURE_NOTIFY: {
            auto* e = reinterpret_cast<xcb_configure_notify_event_t*>(ev);
            if (e->event == root)
              add({now, XEvent::Configure, e->window, e->x, e->y, e->width, e->height});
            break;
          }
          case XCB_DESTROY_NOTIFY: {
            auto* e = reinterpret_cast<xcb_destroy_notify_event_t*>(ev);
            if (e->event == root) add({now, XEvent::Destroy, e->window});
            break;
          }
          default:
            break;
        }
        std::free(ev);
      }
      if (xcb_connection_has_error(conn)) break;
    }
  }
};

XWatch::XWatch() : impl_(std::make_unique<Impl>()) {}

XWatch::~XWatch() {
  stop();
}

bool XWatch::start() {
  int screenNumber = 0;
  impl_->conn = xcb_connect(nullptr, &screenNumber);
  if (!impl_->conn || xcb_connection_has_error(impl_->conn)) return false;
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(impl_->conn));
  for (int i = 0; i < screenNumber; ++i) xcb_screen_next(&it);
  impl_->root = it.data->root;
  const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_void_cookie_t c =
      xcb_change_window_attributes_checked(impl_->conn, impl_->root, XCB_CW_EVENT_MASK, &mask);
  if (xcb_generic_error_t* err = xcb_request_check(impl_->conn, c)) {
    std::free(err);
    return false;
  }
  impl_->thread = std::thread([this] { impl_->run(); });
  return true;
}

void XWatch::stop() {
  if (!impl_ || !impl_->conn) return;
  impl_->stop = true;
  if (impl_->thread.joinable()) impl_->thread.join();
  xcb_disconnect(impl_->conn);
  impl_->conn = nullptr;
}

std::vector<XEvent> XWatch::events() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->events;
}

std::optional<Clock::time_point> XWatch::lastEvent() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  if (impl_->events.empty()) return std::nullopt;
  return impl_->events.back().at;
}

namespace {

struct WindowState {
  bool mapped = false;
  int x = 0, y = 0, width = 0, height = 0;
  Clock::time_point changed;  // last change of the mapped state, place or size
  bool alive = true;
};

double msBetween(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

// The windows created at or after `since`, replayed to the end of `events`.
std::map<uint32_t, WindowState> replay(const std::vector<XEvent>& events, Clock::time_point since) {
  std::map<uint32_t, WindowState> windows;
  for (const XEvent& e : events) {
    if (e.kind == XEvent::Create) {
      if (e.at < since) continue;
      windows[e.window] = {false, e.x, e.y, e.width, e.height, e.at, true};
      continue;
    }
    auto it = windows.find(e.window);
    if (it == windows.end()) continue;
    WindowState& w = it->second;
    switch (e.kind) {
      case XEvent::Map:
        if (!w.mapped) w.changed = e.at;
        w.mapped = true;
        break;
      case XEvent::Unmap:
        if (w.mapped) w.changed = e.at;
        w.mapped = false;
        break;
      case XEvent::Configure:
        if (e.x != w.x || e.y != w.y || e.width != w.width || e.height != w.height)
          w.changed = e.at;
        w.x = e.x;
        w.y = e.y;
        w.width = e.width;
        w.height = e.height;
        break;
      case XEvent::Destroy:
        w.alive = false;
        w.mapped = false;
        break;
      default:
        break;
    }
  }
  return windows;
}

}  // namespace

std::optional<double> laidOutMs(const std::vector<XEvent>& events, Clock::time_point since,
                                int* count) {
  std::optional<Clock::time_point> last;
  int n = 0;
  for (const auto& [id, w] : replay(events, since)) {
    if (!w.alive || !w.mapped) continue;
    ++n;
    if (!last || w.changed > *last) last = w.changed;
  }
  if (count) *count = n;
  if (!last) return std::nullopt;
  return msBetween(since, *last);
}

std::optional<double> firstMapMs(const std::vector<XEvent>& events, Clock::time_point since,
                                 int minSide) {
  std::map<uint32_t, WindowState> windows;
  for (const XEvent& e : events) {
    if (e.kind == XEvent::Create) {
      if (e.at >= since) windows[e.window] = {false, e.x, e.y, e.width, e.height, e.at, true};
      continue;
    }
    auto it = windows.find(e.window);
    if (it == windows.end()) continue;
    if (e.kind == XEvent::Configure) {
      it->second.width = e.width;
      it->second.height = e.height;
    } else if (e.kind == XEvent::Map && it->second.width >= minSide &&
               it->second.height >= minSide) {
      return msBetween(since, e.at);
    }
  }
  return std::nullopt;
}

int mappedSince(const std::vector<XEvent>& events, Clock::time_point since) {
  int n = 0;
  for (const auto& [id, w] : replay(events, since))
    if (w.alive && w.mapped) ++n;
  return n;
}

}  // namespace kv::bench
