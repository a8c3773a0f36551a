// The update's App side on any platform: refusals of startUpdate, and a check
// still running when the App goes away.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "app/app.h"
#include "plat/text.h"
#include "test_server.h"
#include "ui_harness.h"

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

// Whatever the release service offers: never an older or the same version,
// and never one this restart chain already installed without effect. Each is
// refused before anything is downloaded, with the reason shown.
TEST(UpdateStart, VersionsNeverInstalled) {
  const struct {
    const char* version;
    const char* unreached;
    const char* english;
    const char* french;
  } cases[] = {
      {"0.1.6", "", "Version 0.1.6 is not newer than this launcher (0.1.6): nothing was installed.",
       "La version 0.1.6 n'est pas plus récente que ce lanceur (0.1.6) : rien n'a été installé."},
      {"0.1.5", "", "Version 0.1.5 is not newer than this launcher (0.1.6): nothing was installed.", nullptr},
      {"0.1.6-rc1", "", "Version 0.1.6-rc1 is not newer than this launcher (0.1.6): nothing was installed.", nullptr},
      {"0.1.7", "0.1.7", "Version 0.1.7 was installed, but the launcher is still version 0.1.6: the update is not tried again.",
       "La version 0.1.7 a été installée, mais le lanceur est resté en version 0.1.6 : la mise à jour n'est pas relancée."},
  };
  for (const auto& c : cases)
    for (bool french : {false, true}) {
      if (french && !c.french) continue;
      UiGlobalsGuard globals;
      App app;
      app.releaseDir = plat::pathToUtf8(std::filesystem::temp_directory_path() / "veyra-never-update");
      app.downloadPrefix = "http://127.0.0.1:1/";
      app.unreachedVersion = c.unreached;
      uiFrench = french;
      app.startUpdate(std::string("v") + c.version, c.version);
      EXPECT_EQ(app.updateStage, UpdateStageFailed) << c.version;
      EXPECT_EQ(app.updateMessage, french ? c.french : c.english);
      EXPECT_FALSE(app.updateThread.joinable()) << c.version;
      EXPECT_FALSE(std::filesystem::exists(plat::pathFromUtf8(updateDir(app)))) << c.version;
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
