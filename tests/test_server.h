// The local release service the HTTP and update tests talk to. On Linux the
// test binary starts it itself; the Windows binary, running under Wine, is
// handed the ports of one that scripts/run-tests.sh started (VEYRA_TEST_HTTP).
#pragma once
#include <string>

struct TestServer {
  int port = 0, otherPort = 0;
  std::string logPath;  // every request, one "<port> <path>" line each
  std::string base() const { return "http://127.0.0.1:" + std::to_string(port); }
};

// Starts (once) or finds the server; false with a reason when there is none.
// `assetsDir` is the folder its /download/ route serves.
bool testServer(TestServer& server, std::string& why);
std::string testServerAssetsDir();
