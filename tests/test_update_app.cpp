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

// The check's thread must outlive the App without touching it. Only
// AddressSanitizer (VEYRA_ASAN) sees a fault here, as a use after free: the
// test keeps no reference of its own, which would keep the memory allocated.
TEST(UpdateStart, CheckOutlivesTheApp) {
  TestServer server;
  std::string why;
  if (!testServer(server, why)) GTEST_SKIP() << why;
  double answered = plat::nowSeconds() + 3;
  {
    auto app = std::make_unique<App>();
    app->updateCheck->start(server.base() + "/delayed-latest/3000", false);
  }
  // Stay past the answer and the writing of its result.
  while (plat::nowSeconds() < answered + 1.5) std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

}  // namespace
