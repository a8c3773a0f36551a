// A stand-in for the prepared game: it honours the game's side of the
// launcher's contract (arguments, user folder, video.ini, log, crash reports,
// test variables, window captures) and otherwise just draws a moving colour.
#include <SDL3/SDL.h>
#include <SDL3/SDL_main.h>
#include <SDL3/SDL_opengl.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "plat/layout.h"
#include "plat/text.h"
#include "selftest/png.h"
#include "settings/video_settings.h"

namespace fs = std::filesystem;

namespace {

constexpr int defaultWidth = 640, defaultHeight = 448;
constexpr int crashExitCode = 3;
constexpr int usageExitCode = 2;
constexpr int captureAfterFrames = 5;

FILE* logFile = nullptr;
bool noDialogs = false;

void logLine(const char* format, ...) {
  if (!logFile) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(logFile, format, args);
  va_end(args);
  std::fputc('\n', logFile);
  std::fflush(logFile);
}

// The user folder, by the launcher's rule; the game lies one folder below
// the launcher, so "user" beside the launcher is one level up.
fs::path userFolder() {
  std::string dir = plat::getEnv("RA2V_USER_DIR");
  fs::path path;
  if (!dir.empty()) {
    path = plat::pathFromUtf8(dir);
  } else {
    std::string appData = plat::getEnv("APPDATA");
    if (appData.empty()) appData = plat::userDataHome();
    path = appData.empty() ? plat::pathFromUtf8(plat::exeDir()).parent_path() / "user"
                           : plat::pathFromUtf8(appData) / "Morvane";
  }
  std::error_code ec;
  return fs::absolute(path, ec);
}

bool exists(const std::string& utf8Path) {
  std::error_code ec;
  return !utf8Path.empty() && fs::exists(plat::pathFromUtf8(utf8Path), ec) && !ec;
}

void fail(const std::string& message) {
  std::fprintf(stderr, "%s\n", message.c_str());
  logLine("error: %s", message.c_str());
  if (!noDialogs) SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Emberfall", message.c_str(), nullptr);
}

// The window video.ini asks for; the game's own variables override it.
VideoSettings windowSettings(const fs::path& videoIni) {
  VideoSettings video;
  video.load(plat::pathToUtf8(videoIni));
  if (video.width == 0 || video.height == 0) {
    video.width = defaultWidth;
    video.height = defaultHeight;
  }
  int w = 0, h = 0;
  if (std::sscanf(plat::getEnv("RA2V_WINDOW_SIZE").c_str(), "%dx%d", &w, &h) == 2 && w >= 160 && h >= 120) {
    video.width = w;
    video.height = h;
  }
  const std::string mode = plat::getEnv("RA2V_WINDOW_MODE");
  if (mode == "windowed" || mode == "fullscreen" || mode == "borderless") video.mode = mode;
  return video;
}

struct Gl {
  void(APIENTRY* viewport)(GLint, GLint, GLsizei, GLsizei);
  void(APIENTRY* clearColor)(GLfloat, GLfloat, GLfloat, GLfloat);
  void(APIENTRY* clear)(GLbitfield);
  void(APIENTRY* enable)(GLenum);
  void(APIENTRY* disable)(GLenum);
  void(APIENTRY* scissor)(GLint, GLint, GLsizei, GLsizei);
  void(APIENTRY* pixelStorei)(GLenum, GLint);
  void(APIENTRY* readBuffer)(GLenum);
  void(APIENTRY* readPixels)(GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, void*);
};

template <class T>
bool load(T& fn, const char* name) {
  fn = reinterpret_cast<T>(SDL_GL_GetProcAddress(name));
  return fn != nullptr;
}

bool loadGl(Gl& gl) {
  return load(gl.viewport, "glViewport") && load(gl.clearColor, "glClearColor") && load(gl.clear, "glClear") &&
         load(gl.enable, "glEnable") && load(gl.disable, "glDisable") && load(gl.scissor, "glScissor") &&
         load(gl.pixelStorei, "glPixelStorei") && load(gl.readBuffer, "glReadBuffer") &&
         load(gl.readPixels, "glReadPixels");
}

void draw(const Gl& gl, int w, int h, double t) {
  gl.viewport(0, 0, w, h);
  gl.clearColor(0.05f, 0.06f, 0.12f, 1);
  gl.clear(GL_COLOR_BUFFER_BIT);
  // A square that crosses the window, so a capture shows the game was drawing.
  const int side = h / 4;
  const double phase = t * 0.25 - static_cast<long>(t * 0.25);
  gl.enable(GL_SCISSOR_TEST);
  gl.scissor(static_cast<int>(phase * (w - side)), (h - side) / 2, side, side);
  gl.clearColor(0.91f, 0.45f, 0.18f, 1);
  gl.clear(GL_COLOR_BUFFER_BIT);
  gl.disable(GL_SCISSOR_TEST);
}

bool capture(const Gl& gl, int w, int h, const fs::path& file) {
  std::vector<unsigned char> pixels(size_t(w) * size_t(h) * 4), flipped(pixels.size());
  gl.readBuffer(GL_BACK);
  gl.pixelStorei(GL_PACK_ALIGNMENT, 1);
  gl.readPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  const size_t row = size_t(w) * 4;
  for (int y = 0; y < h; ++y) std::copy_n(&pixels[size_t(h - 1 - y) * row], row, &flipped[size_t(y) * row]);
  return writePng(plat::pathToUtf8(file), flipped.data(), uint32_t(w), uint32_t(h), false);
}

// One file per crash, never reusing an earlier name.
fs::path writeCrashReport(const fs::path& crashes, double seconds) {
  std::error_code ec;
  fs::create_directories(crashes, ec);
  const std::string name = "crash-" + std::to_string(static_cast<long long>(std::time(nullptr))) + "-" +
                           std::to_string(static_cast<unsigned long long>(SDL_GetTicksNS())) + ".txt";
  fs::path path = crashes / name;
  if (FILE* f = plat::openFile(plat::pathToUtf8(path), "wb")) {
    std::fprintf(f, "Emberfall stand-in crash report\nsimulated crash after %.1f s (RA2V_TEST_CRASH)\n", seconds);
    std::fclose(f);
  }
  return path;
}

}  // namespace

int main(int argc, char** argv) {
  plat::saveCommandLine(argc, argv);
  noDialogs = !plat::getEnv("RA2V_NO_DIALOGS").empty();
  const fs::path user = userFolder();
  std::error_code ec;
  fs::create_directories(user / "logs", ec);
  logFile = plat::openFile(plat::pathToUtf8(user / "logs" / "game.log"), "wb");

  std::string elf, iso;
  const std::vector<std::string> args = plat::commandLineArgs();
  for (size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] == "--elf") elf = args[++i];
    else if (args[i] == "--iso") iso = args[++i];
  }
  logLine("user folder %s", plat::pathToUtf8(user).c_str());
  if (elf.empty() || iso.empty()) {
    fail("usage: veyra --elf <boot file> --iso <disc image>");
    return usageExitCode;
  }
  if (!exists(elf) || !exists(iso)) {
    fail("missing game file: " + (exists(elf) ? iso : elf));
    return usageExitCode;
  }
  logLine("elf %s", elf.c_str());
  logLine("iso %s", iso.c_str());

  if (!SDL_Init(SDL_INIT_VIDEO)) {
    fail(std::string("video start failed: ") + SDL_GetError());
    return 1;
  }
  const VideoSettings video = windowSettings(user / "video.ini");
  const int width = video.width, height = video.height;
  // Both full-screen modes cover the desktop here; a stand-in needs no mode switch.
  const SDL_WindowFlags flags = SDL_WINDOW_OPENGL | (video.mode == "windowed" ? 0 : SDL_WINDOW_FULLSCREEN);
  SDL_Window* window = SDL_CreateWindow("Emberfall", width, height, flags);
  SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
  Gl gl{};
  if (!context || !loadGl(gl)) {
    fail(std::string("window failed: ") + SDL_GetError());
    SDL_Quit();
    return 1;
  }
  SDL_GL_SetSwapInterval(1);
  logLine("window %dx%d %s", width, height, video.mode.c_str());

  const double crashAfter = std::atof(plat::getEnv("RA2V_TEST_CRASH").c_str());
  // Ends the run as a closed window would, for tests that have no way to click.
  const double quitAfter = std::atof(plat::getEnv("RA2V_TEST_QUIT").c_str());
  const std::string captureDir = plat::getEnv("RA2V_CAPTURE_WINDOW_DIR");
  const Uint64 start = SDL_GetTicksNS();
  int exitCode = 0;
  for (int frame = 0;; ++frame) {
    bool quit = false;
    SDL_Event event;
    // SDL turns SIGTERM and SIGINT into a quit event.
    while (SDL_PollEvent(&event))
      if (event.type == SDL_EVENT_QUIT || event.type == SDL_EVENT_WINDOW_CLOSE_REQUESTED) quit = true;
    if (quit) {
      logLine("close requested");
      break;
    }
    const double t = double(SDL_GetTicksNS() - start) / 1e9;
    if (quitAfter > 0 && t >= quitAfter) {
      logLine("quit after %.1f s (RA2V_TEST_QUIT)", t);
      break;
    }
    if (crashAfter > 0 && t >= crashAfter) {
      const fs::path report = writeCrashReport(user / "crashes", t);
      logLine("crash, report %s", plat::pathToUtf8(report).c_str());
      if (!noDialogs)
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Emberfall",
                                 ("The game crashed. Report: " + plat::pathToUtf8(report)).c_str(), window);
      exitCode = crashExitCode;
      break;
    }
    int w = width, h = height;
    SDL_GetWindowSizeInPixels(window, &w, &h);
    draw(gl, w, h, t);
    if (frame == captureAfterFrames && !captureDir.empty()) {
      const fs::path shot = plat::pathFromUtf8(captureDir) / "game_window.png";
      logLine("capture %s: %s", plat::pathToUtf8(shot).c_str(), capture(gl, w, h, shot) ? "ok" : "failed");
    }
    SDL_GL_SwapWindow(window);
    SDL_Delay(16);  // no vsync under a virtual display; keep the machine free
  }
  SDL_GL_DestroyContext(context);
  SDL_DestroyWindow(window);
  SDL_Quit();
  logLine("exit %d", exitCode);
  if (logFile) std::fclose(logFile);
  return exitCode;
}
