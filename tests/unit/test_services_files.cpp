// The data-file operations: exact bytes written, what the first-item reader reads (its rule is
// the first-item fuzz target's), emptying a folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "platform/services/datafiles.h"

namespace fs = std::filesystem;
using namespace kv::files;

namespace {

class DataFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kv-files-XXXXXX";  // not $TMPDIR: the test sets where it works
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override { fs::remove_all(dir); }

  std::string path(const std::string& name) const { return dir + "/" + name; }
  void put(const std::string& name, const std::string& bytes) const {
    std::ofstream(path(name), std::ios::binary) << bytes;
  }
  long entries() const {
    return std::distance(fs::directory_iterator(dir), fs::directory_iterator());
  }

  std::string dir;
};

TEST_F(DataFilesTest, WritesExactBytesAndReplacesWhole) {
  ASSERT_TRUE(writeNumber(path("dl.txt"), 1));
  EXPECT_EQ(readAll(path("dl.txt")), std::string("\x20\x31\x20\x0D\x0A"));
  ASSERT_TRUE(writeNumber(path("n.txt"), -12));
  EXPECT_EQ(readAll(path("n.txt")), "-12 \r\n");
  // Text unchanged, line breaks and commas included, no quotes added.
  ASSERT_TRUE(writeText(path("app_url.txt"), "http://a.b,lsr=7\r\nsecond \"line\""));
  EXPECT_EQ(readAll(path("app_url.txt")), "http://a.b,lsr=7\r\nsecond \"line\"\r\n");
  ASSERT_TRUE(writeText(path("app_url.txt"), "x"));
  EXPECT_EQ(readAll(path("app_url.txt")), "x\r\n");
  ASSERT_TRUE(writeText(path("user.txt"), ""));
  EXPECT_EQ(readAll(path("user.txt")), "\r\n");
  EXPECT_EQ(entries(), 4);  // no temporary file left behind

  // Written through a link, the link stays and its target changes.
  fs::create_symlink(path("dl.txt"), path("link.txt"));
  ASSERT_TRUE(writeNumber(path("link.txt"), 0));
  EXPECT_TRUE(fs::is_symlink(path("link.txt")));
  EXPECT_EQ(readAll(path("dl.txt")), " 0 \r\n");

  // A failed write leaves nothing: no missing folder made, no folder replaced.
  EXPECT_FALSE(writeText(path("missing/app_url.txt"), "x"));
  EXPECT_FALSE(fs::exists(path("missing")));
  fs::create_directory(path("folder"));
  EXPECT_FALSE(writeNumber(path("folder"), 1));
  EXPECT_TRUE(fs::is_directory(path("folder")));
  EXPECT_EQ(entries(), 6);
}

// Only the first item of a regular file is read; a pipe, a device or a folder counts as missing
// and never blocks.
TEST_F(DataFilesTest, ReadsTheFirstItemOfARegularFileAndCreatesWithoutEmptying) {
  const std::string fifo = path("fifo"), big = path("big");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", path("zero"));
  put("big", " 1 \r\n");
  fs::resize_file(big, 200 << 20);  // sparse: 200 MB after the first line
  const auto start = std::chrono::steady_clock::now();
  for (const std::string& p : {fifo, path("zero"), dir, path("missing.txt")}) {
    EXPECT_EQ(readFirstItem(p), std::nullopt) << p;
    EXPECT_EQ(readAll(p), std::nullopt) << p;
    EXPECT_EQ(readPicture(p), std::nullopt) << p;
  }
  EXPECT_EQ(readFirstItem(big), "1 ");
  EXPECT_EQ(readAll(big), std::nullopt);  // larger than any stored reply
  EXPECT_EQ(readPicture(big), std::nullopt);
  fs::resize_file(big, 4 << 20);  // pictures: up to 4 MB
  EXPECT_EQ(readPicture(big)->size(), 4u << 20);
  fs::resize_file(big, (4 << 20) + 1);
  EXPECT_EQ(readPicture(big), std::nullopt);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_FALSE(writeNumber(fifo, 1));
  put("empty.txt", "");
  EXPECT_EQ(readFirstItem(path("empty.txt")), "");
  ASSERT_TRUE(writeText(path("user.txt"), "li,si\r\nnext"));
  EXPECT_EQ(readFirstItem(path("user.txt")), "li");
  EXPECT_EQ(fileLength(path("none")), std::nullopt);
  EXPECT_TRUE(!isFile(dir) && isFolder(dir));

  EXPECT_TRUE(createEmptyFile(path("new.txt")));
  EXPECT_EQ(fileLength(path("new.txt")), 0);
  EXPECT_FALSE(createEmptyFile(path("user.txt")));  // an existing file is never emptied
  EXPECT_EQ(readAll(path("user.txt")), "li,si\r\nnext\r\n");
  EXPECT_FALSE(createEmptyFile(path("no/such.txt")));
  EXPECT_TRUE(createFolder(path("temp")));
  EXPECT_FALSE(createFolder(path("x/y")));  // no parents are made
  EXPECT_FALSE(fs::exists(path("x")));
}

TEST_F(DataFilesTest, EmptyFolderRemovesOnlyFilesDirectlyInside) {
  std::string temp = path("my temp");
  fs::create_directories(temp + "/sub dir");
  put("my temp/a b.url", "x");
  put("my temp/.hidden", "x");
  put("my temp/sub dir/keep.url", "x");
  put("outside.txt", "precious");
  fs::create_symlink(path("outside.txt"), temp + "/link.url");
  fs::create_directory_symlink(dir, temp + "/up");
  emptyFolder(temp);
  EXPECT_FALSE(fs::exists(temp + "/a b.url"));
  EXPECT_FALSE(fs::exists(temp + "/.hidden"));
  EXPECT_TRUE(fs::exists(temp + "/sub dir/keep.url"));
  EXPECT_TRUE(fs::is_symlink(temp + "/link.url"));
  EXPECT_TRUE(fs::is_symlink(temp + "/up"));
  EXPECT_EQ(readAll(path("outside.txt")), "precious");

  // A link in the folder's place is not followed; a missing folder is no error.
  fs::create_directory_symlink(temp + "/sub dir", path("linked"));
  emptyFolder(path("linked"));
  EXPECT_TRUE(fs::exists(temp + "/sub dir/keep.url"));
  emptyFolder(path("nothing here"));
}

}  // namespace
