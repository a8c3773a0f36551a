// The release check against the local release service: outcomes, the refusal
// while a check runs, and what a failure leaves of an earlier success.
#include <gtest/gtest.h>

#include <thread>

#include "plat/text.h"
#include "test_server.h"
#include "update/update_check.h"

namespace {

struct Outcome {
  int state;
  std::string latestVersion, latestTag, releasePage, error;
  bool manual;
};

Outcome waitForCheck(UpdateCheck& check) {
  double until = plat::nowSeconds() + 30;
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(check.mutex);
      if (check.state != UpdateChecking || plat::nowSeconds() > until)
        return {check.state, check.latestVersion, check.latestTag, check.releasePage, check.error, check.manual};
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

struct CheckCase {
  const char* path;
  int state;
  const char* version;  // expected latestVersion ("" when the check fails)
  const char* error;    // expected error ("" when it succeeds)
};

TEST(UpdateCheck, OutcomeTable) {
  TestServer server;
  std::string why;
  if (!testServer(server, why)) GTEST_SKIP() << why;
  const CheckCase cases[] = {
      {"/repos/TheTamblers/Morvane/releases/latest", UpdateAvailable, "0.1.7", ""},
      {"/latest/v0.1.7", UpdateAvailable, "0.1.7", ""},
      {"/latest/V0.2.0", UpdateAvailable, "0.2.0", ""},
      {"/latest/0.1.6", UpdateUpToDate, "0.1.6", ""},
      {"/latest/v0.1.5", UpdateUpToDate, "0.1.5", ""},
      {"/latest/2026-12-01", UpdateUpToDate, "2026-12-01", ""},
      {"/status/404", UpdateFailed, "", "no release published yet"},
      {"/status/500", UpdateFailed, "", "HTTP 500"},
      {"/bytes/100", UpdateFailed, "", "HTTP 200"},
      {"/bytes/1048577", UpdateFailed, "", "response too large"},
  };
  for (const CheckCase& c : cases) {
    auto check = std::make_shared<UpdateCheck>();
    check->start(server.base() + c.path, true);
    Outcome o = waitForCheck(*check);
    EXPECT_EQ(o.state, c.state) << c.path;
    EXPECT_EQ(o.latestVersion, c.version) << c.path;
    EXPECT_EQ(o.error, c.error) << c.path;
    if (c.state != UpdateFailed) {
      EXPECT_EQ(o.releasePage, std::string(releasePagePrefix) + o.latestTag) << c.path;
    }
    if (check->thread.joinable()) check->thread.join();
  }
}

TEST(UpdateCheck, BadUrlFailsWithItsText) {
  auto check = std::make_shared<UpdateCheck>();
  check->start("ftp://127.0.0.1/x", false);
  Outcome o = waitForCheck(*check);
  EXPECT_EQ(o.state, UpdateFailed);
  EXPECT_EQ(o.error, "bad URL");
  EXPECT_FALSE(o.manual);
  check->thread.join();
}

TEST(UpdateCheck, SecondStartWhileCheckingIsDropped) {
  TestServer server;
  std::string why;
  if (!testServer(server, why)) GTEST_SKIP() << why;
  auto check = std::make_shared<UpdateCheck>();
  check->start(server.base() + "/delayed-latest/800", false);
  check->start(server.base() + "/status/404", true);
  Outcome o = waitForCheck(*check);
  EXPECT_EQ(o.state, UpdateAvailable);
  EXPECT_FALSE(o.manual);
  check->thread.join();
}

TEST(UpdateCheck, FailureKeepsTheLastKnownRelease) {
  TestServer server;
  std::string why;
  if (!testServer(server, why)) GTEST_SKIP() << why;
  auto check = std::make_shared<UpdateCheck>();
  check->start(server.base() + "/latest/v0.1.7", false);
  ASSERT_EQ(waitForCheck(*check).state, UpdateAvailable);
  check->start(server.base() + "/status/404", true);
  Outcome o = waitForCheck(*check);
  EXPECT_EQ(o.state, UpdateFailed);
  EXPECT_TRUE(o.manual);
  EXPECT_EQ(o.latestTag, "v0.1.7");
  EXPECT_EQ(o.releasePage, std::string(releasePagePrefix) + "v0.1.7");
  check->start(server.base() + "/latest/v0.1.8", false);
  o = waitForCheck(*check);
  EXPECT_EQ(o.state, UpdateAvailable);
  EXPECT_EQ(o.error, "no release published yet");  // a success leaves the last error
  check->thread.join();
}

}  // namespace
