// The update's App side on any platform: refusals of startUpdate, and a check
// still running when the App goes away.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "app/app.h"
#include "plat/text.h"
#include "test_server.h"

namespace {

struct Refusal {
  const char* name;
  int stage;
  bool building, gameRunning, discChecking;
  const char* tag;
  const char* version;
};

TEST(UpdateStart, Refusals) {
  const Refusal cases[] = {
      {"downloading", Downloading, false, false, false, "v0.1.7", "0.1.7"},
      {"installing", Installing, false, false, false, "v0.1.7", "0.1.7"},
      {"restarting", Restarting, false, false, false, "v0.1.7", "0.1.7"},
      {"building", UpdateStageIdle, true, false, false, "v0.1.7", "0.1.7"},
      {"game running", UpdateStageFailed, false, true, false, "v0.1.7", "0.1.7"},
      {"disc check", UpdateStageIdle, false, false, true, "v0.1.7", "0.1.7"},
      {"no tag", UpdateStageIdle, false, false, false, "", "0.1.7"},
      {"no version", UpdateStageIdle, false, false, false, "v0.1.7", ""},
  };
  for (const Refusal& c : cases) {
    App app;
    app.releaseDir = plat::pathToUtf8(std::filesystem::temp_directory_path() / "veyra-refused-update");
    app.downloadPrefix = "http://127.0.0.1:1/";
    app.updateStage = c.stage;
    app.building = c.building;
    app.gameRunning = c.gameRunning;
    app.discChecking = c.discChecking;
    app.updateMessage = "earlier";
    app.startUpdate(c.tag, c.version);
    EXPECT_EQ(app.updateStage, c.stage) << c.name;
    EXPECT_EQ(app.updateMessage, "earlier") << c.name;
    EXPECT_FALSE(app.updateThread.joinable()) << c.name;
    EXPECT_FALSE(std::filesystem::exists(plat::pathFromUtf8(updateDir(app)))) << c.name;
  }
}

// The check's thread must outlive the App without touching it (run this under
// AddressSanitizer to see a use after free).
TEST(UpdateStart, CheckOutlivesTheApp) {
  TestServer server;
  std::string why;
  if (!testServer(server, why)) GTEST_SKIP() << why;
  std::weak_ptr<UpdateCheck> check;
  {
    auto app = std::make_unique<App>();
    app->updateCheck->start(server.base() + "/delayed-latest/3000", false);
    check = app->updateCheck;
  }
  EXPECT_FALSE(check.expired()) << "the running check keeps its record";
  double until = plat::nowSeconds() + 30;
  while (!check.expired() && plat::nowSeconds() < until) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_TRUE(check.expired()) << "the check ended and let its record go";
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // past the thread's last instruction
}

}  // namespace
