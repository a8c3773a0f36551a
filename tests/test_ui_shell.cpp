// The window's shell in a headless frame: tabs, Escape, footer and popups.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/app.h"
#include "ui/ui.h"
#include "ui_harness.h"
#include "update/version.h"

namespace {

// The numbers the shell's layout is pinned to: the harness's window and the
// shell's measures at scale 1.
constexpr float kWindowW = 1120, kWindowH = 760;  // UiHarness's display size
constexpr float kEdgeMargin = 44;                 // the shell's left and right margin
constexpr float kTabGap = 8;                      // between two tabs
constexpr float kOverlayFromBottom = 42;          // the progress overlay's line above the window's bottom
constexpr float kOverlaySize = 16;                // and its text size
// #7EA6FF (the accent blue) at full alpha, as a vertex holds it.
constexpr ImU32 kAccentBlueVertex = 0xFFFFA67Eu;

ImVec2 centre(const WidgetTrace::Entry& e) { return ImVec2((e.min.x + e.max.x) / 2, (e.min.y + e.max.y) / 2); }

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
  // The last button or pill drawn with this text in the last frame.
  const WidgetTrace::Entry* drawn(const std::string& text) const {
    const WidgetTrace::Entry* hit = nullptr;
    for (const auto& e : trace.entries)
      if (e.clickable && e.text == text) hit = &e;
    return hit;
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
};

}  // namespace

TEST_F(ShellFixture, TabBarPositionAndClicks) {
  app.stage = Ready;
  frame();
  ASSERT_TRUE(drawn("Play") && drawn("Settings") && drawn("Maintenance"));
  const WidgetTrace::Entry play = *drawn("Play"), settings = *drawn("Settings"), maintenance = *drawn("Maintenance");
  // The bar is laid out as if a gap followed its last tab too, so it ends one
  // gap inside the right margin; its tabs are a gap apart.
  EXPECT_NEAR(maintenance.max.x, kWindowW - kEdgeMargin - kTabGap, 0.5f);
  EXPECT_NEAR(settings.min.x - play.max.x, kTabGap, 0.5f);
  EXPECT_NEAR(maintenance.min.x - settings.max.x, kTabGap, 0.5f);
  const float y = centre(play).y;
  click(ImVec2(play.max.x + kTabGap / 2, y));  // in the gap between two tabs
  EXPECT_EQ(app.currentTab, 0);
  click(ImVec2(settings.min.x + 2, y));
  EXPECT_EQ(app.currentTab, 1);
  click(ImVec2(maintenance.min.x + 2, y));
  EXPECT_EQ(app.currentTab, 2);
  click(ImVec2(play.min.x + 2, y));
  EXPECT_EQ(app.currentTab, 0);
  click(ImVec2(settings.min.x + 2, y));
  click(ImVec2(play.min.x - 3, y));  // left of the bar
  EXPECT_EQ(app.currentTab, 1);
}

TEST_F(ShellFixture, LanguagePillOnlyBeforeADiscIsAccepted) {
  app.stage = NoDisc;
  // A file stands where the folder should be: the save fails, the language still changes.
  const std::filesystem::path blocker =
      std::filesystem::temp_directory_path() / "veyra_ui_shell_language_blocker";
  std::ofstream(blocker) << "x";
  app.launcherIniPath = (blocker / "launcher.ini").string();
  frame();
  ASSERT_NE(drawn("Français"), nullptr);
  const ImVec2 pillAt(drawn("Français")->min.x + 10, centre(*drawn("Français")).y);
  click(pillAt);
  EXPECT_TRUE(uiFrench);
  EXPECT_EQ(app.settings.language, "fr");
  frame();
  EXPECT_NE(drawn("English"), nullptr);
  app.stage = Ready;
  frame();
  EXPECT_EQ(drawn("English"), nullptr);
  click(pillAt);  // now the Maintenance tab lies there
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
  frame();
  ASSERT_TRUE(drawn("Keep going") && drawn("Stop and quit"));
  // "Stop and quit" sits right of "Keep going", the pair centred in the window.
  const WidgetTrace::Entry keep = *drawn("Keep going"), stop = *drawn("Stop and quit");
  EXPECT_GT(stop.min.x, keep.max.x);
  EXPECT_NEAR((keep.min.x + stop.max.x) / 2, kWindowW / 2, 1.0f);
  click(centre(stop));
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
        found |= v.col == kAccentBlueVertex && v.pos.y > kWindowH - kOverlayFromBottom - 1 &&
                 v.pos.y < kWindowH - kOverlayFromBottom + 2 * kOverlaySize;
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
