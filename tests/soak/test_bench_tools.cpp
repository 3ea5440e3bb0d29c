// The measuring tools of the soak test: process trees with their memory read from /proc.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "bench/procmem.h"

namespace {

// A child that starts a grandchild: both count as the tree of this process, with their memory.
TEST(ProcessTree, DescendantsAndTheirMemory) {
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t child = fork();
  if (child == 0) {
    if (fork() == 0) pause();
    if (write(ready[1], "x", 1) != 1) _exit(1);
    pause();
  }
  char c;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  auto tree = kv::bench::descendants(getpid());
  EXPECT_NE(std::find(tree.begin(), tree.end(), child), tree.end());
  auto below = kv::bench::descendants(child);
  ASSERT_EQ(below.size(), 1u);
  EXPECT_GT(kv::bench::pssKb(child), 0);
  EXPECT_FALSE(kv::bench::isRenderer(child));
  kv::bench::TreeMemory m = kv::bench::treeMemory(getpid());
  EXPECT_GE(m.processes, 3);
  EXPECT_GT(m.pssKb, kv::bench::pssKb(getpid()));
  EXPECT_GT(m.anonKb, 0);
  EXPECT_LT(m.anonKb, m.pssKb);
  EXPECT_EQ(m.renderers, 0);

  kill(below[0], SIGKILL);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  EXPECT_EQ(kv::bench::pssKb(child), 0);  // gone
}

}  // namespace
