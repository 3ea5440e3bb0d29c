#include "tests/fake/app_fixture.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/services/datafiles.h"
#include "platform/services/post_form.h"

namespace fs = std::filesystem;

namespace kv::test {

void AppFixture::SetUp() {
  char tmpl[] = "/tmp/kelvora-test-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  folder = tmpl;
  fs::create_directories(folder + "/paz/l/s/r");
  fs::create_directories(folder + "/temp");
  writeData("dl.txt", " 0 \r\n");
  fs::copy(KELVORA_IMG_DIR, folder + "/img", fs::copy_options::recursive);
  oldCwd_ = fs::current_path();
  fs::current_path(folder);
  os.folder = folder;
  os.now = std::tm{};
  strptime("2024-03-03 14:05:09", "%Y-%m-%d %H:%M:%S", &os.now);
  ASSERT_GT(services.start(), 0);
  setenv("http_proxy", services.proxyUrl().c_str(), 1);
  unsetenv("no_proxy");
  unsetenv("NO_PROXY");
  setPostLimits(3000, 3000);
  app = std::make_unique<App>(gui, os);
}

void AppFixture::TearDown() {
  app.reset();
  gui.runPosted();
  services.stop();
  if (!oldCwd_.empty()) fs::current_path(oldCwd_);
  std::error_code ec;
  fs::remove_all(folder, ec);
}

bool AppFixture::startApp() {
  return gui.dispatch([&] { app->start(); });
}

bool AppFixture::restart(bool start) {
  app.reset();
  gui.runPosted();
  gui.ended = false;
  gui.boxes.clear();
  gui.log.clear();
  gui.answers.clear();
  os.launched.clear();
  services.clearRequests();
  app = std::make_unique<App>(gui, os);
  return !start || startApp();
}

void AppFixture::signIn(const std::string& account, const std::string& password) {
  gui.textBox("Form8", "Text1")->setText(account);
  gui.textBox("Form8", "Text2")->setText(password);
  click("Form8", "Image3");
}

void AppFixture::writeData(const std::string& name, const std::string& bytes) {
  std::ofstream(folder + "/paz/l/s/r/" + name, std::ios::binary) << bytes;
}

std::string AppFixture::readData(const std::string& name) const {
  return files::readAll(folder + "/paz/l/s/r/" + name).value_or("");
}

void AppFixture::removeDataFolder() {
  fs::remove_all(folder + "/paz");
}

bool AppFixture::visible(const std::string& form) const {
  auto* w = gui.window(form);
  return w && w->isVisible();
}

std::vector<std::string> AppFixture::shown() const {
  std::vector<std::string> out;
  for (int i = 1; i <= 12; ++i)
    if (visible("Form" + std::to_string(i))) out.push_back("Form" + std::to_string(i));
  return out;
}

size_t AppFixture::logIndex(const std::string& entry, size_t from) const {
  auto it = std::find(gui.log.begin() + std::min(from, gui.log.size()), gui.log.end(), entry);
  return static_cast<size_t>(it - gui.log.begin());
}

void AppFixture::click(const std::string& form, const std::string& control) {
  auto* p = gui.picture(form, control);
  ASSERT_NE(p, nullptr) << form << "." << control;
  p->click();
}

}  // namespace kv::test
