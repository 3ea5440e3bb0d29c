#include "bench/procmem.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace kv::bench {

namespace {

struct Stat {
  pid_t ppid = 0;
  pid_t sid = 0;
};

// Fields 4 (ppid) and 6 (session) of /proc/<pid>/stat; the name in field 2 may hold blanks and
// parentheses, so the fields are counted after its last ')'.
bool readStat(pid_t pid, Stat& out) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(in, line)) return false;
  size_t close = line.rfind(')');
  if (close == std::string::npos) return false;
  std::istringstream rest(line.substr(close + 1));
  std::string state;
  long ppid = 0, pgrp = 0, sid = 0;
  if (!(rest >> state >> ppid >> pgrp >> sid)) return false;
  out.ppid = static_cast<pid_t>(ppid);
  out.sid = static_cast<pid_t>(sid);
  return true;
}

std::map<pid_t, Stat> allProcesses() {
  std::map<pid_t, Stat> out;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || !std::all_of(name.begin(), name.end(), ::isdigit)) continue;
    pid_t pid = static_cast<pid_t>(std::stol(name));
    Stat s;
    if (readStat(pid, s)) out[pid] = s;
  }
  return out;
}

}  // namespace

std::vector<pid_t> descendants(pid_t root) {
  const auto all = allProcesses();
  std::multimap<pid_t, pid_t> children;
  for (const auto& [pid, s] : all) children.emplace(s.ppid, pid);
  std::vector<pid_t> out;
  std::vector<pid_t> todo{root};
  while (!todo.empty()) {
    pid_t p = todo.back();
    todo.pop_back();
    auto [a, b] = children.equal_range(p);
    for (auto it = a; it != b; ++it) {
      out.push_back(it->second);
      todo.push_back(it->second);
    }
  }
  return out;
}

std::vector<pid_t> sessionMembers(pid_t sid) {
  std::vector<pid_t> out;
  for (const auto& [pid, s] : allProcesses())
    if (s.sid == sid) out.push_back(pid);
  return out;
}

long pssKb(pid_t pid, const char* field) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/smaps_rollup");
  std::string key;
  long value = 0;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    if (fields >> key >> value && key == field) return value;
  }
  return 0;
}

std::string commandLine(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
  std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::replace(s.begin(), s.end(), '\0', ' ');
  return s;
}

bool isRenderer(pid_t pid) {
  const std::string cmd = commandLine(pid);
  if (cmd.find("--type=renderer") != std::string::npos) return true;
  if (cmd.find("--type=zygote") == std::string::npos) return false;
  Stat s;
  return readStat(pid, s) && commandLine(s.ppid).find("--type=zygote") != std::string::npos;
}

TreeMemory treeMemory(pid_t root, pid_t sid) {
  std::set<pid_t> pids{root};
  for (pid_t p : descendants(root)) pids.insert(p);
  if (sid > 0)
    for (pid_t p : sessionMembers(sid)) pids.insert(p);
  TreeMemory m;
  for (pid_t p : pids) {
    long kb = pssKb(p);
    if (kb <= 0) continue;
    m.pssKb += kb;
    m.anonKb += pssKb(p, "Pss_Anon:");
    ++m.processes;
    if (isRenderer(p)) ++m.renderers;
  }
  return m;
}

}  // namespace kv::bench
