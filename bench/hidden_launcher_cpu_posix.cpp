// Measures what the launcher costs while it is hidden and the game plays: the
// real frame loop runs with its window, starts the stand-in game, which ends
// itself after 10 s, and the launcher's own CPU time (all its threads) is read
// over that stretch. For comparison it first runs 3 s visible.
//
// Usage (under a display, with veyra_game built beside it):
//   xvfb-run -a build/linux/bin/hidden_launcher_cpu_posix [PLAY_SECONDS]
// Figures in bench/README.md.
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/app.h"
#include "app/frame_loop.h"
#include "app/window.h"
#include "plat/layout.h"
#include "plat/text.h"
#include "selftest/selftest.h"

namespace fs = std::filesystem;

namespace {

double cpuSeconds() {
  rusage use{};
  getrusage(RUSAGE_SELF, &use);
  return double(use.ru_utime.tv_sec + use.ru_stime.tv_sec) + double(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
}

struct Stretch {
  double wallStart = 0, cpuStart = 0, wall = 0, cpu = 0;
  void begin() {
    wallStart = plat::nowSeconds();
    cpuStart = cpuSeconds();
  }
  void end() {
    wall = plat::nowSeconds() - wallStart;
    cpu = cpuSeconds() - cpuStart;
  }
  void print(const char* what) const {
    std::printf("%-26s %6.2f s wall  %7.3f s CPU  %6.2f %% of one core\n", what, wall, cpu, 100 * cpu / wall);
  }
};

}  // namespace

int main(int argc, char** argv) {
  plat::saveCommandLine(argc, argv);
  const int playSeconds = argc > 1 ? std::atoi(argv[1]) : 10;
  const fs::path root = fs::temp_directory_path() / "veyra-bench-hidden";
  fs::remove_all(root);
  fs::create_directories(root / "game");
  fs::copy_file(fs::path(plat::exeDir()) / "veyra_game", root / "game" / plat::releaseNames().gameExe);
  for (const char* name : {"SLUS_209.99", "disc.iso"})
    if (FILE* f = std::fopen((root / "game" / name).c_str(), "wb")) std::fclose(f);
  plat::setEnv("RA2V_USER_DIR", (root / "user").string());
  plat::setEnv("RA2V_NO_DIALOGS", "1");

  App app;
  app.resolveLayout(root.string());
  std::string error;
  if (!openWindow("Veyra Launcher", 1120, 760, 0, error)) {
    std::fprintf(stderr, "no window: %s\n", error.c_str());
    return 1;
  }
  resetDarkColors();
  loadFonts();

  Stretch visible, hidden;
  bool failed = false;
  Selftest script;
  script.steps.push_back({"visible", [&](App&, double t) {
                            if (t == 0) visible.begin();
                            if (t < 3) return false;
                            visible.end();
                            return true;
                          }});
  script.steps.push_back({"play", [&](App& a, double) {
                            // The game ends itself: a simulated crash after the play time.
                            plat::setEnv("RA2V_TEST_CRASH", std::to_string(playSeconds));
                            a.launchGame();
                            plat::setEnv("RA2V_TEST_CRASH", "");
                            if (!a.gameRunning) {
                              std::fprintf(stderr, "the game did not start: %s\n", a.gameStartError.c_str());
                              failed = true;
                              a.quitNow = true;
                            }
                            return true;
                          }});
  // The stretch covers the wakes alone: from the first pass after the start
  // to the last one that still found the game running.
  script.steps.push_back({"wait", [&](App& a, double t) {
                            if (t == 0) hidden.begin();
                            if (a.gameRunning) {
                              hidden.end();
                              return false;
                            }
                            a.quitNow = true;
                            return true;
                          }});
  runFrameLoop(app, &script, plat::nowSeconds());
  closeWindow();
  if (failed) return 1;
  visible.print("visible launcher");
  hidden.print("hidden, game running");
  std::printf("game exit code %d, crash report %s\n", app.gameExitCode, app.crashReport.empty() ? "none" : "found");
  fs::remove_all(root);
  return 0;
}
