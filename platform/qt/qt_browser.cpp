#include "platform/qt/qt_browser.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <QWebEngineCertificateError>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <QtGlobal>
#include <algorithm>
#include <chrono>
#include <exception>
#include <functional>
#include <set>
#include <thread>

#include "platform/qt/qt_control.h"
#include "platform/qt/qt_gui.h"
#include "platform/qt/qt_units.h"
#include "platform/services/launch_limits.h"
#include "platform/services/shortcut.h"

namespace kv::qt {

namespace {

// The context-menu listener asks the program through a prompt whose text starts with this; the
// page answers it itself, so the question never shows, silent or not.
const QString kMenuQuestion = QStringLiteral("\x01kelvora-contextmenu:");

// Added to the top-level document after each load, in a world of its own, so the page's scripts
// neither see it nor can replace the prompt it relies on. Each run records the number of the
// document the program now holds; the listener itself is added once per document.
QString menuHookScript(quint64 serial) {
  return QStringLiteral(
             "(function () {"
             "  window.__kelvoraDocument = %1;"
             "  if (window.__kelvoraMenuHook) return;"
             "  window.__kelvoraMenuHook = true;"
             "  document.addEventListener('contextmenu', function (e) {"
             "    var answer = window.prompt('\\u0001kelvora-contextmenu:' +"
             "                               window.__kelvoraDocument);"
             "    if (answer === '0') e.preventDefault();"
             "  });"
             "})();")
      .arg(serial);
}

class QtBrowser;

// Calls `shown` whenever the object it watches is shown.
class ShowWatcher : public QObject {
 public:
  ShowWatcher(QObject* watched, std::function<void()> shown)
      : QObject(watched), shown_(std::move(shown)) {
    watched->installEventFilter(this);
  }
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Show) shown_();
    return false;
  }

 private:
  std::function<void()> shown_;
};

QPointer<QWebEngineProfile> sharedProfile;
std::set<QtBrowser*> liveBrowsers;
int handlerDepth = 0;       // a window's handler runs inside a browser callback
QPointer<QDialog> openBox;  // a page's dialog box now open: one at a time in the program
constexpr int kCookieWriteLimitMs = 10000;  // the longest wait for the cookies at the end

// Runs a window's handler; an exception must not cross the browser engine's call stack.
template <class F>
void guarded(const char* what, F&& f) {
  ++handlerDepth;
  try {
    f();
  } catch (const std::exception& e) {
    qWarning("browser %s handler failed: %s", what, e.what());
  }
  --handlerDepth;
}

class BrowserPage : public QWebEnginePage {
 public:
  BrowserPage(QtBrowser& owner, QObject* parent);

 protected:
  // None here: the engine then emits newWindowRequested, which tells who asked.
  QWebEnginePage* createWindow(WebWindowType) override { return nullptr; }
  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
  void javaScriptAlert(const QUrl& origin, const QString& msg) override;
  bool javaScriptConfirm(const QUrl& origin, const QString& msg) override;
  bool javaScriptPrompt(const QUrl& origin, const QString& msg, const QString& defaultValue,
                        QString* result) override;
  QStringList chooseFiles(FileSelectionMode mode, const QStringList& oldFiles,
                          const QStringList& acceptedMimeTypes) override;

 public:
  // The owner goes while a box of this page is open: the box closes, and the page and its view
  // go once the engine's call that opened the box has returned.
  bool closeInBox();

 private:
  enum class BoxKind { Alert, Confirm, Prompt };
  bool box(BoxKind kind, const QUrl& origin, const QString& msg, const QString& value,
           QString* result);

  QtBrowser* owner_;
  QPointer<QDialog> box_;
};

class QtBrowser : public QtControl<kv::Browser> {
 public:
  QtBrowser(QWidget* parent, const std::string& name) {
    liveBrowsers.insert(this);
    view_ = new QWebEngineView(parent);
    view_->setObjectName(QString::fromStdString(name));
    page_ = new BrowserPage(*this, view_);
    view_->setPage(page_);
    QObject::connect(page_, &QWebEnginePage::urlChanged, view_, [this](const QUrl& u) {
      if (!u.isEmpty()) url_ = u.toString(QUrl::FullyEncoded).toStdString();
    });
    QObject::connect(page_, &QWebEnginePage::loadStarted, view_, [this] { loading_ = true; });
    QObject::connect(page_, &QWebEnginePage::loadFinished, view_, [this](bool) {
      loading_ = false;
      loadFinished();
    });
    QObject::connect(page_, &QWebEnginePage::renderProcessTerminated, view_,
                     [this](QWebEnginePage::RenderProcessTerminationStatus status, int) {
                       if (status != QWebEnginePage::NormalTerminationStatus) processEnded();
                     });
    new ShowWatcher(view_, [this] {
      if (!crashed_) return;
      crashed_ = false;
      loadAgain();
    });
    QObject::connect(page_, &QWebEnginePage::certificateError, view_,
                     [this](const QWebEngineCertificateError& error) {
                       if (!silent_) return;
                       QWebEngineCertificateError e = error;
                       e.rejectCertificate();
                     });
  }

  ~QtBrowser() override {
    liveBrowsers.erase(this);
    onNewWindow = nullptr;
    onBeforeNavigate = nullptr;
    onDownloadComplete = nullptr;
    close();
  }

  // Deletes the view and its page; the control is empty from then on.
  void close() {
    if (!view_) return;
    if (page_) QObject::disconnect(page_, nullptr, view_, nullptr);
    if (page_ && page_->closeInBox()) {
      view_ = nullptr;
      page_ = nullptr;
      return;
    }
    delete view_;  // deletes the page, its child
  }

  void setSilent(bool s) override { silent_ = s; }
  bool isSilent() const override { return silent_; }

  void navigate(const std::string& url) override {
    url_ = url;
    home_ = url;
    crashed_ = false;
    boxesLeft_ = 1;
    if (page_) page_->load(QUrl(QString::fromStdString(url)));
  }
  std::string url() const override { return url_; }
  std::shared_ptr<Document> document() override { return doc_; }

  // The page asks for a new window: the receiver the handler names gets it, or nothing does.
  // Addresses of other schemes are dropped, and so are the page's own requests over its bound.
  // The first navigation of a window the user asked for is the user's (no repeat rule).
  void newWindow(QWebEngineNewWindowRequest& request) {
    const std::string address = request.requestedUrl().toString(QUrl::FullyEncoded).toStdString();
    if (!address.empty() && !isLoadableUrl(address)) return;
    if (!onNewWindow) return;
    const bool allowed = popups_.allow(request.isUserInitiated(), LaunchClock::now());
    if (popups_.spent()) holdPopups();
    if (!allowed) return;
    Browser* receiver = nullptr;
    bool cancel = false;
    guarded("new-window", [&] { onNewWindow(receiver, cancel); });
    if (cancel || !receiver || receiver == this) return;
    auto* target = dynamic_cast<QtBrowser*>(receiver);
    if (!target || !target->page_) return;
    target->handOvers_.handedOver(request.isUserInitiated());
    target->boxesLeft_ = 1;
    // The engine loads no ftp: the receiver is told of the address as of a navigation it begins,
    // and nothing is opened.
    if (request.requestedUrl().scheme() == QLatin1String("ftp")) {
      target->beforeNavigate(request.requestedUrl(), false, true);
      return;
    }
    request.openIn(target->page_.data());
  }

  // A navigation this browser begins; false stops it. Only web addresses load, and a receiver
  // reports a bounded number of them per hand-over; the rest are stopped.
  bool beforeNavigate(const QUrl& url, bool redirect, bool mainFrame) {
    std::string address = url.toString(QUrl::FullyEncoded).toStdString();
    if (!isLoadableUrl(address)) return false;
    if (!onBeforeNavigate) return true;
    // An empty document has nothing to hand over. A redirect while the page loads (or in a
    // frame) continues a navigation already reported; one after the load is the page's own.
    if (!isLaunchableUrl(address)) return true;
    if (redirect && (loading_ || !mainFrame)) return handOvers_.allowQuiet();
    if (!handOvers_.allow(address, LaunchClock::now())) return false;
    bool cancel = false;
    guarded("before-navigate", [&] { onBeforeNavigate(address, cancel); });
    return !cancel;
  }

  // The listener of document number `serial` asks whether its context menu may show.
  bool contextMenuAllowed(quint64 serial) {
    if (serial != serial_ || !doc_ || !doc_->onContextMenu) return true;
    bool show = true;
    auto doc = doc_;  // the handler may replace the document
    guarded("context-menu", [&] { show = doc->onContextMenu(); });
    return show;
  }

  bool silent() const { return silent_; }
  // A dialog box of the page may show: one per hand-over (or load the program asked for).
  bool takeBox() {
    if (silent_ || boxesLeft_ <= 0) return false;
    --boxesLeft_;
    return true;
  }

 private:
  // The page's process ended abnormally (it serves every page of the site): the address the
  // program gave loads again at once, within the bound, else when the view is next shown. A
  // receiver's pages came from hand-overs and are not loaded again.
  void processEnded() {
    if (home_.empty()) return;
    crashed_ = true;
    if (!reloads_.allow(LaunchClock::now())) return;
    crashed_ = false;
    loadAgain();
  }
  // After the engine's notice of the ended process has returned: a load inside it is lost.
  void loadAgain() {
    if (!page_) return;
    QTimer::singleShot(0, page_, [this] { page_->load(QUrl(QString::fromStdString(home_))); });
  }

  void loadFinished() {
    doc_ = std::make_shared<Document>();
    ++serial_;
    page_->runJavaScript(menuHookScript(serial_), QWebEngineScript::ApplicationWorld);
    if (onDownloadComplete) guarded("download-complete", [&] { onDownloadComplete(); });
  }

  // While the page's own new windows are spent, the engine refuses them itself, before it makes
  // anything for them; it takes them again when the next one is due.
  void holdPopups() {
    if (popupsHeld_ || !page_) return;
    popupsHeld_ = true;
    page_->settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    QTimer::singleShot(PopupLimit::kRefill, page_, [this] {
      popupsHeld_ = false;
      page_->settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, true);
    });
  }

  QWidget* widget() const override { return view_; }

  QPointer<QWebEngineView> view_;
  QPointer<BrowserPage> page_;
  bool silent_ = false;
  std::string url_;
  std::shared_ptr<Document> doc_;
  quint64 serial_ = 0;
  PopupLimit popups_;
  HandOverLimit handOvers_;
  bool popupsHeld_ = false;
  bool loading_ = false;
  int boxesLeft_ = 0;
  std::string home_;      // the address the program last gave
  bool crashed_ = false;  // its process ended and it was not loaded again yet
  ReloadLimit reloads_;
};

// New windows come through the request signal, which tells whether the user asked for them.
BrowserPage::BrowserPage(QtBrowser& owner, QObject* parent)
    : QWebEnginePage(browserProfile(), parent), owner_(&owner) {
  connect(this, &QWebEnginePage::newWindowRequested, this,
          [this](QWebEngineNewWindowRequest& request) {
            if (owner_) owner_->newWindow(request);
          });
}

bool BrowserPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool mainFrame) {
  return owner_ && owner_->beforeNavigate(url, type == NavigationTypeRedirect, mainFrame);
}

void BrowserPage::javaScriptAlert(const QUrl& origin, const QString& msg) {
  box(BoxKind::Alert, origin, msg, {}, nullptr);
}

bool BrowserPage::javaScriptConfirm(const QUrl& origin, const QString& msg) {
  return box(BoxKind::Confirm, origin, msg, {}, nullptr);
}

bool BrowserPage::javaScriptPrompt(const QUrl& origin, const QString& msg,
                                   const QString& defaultValue, QString* result) {
  if (msg.startsWith(kMenuQuestion)) {
    bool ok = false;
    quint64 serial = msg.mid(kMenuQuestion.size()).toULongLong(&ok);
    bool show = !ok || !owner_ || owner_->contextMenuAllowed(serial);
    if (result) *result = show ? QStringLiteral("1") : QStringLiteral("0");
    return true;
  }
  return box(BoxKind::Prompt, origin, msg, defaultValue, result);
}

// A dialog box of a page that is not silent: one per hand-over and one at a time in the program;
// the others are answered as a cancelled box. The box blocks only the page's own window and runs
// in a loop of its own, so the bar's tabs and exit still work while it is open.
bool BrowserPage::box(BoxKind kind, const QUrl& origin, const QString& msg, const QString& value,
                      QString* result) {
  if (openBox || !owner_ || !owner_->takeBox() || !QWebEngineView::forPage(this)) return false;
  static const char* const kTitles[] = {"Javascript Alert - ", "Javascript Confirm - ",
                                        "Javascript Prompt - "};
  const QString title = QLatin1String(kTitles[static_cast<int>(kind)]) + origin.toString();
  QWidget* window = QWebEngineView::forPage(this)->window();
  QPointer<BrowserPage> self(this);
  QDialog* dialog = nullptr;
  QInputDialog* input = nullptr;
  if (kind == BoxKind::Prompt) {
    dialog = input = new QInputDialog(window);
    input->setLabelText(messageBoxText(msg.toStdString()).toHtmlEscaped());
    input->setTextValue(value);
  } else {
    auto* box = new QMessageBox(
        QMessageBox::NoIcon, title, messageBoxText(msg.toStdString()),
        kind == BoxKind::Alert ? QMessageBox::Ok : QMessageBox::Ok | QMessageBox::Cancel, window);
    box->setTextFormat(Qt::PlainText);
    dialog = box;
  }
  dialog->setObjectName(QStringLiteral("PageBox"));
  dialog->setWindowTitle(title);
  dialog->setWindowModality(Qt::WindowModal);
  if (auto* box = qobject_cast<QMessageBox*>(dialog)) fitMessageBox(box);  // once modal
  dialog->setAttribute(Qt::WA_DeleteOnClose, false);
  openBox = dialog;
  box_ = dialog;
  QPointer<QDialog> guard(dialog);
  const bool accepted = dialog->exec() == QDialog::Accepted;
  if (accepted && input && result) *result = input->textValue();
  delete guard.data();
  if (!self) return false;
  if (!owner_) {
    // The owner went meanwhile: the view (and this page with it) goes after the engine's call.
    if (QWidget* v = QWebEngineView::forPage(this)) v->deleteLater();
    return false;
  }
  return accepted && (kind != BoxKind::Prompt || result);
}

bool BrowserPage::closeInBox() {
  if (!box_) return false;
  owner_ = nullptr;
  box_->reject();
  if (QWidget* v = QWebEngineView::forPage(this)) {
    v->hide();
    v->setParent(nullptr);  // out of the window that may go now
  }
  return true;
}

QStringList BrowserPage::chooseFiles(FileSelectionMode mode, const QStringList& oldFiles,
                                     const QStringList& acceptedMimeTypes) {
  if (!owner_ || owner_->silent()) return {};
  return QWebEnginePage::chooseFiles(mode, oldFiles, acceptedMimeTypes);
}

// True while a file descriptor of this process is open on `path` (a canonical path). False
// where the process's open files cannot be listed.
bool openInThisProcess(const QString& path) {
  const QDir fds(QStringLiteral("/proc/self/fd"));
  const QFileInfoList entries =
      fds.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
  return std::any_of(entries.begin(), entries.end(),
                     [&](const QFileInfo& fd) { return fd.symLinkTarget() == path; });
}

}  // namespace

void configureBrowserEngine() {
  QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
  const QList<QByteArray> given = flags.simplified().split(' ');
  auto has = [&](const char* name) {
    for (const QByteArray& f : given)
      if (f == name || f.startsWith(QByteArray(name) + '=')) return true;
    return false;
  };
  if (!has("--process-per-site") && !has("--process-per-tab") && !has("--single-process") &&
      !has("--site-per-process")) {
    flags = flags.isEmpty() ? QByteArray("--process-per-site") : flags + " --process-per-site";
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
  }
  if (has("--disable-gpu")) {
    if (!qEnvironmentVariableIsSet("QT_QUICK_BACKEND")) qputenv("QT_QUICK_BACKEND", "software");
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
      qputenv("QT_XCB_GL_INTEGRATION", "none");
  }
  if (qgetenv("QT_QUICK_BACKEND") != "software")
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

QWebEngineProfile* browserProfile() {
  if (!sharedProfile) {
    // A named profile keeps its data under the application's data folder (QtWebEngine/kelvora).
    auto* profile = new QWebEngineProfile(QStringLiteral("kelvora"), QCoreApplication::instance());
    profile->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);
    QWebEngineSettings* s = profile->settings();
    s->setAttribute(QWebEngineSettings::JavascriptEnabled, true);
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, true);
    // Links to other schemes (smb:, mailto:, ...) are never handed to the desktop's opener.
    s->setUnknownUrlSchemePolicy(QWebEngineSettings::DisallowUnknownUrlSchemes);
    sharedProfile = profile;
  }
  return sharedProfile;
}

void shutdownBrowsers() {
  if (!sharedProfile || handlerDepth > 0) return;
  // The cookie store writes what it has not saved yet and then closes its file, on the engine's
  // own threads, when the profile goes: wait for that close (the file no longer open in this
  // process), however loaded the machine, but not for ever when the disk is stuck.
  const QString cookies =
      QFileInfo(sharedProfile->persistentStoragePath() + QStringLiteral("/Cookies"))
          .canonicalFilePath();
  for (QtBrowser* b : liveBrowsers) b->close();
  delete sharedProfile.data();
  if (cookies.isEmpty()) return;
  QElapsedTimer waited;
  waited.start();
  while (openInThisProcess(cookies) && waited.elapsed() < kCookieWriteLimitMs)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

std::unique_ptr<kv::Browser> createBrowser(QWidget* parent, const std::string& name) {
  return std::make_unique<QtBrowser>(parent, name);
}

}  // namespace kv::qt
