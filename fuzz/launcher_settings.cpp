// launcher.ini as anyone may have left it: loaded, saved and loaded again it
// gives the same settings, and a second save writes the same bytes.
#include <cmath>

#include "fuzz_support.h"
#include "settings/launcher_settings.h"

namespace {
bool same(const LauncherSettings& a, const LauncherSettings& b) {
  return a.disc == b.disc && a.language == b.language && a.motion == b.motion && a.buildPending == b.buildPending &&
         a.built == b.built && a.lastBuildSeconds == b.lastBuildSeconds &&
         a.pendingBuildSeconds == b.pendingBuildSeconds && a.updateCheck == b.updateCheck;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzzFile("launcher.ini", fuzzText(data, size));
  LauncherSettings first;
  FUZZ_CHECK(first.load(path));
  FUZZ_CHECK(std::isfinite(first.lastBuildSeconds) && std::isfinite(first.pendingBuildSeconds));
  // What save writes (save adds only the durable replacement, tested on its
  // own; its flush per input would slow the fuzzing a hundredfold).
  LauncherSettings second;
  FUZZ_CHECK(second.load(fuzzFile("saved.ini", first.text())));
  // Durations are saved in whole seconds; after that the record is stable.
  FUZZ_CHECK(second.disc == first.disc && second.language == first.language);
  for (auto field : {&LauncherSettings::lastBuildSeconds, &LauncherSettings::pendingBuildSeconds})
    FUZZ_CHECK(std::fabs(second.*field - first.*field) <= 0.5 + 1e-9 * std::fabs(first.*field));
  FUZZ_CHECK(second.motion == first.motion && second.built == first.built &&
             second.buildPending == first.buildPending && second.updateCheck == first.updateCheck);
  const std::string written = second.text();
  LauncherSettings third;
  FUZZ_CHECK(third.load(fuzzFile("saved.ini", written)));
  FUZZ_CHECK(same(second, third) && third.text() == written);
  return 0;
}
