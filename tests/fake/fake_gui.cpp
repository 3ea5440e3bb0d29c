#include "tests/fake/fake_gui.h"

#include <fstream>

namespace kv::fake {

namespace {
std::string key(const std::string& owner, const std::string& name) {
  return owner + "." + name;
}

std::string osPath(std::string p) {
  for (auto& c : p)
    if (c == '\\') c = '/';
  return p;
}
}  // namespace

// ---- pictures -------------------------------------------------------------------------------

FakePicture::FakePicture(FakeGui& gui, std::string o, std::string n)
    : owner(std::move(o)), name(std::move(n)), gui_(gui) {
  gui_.pictures[key(owner, name)] = this;
}
FakePicture::~FakePicture() {
  auto it = gui_.pictures.find(key(owner, name));
  if (it != gui_.pictures.end() && it->second == this) gui_.pictures.erase(it);
}

bool FakePicture::loadFile(const std::string& path) {
  std::ifstream in(osPath(path), std::ios::binary);
  unsigned char b[2] = {0, 0};
  bool ok = in && in.read(reinterpret_cast<char*>(b), 2) &&
            ((b[0] == 0xFF && b[1] == 0xD8) || (b[0] == 0x89 && b[1] == 'P'));
  gui_.log.push_back((ok ? "picture " : "picture-failed ") + key(owner, name) + " " + path);
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

// ---- text boxes, timers ---------------------------------------------------------------------

FakeTextBox::FakeTextBox(FakeGui& gui, std::string o, std::string n)
    : owner(std::move(o)), name(std::move(n)), gui_(gui) {
  gui_.textBoxes[key(owner, name)] = this;
}
FakeTextBox::~FakeTextBox() {
  auto it = gui_.textBoxes.find(key(owner, name));
  if (it != gui_.textBoxes.end() && it->second == this) gui_.textBoxes.erase(it);
}

FakeTimer::FakeTimer(FakeGui& gui, std::string o, std::string n)
    : owner(std::move(o)), name(std::move(n)), gui_(gui) {
  gui_.timers[key(owner, name)] = this;
}
FakeTimer::~FakeTimer() {
  auto it = gui_.timers.find(key(owner, name));
  if (it != gui_.timers.end() && it->second == this) gui_.timers.erase(it);
}
void FakeTimer::tick() {
  if (on_ && interval_ > 0 && onTick) gui_.dispatch(onTick);
}

// ---- browsers -------------------------------------------------------------------------------

FakeBrowser::FakeBrowser(FakeGui& gui, std::string o, std::string n)
    : owner(std::move(o)), name(std::move(n)), gui_(gui) {
  gui_.browsers[key(owner, name)] = this;
}
FakeBrowser::~FakeBrowser() {
  auto it = gui_.browsers.find(key(owner, name));
  if (it != gui_.browsers.end() && it->second == this) gui_.browsers.erase(it);
}

void FakeBrowser::navigate(const std::string& u) {
  url_ = u;
  navigations.push_back(u);
  gui_.log.push_back("navigate " + key(owner, name) + " " + u);
}

void FakeBrowser::completeDownload() {
  doc_ = std::make_shared<Document>();
  if (onDownloadComplete) gui_.dispatch(onDownloadComplete);
}

bool FakeBrowser::beginNavigation(const std::string& u) {
  bool cancel = false;
  if (onBeforeNavigate) {
    if (!gui_.dispatch([&] { onBeforeNavigate(u, cancel); })) return false;
  }
  if (cancel) return false;
  url_ = u;
  return true;
}

bool FakeBrowser::requestNewWindow(const std::string& u) {
  Browser* receiver = nullptr;
  bool cancel = false;
  if (onNewWindow) {
    if (!gui_.dispatch([&] { onNewWindow(receiver, cancel); })) return false;
  }
  if (cancel || !receiver) return false;
  return static_cast<FakeBrowser*>(receiver)->beginNavigation(u);
}

bool FakeBrowser::contextMenu() {
  if (doc_ && doc_->onContextMenu) {
    bool show = true;
    gui_.dispatch([&] { show = doc_->onContextMenu(); });
    return show;
  }
  return true;
}

// ---- windows --------------------------------------------------------------------------------

FakeWindow::FakeWindow(FakeGui& gui, std::string n) : name(std::move(n)), gui_(gui) {
  gui_.windows[name] = this;
}
FakeWindow::~FakeWindow() {
  auto it = gui_.windows.find(name);
  if (it != gui_.windows.end() && it->second == this) gui_.windows.erase(it);
}

void FakeWindow::setClientSize(double w, double h) {
  bool changed = w != width_ || h != height_;
  width_ = w;
  height_ = h;
  if (changed && shownOnce_ && onResize) onResize();
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
  if (state_ != WindowState::Normal) setState(WindowState::Normal);
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

// ---- tray -----------------------------------------------------------------------------------

bool FakeTray::add(const TrayIconData& d) {
  ++adds;
  last = d;
  gui_.log.push_back("tray-add");
  if (!available) return false;
  shown_ = true;
  return true;
}

bool FakeTray::remove(const TrayIconData&) {
  ++removes;
  gui_.log.push_back("tray-remove");
  bool was = shown_;
  shown_ = false;
  return was;
}

void FakeTray::activate(unsigned code) {
  if (!shown_ || !last.hWnd) return;
  Window* w = last.hWnd;
  float x = static_cast<float>(code) * gui_.screenInfo.twipsPerPixelX;
  if (w->onMouseMove) gui_.dispatch([&] { w->onMouseMove(x, 0); });
}

// ---- gui ------------------------------------------------------------------------------------

FakeGui::FakeGui() {
  // 1920 x 1080 pixels at 96 dpi, with a 40-pixel taskbar at the bottom.
  screenInfo.widthTwips = 1920 * 15;
  screenInfo.heightTwips = 1080 * 15;
  screenInfo.twipsPerPixelX = 15;
  screenInfo.workAreaBottomPx = 1040;
}

FakeGui::~FakeGui() = default;

std::unique_ptr<Window> FakeGui::createWindow(const std::string& name) {
  return std::make_unique<FakeWindow>(*this, name);
}

MsgResult FakeGui::messageBox(const std::string& text, const std::string& title,
                              MsgButtons buttons) {
  boxes.push_back({text, title, buttons});
  log.push_back("box " + text);
  MsgResult r = MsgResult::Ok;
  if (!answers.empty()) {
    r = answers.front();
    answers.pop_front();
  }
  if (buttons == MsgButtons::Ok) r = MsgResult::Ok;
  return r;
}

void FakeGui::endProcess(int code) {
  ended = true;
  endCode = code;
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

FakeWindow* FakeGui::window(const std::string& n) const {
  auto it = windows.find(n);
  return it == windows.end() ? nullptr : it->second;
}
FakePicture* FakeGui::picture(const std::string& o, const std::string& n) const {
  auto it = pictures.find(key(o, n));
  return it == pictures.end() ? nullptr : it->second;
}
FakeTextBox* FakeGui::textBox(const std::string& o, const std::string& n) const {
  auto it = textBoxes.find(key(o, n));
  return it == textBoxes.end() ? nullptr : it->second;
}
FakeTimer* FakeGui::timer(const std::string& o, const std::string& n) const {
  auto it = timers.find(key(o, n));
  return it == timers.end() ? nullptr : it->second;
}
FakeBrowser* FakeGui::browser(const std::string& o, const std::string& n) const {
  auto it = browsers.find(key(o, n));
  return it == browsers.end() ? nullptr : it->second;
}

bool FakeOs::launchBrowser(const std::string& url) {
  launched.push_back(url);
  return true;
}

}  // namespace kv::fake
