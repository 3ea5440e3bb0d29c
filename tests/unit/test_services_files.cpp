// The data-file operations: exact bytes written, the first-item reader, emptying a folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/services/datafiles.h"

namespace fs = std::filesystem;
using namespace kv::files;

namespace {

class DataFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "kv-files-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir = pattern;
  }
  void TearDown() override { fs::remove_all(dir); }

  std::string path(const std::string& name) const { return dir + "/" + name; }
  void put(const std::string& name, const std::string& bytes) const {
    std::ofstream(path(name), std::ios::binary) << bytes;
  }
  std::string get(const std::string& name) const {
    std::ifstream in(path(name), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
  }

  std::string dir;
};

TEST_F(DataFilesTest, WritesExactBytes) {
  ASSERT_TRUE(writeNumber(path("dl.txt"), 1));
  EXPECT_EQ(get("dl.txt"), std::string("\x20\x31\x20\x0D\x0A"));
  ASSERT_TRUE(writeNumber(path("dl.txt"), 0));
  EXPECT_EQ(get("dl.txt"), " 0 \r\n");
  ASSERT_TRUE(writeNumber(path("n.txt"), -12));
  EXPECT_EQ(get("n.txt"), "-12 \r\n");

  // Text unchanged, line breaks and commas included, no quotes added.
  ASSERT_TRUE(writeText(path("app_url.txt"), "http://a.b,lsr=7\r\nsecond \"line\""));
  EXPECT_EQ(get("app_url.txt"), "http://a.b,lsr=7\r\nsecond \"line\"\r\n");
  ASSERT_TRUE(writeText(path("user.txt"), ""));
  EXPECT_EQ(get("user.txt"), "\r\n");

  // A longer file is replaced whole by a shorter one, and no temporary file is left behind.
  ASSERT_TRUE(writeText(path("app_url.txt"), "x"));
  EXPECT_EQ(get("app_url.txt"), "x\r\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 4);
}

TEST_F(DataFilesTest, FailedWriteLeavesNothing) {
  EXPECT_FALSE(writeText(path("missing/app_url.txt"), "x"));
  EXPECT_FALSE(writeNumber(path("missing/dl.txt"), 1));
  EXPECT_FALSE(fs::exists(path("missing")));

  // A folder in the file's place is not replaced.
  fs::create_directory(path("dl.txt"));
  EXPECT_FALSE(writeNumber(path("dl.txt"), 1));
  EXPECT_TRUE(fs::is_directory(path("dl.txt")));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(DataFilesTest, WriteThroughLinkKeepsLink) {
  put("target.txt", "old\r\n");
  fs::create_symlink(path("target.txt"), path("link.txt"));
  ASSERT_TRUE(writeNumber(path("link.txt"), 1));
  EXPECT_TRUE(fs::is_symlink(path("link.txt")));
  EXPECT_EQ(get("target.txt"), " 1 \r\n");
}

TEST(FirstItem, Rules) {
  EXPECT_EQ(firstItemOf(" 1 \r\n"), "1");
  EXPECT_EQ(firstItemOf("1"), "1");
  EXPECT_EQ(firstItemOf(" 1 \r\n 0 \r\nmore"), "1");
  EXPECT_EQ(firstItemOf("\t  name"), "name");
  EXPECT_EQ(firstItemOf("ab,cd\r\n"), "ab");
  EXPECT_EQ(firstItemOf("first line\nsecond"), "first line");
  EXPECT_EQ(firstItemOf("first\rsecond"), "first");
  EXPECT_EQ(firstItemOf("  \"a, b\" tail,x"), "a, b");
  EXPECT_EQ(firstItemOf("\"a\r\nb\""), "a\r\nb");
  EXPECT_EQ(firstItemOf("\"unterminated, text"), "unterminated, text");
  EXPECT_EQ(firstItemOf("\"\""), "");
  EXPECT_EQ(firstItemOf(""), "");
  EXPECT_EQ(firstItemOf("   "), "");
  EXPECT_EQ(firstItemOf(",x"), "");
  EXPECT_EQ(firstItemOf("\r\nx"), "");
  // Inner blanks stay; quotes inside an unquoted item stay.
  EXPECT_EQ(firstItemOf("a b \"c\",d"), "a b \"c\"");
}

TEST_F(DataFilesTest, ReadsFirstItemOfFiles) {
  EXPECT_EQ(readFirstItem(path("missing.txt")), std::nullopt);
  EXPECT_EQ(readFirstItem(dir), std::nullopt);  // a folder is no file

  put("empty.txt", "");
  EXPECT_EQ(readFirstItem(path("empty.txt")), "");

  ASSERT_TRUE(writeNumber(path("dl.txt"), 1));
  EXPECT_EQ(readFirstItem(path("dl.txt")), "1");

  // A text written with a comma and several lines reads back up to the comma.
  ASSERT_TRUE(writeText(path("user.txt"), "li,si\r\nnext"));
  EXPECT_EQ(readFirstItem(path("user.txt")), "li");

  // Binary content: read as bytes, no crash.
  put("bin.txt", std::string("\0\x01\xFF,\0", 5));
  EXPECT_EQ(readFirstItem(path("bin.txt")), std::string("\0\x01\xFF", 3));
}

TEST_F(DataFilesTest, LengthAndKinds) {
  put("a.txt", "12345");
  EXPECT_EQ(fileLength(path("a.txt")), 5);
  EXPECT_EQ(fileLength(path("none")), std::nullopt);
  EXPECT_TRUE(isFile(path("a.txt")));
  EXPECT_FALSE(isFile(dir));
  EXPECT_TRUE(isFolder(dir));
  EXPECT_FALSE(isFolder(path("a.txt")));

  EXPECT_TRUE(createEmptyFile(path("new.txt")));
  EXPECT_EQ(fileLength(path("new.txt")), 0);
  EXPECT_FALSE(createEmptyFile(path("a.txt")));  // an existing file is never emptied
  EXPECT_EQ(get("a.txt"), "12345");
  EXPECT_FALSE(createEmptyFile(path("no/such.txt")));

  EXPECT_TRUE(createFolder(path("temp")));
  EXPECT_TRUE(isFolder(path("temp")));
  EXPECT_FALSE(createFolder(path("x/y")));  // no parents are made
  EXPECT_FALSE(fs::exists(path("x")));

  EXPECT_EQ(dataFolder("/opt/k"), "/opt/k/paz/l/s/r");
  EXPECT_EQ(dataFile("/opt/k", "dl.txt"), "/opt/k/paz/l/s/r/dl.txt");
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
  EXPECT_EQ(get("outside.txt"), "precious");

  // A link in the folder's place is not followed; a missing folder is no error.
  fs::create_directory(path("other"));
  put("other/f.txt", "x");
  fs::create_directory_symlink(path("other"), path("linked"));
  emptyFolder(path("linked"));
  EXPECT_TRUE(fs::exists(path("other/f.txt")));
  emptyFolder(path("nothing here"));
}

}  // namespace
