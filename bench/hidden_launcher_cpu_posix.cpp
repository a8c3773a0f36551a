// Measures what the launcher costs while it is hidden and the game plays: the
// real frame loop runs with its window, starts the stand-in game, which ends
// itself after 10 s, and the launcher's own CPU time (all its threads) is read
// over that stretch. For comparison it first runs 3 s visible.
//
// Usage (under a display, with veyra_game built beside it):
//   xvfb-run -a build/linux/bin/hidden_launcher_cpu_posix [PLAY_SECONDS]
// Figures in bench/README.md.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/frame_loop.h"
#include "bench_launcher.h"
#include "plat/layout.h"
#include "selftest/selftest.h"

namespace fs = std::filesystem;

namespace {

void printStretch(const Stretch& s, const char* what) {
  std::printf("%-26s %6.2f s wall  %7.3f s CPU  %6.2f %% of one core\n", what, s.wall, s.cpu, 100 * s.cpu / s.wall);
}

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

  App app;
  if (!openBenchLauncher(app, root, root)) return 1;

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
  printStretch(visible, "visible launcher");
  printStretch(hidden, "hidden, game running");
  std::printf("game exit code %d, crash report %s\n", app.gameExitCode, app.crashReport.empty() ? "none" : "found");
  fs::remove_all(root);
  return 0;
}
