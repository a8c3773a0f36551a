// Measures how well the time-left estimate converges: runs one fresh build of
// a release with the stand-in pipeline through the App, records secondsLeft
// once a second, and compares it with the time that really remained.
//
// Usage: bench_build_estimate RELEASE_DIR DISC_IMAGE [CSV_OUT]
// The release's build and game folders are removed first (a fresh build).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/app.h"
#include "plat/text.h"

namespace fs = std::filesystem;

struct Sample {
  double t;            // seconds since the run began
  double secondsLeft;  // the model's estimate, -1 while unknown
  int step;            // running step, -1 between steps
  double fraction;
};

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s RELEASE_DIR DISC_IMAGE [CSV_OUT]\n", argv[0]);
    return 2;
  }
  std::string release = argv[1], disc = argv[2];
  fs::path user = fs::temp_directory_path() / "veyra-bench-user";
  fs::remove_all(user);
  plat::setEnv("RA2V_USER_DIR", plat::pathToUtf8(user));

  App app;
  app.resolveLayout(release);
  if (!app.missingItem.empty()) {
    std::fprintf(stderr, "incomplete release: %s\n", app.missingItem.c_str());
    return 1;
  }
  std::error_code ec;
  fs::remove_all(plat::pathFromUtf8(app.buildDir), ec);
  fs::remove_all(plat::pathFromUtf8(app.gameDir), ec);
  app.settings.disc = disc;
  app.settings.buildPending = false;

  app.startBuild();
  if (!app.building) {
    std::fprintf(stderr, "the build did not start: %s\n", app.progress.errorMessage.c_str());
    return 1;
  }
  std::vector<Sample> samples;
  double start = app.progress.startTime, nextSample = start + 1;
  while (app.building) {
    std::this_thread::sleep_for(std::chrono::milliseconds(16));  // about one frame
    app.pollBuild();
    double now = plat::nowSeconds();
    if (now >= nextSample && app.building) {
      samples.push_back({now - start, app.progress.secondsLeft(now), app.progress.runningStep(),
                         app.progress.fraction()});
      nextSample += 1;
    }
  }
  double total = plat::nowSeconds() - start;
  if (app.stage != Ready) {
    std::fprintf(stderr, "the build failed at %s: %s\n", app.progress.failedStep.c_str(),
                 app.progress.errorMessage.c_str());
    return 1;
  }

  FILE* csv = argc > 3 ? std::fopen(argv[3], "w") : nullptr;
  if (csv) std::fprintf(csv, "t,seconds_left,real_left,error,step,fraction\n");
  double sumAbs = 0, maxAbs = 0, sumAbsLate = 0;
  int counted = 0, countedLate = 0;
  double convergedAt = -1;  // from here on the error stays within 15 % of the run
  for (const Sample& s : samples) {
    double real = total - s.t;
    double error = s.secondsLeft < 0 ? NAN : s.secondsLeft - real;
    if (csv)
      std::fprintf(csv, "%.0f,%.1f,%.1f,%.1f,%d,%.3f\n", s.t, s.secondsLeft, real, error, s.step, s.fraction);
    if (std::isnan(error)) continue;
    sumAbs += std::fabs(error);
    maxAbs = std::max(maxAbs, std::fabs(error));
    ++counted;
    if (s.t >= total / 2) {
      sumAbsLate += std::fabs(error);
      ++countedLate;
    }
  }
  for (size_t i = samples.size(); i-- > 0;) {
    const Sample& s = samples[i];
    if (s.secondsLeft < 0 || std::fabs(s.secondsLeft - (total - s.t)) > 0.15 * total) break;
    convergedAt = s.t;
  }
  if (csv) std::fclose(csv);

  std::printf("build took %.1f s; %zu samples (-1 for the first %d)\n", total, samples.size(),
              static_cast<int>(std::count_if(samples.begin(), samples.end(),
                                             [](const Sample& s) { return s.secondsLeft < 0; })));
  for (double at : {0.1, 0.25, 0.5, 0.75, 0.9}) {
    const Sample* best = nullptr;
    for (const Sample& s : samples)
      if (!best || std::fabs(s.t - at * total) < std::fabs(best->t - at * total)) best = &s;
    if (best)
      std::printf("at %3.0f %%: estimate %6.1f s, really %5.1f s left, error %+6.1f s\n", at * 100, best->secondsLeft,
                  total - best->t, best->secondsLeft - (total - best->t));
  }
  std::printf("mean |error| %.1f s (second half %.1f s), max |error| %.1f s\n", counted ? sumAbs / counted : 0,
              countedLate ? sumAbsLate / countedLate : 0, maxAbs);
  std::printf("within 15 %% of the run (%.1f s) from t = %.0f s on\n", 0.15 * total, convergedAt);
  fs::remove_all(user, ec);
  return 0;
}
