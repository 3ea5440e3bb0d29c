// Opening addresses in the default browser through shortcut files in temp.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/app.h"
#include "app/shared.h"
#include "tests/fake/app_fixture.h"

namespace kv::test {
namespace {

namespace fs = std::filesystem;

class OpenerTest : public AppFixture {
 protected:
  std::string read(const std::string& rel) {
    std::ifstream in(path(rel), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  Form& caller() { return app->form(FormId::Form10); }
};

TEST_F(OpenerTest, WritesTheShortcutAndOpensTheAddress) {
  OpenUrlShortcut(*app, caller(), "http://shop.example/item?id=1&x=a b");
  EXPECT_EQ(read("temp/20240303140509.url"),
            "[InternetShortcut]\r\nURL=http://shop.example/item?id=1&x=a b\r\n");
  EXPECT_EQ(caller().mShortPath, path("temp/20240303140509.url"));
  EXPECT_EQ(os.launched, std::vector<std::string>{"http://shop.example/item?id=1&x=a b"});
}

TEST_F(OpenerTest, SameSecondGetsADistinctFileAndLineBreaksStayInTheFile) {
  OpenUrlShortcut(*app, caller(), "http://a.example/");
  OpenUrlShortcut(*app, caller(), "http://b.example/\r\n");
  EXPECT_EQ(read("temp/20240303140509.url"), "[InternetShortcut]\r\nURL=http://a.example/\r\n");
  EXPECT_NE(caller().mShortPath, path("temp/20240303140509.url"));
  EXPECT_EQ(read(caller().mShortPath.substr(folder.size() + 1)),
            "[InternetShortcut]\r\nURL=http://b.example/\r\n\r\n");
  EXPECT_EQ(os.launched, (std::vector<std::string>{"http://a.example/", "http://b.example/"}));
}

TEST_F(OpenerTest, OnlyWebAddressesAreLaunchedButEveryOneIsWritten) {
  for (std::string url : {"javascript:alert(1)", "file:///etc/passwd", "myapp://x", ""}) {
    OpenUrlShortcut(*app, caller(), url);
  }
  OpenUrlShortcut(*app, caller(), "FTP://files.example/a");
  EXPECT_EQ(os.launched, std::vector<std::string>{"FTP://files.example/a"});
  size_t files = 0;
  for (auto& e : fs::directory_iterator(path("temp"))) files += e.is_regular_file();
  EXPECT_EQ(files, 5u);
}

TEST_F(OpenerTest, MissingTempStillOpensTheAddress) {
  Form& form = caller();  // loading it may run the start-up road, which creates temp
  fs::remove_all(path("temp"));
  OpenUrlShortcut(*app, form, "http://a.example/");
  EXPECT_EQ(form.mShortPath, "");
  EXPECT_EQ(os.launched, std::vector<std::string>{"http://a.example/"});
}

}  // namespace
}  // namespace kv::test
