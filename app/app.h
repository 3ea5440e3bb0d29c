// The window registry and the shared module state. Every window class has exactly one instance,
// reached through its accessor; the first touch loads it (creates it and runs its Form_Load), and
// unload destroys it, so that the next touch loads it anew.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "app/form.h"
#include "app/module1.h"
#include "platform/gui.h"
#include "platform/os.h"

namespace kv {

class Form1;
class Form2;
class Form3;
class Form4;
class Form5;
class Form6;
class Form7;
class Form8;
class Form9;
class Form10;
class Form12;

class App {
 public:
  App(Gui& gui, Os& os);
  ~App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  Gui& gui;
  Os& os;
  Module1 m;

  // Loads Form1, which runs the start-up road.
  void start();

  // Each accessor is a touch: it loads the window first when it is not loaded.
  Form& form(FormId id);
  Form1& form1();
  Form2& form2();
  Form3& form3();
  Form4& form4();
  Form5& form5();
  Form6& form6();
  Form7& form7();
  Form8& form8();
  Form9& form9();
  Form10& form10();
  Form12& form12();

  bool isLoaded(FormId id) const;
  // Runs the window's Form_QueryUnload, hides it and drops it from the registry. The object
  // itself is freed after the current event handler, so a window may unload itself.
  void unload(FormId id);

  // Path of a file in the data folder, and of the program's temp folder.
  std::string dataFile(const std::string& name) const;
  std::string tempFolder() const;

 private:
  std::unique_ptr<Form> create(FormId id);

  std::array<std::unique_ptr<Form>, 11> forms_;
  std::vector<std::unique_ptr<Form>> unloaded_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace kv
