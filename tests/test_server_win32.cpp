// Under Wine the test binary cannot start the Linux interpreter itself, so
// scripts/run-tests.sh starts the stand-in release service and passes
// "<port> <other port> <assets folder> <request log>" in VEYRA_TEST_HTTP.
#include <cstdio>
#include <sstream>

#include "plat/text.h"
#include "test_server.h"

namespace {
bool fromEnv(TestServer& server, std::string& assets) {
  std::istringstream in(plat::getEnv("VEYRA_TEST_HTTP"));
  std::string log;
  if (!(in >> server.port >> server.otherPort >> assets >> log)) return false;
  server.logPath = log;
  return true;
}
}  // namespace

std::string testServerAssetsDir() {
  TestServer s;
  std::string assets;
  return fromEnv(s, assets) ? assets : std::string();
}

bool testServer(TestServer& server, std::string& why) {
  std::string assets;
  if (fromEnv(server, assets)) return true;
  why = "VEYRA_TEST_HTTP is not set; run the Windows tests through scripts/run-tests.sh";
  return false;
}
