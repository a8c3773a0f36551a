// CPU time per frame of the welcome page with background motion on: the
// interface's own work (new frame, background, shell, ImGui's render lists) on
// this thread, and the whole process's CPU including the GL driver.
// Usage: bench_ui_frame_time [frames]   (run under Xvfb by bench/ui/frame-time.sh)
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/window.h"
#include "plat/text.h"
#include "ui/ui.h"

namespace {

double cpuSeconds(clockid_t clock) {
  timespec ts{};
  clock_gettime(clock, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

void report(const char* what, std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  const double median = samples[samples.size() / 2];
  const double p99 = samples[std::min(samples.size() - 1, size_t(double(samples.size()) * 0.99))];
  std::printf("%-28s median %7.3f ms   p99 %7.3f ms\n", what, median * 1e3, p99 * 1e3);
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::max(10, std::atoi(argv[1])) : 600;
  std::string error;
  if (!openWindow("Veyra Launcher", 1120, 760, 1.0f, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  resetDarkColors();
  loadFonts();
  App app;
  app.stage = NoDisc;
  app.settings.motion = true;
  const double start = plat::nowSeconds();
  std::vector<double> ui, whole;
  for (int i = 0; i < frames + 30; ++i) {  // the first frames bake glyphs; they are not counted
    const double t0 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID), p0 = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    pollWindowEvents();
    beginFrame();
    app.uptime = plat::nowSeconds() - start;
    drawBackground(app.uptime, app.settings.motion);
    drawUi(app);
    const double t1 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    presentFrame(std::string());
    const double p1 = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    if (i >= 30) {
      ui.push_back(t1 - t0);
      whole.push_back(p1 - p0);
    }
  }
  closeWindow();
  std::printf("%d frames, welcome page, motion on, 1120 x 760\n", frames);
  report("interface (this thread)", ui);
  report("whole frame (process CPU)", whole);
  return 0;
}
