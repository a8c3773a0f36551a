// What the benchmarks that run the real frame loop share: the process's CPU
// clock, a stretch of wall and CPU time, and the launcher's window opened on
// a release of the bench's own, away from the player's settings.
#pragma once
#include <sys/resource.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "app/app.h"
#include "app/window.h"
#include "plat/text.h"

// User and system time of every thread of this process, in seconds: under
// Xvfb that includes the software rasteriser's threads.
inline double processCpuSeconds() {
  rusage use{};
  getrusage(RUSAGE_SELF, &use);
  return double(use.ru_utime.tv_sec + use.ru_stime.tv_sec) + double(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
}

struct Stretch {
  double wallStart = 0, cpuStart = 0, wall = 0, cpu = 0;
  void begin() {
    wallStart = plat::nowSeconds();
    cpuStart = processCpuSeconds();
  }
  void end() {
    wall = plat::nowSeconds() - wallStart;
    cpu = processCpuSeconds() - cpuStart;
  }
};

// The App laid out on releaseDir, with its user folder in root/user and no
// dialogs (a bench has no one to answer them), and the launcher's window open
// with its fonts and colours. False, with the reason printed, when no window
// opens.
inline bool openBenchLauncher(App& app, const std::filesystem::path& root, const std::filesystem::path& releaseDir) {
  plat::setEnv("RA2V_USER_DIR", (root / "user").string());
  plat::setEnv("RA2V_NO_DIALOGS", "1");
  app.resolveLayout(releaseDir.string());
  std::string error;
  if (!openWindow("Veyra Launcher", 1120, 760, 0, error)) {
    std::fprintf(stderr, "no window: %s\n", error.c_str());
    return false;
  }
  resetDarkColors();
  loadFonts();
  return true;
}
