// The launcher's single window: SDL3 start-up, the OpenGL 3.3 core context,
// Dear ImGui with its back ends, the UI scale, the fonts, the capped frame
// cycle and the read-back for screenshots.
#pragma once
#include <cstdint>
#include <string>

struct ImFont;
extern ImFont* uiFont;
extern ImFont* monoFont;

struct ScaleInput {
  float requested = 0;       // <= 0: automatic
  float displayScale = 0;    // the primary display's content scale; <= 0 unknown
  int desktopWidth = 0;      // 0: the desktop mode is unknown
  int desktopHeight = 0;
  int baseWidth = 1120, baseHeight = 760;
  int minWidth = 980, minHeight = 700;  // the smallest window at scale 1
};
struct ScaleResult {
  float scale = 1;
  int width = 0, height = 0;
  // The smallest size the window may be made: never more than the desktop's
  // usable area, so a small desktop (1280 x 720) still fits the window.
  int minWidth = 0, minHeight = 0;
};
// The UI scale and window size rule, pure so it can be tested on its own.
ScaleResult computeScale(const ScaleInput& in);

bool openWindow(const std::string& title, int baseWidth, int baseHeight, float requestedScale, std::string& error);
// The window's minimum size is set by openWindow from computeScale's result.
void setMinimumWindowSize(int width, int height);
// Resets Dear ImGui's colours to its dark preset (before loadFonts).
void resetDarkColors();
void loadFonts();
// `sawEvents` (optional) tells whether any event at all was handled: the
// picture may have changed.
bool pollWindowEvents(bool* sawEvents = nullptr);
// Returns whether an event is pending; the event stays queued.
bool waitWindowEvent(double seconds);
// What the window can show now: nothing (hidden, minimised or fully covered),
// or a picture with or without the keyboard focus.
enum class WindowView { NotShown, Unfocused, Focused };
WindowView windowView();
// How many frames were presented since the window opened (for the benches).
uint64_t presentedFrames();
void beginFrame();
void presentFrame(const std::string& screenshotPath);
void hideWindow();
void showWindow();
int windowPixelWidth();
int windowPixelHeight();
int desktopWidth();
int desktopHeight();
void* nativeWindowHandle();
void closeWindow();

// A virtual gamepad for the self-test: plugged in like a player's, read
// through the same back end. Buttons are SDL's gamepad button numbers.
bool attachVirtualGamepad(std::string& error);
void setVirtualGamepadButton(int button, bool down);
