// The views inside the card, put into each App state and read back through the
// widget trace: which branch, which texts, which buttons are enabled.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

#include "app/app.h"
#include "ui/style.h"
#include "ui/ui.h"
#include "ui/views.h"
#include "ui_harness.h"

namespace fs = std::filesystem;

namespace {

struct ViewsFixture : testing::Test {
  UiHarness ui;
  App app;
  WidgetTrace trace;
  fs::path dir;

  ViewsFixture() {
    dir = fs::temp_directory_path() /
          (std::string("veyra_ui_views_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir / "game");
    lay();
    ImGui::GetIO().UserData = &trace;
  }
  // A fresh App in the fixture's folder: a disc image on disk, no game built yet.
  void fresh() {
    app.~App();
    new (&app) App();
    std::error_code ec;
    for (const char* p : {"game/veyra.exe", "game/SLUS_209.99", "build"}) fs::remove_all(dir / p, ec);
    lay();
  }
  void lay() {
    app.releaseDir = dir.string();
    app.gameExe = (dir / "game" / "veyra.exe").string();
    app.gameElf = (dir / "game" / "SLUS_209.99").string();
    app.userDir = (dir / "user").string();
    app.logsDir = (dir / "user" / "logs").string();
    app.buildLogsDir = (dir / "build" / "logs").string();
    app.launcherIniPath = (dir / "user" / "launcher.ini").string();
    app.videoIniPath = (dir / "user" / "video.ini").string();
    app.settings.disc = (dir / "Emberfall.iso").string();
    touch(app.settings.disc);
    app.stage = Ready;
  }
  ~ViewsFixture() override {
    ImGui::GetIO().UserData = nullptr;
    uiFrench = false;
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  static void touch(const std::string& path) { std::ofstream(path) << "x"; }
  void built() {
    touch(app.gameExe);
    touch(app.gameElf);
    app.releaseCommit = app.builtFromCommit = "abc";
  }
  void frame() {
    trace.entries.clear();
    ui.frame([&] { drawUi(app); });
  }
  bool shows(const std::string& text) const {
    for (const auto& e : trace.entries)
      if (e.text.find(text) != std::string::npos) return true;
    return false;
  }
  // Whether the last button or pill with exactly this text (the card's, not a tab's)
  // was drawn enabled; empty when absent.
  std::optional<bool> button(const std::string& text) const {
    std::optional<bool> found;
    for (const auto& e : trace.entries)
      if (e.clickable && e.text == text) found = e.enabled;
    return found;
  }
  // Clicks the last button or pill drawn with this text, as the mouse would.
  void click(const std::string& text) {
    frame();
    const WidgetTrace::Entry* hit = nullptr;
    for (const auto& e : trace.entries)
      if (e.clickable && e.text == text) hit = &e;
    ASSERT_NE(hit, nullptr) << text;
    const ImVec2 c((hit->min.x + hit->max.x) / 2, (hit->min.y + hit->max.y) / 2);
    ui.mouseAt(c);
    frame();
    ui.mouseButton(true);
    frame();
    ui.mouseButton(false);
    frame();
  }
};

}  // namespace

TEST_F(ViewsFixture, StatesAgainstWhatIsShown) {
  struct Case {
    const char* name;
    std::function<void(ViewsFixture&)> setup;
    std::vector<std::string> shown, hidden;
    std::vector<std::pair<std::string, bool>> buttons;  // text, enabled
  };
  const std::vector<Case> cases = {
      {"not built", [](ViewsFixture&) {}, {"Your disc is ready", "USA disc (SLUS-20999)  ·  Emberfall.iso"},
       {"Ready to play"}, {{"Prepare the game", true}}},
      {"built but pending", [](ViewsFixture& f) { f.built(); f.app.settings.buildPending = true; },
       {"Preparing was stopped", "It continues where it left off."}, {"Ready to play"}, {{"Continue preparing", true}}},
      {"built", [](ViewsFixture& f) { f.built(); }, {"Ready to play", "F2 opens the settings"}, {"Your disc is ready"},
       {{"Play", true}}},
      {"game running", [](ViewsFixture& f) { f.built(); f.app.gameRunning = true; }, {}, {}, {{"Play", false}}},
      {"disc vanished", [](ViewsFixture& f) { fs::remove(f.app.settings.disc); },
       {"The disc image is no longer where it was. Select it again."}, {}, {{"Select your disc image…", true}}},
      {"status line", [](ViewsFixture& f) { f.app.statusText = "The game is ready. Prepared in 1:15."; },
       {"The game is ready. Prepared in 1:15."}, {}, {}},
      {"rebuild notice hides the offer",
       [](ViewsFixture& f) {
         f.built();
         f.app.builtFromCommit = "old";
         f.app.releaseVersion = "0.1.6";
         f.app.updateCheck->state = UpdateAvailable;
         f.app.updateCheck->latestVersion = "0.2.0";
       },
       {"Version 0.1.6 is installed."}, {"Version 0.2.0 is available."}, {{"Rebuild now", true}}},
      {"update offered",
       [](ViewsFixture& f) {
         f.built();
         f.app.releaseVersion = "0.1.6";
         f.app.updateCheck->state = UpdateAvailable;
         f.app.updateCheck->latestVersion = "0.2.0";
       },
       {"Version 0.2.0 is available."}, {}, {{"Update", true}, {"Open the release page", true}}},
      {"no offer for the same version",
       [](ViewsFixture& f) {
         f.built();
         f.app.releaseVersion = "0.2.0";
         f.app.updateCheck->state = UpdateAvailable;
         f.app.updateCheck->latestVersion = "0.2.0";
       },
       {}, {"is available."}, {}},
      {"failed update offers a retry",
       [](ViewsFixture& f) {
         f.built();
         f.app.updateCheck->state = UpdateAvailable;
         f.app.updateCheck->latestVersion = "0.2.0";
         f.app.updateStage = UpdateStageFailed;
         f.app.updateMessage = "the download was cut";
       },
       {"the download was cut"}, {}, {{"Try again", true}}},
      {"update downloading",
       [](ViewsFixture& f) {
         f.built();
         f.app.updateStage = Downloading;
         f.app.updateVersion = "0.2.0";
         f.app.updateBytesDone = 5000000;
         f.app.updateBytesTotal = 10000000;
       },
       {"Updating to version 0.2.0…", "Downloading: 5 of 10 MB."}, {}, {{"Stop", true}}},
      {"crash report",
       [](ViewsFixture& f) { f.built(); f.app.crashReport = "C:\\crash.txt"; },
       {"The game closed unexpectedly.", "C:\\crash.txt"}, {}, {{"Open crash report", true}, {"Open log", true}}},
      {"crash without report",
       [](ViewsFixture& f) { f.built(); f.app.crashedWithoutReport = true; f.app.gameExitCode = 3; },
       {"exit code 3"}, {}, {{"Open log", true}}},
      {"preparing stopped",
       [](ViewsFixture& f) {
         f.app.stage = Failed;
         f.app.progress.failedStep = "compile";
         f.app.progress.errorMessage = "No space left on device";
       },
       {"Preparing stopped", "The drive is full. Free some space and try again.", "No space left on device"}, {},
       {{"Try again", true}, {"Copy details", true}, {"Change disc image", true}}},
      {"preparing", [](ViewsFixture& f) { f.app.stage = Preparing; f.app.building = true; },
       {"Preparing the game", "Elapsed "}, {}, {{"Stop", true}}},
      {"stopping",
       [](ViewsFixture& f) { f.app.stage = Preparing; f.app.building = true; f.app.stopRequested = true; }, {}, {},
       {{"Stopping…", false}}},
      {"maintenance while building",
       [](ViewsFixture& f) { f.app.currentTab = 2; f.app.stage = Preparing; f.app.building = true; },
       {"This is version 0.1.6."}, {"Preparing the game"},
       {{"Rebuild", false}, {"Change disc image", false}, {"Open saves folder", true}, {"Open build logs", false}}},
      {"maintenance idle",
       [](ViewsFixture& f) { f.app.currentTab = 2; fs::create_directories(f.app.buildLogsDir); },
       {}, {}, {{"Rebuild", true}, {"Change disc image", true}, {"Open build logs", true}, {"Check for updates", true}}},
      {"maintenance while checking",
       [](ViewsFixture& f) { f.app.currentTab = 2; f.app.updateCheck->state = UpdateChecking; },
       {"This is version 0.1.6. Checking…"}, {}, {{"Check for updates", false}}},
      {"manual check failed",
       [](ViewsFixture& f) {
         f.app.currentTab = 2;
         f.app.updateCheck->state = UpdateFailed;
         f.app.updateCheck->manual = true;
         f.app.updateCheck->error = "no route";
       },
       {"This is version 0.1.6. Could not check: no route."}, {}, {}},
      {"automatic check failed",
       [](ViewsFixture& f) {
         f.app.currentTab = 2;
         f.app.updateCheck->state = UpdateFailed;
         f.app.updateCheck->error = "no route";
       },
       {"This is version 0.1.6."}, {"Could not check"}, {}},
      {"settings borderless", [](ViewsFixture& f) { f.app.currentTab = 1; f.app.video.mode = "borderless"; },
       {"The monitor's own size."}, {"Saved."}, {{"Borderless window", true}, {"Background motion: on", true}}},
      {"welcome", [](ViewsFixture& f) { f.app.stage = NoDisc; }, {"Welcome"}, {"Play"},
       {{"Select your disc image…", true}, {"Français", true}}},
      {"missing files",
       [](ViewsFixture& f) { f.app.stage = Incomplete; f.app.missingItem = "kit\\python.exe"; },
       {"The launcher did not find kit\\python.exe next to it."}, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fresh();
    c.setup(*this);
    frame();
    for (const auto& t : c.shown) EXPECT_TRUE(shows(t)) << t;
    for (const auto& t : c.hidden) EXPECT_FALSE(shows(t)) << t;
    for (const auto& [text, enabled] : c.buttons) {
      const auto state = button(text);
      ASSERT_TRUE(state.has_value()) << text;
      EXPECT_EQ(*state, enabled) << text;
    }
  }
}

TEST_F(ViewsFixture, FrenchTextsFollowTheLanguage) {
  uiFrench = true;
  built();
  frame();
  EXPECT_TRUE(shows("Prêt à jouer"));
  EXPECT_TRUE(button("Jouer").has_value());
  EXPECT_TRUE(button("Réglages").has_value());
}

TEST(UiViewsText, TimeLeftAndAdvice) {
  EXPECT_EQ(timeLeftText(-1), "");
  EXPECT_EQ(timeLeftText(0), "about a minute left");
  EXPECT_EQ(timeLeftText(40), "about a minute left");  // 52 s
  EXPECT_EQ(timeLeftText(50), "about 2 min left");     // 65 s rounds up
  EXPECT_EQ(timeLeftText(600), "about 13 min left");
  EXPECT_EQ(stoppedAdvice("compile", "No space left"), "The drive is full. Free some space and try again.");
  EXPECT_EQ(stoppedAdvice("verify", "disc.iso does not exist"),
            "The disc image is no longer where it was. Select it again.");
  EXPECT_EQ(stoppedAdvice("extract", "disc.iso does not exist"),
            "Try again. If it stops at the same place, copy the details and send them to us.");
  EXPECT_EQ(fileNameOf("C:\\games/disc\\Emberfall.iso"), "Emberfall.iso");
  EXPECT_EQ(fileNameOf("C:\\games\\"), "");
  EXPECT_EQ(fileNameOf("disc.iso"), "disc.iso");
}

TEST_F(ViewsFixture, CopyDetailsPutsTheReportOnTheClipboard) {
  app.stage = Failed;
  app.progress.failedStep = "compile";
  app.progress.errorMessage = "boom";
  app.uptime = 100;
  click("Copy details");
  EXPECT_EQ(std::string(ImGui::GetClipboardText()), app.buildErrorReport());
  frame();
  EXPECT_TRUE(button("Copied").has_value());
  app.uptime = 101.9;
  frame();
  EXPECT_TRUE(button("Copied").has_value());
  app.uptime = 102.1;
  frame();
  EXPECT_TRUE(button("Copy details").has_value());
}

TEST_F(ViewsFixture, VideoIniIsWrittenOnEveryModeClick) {
  app.currentTab = 1;
  fs::create_directories(dir / "user");
  app.video.mode = "windowed";
  click("Windowed");  // already selected: written anyway
  EXPECT_TRUE(fs::exists(app.videoIniPath));
  EXPECT_TRUE(app.video.videoSaved);
  EXPECT_TRUE(shows("Saved. The game uses it the next time it starts."));

  // The game default is written as its real size while the App keeps "default".
  app.video.width = app.video.height = 0;
  saveVideoSettings(app);
  VideoSettings written;
  ASSERT_TRUE(written.load(app.videoIniPath));
  EXPECT_EQ(written.width, 640);
  EXPECT_EQ(written.height, 448);
  EXPECT_EQ(app.video.width, 0);

  // A write that fails takes the "Saved." line away.
  app.videoIniPath = (dir / "no such folder" / "video.ini").string();
  click("Full screen");
  EXPECT_EQ(app.video.mode, "fullscreen");
  EXPECT_FALSE(app.video.videoSaved);
  EXPECT_FALSE(shows("Saved."));
}

TEST_F(ViewsFixture, StopIsDisabledAfterTheFirstClick) {
  app.stage = Preparing;
  app.building = true;
  click("Stop");
  EXPECT_TRUE(app.stopRequested);
  frame();
  EXPECT_EQ(button("Stopping…"), std::optional<bool>(false));
}
