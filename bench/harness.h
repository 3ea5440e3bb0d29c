// The client in the current process, as main.cpp starts it (Qt windows, real browsers, the Linux
// OS services), in a temporary program folder, for the soak test and the benchmarks. Create the
// QApplication first (after kv::qt::configureBrowserEngine(), as main.cpp does). The stand-in
// services are reached through http_proxy, as by the program.
#pragma once

#include <QPointer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/app.h"
#include "platform/qt/qt_gui.h"
#include "platform/services/os_linux.h"

class QWidget;
class QWebEngineView;

namespace kv::bench {

// A temporary program folder: the data folder with a signed-out dl.txt, temp, and a copy of the
// img folder. Removed with the object.
class ProgramFolder {
 public:
  explicit ProgramFolder(const std::string& imgDir);
  ~ProgramFolder();
  ProgramFolder(const ProgramFolder&) = delete;
  ProgramFolder& operator=(const ProgramFolder&) = delete;
  const std::string& path() const { return path_; }
  std::string dataFile(const std::string& name) const;

 private:
  std::string path_;
};

// The real OS services, with the program folder given, a network that counts as connected, no
// other instance, and the default browser replaced by a list of the addresses handed to it.
class BenchOs : public LinuxOs {
 public:
  explicit BenchOs(std::string folder) : folder_(std::move(folder)) {}
  std::string programFolder() const override { return folder_; }
  bool anotherInstanceRunning() override { return false; }
  bool networkConnected() override { return true; }
  bool launchBrowser(const std::string& url) override {
    launched.push_back(url);
    return true;
  }
  std::vector<std::string> launched;

 private:
  std::string folder_;
};

// Processes events until `done` holds or `ms` have passed; false on time-out.
bool waitUntil(const std::function<bool()>& done, int ms);
// Processes events for `ms`.
void pump(int ms);

// Answers every message box that opens (a box would block the run) and keeps its text.
class MessageBoxGuard {
 public:
  MessageBoxGuard();
  ~MessageBoxGuard();
  std::vector<std::string> texts;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

class Client {
 public:
  // Makes `folder` the current directory (the pictures are read from img/ there).
  explicit Client(const std::string& folder);
  ~Client();

  kv::qt::QtGui gui;
  BenchOs os;
  kv::App app;

  // The start-up road (Form1's load), as the program runs it.
  void start();
  // The top-level widget of a loaded window; nullptr when it is not loaded.
  QWidget* widget(FormId id);
  // The page browser (WebBrowser1) of a loaded window, or nullptr.
  QWebEngineView* pageView(FormId id);
  // Remembers the page browsers of the loaded search pages and sharing window, so that
  // pagesLoaded() can tell when their pages have loaded. Call right after they were created,
  // before events run.
  void trackPages();
  bool pagesLoaded() const;
  // Signs in with the demo account through the sign-in window: its boxes and its button. The
  // client reloads its windows inside the click.
  void signIn(const std::string& account, const std::string& password);
  // Asks every tracked page for a full garbage collection of its renderer's script heap (which
  // holds the documents), when the engine was started with --js-flags=--expose-gc; then waits a
  // little for the renderers to give the memory back.
  void collectGarbage();
  // Every page browser and every page that exists in the program now.
  int liveViews() const;
  int livePages() const;

 private:
  std::vector<QPointer<QWebEngineView>> tracked_;
};

}  // namespace kv::bench
