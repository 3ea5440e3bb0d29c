#include "tests/fake/fake_gui.h"

#include <utility>

#include "platform/services/datafiles.h"

namespace kv::fake {

bool FakePicture::loadFile(const std::string& path) {
  std::string file = path;
  for (auto& c : file)
    if (c == '\\') c = '/';
  // Read by the rule the Qt picture follows: a regular file of picture size only.
  const std::string b = files::readPicture(file).value_or("");
  bool ok = b.size() >= 2 && (b.compare(0, 2, "\xFF\xD8") == 0 || b.compare(0, 2, "\x89P") == 0);
  gui_.log.push_back((ok ? "picture " : "picture-failed ") + owner + "." + name + " " + path);
  if (ok) source_ = path;
  return ok;
}

bool FakePicture::loadResource(const std::string& n) {
  source_ = "res:" + n;
  return true;
}

void FakePicture::click() {
  if (enabled_ && visible_ && onClick) gui_.dispatch(onClick);
}

void FakePicture::moveMouse(float x, float y) {
  if (onMouseMove) gui_.dispatch([&] { onMouseMove(x, y); });
}

void FakeTimer::tick() {
  if (on_ && interval_ > 0 && onTick) gui_.dispatch(onTick);
}

void FakeBrowser::navigate(const std::string& u) {
  navigations.push_back(u);
  gui_.log.push_back("navigate " + owner + "." + name + " " + u);
}

void FakeWindow::setClientSize(double w, double h) {
  bool changed = w != width_ || h != height_;
  width_ = w;
  height_ = h;
  if (changed && shownOnce_ && onResize) onResize();
}

void FakeWindow::move(double left, double top) {
  left_ = left;
  top_ = top;
  gui_.log.push_back("move " + name);
}

void FakeWindow::show() {
  gui_.log.push_back("show " + name);
  visible_ = true;
  if (state_ != WindowState::Normal) setState(WindowState::Normal);
  if (!shownOnce_) {
    shownOnce_ = true;
    if (onResize) onResize();
  }
}

void FakeWindow::hide() {
  gui_.log.push_back("hide " + name);
  visible_ = false;
}

void FakeWindow::setState(WindowState s) {
  if (s == state_) return;
  state_ = s;
  gui_.log.push_back(std::string(s == WindowState::Minimised ? "minimise " : "normal ") + name);
  if (onResize) onResize();
}

void FakeWindow::restore() {
  gui_.log.push_back("restore " + name);
  visible_ = true;
  setState(WindowState::Normal);
}

void FakeWindow::setFocus() {
  gui_.log.push_back("focus " + name);
}

std::unique_ptr<Picture> FakeWindow::createPicture(const std::string& n) {
  return std::make_unique<FakePicture>(gui_, name, n);
}
std::unique_ptr<TextBox> FakeWindow::createTextBox(const std::string& n) {
  return std::make_unique<FakeTextBox>(gui_, name, n);
}
std::unique_ptr<Timer> FakeWindow::createTimer(const std::string& n) {
  return std::make_unique<FakeTimer>(gui_, name, n);
}
std::unique_ptr<Browser> FakeWindow::createBrowser(const std::string& n) {
  return std::make_unique<FakeBrowser>(gui_, name, n);
}

bool FakeTray::add(const TrayIconData& d) {
  ++adds;
  last = d;
  gui_.log.push_back("tray-add");
  shown_ = shown_ || available;
  return available;
}

bool FakeTray::remove(const TrayIconData&) {
  gui_.log.push_back("tray-remove");
  return std::exchange(shown_, false);
}

void FakeTray::activate(unsigned code) {
  if (!shown_ || !last.hWnd || !last.hWnd->onMouseMove) return;
  float x = static_cast<float>(code) * gui_.screenInfo.twipsPerPixelX;
  gui_.dispatch([&] { last.hWnd->onMouseMove(x, 0); });
}

FakeGui::FakeGui() {
  // 1920 x 1080 pixels at 96 dpi, with a 40-pixel taskbar at the bottom.
  screenInfo.widthTwips = 1920 * 15;
  screenInfo.heightTwips = 1080 * 15;
  screenInfo.twipsPerPixelX = 15;
  screenInfo.workAreaBottomPx = 1040;
}

std::unique_ptr<Window> FakeGui::createWindow(const std::string& name) {
  return std::make_unique<FakeWindow>(*this, name);
}

MsgResult FakeGui::messageBox(const std::string& text, const std::string& title,
                              MsgButtons buttons) {
  if (auto during = std::move(whileNextBox)) {
    whileNextBox = nullptr;
    during();
  }
  boxes.push_back({text, title, buttons});
  log.push_back("box " + text);
  MsgResult r = MsgResult::Ok;
  if (!answers.empty()) {
    r = answers.front();
    answers.pop_front();
  }
  return buttons == MsgButtons::Ok ? MsgResult::Ok : r;
}

void FakeGui::endProcess(int code) {
  ended = true;
  log.push_back("end");
  throw ProcessEnded{code};
}

void FakeGui::runPosted() {
  while (!posted_.empty()) {
    auto fns = std::move(posted_);
    posted_.clear();
    for (auto& f : fns) f();
  }
}

bool FakeGui::dispatch(const std::function<void()>& action) {
  if (ended) return false;
  try {
    action();
  } catch (const ProcessEnded&) {
    return false;
  }
  runPosted();
  return true;
}

}  // namespace kv::fake
