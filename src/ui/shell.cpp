// The window's shell. The foundation draws an empty root window; the header,
// tabs, views and background arrive with the interface work.
#include <imgui.h>

#include "app/app.h"
#include "ui/style.h"
#include "ui/ui.h"

void applyStyle() {}

void drawBackground(double, bool) {}

void drawUi(App&) {
  const ImGuiViewport* vp = ImGui::GetMainViewport();
  ImGui::SetNextWindowPos(vp->Pos);
  ImGui::SetNextWindowSize(vp->Size);
  ImGui::Begin("##root", nullptr,
               ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoSavedSettings |
                   ImGuiWindowFlags_NoBackground | ImGuiWindowFlags_NoBringToFrontOnFocus);
  ImGui::End();
}
