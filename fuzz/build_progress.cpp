// The build script's output as the launcher reads it: the bytes go through the
// reader's line splitting in blocks of any size, and every line into
// BuildProgress::feed. The bar stays within 0..1 and only goes back on a line
// that may take work away (a step restarted, a lower percent, a step skipped
// or failed); the estimate is -1 or a finite number of seconds.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "fuzz_support.h"
#include "plat/process_internal.h"
#include "prepare/progress.h"

namespace {
bool mayGoBack(const std::string& line) {
  for (const char* keyword : {"PROGRESS", "PERCENT", "SKIP", "ERROR"}) {
    size_t i = line.find_first_not_of(" \t\n\v\f\r");
    if (i != std::string::npos && line.compare(i, std::strlen(keyword), keyword) == 0) return true;
  }
  return false;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte picks the block size, as a pipe may cut the output anywhere.
  const size_t block = 1 + data[0] % 64;
  // The build's own queue: protocol lines are kept whatever the flood, and the
  // frame loop takes what has arrived after every block.
  plat::LineSplitter splitter;
  plat::ChildOutput output;
  output.keep = isProgressLine;
  std::vector<std::string> lines;
  auto take = [&] {
    for (std::string& line : plat::takeQueuedLines(output)) lines.push_back(std::move(line));
  };
  for (size_t at = 1; at < size; at += block) {
    plat::splitBlock(splitter, reinterpret_cast<const char*>(data) + at, std::min(block, size - at), output);
    take();
  }
  plat::finishLines(splitter, output);
  take();

  BuildProgress progress;
  progress.reset(100.0);
  FUZZ_CHECK(progress.fraction() == 0.0);
  double now = 100.0, last = 0.0;
  size_t fed = 0;
  for (const std::string& line : lines) {
    FUZZ_CHECK(line.find('\n') == std::string::npos);
    now += 1.5;
    progress.feed(line, now);
    ++fed;
    const double f = progress.fraction();
    FUZZ_CHECK(f >= 0.0 && f <= 1.0);
    if (!mayGoBack(line)) FUZZ_CHECK(f >= last);
    if (progress.resultSeen) FUZZ_CHECK(f == 1.0);
    last = f;
    for (double at : {now, now + 3600.0}) {
      const double left = progress.secondsLeft(at);
      FUZZ_CHECK(left == -1.0 || (std::isfinite(left) && left >= 0.0));
    }
    FUZZ_CHECK(progress.steps.size() == 8);
    for (const BuildStep& step : progress.steps) {
      FUZZ_CHECK(step.percent >= 0 && step.percent <= 100);
      FUZZ_CHECK(std::isfinite(step.elapsedSeconds));
    }
    const int running = progress.runningStep();
    FUZZ_CHECK(running >= -1 && running < 8);
  }
  // The report needs only the last lines; the model keeps no more than those.
  FUZZ_CHECK(progress.outputLines.size() == std::min(fed, kKeptOutputLines));
  // The lines come back as written: joined with LF they are the input.
  std::string joined;
  for (size_t i = 0; i < lines.size(); ++i) joined += lines[i] + (i + 1 < lines.size() ? "\n" : "");
  std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::string stripped;
  for (size_t i = 0; i < input.size(); ++i)
    if (!(input[i] == '\r' && i + 1 < input.size() && input[i + 1] == '\n')) stripped += input[i];
  if (!stripped.empty() && stripped.back() == '\n') stripped.pop_back();
  FUZZ_CHECK(joined == stripped);
  return 0;
}
