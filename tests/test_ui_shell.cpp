// The window's shell in a headless frame: tabs, Escape, footer and popups.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/app.h"
#include "ui/ui.h"
#include "ui_harness.h"
#include "update/version.h"

namespace {

struct ShellFixture : testing::Test {
  UiHarness ui;
  App app;
  WidgetTrace trace;
  ShellFixture() { ImGui::GetIO().UserData = &trace; }
  ~ShellFixture() override { ImGui::GetIO().UserData = nullptr; }
  void frame() {
    trace.entries.clear();
    ui.frame([&] {
      drawBackground(app.uptime, app.settings.motion);
      drawUi(app);
    });
  }
  void click(ImVec2 p) {
    ui.mouseAt(p);
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
  static bool popupOpen() { return GImGui->OpenPopupStack.Size > 0; }
  float tabBarX() {
    float total = 0;
    for (const char* l : {"Play", "Settings", "Maintenance"}) total += tabTextWidth(l) + 38;
    return 1120 - 44 - total;
  }
};

}  // namespace

TEST_F(ShellFixture, TabBarPositionAndClicks) {
  app.stage = Ready;
  frame();
  const float x0 = tabBarX();
  const float x1 = x0 + tabTextWidth("Play") + 30 + 8;  // the Settings tab
  const float x2 = x1 + tabTextWidth("Settings") + 30 + 8;
  click(ImVec2(x1 - 4, 40));  // in the gap between two tabs
  EXPECT_EQ(app.currentTab, 0);
  click(ImVec2(x1 + 2, 40));
  EXPECT_EQ(app.currentTab, 1);
  click(ImVec2(x2 + 2, 40));
  EXPECT_EQ(app.currentTab, 2);
  click(ImVec2(x0 + 2, 40));
  EXPECT_EQ(app.currentTab, 0);
  click(ImVec2(x0 - 3, 40));  // left of the bar
  EXPECT_EQ(app.currentTab, 0);
}

TEST_F(ShellFixture, LanguagePillOnlyBeforeADiscIsAccepted) {
  app.stage = NoDisc;
  // A file stands where the folder should be: the save fails, the language still changes.
  const std::filesystem::path blocker =
      std::filesystem::temp_directory_path() / "veyra_ui_shell_language_blocker";
  std::ofstream(blocker) << "x";
  app.launcherIniPath = (blocker / "launcher.ini").string();
  frame();
  click(ImVec2(1120 - 44 - 110 + 10, 40));
  EXPECT_TRUE(uiFrench);
  EXPECT_EQ(app.settings.language, "fr");
  app.stage = Ready;
  frame();
  click(ImVec2(1120 - 44 - 110 + 10, 40));  // now the Maintenance tab lies there
  EXPECT_TRUE(uiFrench);
  EXPECT_EQ(app.currentTab, 2);
  std::filesystem::remove(blocker);
}

TEST_F(ShellFixture, EscapeReturnsToPlayUnlessAPopupIsOpen) {
  app.stage = Ready;
  app.currentTab = 2;
  frame();
  press(ImGuiKey_Escape);
  EXPECT_EQ(app.currentTab, 0);

  app.currentTab = 2;
  app.whatsNewText = "- one";
  app.whatsNewOpen = true;
  frame();
  EXPECT_FALSE(app.whatsNewOpen);
  EXPECT_TRUE(popupOpen());
  press(ImGuiKey_Escape);
  EXPECT_FALSE(popupOpen());
  EXPECT_EQ(app.currentTab, 2);
}

TEST_F(ShellFixture, QuitConfirmationWithoutABuildOnlyQuits) {
  app.stage = Ready;
  app.quitConfirmOpen = true;
  frame();
  EXPECT_FALSE(app.quitConfirmOpen);
  ASSERT_TRUE(popupOpen());
  // "Stop and quit" sits right of "Keep going", both centred in the window.
  const float w = (200 + 12 + 220), left = 1120 / 2.0f - w / 2;
  click(ImVec2(left + 212 + 110, 760 / 2.0f + 40));
  EXPECT_TRUE(app.quitNow);
  EXPECT_FALSE(app.building);
}

TEST_F(ShellFixture, FooterShowsTenCommitCharacters) {
  const std::string commit(sourceCommit);
  ASSERT_EQ(commit.size(), 40u);
  EXPECT_EQ(footerLine(false), std::string("Morvane ") + launcherVersion + "  ·  " + commit.substr(0, 10));
  EXPECT_EQ(footerLine(true), footerLine(false) + "  ·  update available");
  uiFrench = true;
  EXPECT_EQ(footerLine(true), footerLine(false) + "  ·  mise à jour disponible");
}

TEST_F(ShellFixture, ProgressOverlayOutsideThePlayTab) {
  app.stage = Preparing;
  app.building = true;
  auto overlayDrawn = [&] {
    bool found = false;
    ui.frame([&] {
      drawUi(app);
      // The overlay's text is the only #7EA6FF text drawn at the footer's height.
      ImGuiWindow* root = ImGui::FindWindowByName("##root");
      for (const ImDrawVert& v : root->DrawList->VtxBuffer)
        found |= v.col == 0xFFFFA67Eu && v.pos.y > 760 - 42 - 1 && v.pos.y < 760 - 10;
    });
    return found;
  };
  app.currentTab = 1;
  EXPECT_TRUE(overlayDrawn());
  app.currentTab = 0;
  EXPECT_FALSE(overlayDrawn());
}

// Everything in the window can be reached with Tab and pressed with Enter.
TEST_F(ShellFixture, KeyboardAlone) {
  app.stage = Ready;
  frame();
  for (int i = 0; i < 20 && focusedText(trace) != "Settings"; ++i) press(ImGuiKey_Tab);
  ASSERT_EQ(focusedText(trace), "Settings");
  press(ImGuiKey_Enter);
  EXPECT_EQ(app.currentTab, 1);
  press(ImGuiKey_Escape);
  EXPECT_EQ(app.currentTab, 0);

  // Enter alone presses the button that has the focus by default: "Keep going".
  app.quitConfirmOpen = true;
  frame();
  frame();
  press(ImGuiKey_Enter);
  EXPECT_FALSE(popupOpen());
  EXPECT_FALSE(app.quitNow);

  app.quitConfirmOpen = true;
  frame();
  frame();
  for (int i = 0; i < 4 && focusedText(trace) != "Stop and quit"; ++i) press(ImGuiKey_Tab);
  ASSERT_EQ(focusedText(trace), "Stop and quit");
  press(ImGuiKey_Enter);
  EXPECT_TRUE(app.quitNow);
}

// The first key a keyboard user presses can be Enter: it presses the button that
// has the focus by default, though no focus cursor has been shown yet.
TEST_F(ShellFixture, FirstEnterPressesTheDefaultButton) {
  app.stage = Ready;
  app.quitConfirmOpen = true;
  frame();
  frame();
  ASSERT_TRUE(popupOpen());
  press(ImGuiKey_Enter);
  EXPECT_FALSE(popupOpen());
  EXPECT_FALSE(app.quitNow);
}
