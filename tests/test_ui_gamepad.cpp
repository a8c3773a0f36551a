// The launcher driven with a gamepad alone, on the headless harness: the
// library's gamepad keys as the SDL back end sends them, stand-ins for the
// kit's interpreter and the game, and the trace to see where the focus is.
#include <gtest/gtest.h>
#include <imgui.h>
#include <imgui_internal.h>

#include <filesystem>
#include <memory>
#include <string>

#include "app/activity.h"
#include "app/app.h"
#include "plat/layout.h"
#include "plat/text.h"
#include "test_files.h"
#include "test_support.h"
#include "ui/style.h"
#include "ui/ui.h"
#include "ui_harness.h"

namespace fs = std::filesystem;

namespace {

constexpr double kAnswerSeconds = 20;  // how long a stand-in may take to end once told
const char* const kCommit = "1111111111111111111111111111111111111111";

struct GamepadSession : testing::Test {
  UiHarness ui;
  WidgetTrace trace;
  TempDir dir;
  fs::path root, control, disc;
  std::unique_ptr<App> app;

  GamepadSession() {
    root = dir.path / "release";
    control = dir.path / "control";
    disc = dir.path / "discs" / "Emberfall.iso";
    fs::create_directories(control);
    fs::create_directories(dir.path / "discs" / "Backups");  // a row above the image, for the pad to move past
    writeFile(disc, "an image\n");
    writeFile(root / "source" / "tools" / "veyra_build.py", "# run by the kit stand-in\n");
    writeFile(root / "source" / "release.ini", std::string("version=0.1.6\ncommit=") + kCommit + "\n");
    std::string news = "# Changes\n\n## 0.1.6\n";
    for (int i = 0; i < 40; ++i) news += "- Steadier preparing.\n";  // longer than the window shows
    writeFile(root / "CHANGELOG.md", news);
    writeFile(root / "kit" / "kit_manifest.json", "{}\n");
    const plat::ReleaseNames& names = plat::releaseNames();
    placeStandin(root / "kit" / plat::pathFromUtf8(names.pythonInKit));
    placeStandin(root / "game" / plat::pathFromUtf8(names.gameExe));
    plat::setEnv("VEYRA_KIT_CONTROL", plat::pathToUtf8(control));
    ImGuiIO& io = ImGui::GetIO();
    io.BackendFlags |= ImGuiBackendFlags_HasGamepad;  // as the SDL back end reports an open gamepad
    io.UserData = &trace;
    app = std::make_unique<App>();
    plat::setEnv("RA2V_USER_DIR", plat::pathToUtf8(dir.path / "user"));
    app->resolveLayout(plat::pathToUtf8(root));
    plat::setEnv("RA2V_USER_DIR", "");
    app->settings.updateCheck = false;
    // A disc checked before from the same folder: the launcher's picker opens there.
    app->discCheckImage = plat::pathToUtf8(dir.path / "discs" / "Emberfall (old).iso");
  }
  ~GamepadSession() override {
    if (app) {
      for (plat::ChildProcess* p : {&app->discCheck, &app->build, &app->game})
        if (plat::isRunning(*p)) plat::stopProcess(*p);
    }
    app.reset();
    ImGui::GetIO().UserData = nullptr;
    plat::setEnv("VEYRA_KIT_CONTROL", "");
    uiFrench = false;
  }

  void answer(const std::string& role, const std::string& words) {
    writeFile(control / (role + ".tmp"), words);
    fs::rename(control / (role + ".tmp"), control / (role + ".go"));
  }

  // One turn of the frame loop, as the launcher runs it.
  void frame() {
    app->uptime += 1.0 / 60;
    app->pollDiscCheck();
    if (app->building) app->pollBuild();
    app->pollGame();
    trace.entries.clear();
    if (app->launcherHidden) return;
    ui.frame([&] { drawUi(*app); });
  }
  // Frames until `done` holds (an outside program has to answer), or false.
  bool frameUntil(const std::function<bool()>& done) {
    return waitUntil([&] {
      frame();
      return done();
    }, kAnswerSeconds);
  }
  void pad(ImGuiKey k) {
    ui.key(k, true);
    frame();
    ui.key(k, false);
    frame();
  }
  std::string focused() const { return focusedText(trace); }
  // Moves the focus with the pad until the item with this text holds it: up
  // to the top, then row by row, each row walked to both ends.
  bool padTo(const std::string& text) {
    auto step = [&](ImGuiKey direction) {  // false when the focus did not move
      const ImGuiID before = GImGui->NavId;
      pad(direction);
      return GImGui->NavId != before;
    };
    auto found = [&] { return focused() == text; };
    if (found()) return true;
    for (int i = 0; i < 20 && step(ImGuiKey_GamepadDpadUp); ++i)
      if (found()) return true;
    for (int row = 0; row < 30; ++row) {
      for (ImGuiKey side : {ImGuiKey_GamepadDpadLeft, ImGuiKey_GamepadDpadRight})
        for (int i = 0; i < 8 && step(side); ++i)
          if (found()) return true;
      if (!step(ImGuiKey_GamepadDpadDown)) return false;
      if (found()) return true;
    }
    return false;
  }
  bool popupOpen() const { return GImGui->OpenPopupStack.Size > 0; }
};

}  // namespace

// A whole session with nothing but gamepad buttons: the disc, prepare, the
// quit question, stop, resume, play, Settings with its list, What's new,
// Maintenance, and quitting mid-build.
TEST_F(GamepadSession, WholeSessionWithTheGamepadAlone) {
  frame();
  frame();
  ASSERT_EQ(app->stage, NoDisc);
  EXPECT_FALSE(app->lastInputGamepad);

  // The first touch of the pad shows the focus, on the screen's default button.
  pad(ImGuiKey_GamepadDpadDown);
  EXPECT_TRUE(app->lastInputGamepad);
  ASSERT_EQ(focused(), "Select your disc image…");
  pad(ImGuiKey_GamepadFaceDown);
  // With the pad in hand the launcher's own picker answers, not the system's dialog.
  ASSERT_TRUE(app->discPicker.open);
  frame();
  ASSERT_TRUE(popupOpen());
  EXPECT_EQ(app->discPicker.folder, plat::pathToUtf8(disc.parent_path()));
  ASSERT_EQ(focused(), "Backups");
  pad(ImGuiKey_GamepadDpadDown);
  ASSERT_EQ(focused(), "Emberfall.iso");
  pad(ImGuiKey_GamepadFaceDown);
  EXPECT_FALSE(app->discPicker.open);
  EXPECT_EQ(app->discCheckImage, plat::pathToUtf8(disc));
  EXPECT_TRUE(plat::isRunning(app->discCheck));
  answer("check", "ok");
  ASSERT_TRUE(frameUntil([&] { return app->stage == Ready; }));

  frame();
  ASSERT_EQ(focused(), "Prepare the game");
  pad(ImGuiKey_GamepadFaceDown);
  ASSERT_TRUE(app->building);

  // Asked to close while preparing: B answers "Keep going".
  app->quitConfirmOpen = true;
  frame();
  frame();
  ASSERT_TRUE(popupOpen());
  EXPECT_EQ(focused(), "Keep going");
  pad(ImGuiKey_GamepadFaceRight);
  EXPECT_FALSE(popupOpen());
  EXPECT_TRUE(app->building);
  EXPECT_FALSE(app->quitNow);

  ASSERT_TRUE(padTo("Stop"));
  pad(ImGuiKey_GamepadFaceDown);
  ASSERT_TRUE(frameUntil([&] { return !app->building; }));
  frame();
  ASSERT_TRUE(padTo("Continue preparing")) << focused();
  pad(ImGuiKey_GamepadFaceDown);
  ASSERT_TRUE(app->building);
  answer("build", std::string("ok\n") + kCommit);
  ASSERT_TRUE(frameUntil([&] { return !app->building; }));
  ASSERT_EQ(app->stage, Ready);

  frame();
  ASSERT_EQ(focused(), "Play");
  pad(ImGuiKey_GamepadFaceDown);
  ASSERT_TRUE(app->gameRunning);
  answer("game", "quit");
  ASSERT_TRUE(frameUntil([&] { return !app->gameRunning && !app->launcherHidden; }));
  frame();
  EXPECT_NE(focused(), "") << GImGui->NavId << " " << GImGui->NavIdIsAlive << " " << GImGui->NavCursorVisible << " " << app->lastInputGamepad << (GImGui->NavWindow ? GImGui->NavWindow->Name : "-");  // back from the game, the focus shows at once

  // The shoulders walk the tabs and stop at the ends; B leaves a tab for Play.
  pad(ImGuiKey_GamepadR1);
  EXPECT_EQ(app->currentTab, 1);
  ASSERT_TRUE(padTo("Windowed"));
  pad(ImGuiKey_GamepadFaceDown);
  EXPECT_EQ(app->video.mode, "windowed");
  pad(ImGuiKey_GamepadDpadDown);  // onto the resolution list
  pad(ImGuiKey_GamepadFaceDown);
  ASSERT_TRUE(popupOpen());
  pad(ImGuiKey_GamepadDpadDown);
  pad(ImGuiKey_GamepadFaceDown);
  EXPECT_FALSE(popupOpen());
  EXPECT_GT(app->video.width, 0);
  pad(ImGuiKey_GamepadFaceDown);  // the focus went back to the list
  ASSERT_TRUE(popupOpen());
  pad(ImGuiKey_GamepadFaceRight);  // closes the list only
  EXPECT_FALSE(popupOpen());
  EXPECT_EQ(app->currentTab, 1);
  pad(ImGuiKey_GamepadFaceRight);
  EXPECT_EQ(app->currentTab, 0);
  for (int i = 0; i < 3; ++i) pad(ImGuiKey_GamepadR1);
  EXPECT_EQ(app->currentTab, 2);
  pad(ImGuiKey_GamepadL1);
  EXPECT_EQ(app->currentTab, 1);
  pad(ImGuiKey_GamepadR1);

  // What's new, from the footer: the pad scrolls its text, B closes it and
  // leaves the tab as it was.
  ASSERT_TRUE(padTo("What's new ›"));
  pad(ImGuiKey_GamepadFaceDown);
  frame();
  ASSERT_TRUE(popupOpen());
  ImGuiWindow* text = nullptr;
  for (ImGuiWindow* w : GImGui->Windows)
    if (std::string(w->Name).find("##whatsnew-text") != std::string::npos) text = w;
  ASSERT_NE(text, nullptr);
  ASSERT_GT(text->ScrollMax.y, 0);
  ui.key(ImGuiKey_GamepadDpadDown, true);
  for (int i = 0; i < 20; ++i) frame();
  ui.key(ImGuiKey_GamepadDpadDown, false);
  frame();
  EXPECT_GT(text->Scroll.y, 0);
  pad(ImGuiKey_GamepadFaceRight);
  EXPECT_FALSE(popupOpen());
  EXPECT_EQ(app->currentTab, 2);

  // Maintenance: rebuild, then quit from the question while it runs.
  ASSERT_TRUE(padTo("Rebuild"));
  pad(ImGuiKey_GamepadFaceDown);
  ASSERT_TRUE(app->building);
  app->quitConfirmOpen = true;
  frame();
  frame();
  ASSERT_TRUE(padTo("Stop and quit"));
  pad(ImGuiKey_GamepadFaceDown);
  EXPECT_TRUE(app->quitNow);
  EXPECT_TRUE(app->stopRequested);
  EXPECT_TRUE(app->lastInputGamepad);  // nothing but the pad all along
}

// The player's last device decides: a key or a click after the pad hands the
// launcher back to the system's dialog, a pad press takes it again; the
// focus ring shows only while the pad is in use.
TEST_F(GamepadSession, LastDeviceDecidesAndTheRingFollows) {
  frame();
  frame();
  auto ringDrawn = [] {
    const ImDrawList* fg = ImGui::GetForegroundDrawList(ImGui::GetMainViewport());
    return fg->VtxBuffer.Size > 0;
  };
  pad(ImGuiKey_GamepadDpadUp);
  EXPECT_TRUE(app->lastInputGamepad);
  EXPECT_TRUE(ringDrawn());
  pad(ImGuiKey_Tab);
  EXPECT_FALSE(app->lastInputGamepad);
  EXPECT_FALSE(ringDrawn());
  pad(ImGuiKey_GamepadLStickDown);
  EXPECT_TRUE(app->lastInputGamepad);
  ui.mouseAt(ImVec2(5, 5));
  ui.mouseButton(true);
  frame();
  ui.mouseButton(false);
  frame();
  EXPECT_FALSE(app->lastInputGamepad);
}
