#include "bench/harness.h"

#include <stdlib.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMessageBox>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>
#include <QWidget>
#include <filesystem>
#include <fstream>

#include "account/signin_window.h"
#include "platform/qt/qt_window.h"

namespace fs = std::filesystem;

namespace kv::bench {

ProgramFolder::ProgramFolder(const std::string& imgDir) {
  char tmpl[] = "/tmp/kelvora-bench-XXXXXX";
  if (!mkdtemp(tmpl)) throw std::runtime_error("cannot make a temporary folder");
  path_ = tmpl;
  fs::create_directories(path_ + "/paz/l/s/r");
  fs::create_directories(path_ + "/temp");
  std::ofstream(dataFile("dl.txt"), std::ios::binary) << " 0 \r\n";
  fs::copy(imgDir, path_ + "/img", fs::copy_options::recursive);
}

ProgramFolder::~ProgramFolder() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string ProgramFolder::dataFile(const std::string& name) const {
  return path_ + "/paz/l/s/r/" + name;
}

bool waitUntil(const std::function<bool()>& done, int ms) {
  QDeadlineTimer deadline(ms);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

void pump(int ms) {
  QDeadlineTimer deadline(ms);
  while (!deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

struct MessageBoxGuard::Impl {
  QTimer timer;
};

MessageBoxGuard::MessageBoxGuard() : impl_(std::make_unique<Impl>()) {
  impl_->timer.setInterval(50);
  QObject::connect(&impl_->timer, &QTimer::timeout, [this] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    texts.push_back(box->text().toStdString());
    box->done(QMessageBox::Ok);
  });
  impl_->timer.start();
}

MessageBoxGuard::~MessageBoxGuard() = default;

Client::Client(const std::string& folder) : os(folder), app(gui, os) {
  fs::current_path(folder);
}

Client::~Client() = default;

void Client::start() {
  app.start();
}

QWidget* Client::widget(FormId id) {
  if (!app.isLoaded(id)) return nullptr;
  return static_cast<kv::qt::QtWindow&>(app.form(id).window()).widget();
}

QWebEngineView* Client::pageView(FormId id) {
  QWidget* w = widget(id);
  return w ? w->findChild<QWebEngineView*>(QStringLiteral("WebBrowser1")) : nullptr;
}

void Client::trackPages() {
  tracked_.clear();
  for (FormId id : {FormId::Form4, FormId::Form5, FormId::Form6, FormId::Form10}) {
    QWebEngineView* view = pageView(id);
    if (!view) continue;
    QWebEnginePage* page = view->page();
    QObject::connect(page, &QWebEnginePage::loadFinished, page,
                     [page](bool) { page->setProperty("kelvoraBenchLoaded", true); });
    tracked_.emplace_back(view);
  }
}

bool Client::pagesLoaded() const {
  for (const auto& view : tracked_)
    if (!view || !view->page()->property("kelvoraBenchLoaded").toBool()) return false;
  return true;
}

void Client::signIn(const std::string& account, const std::string& password) {
  Form8& form = app.form8();
  form.Show();
  form.Text1->setText(account);
  form.Text2->setText(password);
  form.Image3_Click();
}

void Client::collectGarbage() {
  for (const auto& view : tracked_)
    if (view)
      view->page()->runJavaScript(QStringLiteral("if (typeof gc === 'function') gc();"),
                                  QWebEngineScript::ApplicationWorld);
  pump(500);
}

int Client::liveViews() const {
  int n = 0;
  for (QWidget* w : QApplication::allWidgets())
    if (qobject_cast<QWebEngineView*>(w)) ++n;
  return n;
}

int Client::livePages() const {
  int n = 0;
  for (QWidget* w : QApplication::topLevelWidgets())
    n += static_cast<int>(w->findChildren<QWebEnginePage*>().size());
  return n;
}

}  // namespace kv::bench
