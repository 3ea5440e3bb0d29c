// kelvora_bench: the client's start, memory, window switch, sign-in reload and request round trip,
// measured beside chromium --app on the same stand-in pages in the same run, printed as a table
// of medians and ratios. scripts/bench.sh prepares what it needs and runs it:
//
//   kelvora_bench --client BIN --img DIR --port N [--chromium PATH] [--reps N]
//
// on a display of its own without a window manager, with the stand-in services on 127.0.0.1:N.
// The client and chromium are started as separate processes, one at a time; the window switch,
// the sign-in reload and the round trip are measured in a child of this program that runs the
// client's windows in its own process (--in-process).
#include <curl/curl.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "account/signin_window.h"
#include "app/app.h"
#include "app/shared.h"
#include "bench/harness.h"
#include "bench/procmem.h"
#include "bench/xwatch.h"
#include "navigation/nav_bar.h"
#include "platform/qt/qt_browser.h"
#include "platform/services/post_form.h"
#include "tools/standin/standin.h"

namespace fs = std::filesystem;
using kv::bench::Clock;

namespace {

// ---- small helpers --------------------------------------------------------------------------

double msSince(Clock::time_point t) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

void sleepMs(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::optional<double> median(std::vector<double> v) {
  if (v.empty()) return std::nullopt;
  std::sort(v.begin(), v.end());
  size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::optional<double> percentile(std::vector<double> v, double p) {
  if (v.empty()) return std::nullopt;
  std::sort(v.begin(), v.end());
  size_t i = static_cast<size_t>(std::ceil(p * v.size())) - 1;
  return v[std::min(i, v.size() - 1)];
}

std::string tempFolder(const char* name) {
  std::string tmpl = std::string("/tmp/kelvora-bench-") + name + "-XXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) {
    std::perror("mkdtemp");
    std::exit(1);
  }
  return buf.data();
}

// The stand-in services' control requests, straight to the server (no proxy).
std::string control(int port, const std::string& what, bool post) {
  std::string out;
  CURL* curl = curl_easy_init();
  if (!curl) return out;
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/__control/" + what;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROXY, "");
  curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, 5000L);
  if (post) curl_easy_setopt(curl, CURLOPT_POSTFIELDS, "");
  curl_easy_setopt(
      curl, CURLOPT_WRITEFUNCTION, +[](char* p, size_t s, size_t n, void* u) {
        static_cast<std::string*>(u)->append(p, s * n);
        return s * n;
      });
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &out);
  curl_easy_perform(curl);
  curl_easy_cleanup(curl);
  return out;
}

bool requested(int port, const std::string& path) {
  return control(port, "requests", false).find(path) != std::string::npos;
}

// ---- processes ------------------------------------------------------------------------------

struct Spawned {
  pid_t pid = -1;
};

// Starts `argv` in a session of its own (so that it and all it starts can be found and ended
// together), in `cwd`, with `env` added to this environment; output goes to `log`.
Spawned spawn(const std::vector<std::string>& argv, const std::string& cwd,
              const std::map<std::string, std::string>& env, const std::string& log) {
  pid_t pid = fork();
  if (pid == 0) {
    setsid();
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(127);
    for (const auto& [k, v] : env) setenv(k.c_str(), v.c_str(), 1);
    int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
      dup2(fd, 1);
      dup2(fd, 2);
      close(fd);
    }
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  return {pid};
}

// Ends the process, its session and whatever it left behind.
void stop(const Spawned& p) {
  if (p.pid <= 0) return;
  kill(-p.pid, SIGTERM);
  for (int i = 0; i < 40; ++i) {
    if (waitpid(p.pid, nullptr, WNOHANG) == p.pid) break;
    sleepMs(50);
  }
  kill(-p.pid, SIGKILL);
  waitpid(p.pid, nullptr, WNOHANG);
  for (pid_t rest : kv::bench::sessionMembers(p.pid)) kill(rest, SIGKILL);
  for (int i = 0; i < 40 && !kv::bench::sessionMembers(p.pid).empty(); ++i) sleepMs(50);
}

// The memory of a process tree once its pages have settled: read every half second until two
// readings differ by less than 1%, from two seconds on, for at most ten.
kv::bench::TreeMemory settledMemory(pid_t pid) {
  sleepMs(2000);
  kv::bench::TreeMemory last = kv::bench::treeMemory(pid, pid);
  for (int i = 0; i < 16; ++i) {
    sleepMs(500);
    kv::bench::TreeMemory now = kv::bench::treeMemory(pid, pid);
    bool steady = std::abs(now.pssKb - last.pssKb) < last.pssKb / 100;
    last = now;
    if (steady) break;
  }
  return last;
}

// Waits until `done` holds, for at most `ms`.
bool waitFor(const std::function<bool()>& done, int ms) {
  auto start = Clock::now();
  while (!done()) {
    if (msSince(start) > ms) return false;
    sleepMs(20);
  }
  return true;
}

// ---- what the child measures inside the client's process -------------------------------------

struct Options {
  std::string client, img, chromium = "chromium", out;
  int port = 0;
  int reps = 5;
  bool inProcess = false;
};

int runInProcess(const Options& o) {
  kv::qt::configureBrowserEngine();
  int argc = 1;
  char name[] = "kelvora_bench";
  char* argv[] = {name, nullptr};
  QApplication application(argc, argv);
  kv::qt::initApplication(application);
  kv::bench::MessageBoxGuard boxes;
  kv::bench::XWatch xwatch;
  if (!xwatch.start()) {
    std::fprintf(stderr, "no display\n");
    return 1;
  }
  kv::bench::ProgramFolder folder(o.img);
  kv::bench::Client c(folder.path());
  c.start();
  c.trackPages();
  if (!kv::bench::waitUntil([&] { return c.pagesLoaded(); }, 60000)) {
    std::fprintf(stderr, "the search pages did not load\n");
    return 1;
  }
  std::ofstream out(o.out);

  // A window switch: the tab's handler (ShowOnlyWindow + RepaintNavTabs: eight picture files
  // read), timed alone and with the events it leaves (painting) handled.
  {
    auto click = [&](int i) {
      kv::Form12& bar = c.app.form12();
      switch (i % 5) {
        case 0:
          bar.Image1_Click();
          break;
        case 1:
          bar.Image2_Click();
          break;
        case 2:
          bar.Image3_Click();
          break;
        case 3:
          bar.Image7_Click();
          break;
        case 4:
          bar.Image8_Click();
          break;
      }
    };
    for (int i = 0; i < 5; ++i) click(i);  // every window loaded once
    c.trackPages();
    kv::bench::waitUntil([&] { return c.pagesLoaded(); }, 30000);
    kv::bench::pump(500);
    std::vector<double> handler, painted;
    for (int i = 0; i < 200; ++i) {
      auto t0 = Clock::now();
      click(i);
      handler.push_back(msSince(t0));
      QCoreApplication::processEvents();
      painted.push_back(msSince(t0));
      kv::bench::pump(10);
    }
    out << "switch " << *median(handler) << ' ' << *percentile(handler, 0.9) << '\n';
    out << "switch_painted " << *median(painted) << ' ' << *percentile(painted, 0.9) << '\n';
  }

  // The form request round trip on loopback.
  {
    const std::string url = kv::ProductUrl("/app.php/index/nav");
    for (int i = 0; i < 10; ++i) kv::PostForm(url, "");
    std::vector<double> trips;
    for (int i = 0; i < 200; ++i) {
      auto t0 = Clock::now();
      kv::PostReply r = kv::PostForm(url, "");
      trips.push_back(msSince(t0));
      if (!r.completed) {
        std::fprintf(stderr, "the request failed\n");
        return 1;
      }
    }
    out << "post " << *median(trips) << ' ' << *percentile(trips, 0.9) << '\n';
  }

  // The sign-in reload: from the click on the sign-in button (its reply comes back on loopback
  // within the click) to the home view mapped at its final places again.
  {
    std::vector<double> laidOut, handler;
    for (int rep = 0; rep < o.reps; ++rep) {
      c.app.form8().Show();
      kv::bench::pump(1000);
      auto t0 = Clock::now();
      c.signIn("demo", "demo123");
      handler.push_back(msSince(t0));
      c.trackPages();
      kv::bench::waitUntil(
          [&] {
            auto events = xwatch.events();
            auto last = xwatch.lastEvent();
            return kv::bench::mappedSince(events, t0) >= 4 && last && msSince(*last) > 1000;
          },
          20000);
      int windows = 0;
      auto ms = kv::bench::laidOutMs(xwatch.events(), t0, &windows);
      if (ms && windows == 4) laidOut.push_back(*ms);
      kv::bench::waitUntil([&] { return c.pagesLoaded(); }, 30000);
      kv::bench::pump(500);
    }
    if (auto m = median(laidOut)) out << "reload " << *m << ' ' << laidOut.size() << '\n';
    if (auto m = median(handler)) out << "reload_handler " << *m << '\n';
  }
  if (!boxes.texts.empty()) std::fprintf(stderr, "message box: %s\n", boxes.texts[0].c_str());
  return 0;
}

// ---- what the parent measures from outside ----------------------------------------------------

struct Run {
  std::optional<double> mappedMs;
  int windows = 0;
  kv::bench::TreeMemory memory;
  bool memoryRead = false;
};

// The client from a fresh program folder with a fresh browser profile: start to the home view
// laid out, then the sharing page opened from the bar; memory once the four pages have loaded.
Run runClient(const Options& o, kv::bench::XWatch& xwatch) {
  Run run;
  const std::string dir = tempFolder("client");
  const std::string prog = dir + "/prog";
  fs::create_directories(prog + "/paz/l/s/r");
  fs::create_directories(prog + "/temp");
  std::ofstream(prog + "/paz/l/s/r/dl.txt", std::ios::binary) << " 0 \r\n";
  fs::copy(o.client, prog + "/kelvora");
  fs::copy(o.img, prog + "/img", fs::copy_options::recursive);
  control(o.port, "clear", true);
  const std::map<std::string, std::string> env = {
      {"HOME", dir},
      {"XDG_DATA_HOME", dir + "/data"},
      {"XDG_CACHE_HOME", dir + "/cache"},
      {"XDG_CONFIG_HOME", dir + "/config"},
      {"BROWSER", "/bin/true"},
      {"http_proxy", "http://127.0.0.1:" + std::to_string(o.port)},
      {"no_proxy", ""},
      {"QTWEBENGINE_DISABLE_SANDBOX", "1"},
      {"QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu"},
  };

  const auto t0 = Clock::now();
  Spawned p = spawn({prog + "/kelvora"}, prog, env, dir + "/client.log");
  waitFor(
      [&] {
        auto last = xwatch.lastEvent();
        return kv::bench::mappedSince(xwatch.events(), t0) >= 4 && last && msSince(*last) > 1000;
      },
      30000);
  run.mappedMs = kv::bench::laidOutMs(xwatch.events(), t0, &run.windows);

  // The share tab of the bar: 333, 19 pixels into it.
  const std::string click =
      "id=$(xdotool search --onlyvisible --name '^Form12$' | head -n1) && "
      "xdotool mousemove --window \"$id\" 333 19 sleep 0.1 click 1";
  if (std::system(click.c_str()) == 0 &&
      waitFor(
          [&] {
            std::string log = control(o.port, "requests", false);
            for (const char* page : {"ss_taobao", "ss_tianmao", "ss_kelvora", "fenxiang_app"})
              if (log.find(page) == std::string::npos) return false;
            return true;
          },
          20000)) {
    run.memory = settledMemory(p.pid);
    run.memoryRead = true;
  }
  stop(p);
  std::error_code ec;
  fs::remove_all(dir, ec);
  return run;
}

// chromium --app on the Taobao search page the client shows, with a fresh profile: start to its
// window mapped; memory once the page has loaded.
Run runChromium(const Options& o, kv::bench::XWatch& xwatch, const std::string& url) {
  Run run;
  const std::string dir = tempFolder("chromium");
  control(o.port, "clear", true);
  const std::vector<std::string> argv = {
      o.chromium,
      "--no-sandbox",
      "--disable-gpu",
      "--no-first-run",
      "--disable-background-networking",
      "--disable-component-update",
      "--disable-sync",
      "--user-data-dir=" + dir + "/profile",
      "--proxy-server=http://127.0.0.1:" + std::to_string(o.port),
      "--app=" + url,
  };
  const auto t0 = Clock::now();
  Spawned p = spawn(argv, dir, {{"HOME", dir}}, dir + "/chromium.log");
  waitFor([&] { return kv::bench::firstMapMs(xwatch.events(), t0, 100).has_value(); }, 30000);
  run.mappedMs = kv::bench::firstMapMs(xwatch.events(), t0, 100);
  run.windows = run.mappedMs ? 1 : 0;
  if (waitFor([&] { return requested(o.port, "ss_taobao"); }, 20000)) {
    run.memory = settledMemory(p.pid);
    run.memoryRead = true;
  }
  stop(p);
  std::error_code ec;
  fs::remove_all(dir, ec);
  return run;
}

std::map<std::string, std::vector<double>> readResults(const std::string& path) {
  std::map<std::string, std::vector<double>> out;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream f(line);
    std::string key;
    f >> key;
    double v;
    while (f >> v) out[key].push_back(v);
  }
  return out;
}

std::string fmt(std::optional<double> v, const char* format = "%.1f") {
  if (!v) return "-";
  char buf[64];
  std::snprintf(buf, sizeof buf, format, *v);
  return buf;
}

// One line of the table; `met` empty: no goal or no figure.
void row(const std::string& what, const std::string& ours, const std::string& theirs,
         const std::string& ratio, const std::string& goal, std::optional<bool> met) {
  const char* result = !met ? "" : *met ? "met" : "MISSED";
  std::printf("%-38s %10s %15s %6s  %-19s %s\n", what.c_str(), ours.c_str(), theirs.c_str(),
              ratio.c_str(), goal.c_str(), result);
}

// Whether `value` is within `limit`, when there is a value.
std::optional<bool> within(std::optional<double> value, double limit, bool inclusive) {
  if (!value) return std::nullopt;
  return inclusive ? *value <= limit : *value < limit;
}

int usage() {
  std::fprintf(
      stderr,
      "usage: kelvora_bench --client BIN --img DIR --port N [--chromium PATH] [--reps N]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : std::string(); };
    if (a == "--client")
      o.client = next();
    else if (a == "--img")
      o.img = next();
    else if (a == "--port")
      o.port = std::atoi(next().c_str());
    else if (a == "--chromium")
      o.chromium = next();
    else if (a == "--reps")
      o.reps = std::max(1, std::atoi(next().c_str()));
    else if (a == "--out")
      o.out = next();
    else if (a == "--in-process")
      o.inProcess = true;
    else
      return usage();
  }
  if (o.inProcess) return o.out.empty() || o.img.empty() ? usage() : runInProcess(o);
  if (o.client.empty() || o.img.empty() || o.port <= 0) return usage();
  o.client = fs::absolute(o.client).string();
  o.img = fs::absolute(o.img).string();
  curl_global_init(CURL_GLOBAL_DEFAULT);

  // The page chromium shows: the client's Taobao search page on the stand-in's member site.
  const std::string siteText = kv::standin::StandIn::defaultSiteText();
  const std::string site = siteText.substr(0, siteText.find("/?"));
  const std::string referral = siteText.substr(siteText.find("lsr="));
  const std::string page = site + "/APP.PHP/index/ss_taobao?" + referral;

  kv::bench::XWatch xwatch;
  if (!xwatch.start()) {
    std::fprintf(stderr, "kelvora_bench: no display\n");
    return 1;
  }

  std::vector<double> oursStart, theirsStart, oursMem, theirsMem;
  int oursProcs = 0, theirsProcs = 0;
  for (int rep = 0; rep < o.reps; ++rep) {
    Run ours = runClient(o, xwatch);
    Run theirs = runChromium(o, xwatch, page);
    std::fprintf(stderr,
                 "run %d: client %s ms (%d windows), %s MB in %d processes; chromium %s ms, "
                 "%s MB in %d processes\n",
                 rep + 1, fmt(ours.mappedMs, "%.0f").c_str(), ours.windows,
                 fmt(ours.memory.pssKb / 1024.0).c_str(), ours.memory.processes,
                 fmt(theirs.mappedMs, "%.0f").c_str(), fmt(theirs.memory.pssKb / 1024.0).c_str(),
                 theirs.memory.processes);
    if (ours.mappedMs && ours.windows == 4) oursStart.push_back(*ours.mappedMs);
    if (theirs.mappedMs) theirsStart.push_back(*theirs.mappedMs);
    if (ours.memoryRead) {
      oursMem.push_back(ours.memory.pssKb / 1024.0);
      oursProcs = ours.memory.processes;
    }
    if (theirs.memoryRead) {
      theirsMem.push_back(theirs.memory.pssKb / 1024.0);
      theirsProcs = theirs.memory.processes;
    }
  }

  // The in-process figures, in a child with the client's windows.
  const std::string results = tempFolder("results") + "/results.txt";
  Spawned child = spawn({"/proc/self/exe", "--in-process", "--img", o.img, "--reps",
                         std::to_string(o.reps), "--out", results},
                        "",
                        {{"http_proxy", "http://127.0.0.1:" + std::to_string(o.port)},
                         {"no_proxy", ""},
                         {"BROWSER", "/bin/true"},
                         {"QTWEBENGINE_DISABLE_SANDBOX", "1"},
                         {"QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu"},
                         {"XDG_DATA_HOME", fs::path(results).parent_path().string() + "/data"},
                         {"XDG_CACHE_HOME", fs::path(results).parent_path().string() + "/cache"}},
                        fs::path(results).parent_path().string() + "/in-process.log");
  int status = 0;
  waitpid(child.pid, &status, 0);
  auto in = readResults(results);
  for (pid_t rest : kv::bench::sessionMembers(child.pid)) kill(rest, SIGKILL);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "kelvora_bench: the in-process part failed; see %s\n",
                 (fs::path(results).parent_path() / "in-process.log").c_str());
  }
  auto first = [&](const char* key, size_t i = 0) -> std::optional<double> {
    auto it = in.find(key);
    if (it == in.end() || it->second.size() <= i) return std::nullopt;
    return it->second[i];
  };

  auto ratio = [](std::optional<double> a, std::optional<double> b) -> std::optional<double> {
    if (!a || !b || *b <= 0) return std::nullopt;
    return *a / *b;
  };
  std::printf(
      "\nKelvora beside chromium --app, medians of %d runs (switch and round trip: 200)\n\n",
      o.reps);
  std::printf("%-38s %10s %15s %6s  %s\n", "figure", "Kelvora", "chromium --app", "ratio", "goal");
  std::optional<double> start = median(oursStart), chromiumStart = median(theirsStart);
  std::optional<double> r1 = ratio(start, chromiumStart);
  row("1 start to home view laid out, ms", fmt(start, "%.0f"), fmt(chromiumStart, "%.0f"),
      fmt(r1, "%.2f"), "<= 0.80 x chromium", within(r1, 0.8, true));
  std::optional<double> mem = median(oursMem), chromiumMem = median(theirsMem);
  std::optional<double> r2 = ratio(mem, chromiumMem);
  row("2 memory, PSS of all processes, MB",
      fmt(mem, "%.0f") + " (" + std::to_string(oursProcs) + ")",
      fmt(chromiumMem, "%.0f") + " (" + std::to_string(theirsProcs) + ")", fmt(r2, "%.2f"),
      "<= 0.65 x chromium", within(r2, 0.65, true));
  std::optional<double> sw = first("switch");
  row("3 window switch, ms", fmt(sw, "%.2f"), "", "", "< 5 ms", within(sw, 5, false));
  std::optional<double> reload = first("reload");
  std::optional<double> r4 = ratio(reload, start);
  row("4 sign-in reload to home view, ms", fmt(reload, "%.0f"), "", fmt(r4, "%.2f"),
      "< 1.5 x our start", within(r4, 1.5, false));
  std::optional<double> post = first("post");
  row("5 PostForm round trip, ms", fmt(post, "%.3f"), "", "", "< 1 ms", within(post, 1, false));
  std::printf("\n");
  std::printf(
      "  1: chromium: its window mapped; Kelvora: the panels and the bar mapped at their\n"
      "     final places (the X server's map and configure events).\n");
  std::printf(
      "  2: Kelvora with the three search pages and the sharing page loaded; chromium\n"
      "     with one search page; (n) = processes.\n");
  std::printf("  3: 90th percentile %s ms; with the painting it causes %s ms (90th: %s ms).\n",
              fmt(first("switch", 1), "%.2f").c_str(), fmt(first("switch_painted"), "%.2f").c_str(),
              fmt(first("switch_painted", 1), "%.2f").c_str());
  std::printf(
      "  4: from the sign-in click (its reply included); the click's handler alone %s ms.\n",
      fmt(first("reload_handler"), "%.0f").c_str());
  std::printf("  5: 90th percentile %s ms.\n", fmt(first("post", 1), "%.3f").c_str());
  std::error_code ec;
  fs::remove_all(fs::path(results).parent_path(), ec);
  return 0;
}
