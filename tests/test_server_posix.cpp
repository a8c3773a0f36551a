// Starts the stand-in release service once per test run, as a child that ends
// with the test binary.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>

#include <unistd.h>

#include "test_server.h"

std::string testServerAssetsDir() {
  // Never freed, so the exit handler that removes the folder can still read it.
  static const std::string* dir = [] {
    auto d = std::filesystem::temp_directory_path() / ("veyra-test-assets-" + std::to_string(getpid()));
    std::filesystem::create_directories(d);
    auto* path = new std::string(d.string());
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(testServerAssetsDir(), ec);
    });
    return path;
  }();
  return *dir;
}

bool testServer(TestServer& server, std::string& why) {
  static std::once_flag once;
  static TestServer started;
  static std::string failure;
  std::call_once(once, [] {
    std::string log = testServerAssetsDir() + "/requests.log";
    // The server ends with this process, and holds none of its output pipes
    // (ctest waits for those to close).
    std::string command = "exec python3 " VEYRA_SOURCE_DIR "/tests/standins/release_server.py --watch-parent " +
                          std::to_string(getpid()) + " --lifetime 900 --assets '" + testServerAssetsDir() +
                          "' --log '" + log + "' 2>/dev/null";
    FILE* out = popen(command.c_str(), "r");
    char line[128] = {};
    if (!out || !fgets(line, sizeof line, out) ||
        sscanf(line, "PORTS %d %d", &started.port, &started.otherPort) != 2) {
      failure = "the release server did not start";
      return;
    }
    started.logPath = log;
    // The pipe stays open: closing it would wait for the server to end.
  });
  if (!failure.empty()) {
    why = failure;
    return false;
  }
  server = started;
  return true;
}
