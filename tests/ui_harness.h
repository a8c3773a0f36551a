// A Dear ImGui context with the launcher's real fonts and style but no window
// or renderer, for checking what the interface draws and where.
#pragma once
#include <imgui.h>
#include <imgui_internal.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/window.h"
#include "ui/style.h"

// The interface's globals (language, scale, fonts) as a test found them, put
// back when it ends, whatever the test or the code under test changed. Hold
// one for as long as anything may change them; every UiHarness holds one.
struct UiGlobalsGuard {
  bool french = uiFrench;
  float scale = uiScale;
  ImFont* font = uiFont;
  ImFont* mono = monoFont;
  UiGlobalsGuard() = default;
  UiGlobalsGuard(const UiGlobalsGuard&) = delete;
  UiGlobalsGuard& operator=(const UiGlobalsGuard&) = delete;
  ~UiGlobalsGuard() {
    uiFrench = french;
    uiScale = scale;
    uiFont = font;
    monoFont = mono;
  }
};

struct UiHarness {
  UiGlobalsGuard globals;  // first in, last out: restored after the context is gone
  ImGuiContext* context = nullptr;

  explicit UiHarness(float scale = 1.0f, ImVec2 display = ImVec2(1120, 760)) { start(scale, display); }
  ~UiHarness() { ImGui::DestroyContext(context); }
  UiHarness(const UiHarness&) = delete;
  UiHarness& operator=(const UiHarness&) = delete;

  // A new context at another scale; the fonts of the old one die with it.
  void reset(float scale, ImVec2 display = ImVec2(1120, 760)) {
    ImGui::DestroyContext(context);
    uiFont = monoFont = nullptr;
    start(scale, display);
  }
  void start(float scale, ImVec2 display) {
    context = ImGui::CreateContext();
    uiScale = scale;
    ImGuiIO& io = ImGui::GetIO();
    io.DisplaySize = display;
    io.DeltaTime = 1.0f / 60;
    // Claiming texture support lets NewFrame build the atlas itself; nothing
    // ever uploads it, and nothing here needs it uploaded.
    io.BackendFlags |= ImGuiBackendFlags_RendererHasTextures;
    resetDarkColors();
    loadFonts();
  }

  // One whole frame around `body`.
  void frame(const std::function<void()>& body) {
    ImGui::NewFrame();
    body();
    ImGui::Render();
  }
  // One frame with `body` inside a plain full-size window, as the widgets expect.
  void inWindow(const std::function<void()>& body) {
    frame([&] {
      ImGui::SetNextWindowPos(ImVec2(0, 0));
      ImGui::SetNextWindowSize(ImGui::GetIO().DisplaySize);
      ImGui::Begin("##test", nullptr, ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoSavedSettings);
      body();
      ImGui::End();
    });
  }
  void mouseAt(ImVec2 p) { ImGui::GetIO().AddMousePosEvent(p.x, p.y); }
  void mouseButton(bool down) { ImGui::GetIO().AddMouseButtonEvent(0, down); }
  void key(ImGuiKey k, bool down) { ImGui::GetIO().AddKeyEvent(k, down); }
};

// The vertices a drawing call added to the current window's draw list.
inline std::vector<ImDrawVert> verticesOf(const std::function<void()>& draw) {
  ImDrawList* dl = ImGui::GetWindowDrawList();
  const int before = dl->VtxBuffer.Size;
  draw();
  return std::vector<ImDrawVert>(dl->VtxBuffer.Data + before, dl->VtxBuffer.Data + dl->VtxBuffer.Size);
}

// Whether any text drawn this frame holds `text`.
inline bool traceShows(const WidgetTrace& trace, const std::string& text) {
  for (const auto& e : trace.entries)
    if (e.text.find(text) != std::string::npos) return true;
  return false;
}

// The text of the button or pill that holds the keyboard focus, by its
// rectangle in the trace; empty when the focused item was not drawn this frame.
inline std::string focusedText(const WidgetTrace& trace) {
  const WidgetTrace::Entry* e = focusedEntry(trace);
  return e ? e->text : std::string();
}
