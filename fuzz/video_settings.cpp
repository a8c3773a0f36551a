// video.ini as the game, the player or anyone may have left it: every managed
// field within its range after loading, and a save then a load gives the
// same settings and the same bytes.
#include "fuzz_support.h"
#include "settings/video_settings.h"

namespace {
bool same(const VideoSettings& a, const VideoSettings& b) {
  return a.width == b.width && a.height == b.height && a.mode == b.mode && a.renderScale == b.renderScale &&
         a.gsScale == b.gsScale && a.frameRate == b.frameRate && a.otherKeys == b.otherKeys;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzzFile("video.ini", fuzzText(data, size));
  VideoSettings first;
  FUZZ_CHECK(first.load(path));
  FUZZ_CHECK((first.width == 0 && first.height == 0) || (first.width >= 160 && first.height >= 120));
  FUZZ_CHECK(first.mode == "windowed" || first.mode == "fullscreen" || first.mode == "borderless");
  FUZZ_CHECK(first.gsScale >= 1 && first.gsScale <= 4);
  FUZZ_CHECK(!first.renderScale.empty() && !first.frameRate.empty());
  // An unset size is written as 0x0, which a load rejects: the Video tab
  // never saves one, so neither does this.
  if (first.width == 0) {
    first.width = 640;
    first.height = 448;
  }
  // What save writes (save adds only the durable replacement, tested on its
  // own; its flush per input would slow the fuzzing a hundredfold).
  const std::string written = first.text();
  VideoSettings second;
  FUZZ_CHECK(second.load(fuzzFile("saved.ini", written)));
  FUZZ_CHECK(same(first, second) && second.text() == written);
  return 0;
}
