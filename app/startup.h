// The start-up road: Form1's load handler.
#pragma once

namespace kv {

class App;
void RunStartupRoad(App& app);

}  // namespace kv
