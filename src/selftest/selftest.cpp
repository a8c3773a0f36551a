// The self-test runner: one step per frame, with the step's elapsed time.
#include "selftest/selftest.h"

#include <algorithm>

#include "plat/text.h"

Selftest::~Selftest() {
  if (log) std::fclose(log);
}

void Selftest::logLine(const char* format, const std::string& a, const std::string& b) {
  if (!log) return;
  std::fprintf(log, "[%8.1f] ", plat::nowSeconds() - logStart);
  std::fprintf(log, format, a.c_str(), b.c_str());
  std::fputc('\n', log);
  std::fflush(log);
}

void Selftest::build() {
  if (screensOnly) {
    buildScreens();
    return;
  }
  steps.clear();  // the scenario's steps arrive with the activities they drive
}

void Selftest::buildScreens() { steps.clear(); }

void Selftest::runStep(App& app, double now) {
  if (finished()) return;
  // The first call sees exactly 0, later calls never less than a microsecond,
  // so a step can tell its first call from the rest.
  double elapsed = 0;
  if (stepStart == 0) stepStart = now;
  else elapsed = std::max(now - stepStart, 0.000001);
  if (steps[stepIndex].run(app, elapsed)) {
    stepIndex++;
    stepStart = 0;
  }
}
