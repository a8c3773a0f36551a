// The views inside the card, put into each App state and read back through the
// widget trace: which branch, which texts, which buttons are enabled.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>

#include "app/activity.h"
#include "app/app.h"
#include "ui/style.h"
#include "ui/ui.h"
#include "ui/views.h"
#include "ui_harness.h"

namespace fs = std::filesystem;

namespace {

struct ViewsFixture : testing::Test {
  UiHarness ui;
  std::unique_ptr<App> app = std::make_unique<App>();
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
    app = std::make_unique<App>();
    std::error_code ec;
    for (const char* p : {"game/veyra.exe", "game/SLUS_209.99", "build"}) fs::remove_all(dir / p, ec);
    lay();
  }
  void lay() {
    app->releaseDir = dir.string();
    app->gameExe = (dir / "game" / "veyra.exe").string();
    app->gameElf = (dir / "game" / "SLUS_209.99").string();
    app->userDir = (dir / "user").string();
    app->logsDir = (dir / "user" / "logs").string();
    app->buildLogsDir = (dir / "build" / "logs").string();
    app->launcherIniPath = (dir / "user" / "launcher.ini").string();
    app->videoIniPath = (dir / "user" / "video.ini").string();
    app->settings.disc = (dir / "Emberfall.iso").string();
    touch(app->settings.disc);
    app->stage = Ready;
  }
  ~ViewsFixture() override {
    ImGui::GetIO().UserData = nullptr;
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  static void touch(const std::string& path) { std::ofstream(path) << "x"; }
  void built() {
    touch(app->gameExe);
    touch(app->gameElf);
    app->releaseCommit = app->builtFromCommit = "abc";
  }
  void frame() {
    trace.entries.clear();
    ui.frame([&] { drawUi(*app); });
  }
  bool shows(const std::string& text) const { return traceShows(trace, text); }
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
  void press(ImGuiKey k) {
    ui.key(k, true);
    frame();
    ui.key(k, false);
    frame();
  }
  // Tabs until the item with this text has the focus; false when it never comes.
  bool tabTo(const std::string& text) {
    for (int i = 0; i < 40 && focusedText(trace) != text; ++i) press(ImGuiKey_Tab);
    return focusedText(trace) == text;
  }
  // The content card's scrolling region.
  static ImGuiWindow* card() {
    for (ImGuiWindow* w : GImGui->Windows)
      if ((w->Flags & ImGuiWindowFlags_ChildWindow) && std::string(w->Name).find("##card") != std::string::npos)
        return w;
    return nullptr;
  }
};

}  // namespace

// The status line's colour comes from the kind of outcome the build runner reports.
TEST_F(ViewsFixture, StatusLineColourFollowsItsKind) {
  // The palette's green, amber and red at full alpha, as a vertex holds them.
  struct Case {
    StatusKind kind;
    ImU32 vertex;
  } cases[] = {{StatusKind::Ready, 0xFFA3E04Fu}, {StatusKind::Stopped, 0xFF5CC3FFu}, {StatusKind::Failed, 0xFF7A6BFFu}};
  auto drawnIn = [&](ImU32 colour) {
    frame();
    size_t n = 0;
    for (const ImDrawList* dl : ImGui::GetDrawData()->CmdLists)
      for (const ImDrawVert& v : dl->VtxBuffer) n += v.col == colour;
    return n;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.kind));
    app->statusKind = c.kind;
    app->statusText.clear();
    const size_t without = drawnIn(c.vertex);
    app->statusText = "Stopped. Preparing continues from there next time.";
    EXPECT_GT(drawnIn(c.vertex), without);
  }
}

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
      {"built but pending", [](ViewsFixture& f) { f.built(); f.app->settings.buildPending = true; },
       {"Preparing was stopped", "It continues where it left off."}, {"Ready to play"}, {{"Continue preparing", true}}},
      {"built", [](ViewsFixture& f) { f.built(); }, {"Ready to play", "F2 opens the settings"}, {"Your disc is ready"},
       {{"Play", true}}},
      {"game running", [](ViewsFixture& f) { f.built(); f.app->gameRunning = true; }, {}, {}, {{"Play", false}}},
      {"disc vanished", [](ViewsFixture& f) { fs::remove(f.app->settings.disc); },
       {"The disc image is no longer where it was. Select it again."}, {}, {{"Select your disc image…", true}}},
      {"status line", [](ViewsFixture& f) { f.app->statusText = "The game is ready. Prepared in 1:15."; },
       {"The game is ready. Prepared in 1:15."}, {}, {}},
      {"rebuild notice hides the offer",
       [](ViewsFixture& f) {
         f.built();
         f.app->builtFromCommit = "old";
         f.app->releaseVersion = "0.1.6";
         f.app->updateCheck->state = UpdateAvailable;
         f.app->updateCheck->latestVersion = "0.2.0";
       },
       {"Version 0.1.6 is installed."}, {"Version 0.2.0 is available."}, {{"Rebuild now", true}}},
      {"update offered",
       [](ViewsFixture& f) {
         f.built();
         f.app->releaseVersion = "0.1.6";
         f.app->updateCheck->state = UpdateAvailable;
         f.app->updateCheck->latestVersion = "0.2.0";
       },
       {"Version 0.2.0 is available."}, {}, {{"Update", true}, {"Open the release page", true}}},
      {"no offer for the same version",
       [](ViewsFixture& f) {
         f.built();
         f.app->releaseVersion = "0.2.0";
         f.app->updateCheck->state = UpdateAvailable;
         f.app->updateCheck->latestVersion = "0.2.0";
       },
       {}, {"is available."}, {}},
      {"failed update offers a retry",
       [](ViewsFixture& f) {
         f.built();
         f.app->updateCheck->state = UpdateAvailable;
         f.app->updateCheck->latestVersion = "0.2.0";
         f.app->updateStage = UpdateStageFailed;
         f.app->updateMessage = "the download was cut";
       },
       {"the download was cut"}, {}, {{"Try again", true}}},
      {"update downloading",
       [](ViewsFixture& f) {
         f.built();
         f.app->updateStage = Downloading;
         f.app->updateVersion = "0.2.0";
         f.app->updateBytesDone = 5000000;
         f.app->updateBytesTotal = 10000000;
       },
       {"Updating to version 0.2.0…", "Downloading: 5 of 10 MB."}, {}, {{"Stop", true}}},
      {"crash report",
       [](ViewsFixture& f) { f.built(); f.app->crashReport = "C:\\crash.txt"; },
       {"The game closed unexpectedly.", "C:\\crash.txt"}, {}, {{"Open crash report", true}, {"Open log", true}}},
      {"crash without report",
       [](ViewsFixture& f) { f.built(); f.app->crashedWithoutReport = true; f.app->gameExitCode = 3; },
       {"exit code 3"}, {}, {{"Open log", true}}},
      {"preparing stopped",
       [](ViewsFixture& f) {
         f.app->stage = Failed;
         f.app->progress.failedStep = "compile";
         f.app->progress.errorMessage = "No space left on device";
       },
       {"Preparing stopped", "The drive is full. Free some space and try again.", "No space left on device"}, {},
       {{"Try again", true}, {"Copy details", true}, {"Change disc image", true}}},
      {"preparing", [](ViewsFixture& f) { f.app->stage = Preparing; f.app->building = true; },
       {"Preparing the game", "Elapsed "}, {}, {{"Stop", true}}},
      {"stopping",
       [](ViewsFixture& f) { f.app->stage = Preparing; f.app->building = true; f.app->stopRequested = true; }, {}, {},
       {{"Stopping…", false}}},
      {"maintenance while building",
       [](ViewsFixture& f) { f.app->currentTab = 2; f.app->stage = Preparing; f.app->building = true; },
       {"This is version 0.1.6."}, {"Preparing the game"},
       {{"Rebuild", false}, {"Change disc image", false}, {"Open saves folder", true}, {"Open build logs", false}}},
      {"maintenance idle",
       [](ViewsFixture& f) { f.app->currentTab = 2; fs::create_directories(f.app->buildLogsDir); },
       {}, {}, {{"Rebuild", true}, {"Change disc image", true}, {"Open build logs", true}, {"Check for updates", true}}},
      {"maintenance while checking",
       [](ViewsFixture& f) { f.app->currentTab = 2; f.app->updateCheck->state = UpdateChecking; },
       {"This is version 0.1.6. Checking…"}, {}, {{"Check for updates", false}}},
      {"manual check failed",
       [](ViewsFixture& f) {
         f.app->currentTab = 2;
         f.app->updateCheck->state = UpdateFailed;
         f.app->updateCheck->manual = true;
         f.app->updateCheck->error = "no route";
       },
       {"This is version 0.1.6. Could not check: no route."}, {}, {}},
      {"automatic check failed",
       [](ViewsFixture& f) {
         f.app->currentTab = 2;
         f.app->updateCheck->state = UpdateFailed;
         f.app->updateCheck->error = "no route";
       },
       {"This is version 0.1.6."}, {"Could not check"}, {}},
      {"settings borderless", [](ViewsFixture& f) { f.app->currentTab = 1; f.app->video.mode = "borderless"; },
       {"The monitor's own size."}, {"Saved."}, {{"Borderless window", true}, {"Background motion: on", true}}},
      {"welcome", [](ViewsFixture& f) { f.app->stage = NoDisc; }, {"Welcome"}, {"Play"},
       {{"Select your disc image…", true}, {"Français", true}}},
      {"missing files",
       [](ViewsFixture& f) { f.app->stage = Incomplete; f.app->missingItem = "kit\\python.exe"; },
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
  app->stage = Failed;
  app->progress.failedStep = "compile";
  app->progress.errorMessage = "boom";
  app->uptime = 100;
  click("Copy details");
  EXPECT_EQ(std::string(ImGui::GetClipboardText()), app->buildErrorReport());
  frame();
  EXPECT_TRUE(button("Copied").has_value());
  app->uptime = 101.9;
  frame();
  EXPECT_TRUE(button("Copied").has_value());
  app->uptime = 102.1;
  frame();
  EXPECT_TRUE(button("Copy details").has_value());
}

TEST_F(ViewsFixture, VideoIniIsWrittenOnEveryModeClick) {
  app->currentTab = 1;
  fs::create_directories(dir / "user");
  app->video.mode = "windowed";
  click("Windowed");  // already selected: written anyway
  EXPECT_TRUE(fs::exists(app->videoIniPath));
  EXPECT_TRUE(app->video.videoSaved);
  EXPECT_TRUE(shows("Saved. The game uses it the next time it starts."));

  // The game default is written as its real size while the App keeps "default".
  app->video.width = app->video.height = 0;
  saveVideoSettings(*app);
  VideoSettings written;
  ASSERT_TRUE(written.load(app->videoIniPath));
  EXPECT_EQ(written.width, 640);
  EXPECT_EQ(written.height, 448);
  EXPECT_EQ(app->video.width, 0);

  // A write that fails takes the "Saved." line away.
  app->videoIniPath = (dir / "no such folder" / "video.ini").string();
  click("Full screen");
  EXPECT_EQ(app->video.mode, "fullscreen");
  EXPECT_FALSE(app->video.videoSaved);
  EXPECT_FALSE(shows("Saved."));
}

TEST_F(ViewsFixture, StopIsDisabledAfterTheFirstClick) {
  app->stage = Preparing;
  app->building = true;
  click("Stop");
  EXPECT_TRUE(app->stopRequested);
  frame();
  EXPECT_EQ(button("Stopping…"), std::optional<bool>(false));
}

// The disc check, the build, the game and the update's download and install
// exclude one another, in the operations and in every button that starts one.
TEST_F(ViewsFixture, OneActivityAtATime) {
  struct Running {
    const char* name;
    std::function<void(App&)> start;
  };
  const std::vector<Running> running = {
      {"disc check", [](App& a) { a.discChecking = true; }},
      {"build", [](App& a) { a.building = true; }},
      {"game", [](App& a) { a.gameRunning = true; }},
      {"download", [](App& a) { a.updateStage = Downloading; }},
      {"install", [](App& a) { a.updateStage = Installing; }},
  };
  struct View {
    const char* name;
    std::function<void(ViewsFixture&)> setup;
    std::vector<std::string> starters;
  };
  const std::vector<View> views = {
      {"not built", [](ViewsFixture&) {}, {"Prepare the game"}},
      {"disc gone", [](ViewsFixture& f) { fs::remove(f.app->settings.disc); }, {"Select your disc image…"}},
      {"built, rebuild notice",
       [](ViewsFixture& f) {
         f.built();
         f.app->builtFromCommit = "old";
       },
       {"Play", "Rebuild now"}},
      {"update offer",
       [](ViewsFixture& f) {
         f.built();
         f.app->updateCheck->state = UpdateAvailable;
         f.app->updateCheck->latestVersion = "0.2.0";
         f.app->updateStage = UpdateStageFailed;
       },
       {"Try again"}},
      {"stopped", [](ViewsFixture& f) { f.app->stage = Failed; }, {"Try again", "Change disc image"}},
      {"maintenance", [](ViewsFixture& f) { f.app->currentTab = 2; }, {"Rebuild", "Change disc image"}},
  };
  for (const View& v : views) {
    fresh();
    v.setup(*this);
    frame();
    for (const auto& b : v.starters) EXPECT_EQ(button(b), std::optional<bool>(true)) << v.name << ": " << b;
    const int stage = app->stage, updateStage = app->updateStage;
    for (const Running& r : running) {
      SCOPED_TRACE(std::string(v.name) + " while " + r.name);
      app->stage = stage;
      app->updateStage = updateStage;
      app->discChecking = app->building = app->gameRunning = false;
      r.start(*app);
      frame();
      for (const auto& b : v.starters) {
        const auto state = button(b);
        if (state) {
          EXPECT_FALSE(*state) << b;  // a view may also step aside, as Play does for the update progress
        }
      }
      EXPECT_FALSE(canStart(*app, Activity::DiscCheck));
    }
  }

  // The operations refuse on their own too: nothing is started, nothing reported.
  for (const Running& r : running) {
    SCOPED_TRACE(r.name);
    fresh();
    built();
    r.start(*app);
    const bool checking = app->discChecking, building = app->building, playing = app->gameRunning;
    app->startBuild();
    EXPECT_EQ(app->stage, Ready);
    EXPECT_EQ(app->building, building);
    app->startDiscCheck(app->settings.disc);
    EXPECT_EQ(app->discChecking, checking);
    EXPECT_EQ(app->discCheckReason, "");
    app->launchGame();
    EXPECT_EQ(app->gameRunning, playing);
    EXPECT_EQ(app->gameStartError, "");
    if (r.start.target_type() != running[3].start.target_type()) {
      const int before = app->updateStage;
      app->startUpdate("v0.2.0", "0.2.0");
      EXPECT_EQ(app->updateStage, before);
    }
  }
}

// While the update script installs, a close request does nothing, also when a
// build runs, and the quit confirmation cannot end the launcher.
TEST_F(ViewsFixture, CloseIsIgnoredWhileInstalling) {
  EXPECT_EQ(closeRequested(*app), CloseAction::Quit);
  app->building = true;
  EXPECT_EQ(closeRequested(*app), CloseAction::Confirm);
  app->updateStage = Installing;
  EXPECT_EQ(closeRequested(*app), CloseAction::Ignore);
  EXPECT_FALSE(quitAllowed(*app));
  app->quitConfirmOpen = true;
  frame();
  frame();
  EXPECT_EQ(button("Stop and quit"), std::optional<bool>(false));
  app->updateStage = Restarting;
  EXPECT_TRUE(quitAllowed(*app));
}

// The check's progress and its rejection show where the player started it,
// in both languages, and not on another tab.
TEST_F(ViewsFixture, DiscCheckOutcomeWhereItWasStarted) {
  struct Origin {
    const char* name;
    std::function<void(ViewsFixture&)> setup;
  };
  const std::vector<Origin> origins = {
      {"not built", [](ViewsFixture&) {}},
      {"built", [](ViewsFixture& f) { f.built(); }},
      {"stopped", [](ViewsFixture& f) { f.app->stage = Failed; }},
      {"maintenance", [](ViewsFixture& f) { f.app->currentTab = 2; }},
  };
  for (bool french : {false, true}) {
    for (const Origin& o : origins) {
      SCOPED_TRACE(std::string(o.name) + (french ? " in French" : ""));
      fresh();
      uiFrench = french;
      o.setup(*this);
      app->discCheckTab = app->currentTab;
      app->discChecking = true;
      app->discCheckImage = "/discs/other.iso";
      frame();
      EXPECT_TRUE(shows(french ? "Vérification du disque…" : "Checking the disc…"));
      EXPECT_TRUE(shows("other.iso"));
      app->discChecking = false;
      app->discCheckReason = french ? "Ce fichier n'est pas une image disque PS2." : "This file is not a PS2 disc image.";
      app->discCheckOutput = "no volume descriptor";
      frame();
      EXPECT_TRUE(shows(app->discCheckReason));
      EXPECT_TRUE(shows("no volume descriptor"));
      app->currentTab = app->currentTab == 2 ? 0 : 2;  // elsewhere it says nothing
      frame();
      EXPECT_FALSE(shows(app->discCheckReason));
    }
  }
  uiFrench = false;
}

// The game writes video.ini too: the launcher's saves keep what the game
// wrote last for every key the launcher does not edit, and a game run is
// read back.
TEST_F(ViewsFixture, VideoIniKeepsTheGamesLatestValues) {
  fs::create_directories(dir / "user");
  std::ofstream(app->videoIniPath) << "[video]\nsize = 1280x960\nmode = windowed\nframe_rate = game\n";
  ASSERT_TRUE(app->video.load(app->videoIniPath));
  // Meanwhile the game's F2 window changes the frame rate and adds a key.
  std::ofstream(app->videoIniPath) << "[video]\nsize = 1280x960\nmode = windowed\nframe_rate = 60\nvsync = off\n";
  app->currentTab = 1;
  click("Full screen");
  VideoSettings written;
  ASSERT_TRUE(written.load(app->videoIniPath));
  EXPECT_EQ(written.mode, "fullscreen");
  EXPECT_EQ(written.frameRate, "60");
  EXPECT_EQ(written.otherKeys["vsync"], "off");
  EXPECT_EQ(written.width, 1280);

  // After a run the launcher shows what the game left; the game's default
  // size stays "Game default".
  app->video.width = app->video.height = 0;
  std::ofstream(app->videoIniPath) << "[video]\nsize = 640x448\nmode = borderless\nframe_rate = 30\n";
  reloadVideoAfterGame(app->video, app->videoIniPath);
  EXPECT_EQ(app->video.mode, "borderless");
  EXPECT_EQ(app->video.frameRate, "30");
  EXPECT_EQ(app->video.width, 0);
  EXPECT_TRUE(app->video.otherKeys.empty());
}

// A widget whose label follows its state keeps the focus when pressed, and
// Tab goes on from it.
TEST_F(ViewsFixture, ChangingLabelsKeepTheFocus) {
  struct Case {
    const char* name;
    std::function<void(ViewsFixture&)> setup;
    std::string before, after;
  };
  const std::vector<Case> cases = {
      {"motion", [](ViewsFixture& f) { f.app->currentTab = 1; }, "Background motion: on", "Background motion: off"},
      {"update check", [](ViewsFixture& f) { f.app->currentTab = 1; }, "Check for updates at start: on",
       "Check for updates at start: off"},
      {"copy details", [](ViewsFixture& f) { f.app->stage = Failed; f.app->uptime = 1000; }, "Copy details", "Copied"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fresh();
    c.setup(*this);
    frame();
    ASSERT_TRUE(tabTo(c.before));
    press(ImGuiKey_Enter);
    EXPECT_EQ(focusedText(trace), c.after);
    press(ImGuiKey_Tab);
    EXPECT_NE(focusedText(trace), "");
    EXPECT_NE(focusedText(trace), c.after);
  }
  // Stop turns into a disabled "Stopping…": the keyboard still moves on. The
  // item focused last above has gone from the screen now.
  fresh();
  app->stage = Preparing;
  app->building = true;
  frame();
  frame();
  ASSERT_TRUE(tabTo("Stop")) << focusedText(trace);
  press(ImGuiKey_Enter);
  EXPECT_TRUE(app->stopRequested);
  press(ImGuiKey_Tab);
  EXPECT_NE(focusedText(trace), "");
}

// Enter alone presses the screen's default button, given anew each time its
// view appears, never an item the mouse clicked earlier.
TEST_F(ViewsFixture, EnterPressesTheDefaultButtonOnly) {
  app->currentTab = 1;
  fs::create_directories(dir / "user");
  click("Windowed");
  app->video.mode = "fullscreen";  // changed by other means
  press(ImGuiKey_Enter);
  EXPECT_EQ(app->video.mode, "fullscreen");  // Settings has no default button

  press(ImGuiKey_Escape);  // back to Play, whose default is "Prepare the game"
  ASSERT_EQ(app->currentTab, 0);
  frame();  // the focus given in the frame a view appears shows from the next
  EXPECT_EQ(focusedText(trace), "Prepare the game");
  press(ImGuiKey_Enter);
  EXPECT_EQ(app->stage, Failed);  // the build was asked for (and cannot start here)
  frame();
  EXPECT_EQ(focusedText(trace), "Try again");

  // What's new has no default button: Enter does not reach the one under it.
  fresh();
  app->whatsNewText = "- one";
  app->whatsNewOpen = true;
  frame();
  frame();
  press(ImGuiKey_Enter);
  EXPECT_EQ(app->stage, Ready);
}

// Escape with the resolution list open closes the list and stays on Settings.
TEST_F(ViewsFixture, EscapeClosesOnlyTheResolutionList) {
  app->currentTab = 1;
  frame();
  ASSERT_TRUE(tabTo("Borderless window"));
  press(ImGuiKey_Tab);  // the resolution list
  press(ImGuiKey_Enter);
  ASSERT_GT(GImGui->OpenPopupStack.Size, 0);
  press(ImGuiKey_Escape);
  EXPECT_EQ(GImGui->OpenPopupStack.Size, 0);
  EXPECT_EQ(app->currentTab, 1);
  press(ImGuiKey_Escape);
  EXPECT_EQ(app->currentTab, 0);
}

// Every screen, in both languages and at scales 1 and 2, fits between the
// header and the footer from the smallest window up; a taller view scrolls.
TEST_F(ViewsFixture, EveryScreenFitsAboveTheFooter) {
  struct Screen {
    const char* name;
    std::function<void(ViewsFixture&)> setup;
  };
  const std::vector<Screen> screens = {
      {"welcome", [](ViewsFixture& f) {
         f.app->stage = NoDisc;
         f.app->discCheckReason = "This file is not a PS2 disc image.";
         f.app->discCheckOutput = "no volume descriptor";
       }},
      {"not built, offer and crash", [](ViewsFixture& f) {
         fs::remove(f.app->settings.disc);
         f.app->updateCheck->state = UpdateAvailable;
         f.app->updateCheck->latestVersion = "0.2.0";
         f.app->crashReport = "/crash.txt";
         f.app->statusText = "Stopped. Preparing continues from there next time.";
       }},
      {"built, rebuild, crash", [](ViewsFixture& f) {
         f.built();
         f.app->builtFromCommit = "old";
         f.app->whatsNewText = "- one";
         f.app->crashReport = "/crash.txt";
       }},
      {"built, update downloading", [](ViewsFixture& f) {
         f.built();
         f.app->updateStage = Downloading;
         f.app->crashedWithoutReport = true;
       }},
      {"stopped", [](ViewsFixture& f) {
         f.app->stage = Failed;
         f.app->progress.errorMessage = std::string(300, 'x');
         f.app->discCheckReason = "This file is not a PS2 disc image.";
       }},
      {"preparing", [](ViewsFixture& f) { f.app->stage = Preparing; f.app->building = true; }},
      {"settings", [](ViewsFixture& f) { f.app->currentTab = 1; f.app->video.videoSaved = true; }},
      {"maintenance", [](ViewsFixture& f) {
         f.app->currentTab = 2;
         f.app->discCheckTab = 2;
         f.app->discCheckReason = "This file is not a PS2 disc image.";
       }},
      {"maintenance, portable on a read-only stick", [](ViewsFixture& f) {
         f.app->currentTab = 2;
         f.app->portable = true;
         f.app->userDirWritable = false;
         f.app->userDir = "/run/media/player/CLÉ USB/Jeux/Morvane-0.1.6/user";
       }},
  };
  const ImVec2 sizes[] = {{980, 700}, {1120, 760}, {980, 640}, {1920, 1080}};
  for (float scale : {1.0f, 2.0f}) {
    ui.reset(scale);
    ImGui::GetIO().UserData = &trace;
    for (bool french : {false, true}) {
      for (const ImVec2& base : sizes) {
        const ImVec2 size(base.x * scale, base.y * scale);
        ImGui::GetIO().DisplaySize = size;
        for (const Screen& sc : screens) {
          SCOPED_TRACE(testing::Message() << sc.name << " at " << size.x << "x" << size.y << " scale " << scale
                                          << (french ? " in French" : ""));
          fresh();
          uiFrench = french;
          sc.setup(*this);
          frame();
          frame();
          ImGuiWindow* region = card();
          ASSERT_NE(region, nullptr);
          float footerTop = size.y;
          for (const auto& e : trace.entries)
            if (e.text.size() > 3 && e.text.compare(e.text.size() - 3, 3, "›") == 0)
              footerTop = std::min(footerTop, e.min.y);  // the footer's links
          EXPECT_LE(region->Pos.y + region->Size.y, footerTop);
          for (const ImDrawCmd& cmd : region->DrawList->CmdBuffer) EXPECT_LE(cmd.ClipRect.w, footerTop);
          // Scrolled to its end, the card shows its last button inside it.
          ImGui::SetScrollY(region, region->ScrollMax.y);
          frame();
          for (const auto& e : trace.entries) {
            if (e.clickable && e.min.y >= region->Pos.y && e.min.y < footerTop) {
              EXPECT_LE(e.max.y, region->Pos.y + region->Size.y + 1) << e.text;
            }
          }
        }
      }
    }
  }
  uiFrench = false;
}

// A view taller than the card scrolls with the wheel and follows the focus.
TEST_F(ViewsFixture, TallViewScrollsWithWheelAndFocus) {
  ImGui::GetIO().DisplaySize = ImVec2(980, 640);
  uiFrench = true;
  app->currentTab = 1;
  frame();
  frame();
  ImGuiWindow* region = card();
  ASSERT_NE(region, nullptr);
  ASSERT_GT(region->ScrollMax.y, 0);
  ui.mouseAt(ImVec2(region->Pos.x + 100, region->Pos.y + 100));
  ImGui::GetIO().AddMouseWheelEvent(0, -3);
  frame();
  frame();
  EXPECT_GT(region->Scroll.y, 0);
  ImGui::SetScrollY(region, 0);
  frame();
  ASSERT_TRUE(tabTo("Vérifier les mises à jour au démarrage : oui"));
  EXPECT_GT(region->Scroll.y, 0);
  for (const auto& e : trace.entries) {
    if (e.text == "Vérifier les mises à jour au démarrage : oui") {
      EXPECT_LE(e.max.y, region->Pos.y + region->Size.y);
    }
  }
  uiFrench = false;
}
