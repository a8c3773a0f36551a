// Start to first frame: the launcher's start-up against a bare SDL3 window
// with an OpenGL 3.3 context (what the stand-in game does), and the same bare
// window with the launcher's 4-sample multisampling, alternated in the same
// run. Each side runs in a fresh process and reports, in milliseconds
// since its main() began, when each stage was done; the parent adds the time
// from starting the process to that report (loading, linking).
//
// Usage (under a display, from the build folder's bin/): startup_posix [ROUNDS]
#include <SDL3/SDL.h>
#include <SDL3/SDL_opengl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "app/app.h"
#include "app/window.h"
#include "plat/process.h"
#include "plat/shell.h"
#include "plat/text.h"
#include "ui/ui.h"

namespace fs = std::filesystem;

namespace {

double sinceStart(double start) { return (plat::nowSeconds() - start) * 1000; }

// One report line: "stages name=ms name=ms ...", printed at the first present.
void report(const std::vector<std::pair<const char*, double>>& stages) {
  std::printf("stages");
  for (const auto& [name, ms] : stages) std::printf(" %s=%.1f", name, ms);
  std::printf("\n");
  std::fflush(stdout);
}

// multisample: the same 4-sample request as the launcher's window, to tell
// what the multisampled context costs from what the launcher adds to it.
int bare(double start, bool multisample) {
  std::vector<std::pair<const char*, double>> st;
  if (!SDL_Init(SDL_INIT_VIDEO)) return 1;
  st.push_back({"sdl", sinceStart(start)});
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  if (multisample) {
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 1);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, 4);
  }
  SDL_Window* window = SDL_CreateWindow("bare", 1120, 760, SDL_WINDOW_OPENGL);
  if (!window) return 1;
  st.push_back({"window", sinceStart(start)});
  SDL_GLContext context = SDL_GL_CreateContext(window);
  if (!context) return 1;
  SDL_GL_SetSwapInterval(1);
  st.push_back({"context", sinceStart(start)});
  auto clearColor = reinterpret_cast<void (*)(float, float, float, float)>(SDL_GL_GetProcAddress("glClearColor"));
  auto clear = reinterpret_cast<void (*)(unsigned)>(SDL_GL_GetProcAddress("glClear"));
  clearColor(0, 0, 0, 1);
  clear(GL_COLOR_BUFFER_BIT);
  SDL_GL_SwapWindow(window);
  st.push_back({"frame", sinceStart(start)});
  report(st);
  std::_Exit(0);
}

int launcher(double start, const std::string& release) {
  std::vector<std::pair<const char*, double>> st;
  App app;
  app.resolveLayout(release);
  st.push_back({"layout", sinceStart(start)});
  std::string error;
  if (!openWindow("Veyra Launcher", 1120, 760, 0, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  st.push_back({"window+context+imgui", sinceStart(start)});
  setMinimumWindowSize(int(980 * uiScale), int(700 * uiScale));
  resetDarkColors();
  loadFonts();
  st.push_back({"fonts", sinceStart(start)});
  pollWindowEvents();
  beginFrame();
  drawBackground(0, app.settings.motion);
  drawUi(app);
  st.push_back({"ui", sinceStart(start)});
  presentFrame("");
  st.push_back({"frame", sinceStart(start)});
  report(st);
  std::_Exit(0);
}

// Runs one side; returns its stages and, as "total", the time from starting
// the process to its report.
std::map<std::string, double> runOnce(const std::string& side) {
  plat::ChildProcess child;
  std::string error;
  const double t0 = plat::nowSeconds();
  std::map<std::string, double> out;
  if (!plat::startProcess(child, plat::exePath(), {side}, "", true, error)) return out;
  const double deadline = t0 + 30;
  while (plat::nowSeconds() < deadline) {
    for (const std::string& line : plat::takeLines(child)) {
      if (line.rfind("stages", 0) != 0) continue;
      out["total"] = (plat::nowSeconds() - t0) * 1000;
      size_t pos = 6;
      while (pos < line.size()) {
        const size_t eq = line.find('=', pos), end = std::min(line.find(' ', pos + 1), line.size());
        if (eq == std::string::npos) break;
        out[line.substr(pos + 1, eq - pos - 1)] = std::atof(line.c_str() + eq + 1);
        pos = end;
      }
      return out;
    }
    if (!plat::isRunning(child) && plat::takeLines(child).empty()) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return out;
}

double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const double start = plat::nowSeconds();
  plat::saveCommandLine(argc, argv);
  const fs::path build = fs::path(plat::exeDir()).parent_path();
  if (argc > 1 && std::strcmp(argv[1], "--bare") == 0) return bare(start, false);
  if (argc > 1 && std::strcmp(argv[1], "--bare-msaa") == 0) return bare(start, true);
  if (argc > 1 && std::strcmp(argv[1], "--launcher") == 0) {
    const fs::path user = fs::temp_directory_path() / "veyra-bench-startup";
    plat::setEnv("RA2V_USER_DIR", user.string());
    plat::setEnv("RA2V_NO_DIALOGS", "1");
    return launcher(start, (build / "demo-release").string());
  }

  const int rounds = argc > 1 ? std::atoi(argv[1]) : 7;
  std::map<std::string, std::map<std::string, std::vector<double>>> all;
  const char* const sides[] = {"--bare", "--bare-msaa", "--launcher"};
  for (const char* side : sides) runOnce(side);  // warm the caches once
  for (int i = 0; i < rounds; ++i)
    for (const char* side : sides)
      for (const auto& [stage, ms] : runOnce(side)) all[side][stage].push_back(ms);
  for (const char* side : sides) {
    std::printf("%-10s median of %d, ms since main():", side + 2, rounds);
    for (const auto& [stage, values] : all[side])
      if (stage != "total") std::printf(" %s %.1f", stage.c_str(), median(values));
    std::printf(" | process start to first frame %.1f\n", median(all[side]["total"]));
  }
  const double launcher = median(all["--launcher"]["total"]);
  std::printf("launcher / bare window: %.2f; launcher / bare multisampled window: %.2f\n",
              launcher / median(all["--bare"]["total"]), launcher / median(all["--bare-msaa"]["total"]));
  return 0;
}
