// Starts the stand-in release service once per test run, as a child that ends
// with the test binary.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>

#include <unistd.h>

#include "test_server.h"

std::string testServerAssetsDir() {
  static std::string dir = [] {
    auto d = std::filesystem::temp_directory_path() / ("veyra-test-assets-" + std::to_string(getpid()));
    std::filesystem::create_directories(d);
    return d.string();
  }();
  return dir;
}

bool testServer(TestServer& server, std::string& why) {
  static std::once_flag once;
  static TestServer started;
  static std::string failure;
  std::call_once(once, [] {
    std::string log = testServerAssetsDir() + "/requests.log";
    std::string command = "exec python3 " VEYRA_SOURCE_DIR "/tests/standins/release_server.py --watch-parent "
                          "--lifetime 900 --assets '" + testServerAssetsDir() + "' --log '" + log + "'";
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
