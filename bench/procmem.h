// Process trees and their memory, read from /proc: the descendants of a process, the proportional
// set size (PSS) of each, and the browser engine's renderer processes among them.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace kv::bench {

// The processes whose parent chain leads to `root` (root itself not included).
std::vector<pid_t> descendants(pid_t root);

// Every process of session `sid`, whichever its parent now (a double fork leaves the session).
std::vector<pid_t> sessionMembers(pid_t sid);

// PSS in kB from /proc/<pid>/smaps_rollup (or another of its fields); 0 when the process is gone.
long pssKb(pid_t pid, const char* field = "Pss:");

// The command line, arguments separated by blanks.
std::string commandLine(pid_t pid);

// A renderer of the browser engine: started with --type=renderer, or forked by a zygote, whose
// command line it keeps (a zygote child of a zygote).
bool isRenderer(pid_t pid);

struct TreeMemory {
  long pssKb = 0;
  // The PSS of anonymous memory: shared only within the process's own family of forks, so that
  // other programs mapping the same libraries do not change it.
  long anonKb = 0;
  int processes = 0;
  int renderers = 0;
};

// `root` and its descendants, plus the other members of `sid` when it is above 0.
TreeMemory treeMemory(pid_t root, pid_t sid = 0);

}  // namespace kv::bench
