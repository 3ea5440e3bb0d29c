// The stand-in web services with their friendly defaults, for the demo and the end-to-end tests:
//   kelvora_standin [--port N] [--port-file PATH]
// Runs until SIGINT or SIGTERM. Tests script it through its control requests (/__control/...).
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "platform/hosts.h"
#include "tools/standin/standin.h"

namespace {

int usage() {
  std::cerr << "usage: kelvora_standin [--port N] [--port-file PATH]\n";
  return 2;
}

// Written beside and renamed, so that a script polling for the file never reads half of it.
bool writePortFile(const std::string& path, int port) {
  const std::string temp = path + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << port << '\n';
    if (!out) return false;
  }
  std::error_code ec;
  std::filesystem::rename(temp, path, ec);
  return !ec;
}

}  // namespace

int main(int argc, char** argv) {
  int port = 0;
  std::string portFile;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--port" && i + 1 < argc) {
      char* end = nullptr;
      long value = std::strtol(argv[++i], &end, 10);
      if (*end != '\0' || value < 0 || value > 65535) return usage();
      port = static_cast<int>(value);
    } else if (arg == "--port-file" && i + 1 < argc) {
      portFile = argv[++i];
    } else {
      return usage();
    }
  }

  // Block the stop signals before any server thread exists, then wait for them here.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  kv::standin::StandIn services(kv::hosts::kProduct, kv::hosts::kPlatform);
  const int bound = services.start(port);
  if (bound <= 0) {
    std::cerr << "kelvora_standin: cannot listen on 127.0.0.1:" << port << "\n";
    return 1;
  }
  std::cout << "listening on 127.0.0.1:" << bound << std::endl;
  if (!portFile.empty() && !writePortFile(portFile, bound)) {
    std::cerr << "kelvora_standin: cannot write " << portFile << "\n";
    return 1;
  }

  int received = 0;
  sigwait(&signals, &received);
  services.stop();
  return 0;
}
