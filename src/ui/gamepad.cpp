// The launcher with a gamepad. The library's own navigation moves the focus
// and presses with the south button; what is ours is which device was used
// last (the system's file dialog cannot be driven with a gamepad) and the
// buttons that mean the same as a key.
#include "ui/gamepad.h"

#include <imgui.h>
#include <imgui_internal.h>

#include "app/app.h"

bool noteInputDevice(App& app) {
  const bool before = app.lastInputGamepad;
  // Only presses count: a stick at rest still reports its releases, and a
  // window that appears under a still pointer reports where the pointer is.
  for (const ImGuiInputEvent& e : GImGui->InputEventsTrail) {
    if (e.Type == ImGuiInputEventType_Key && e.Key.Down) {
      app.lastInputGamepad = ImGui::IsGamepadKey(e.Key.Key);
    } else if ((e.Type == ImGuiInputEventType_MouseButton && e.MouseButton.Down) ||
               e.Type == ImGuiInputEventType_MouseWheel || e.Type == ImGuiInputEventType_Text) {
      app.lastInputGamepad = false;
    }
  }
  return app.lastInputGamepad && !before;
}

bool backPressed() {
  return ImGui::IsKeyPressed(ImGuiKey_Escape, true) || ImGui::IsKeyPressed(ImGuiKey_GamepadFaceRight, true);
}

int tabStepPressed() {
  if (ImGui::IsKeyPressed(ImGuiKey_GamepadL1, false)) return -1;
  if (ImGui::IsKeyPressed(ImGuiKey_GamepadR1, false)) return 1;
  return 0;
}

bool gamepadHeld() {
  for (int k = ImGuiKey_Gamepad_BEGIN; k < ImGuiKey_Gamepad_END; ++k)
    if (ImGui::IsKeyDown(ImGuiKey(k))) return true;
  return false;
}
