// The real window driven by a gamepad through SDL: a virtual gamepad plugged
// in after the window opened, its buttons read by the library's SDL back end
// exactly as a player's would be. Needs a display (run-tests.sh gives Xvfb).
#include <SDL3/SDL.h>
#include <gtest/gtest.h>
#include <imgui.h>

#include <functional>
#include <string>

#include "app/app.h"
#include "app/window.h"
#include "plat/text.h"
#include "ui/ui.h"

// A press on the pad reaches the welcome page's button, marks the gamepad as
// the last input, and a press made while the game has the launcher hidden
// does nothing when it comes back, even while still held.
TEST(GamepadWindow, VirtualGamepadDrivesTheRealWindow) {
  if (plat::getEnv("DISPLAY").empty()) GTEST_SKIP() << "no display";
  std::string error;
  ASSERT_TRUE(openWindow("Veyra Launcher", 1120, 760, 1, error)) << error;
  resetDarkColors();
  loadFonts();
  {
    App app;
    app.stage = NoDisc;
    int picks = 0;
    bool gamepadAtPick = false;
    app.pickDiscImage = [&] {
      ++picks;
      gamepadAtPick = app.lastInputGamepad;
      return std::string();  // the player cancels; nothing to check
    };
    auto frames = [&](int n) {
      for (int i = 0; i < n; ++i) {
        pollWindowEvents();
        beginFrame();
        drawUi(app);
        presentFrame("");
      }
    };
    frames(3);
    // The self-test's own pad, so both drive the window the same way; it
    // goes with the window.
    ASSERT_TRUE(attachVirtualGamepad(error)) << error;
    // One frame down: frames under Xvfb are slow enough for a longer hold
    // to count as the start of a held direction.
    auto press = [&](SDL_GamepadButton b) {
      setVirtualGamepadButton(b, true);
      frames(1);
      setVirtualGamepadButton(b, false);
      frames(2);
    };
    frames(3);
    EXPECT_TRUE(ImGui::GetIO().BackendFlags & ImGuiBackendFlags_HasGamepad);  // opened once plugged in

    press(SDL_GAMEPAD_BUTTON_DPAD_DOWN);  // the first touch shows the focus
    EXPECT_TRUE(app.lastInputGamepad);
    EXPECT_EQ(picks, 0);
    press(SDL_GAMEPAD_BUTTON_SOUTH);
    EXPECT_EQ(picks, 1);
    EXPECT_TRUE(gamepadAtPick);

    // The game runs: A pressed in the game, still held as the launcher returns.
    hideWindow();
    setVirtualGamepadButton(SDL_GAMEPAD_BUTTON_SOUTH, true);
    for (int i = 0; i < 5; ++i) pollWindowEvents();
    showWindow();
    frames(5);
    setVirtualGamepadButton(SDL_GAMEPAD_BUTTON_SOUTH, false);
    frames(3);
    EXPECT_EQ(picks, 1);
    press(SDL_GAMEPAD_BUTTON_SOUTH);  // the pad is the launcher's again
    EXPECT_EQ(picks, 2);
  }
  closeWindow();
}
