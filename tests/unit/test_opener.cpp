// Opening addresses in the default browser through shortcut files in temp (the file's bytes and
// names are the shortcut writer's and the search pages' tests).
#include <filesystem>

#include "app/app.h"
#include "app/shared.h"
#include "tests/fake/app_fixture.h"

namespace kv::test {
namespace {

namespace fs = std::filesystem;

class OpenerTest : public AppFixture {
 protected:
  Form& caller() { return app->form(FormId::Form10); }
};

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
