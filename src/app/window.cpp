// The window, renderer and fonts. One window per process, so its state is
// module-level; everything runs on the main thread with the GL context current.
#include "app/window.h"

#include <SDL3/SDL.h>
#include <SDL3/SDL_opengl.h>
#include <imgui.h>
#include <imgui_impl_opengl3.h>
#include <imgui_internal.h>
#include <imgui_impl_sdl3.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <vector>

#include "app/font_sources.h"
#include "plat/fonts.h"
#include "plat/text.h"
#include "selftest/png.h"
#include "ui/style.h"

ImFont* uiFont = nullptr;
ImFont* monoFont = nullptr;
float uiScale = 1.0f;

namespace {

constexpr float kUiFontPixels = 20.0f;
constexpr float kMonoFontPixels = 16.0f;
constexpr uint64_t kFramePeriodNs = 16666666;  // 60 frames per second
constexpr int kEdgeWidth = 40, kEdgeHeight = 80;  // room left for the taskbar and the window frame

SDL_Window* window = nullptr;
// While the game runs it reads the same gamepads. The launcher lets go of them
// when it hides and takes them back only once every button and stick is at
// rest, so that a press meant for the game never acts on the launcher.
// Its own handles on them meanwhile keep their state current.
bool gamepadsLetGo = false;
std::vector<SDL_Gamepad*> heldGamepads;
SDL_JoystickID virtualPadId = 0;
SDL_Joystick* virtualPad = nullptr;
SDL_GLContext glContext = nullptr;
uint64_t frameTimer = 0;
std::atomic<uint64_t> framesPresented{0};  // read by the benches from another thread

using PfnClearColor = void (*)(float, float, float, float);
using PfnClear = void (*)(unsigned);
using PfnViewport = void (*)(int, int, int, int);
using PfnReadPixels = void (*)(int, int, int, int, unsigned, unsigned, void*);
using PfnPixelStorei = void (*)(unsigned, int);
using PfnReadBuffer = void (*)(unsigned);
PfnClearColor glClearColorFn = nullptr;
PfnClear glClearFn = nullptr;
PfnViewport glViewportFn = nullptr;
PfnReadPixels glReadPixelsFn = nullptr;
PfnPixelStorei glPixelStoreiFn = nullptr;
PfnReadBuffer glReadBufferFn = nullptr;

template <class T>
T glProc(const char* name) {
  return reinterpret_cast<T>(SDL_GL_GetProcAddress(name));
}

void requestContext(bool multisample) {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, multisample ? 1 : 0);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, multisample ? 4 : 0);
}

const SDL_DisplayMode* primaryDesktop() {
  SDL_DisplayID display = SDL_GetPrimaryDisplay();
  return display ? SDL_GetDesktopDisplayMode(display) : nullptr;
}

}  // namespace

static ScaleResult computeWindowSize(const ScaleInput& in);

ScaleResult computeScale(const ScaleInput& in) {
  ScaleResult out = computeWindowSize(in);
  out.minWidth = int(std::floor(float(in.minWidth) * out.scale));
  out.minHeight = int(std::floor(float(in.minHeight) * out.scale));
  if (in.desktopWidth > 0 && in.desktopHeight > 0) {
    out.minWidth = std::min(out.minWidth, in.desktopWidth - kEdgeWidth);
    out.minHeight = std::min(out.minHeight, in.desktopHeight - kEdgeHeight);
  }
  return out;
}

static ScaleResult computeWindowSize(const ScaleInput& in) {
  const float W = float(in.baseWidth), H = float(in.baseHeight);
  const bool desktopKnown = in.desktopWidth > 0 && in.desktopHeight > 0;
  const int A = in.desktopWidth - kEdgeWidth, B = in.desktopHeight - kEdgeHeight;
  ScaleResult out;
  float r = in.requested;
  if (r <= 0) {
    r = in.displayScale;
    if (r <= 0) {
      out.scale = 1;
      out.width = in.baseWidth;
      out.height = in.baseHeight;
      if (desktopKnown) {
        out.width = std::min(out.width, A);
        out.height = std::min(out.height, B);
      }
      return out;
    }
  }
  float s = std::min(std::max(r, 1.0f), 3.0f);
  if (!desktopKnown) {
    out.scale = s;
    out.width = int(std::floor(W * s));
    out.height = int(std::floor(H * s));
    return out;
  }
  if (s > 1) {
    float fit = std::min(float(B) / H, float(A) / W);
    if (!(fit <= 0.5f || s <= fit)) s = fit > 1 ? fit : 1.0f;
  }
  out.scale = s;
  out.width = std::min(A, int(std::floor(W * s)));
  out.height = std::min(B, int(std::floor(H * s)));
  return out;
}

bool openWindow(const std::string& title, int baseWidth, int baseHeight, float requestedScale, std::string& error) {
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  if (!SDL_Init(SDL_INIT_VIDEO | SDL_INIT_GAMEPAD)) {
    error = std::string("SDL could not start: ") + SDL_GetError();
    return false;
  }
  requestContext(true);

  ScaleInput in;
  in.requested = requestedScale;
  in.baseWidth = baseWidth;
  in.baseHeight = baseHeight;
  SDL_DisplayID display = SDL_GetPrimaryDisplay();
  in.displayScale = display ? SDL_GetDisplayContentScale(display) : 0.0f;
  if (const SDL_DisplayMode* mode = primaryDesktop()) {
    in.desktopWidth = mode->w;
    in.desktopHeight = mode->h;
  }
  ScaleResult sr = computeScale(in);

  const SDL_WindowFlags flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE;
  window = SDL_CreateWindow(title.c_str(), sr.width, sr.height, flags);
  if (!window) {
    requestContext(false);
    window = SDL_CreateWindow(title.c_str(), sr.width, sr.height, flags);
    if (!window) {
      error = std::string("the window could not be opened: ") + SDL_GetError();
      return false;
    }
  }
  glContext = SDL_GL_CreateContext(window);
  if (!glContext) {
    requestContext(false);
    SDL_DestroyWindow(window);
    window = SDL_CreateWindow(title.c_str(), sr.width, sr.height, flags);
    glContext = window ? SDL_GL_CreateContext(window) : nullptr;
    if (!glContext) {
      error = std::string("OpenGL 3.3 is not available (update the graphics driver): ") + SDL_GetError();
      return false;
    }
  }
  if (!SDL_GL_MakeCurrent(window, glContext)) {
    error = std::string("OpenGL 3.3 is not available (update the graphics driver): ") + SDL_GetError();
    return false;
  }
  SDL_GL_SetSwapInterval(1);
  glClearColorFn = glProc<PfnClearColor>("glClearColor");
  glClearFn = glProc<PfnClear>("glClear");
  glViewportFn = glProc<PfnViewport>("glViewport");
  glReadPixelsFn = glProc<PfnReadPixels>("glReadPixels");
  glPixelStoreiFn = glProc<PfnPixelStorei>("glPixelStorei");
  glReadBufferFn = glProc<PfnReadBuffer>("glReadBuffer");

  SDL_SetWindowMinimumSize(window, sr.minWidth, sr.minHeight);
  SDL_SetWindowPosition(window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
  SDL_ShowWindow(window);

  if (!IMGUI_CHECKVERSION()) {
    error = "ImGui's SDL3 / OpenGL 3 backends could not start";
    return false;
  }
  ImGui::CreateContext();
  if (!ImGui_ImplSDL3_InitForOpenGL(window, glContext) || !ImGui_ImplOpenGL3_Init("#version 330")) {
    error = "ImGui's SDL3 / OpenGL 3 backends could not start";
    return false;
  }
  // Every gamepad drives the launcher, the ones plugged in later too.
  ImGui_ImplSDL3_SetGamepadMode(ImGui_ImplSDL3_GamepadMode_AutoAll);
  gamepadsLetGo = false;
  uiScale = sr.scale;
  frameTimer = SDL_GetTicksNS();
  return true;
}

void setMinimumWindowSize(int width, int height) {
  if (window) SDL_SetWindowMinimumSize(window, width, height);
}

void resetDarkColors() { ImGui::StyleColorsDark(); }

void loadFonts() {
  ImGuiIO& io = ImGui::GetIO();
  io.ConfigFlags |= ImGuiConfigFlags_NavEnableKeyboard | ImGuiConfigFlags_NavEnableGamepad;
  // Holding the west button would otherwise open the library's own window
  // switcher, which shows the launcher's inner regions by name.
  ImGui::GetCurrentContext()->ConfigNavWindowingWithGamepad = false;
  io.IniFilename = nullptr;  // nothing like an imgui.ini is ever written
  io.LogFilename = nullptr;

  uiFont = nullptr;
  monoFont = nullptr;
  // Each font consults the system's faces for the letters of other scripts in
  // paths and system messages; its own face always comes first.
  const std::vector<plat::FontFace> fallbacks = plat::fallbackFontFaces();
  if ((uiFont = addEmbeddedTypeface(*io.Fonts, kUiFontPixels * uiScale))) mergeFallbackFaces(*io.Fonts, fallbacks);
  for (const std::string& file : plat::monospaceFontFiles()) {
    // A missing file, or one that is no usable font, moves on to the next name.
    if ((monoFont = addFontFile(*io.Fonts, {file, 0}, kMonoFontPixels * uiScale, false))) {
      mergeFallbackFaces(*io.Fonts, fallbacks);
      break;
    }
  }
  if (!uiFont) {
    if (io.Fonts->Fonts.empty()) {
      io.Fonts->AddFontDefault();
      mergeFallbackFaces(*io.Fonts, fallbacks);
    }
    uiFont = io.Fonts->Fonts[0];
  }
  if (!monoFont) monoFont = uiFont;
  io.FontDefault = uiFont;
  ImGui::GetStyle().FontSizeBase = kUiFontPixels * uiScale;
  applyStyle();
}

bool pollWindowEvents(bool* sawEvents) {
  bool closeRequested = false;
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    if (sawEvents) *sawEvents = true;
    ImGui_ImplSDL3_ProcessEvent(&e);
    if (e.type == SDL_EVENT_QUIT) closeRequested = true;
    if (e.type == SDL_EVENT_WINDOW_CLOSE_REQUESTED && window && e.window.windowID == SDL_GetWindowID(window))
      closeRequested = true;
  }
  return closeRequested;
}

bool waitWindowEvent(double seconds) {
  // A null event leaves the event queued for the next pollWindowEvents.
  return SDL_WaitEventTimeout(nullptr, int(std::floor(seconds * 1000)));
}

WindowView windowView() {
  if (!window) return WindowView::NotShown;
  const SDL_WindowFlags flags = SDL_GetWindowFlags(window);
  if (flags & (SDL_WINDOW_HIDDEN | SDL_WINDOW_MINIMIZED | SDL_WINDOW_OCCLUDED)) return WindowView::NotShown;
  return (flags & SDL_WINDOW_INPUT_FOCUS) ? WindowView::Focused : WindowView::Unfocused;
}

uint64_t presentedFrames() { return framesPresented.load(); }

namespace {

// Whether any button of the gamepads held while hidden is down, or a stick
// or trigger out of rest.
bool gamepadInputDown() {
  constexpr Sint16 kRest = 8000;  // the dead zone the library's back end uses
  for (SDL_Gamepad* pad : heldGamepads) {
    for (int b = 0; b < SDL_GAMEPAD_BUTTON_COUNT; ++b)
      if (SDL_GetGamepadButton(pad, SDL_GamepadButton(b))) return true;
    for (int a = 0; a < SDL_GAMEPAD_AXIS_COUNT; ++a) {
      const Sint16 v = SDL_GetGamepadAxis(pad, SDL_GamepadAxis(a));
      if (v > kRest || v < -kRest) return true;
    }
  }
  return false;
}

void takeGamepadsBack() {
  for (SDL_Gamepad* pad : heldGamepads) SDL_CloseGamepad(pad);
  heldGamepads.clear();
  ImGui_ImplSDL3_SetGamepadMode(ImGui_ImplSDL3_GamepadMode_AutoAll);
  gamepadsLetGo = false;
}

}  // namespace

void beginFrame() {
  if (gamepadsLetGo && !gamepadInputDown()) takeGamepadsBack();
  ImGui_ImplOpenGL3_NewFrame();
  ImGui_ImplSDL3_NewFrame();
  ImGui::NewFrame();
}

void presentFrame(const std::string& screenshotPath) {
  ImGui::Render();
  int w = windowPixelWidth(), h = windowPixelHeight();
  glViewportFn(0, 0, w, h);
  glClearColorFn(1 / 255.0f, 3 / 255.0f, 10 / 255.0f, 1.0f);
  glClearFn(GL_COLOR_BUFFER_BIT);
  ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());

  if (!screenshotPath.empty() && w > 0 && h > 0 && glReadPixelsFn) {
    if (glReadBufferFn) glReadBufferFn(GL_BACK);
    glPixelStoreiFn(GL_PACK_ALIGNMENT, 1);
    std::vector<unsigned char> pixels(size_t(w) * h * 4), flipped(size_t(w) * h * 4);
    glReadPixelsFn(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    const size_t row = size_t(w) * 4;
    for (int y = 0; y < h; y++)
      std::copy_n(pixels.data() + size_t(h - 1 - y) * row, row, flipped.data() + size_t(y) * row);
    writePng(screenshotPath, flipped.data(), uint32_t(w), uint32_t(h), false);
  }
  SDL_GL_SwapWindow(window);
  framesPresented++;

  uint64_t now = SDL_GetTicksNS();
  if (now - frameTimer < kFramePeriodNs) SDL_DelayPrecise(kFramePeriodNs - (now - frameTimer));
  frameTimer = SDL_GetTicksNS();
}

void hideWindow() {
  if (!window) return;
  SDL_HideWindow(window);
  if (!ImGui::GetCurrentContext() || gamepadsLetGo) return;
  int count = 0;
  SDL_JoystickID* ids = SDL_GetGamepads(&count);
  for (int i = 0; i < count; ++i)
    if (SDL_Gamepad* pad = SDL_OpenGamepad(ids[i])) heldGamepads.push_back(pad);
  SDL_free(ids);
  ImGui_ImplSDL3_SetGamepadMode(ImGui_ImplSDL3_GamepadMode_Manual, nullptr, 0);
  gamepadsLetGo = true;
}

void showWindow() {
  if (!window) return;
  SDL_ShowWindow(window);
  SDL_RaiseWindow(window);
  frameTimer = SDL_GetTicksNS();
}

int windowPixelWidth() {
  int w = 0, h = 0;
  if (window) SDL_GetWindowSizeInPixels(window, &w, &h);
  return w;
}

int windowPixelHeight() {
  int w = 0, h = 0;
  if (window) SDL_GetWindowSizeInPixels(window, &w, &h);
  return h;
}

static const SDL_DisplayMode* windowDesktop() {
  SDL_DisplayID display = window ? SDL_GetDisplayForWindow(window) : 0;
  if (!display) display = SDL_GetPrimaryDisplay();
  return display ? SDL_GetDesktopDisplayMode(display) : nullptr;
}

int desktopWidth() {
  const SDL_DisplayMode* m = windowDesktop();
  return m ? m->w : 1920;
}

int desktopHeight() {
  const SDL_DisplayMode* m = windowDesktop();
  return m ? m->h : 1080;
}

void* nativeWindowHandle() {
  if (!window) return nullptr;
  return SDL_GetPointerProperty(SDL_GetWindowProperties(window), SDL_PROP_WINDOW_WIN32_HWND_POINTER, nullptr);
}

bool attachVirtualGamepad(std::string& error) {
  // Xvfb has no window manager to give the window the input focus, and SDL
  // ignores the joysticks of an application without it.
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  SDL_VirtualJoystickDesc desc;
  SDL_INIT_INTERFACE(&desc);
  desc.type = SDL_JOYSTICK_TYPE_GAMEPAD;
  desc.naxes = SDL_GAMEPAD_AXIS_COUNT;
  desc.nbuttons = SDL_GAMEPAD_BUTTON_COUNT;  // in the gamepad's button order
  desc.name = "Virtual gamepad";
  virtualPadId = SDL_AttachVirtualJoystick(&desc);
  if (virtualPadId) virtualPad = SDL_OpenJoystick(virtualPadId);
  if (!virtualPad) error = std::string("the virtual gamepad could not be attached: ") + SDL_GetError();
  return virtualPad != nullptr;
}

void setVirtualGamepadButton(int button, bool down) {
  if (virtualPad) SDL_SetJoystickVirtualButton(virtualPad, button, down);
}

void closeWindow() {
  if (virtualPad) SDL_CloseJoystick(virtualPad);
  if (virtualPadId) SDL_DetachVirtualJoystick(virtualPadId);
  virtualPad = nullptr;
  virtualPadId = 0;
  for (SDL_Gamepad* pad : heldGamepads) SDL_CloseGamepad(pad);
  heldGamepads.clear();
  gamepadsLetGo = false;
  if (ImGui::GetCurrentContext()) {
    ImGui_ImplOpenGL3_Shutdown();
    ImGui_ImplSDL3_Shutdown();
    ImGui::DestroyContext();
  }
  if (glContext) SDL_GL_DestroyContext(glContext);
  if (window) SDL_DestroyWindow(window);
  glContext = nullptr;
  window = nullptr;
  SDL_Quit();
}
