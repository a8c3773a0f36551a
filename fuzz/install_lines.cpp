// The update script's output lines: a step resets the counts, a progress line
// sets them only to the numbers it writes, an error line is kept whole, and
// nothing else changes anything.
#include <string>

#include "fuzz_support.h"
#include "update/update_install.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string step = "start", message;
  std::atomic<uint64_t> done{7}, total{9};
  for (const std::string& line : fuzzLines(fuzzText(data, size))) {
    const std::string stepBefore = step, messageBefore = message;
    const uint64_t doneBefore = done, totalBefore = total;
    applyInstallerLine(line, step, done, total, message);
    const bool starts = line.size() >= 5;
    if (starts && line.compare(0, 5, "step ") == 0) {
      FUZZ_CHECK(step == line.substr(5) && done == 0 && total == 0);
    } else if (starts && line.compare(0, 9, "progress ") == 0) {
      if (done != doneBefore || total != totalBefore) {
        // Both numbers stand in the line as written, in this order.
        const std::string a = std::to_string(done.load()), b = std::to_string(total.load());
        const size_t at = line.find(a, 9);
        FUZZ_CHECK(at != std::string::npos && line.find(b, at + a.size()) != std::string::npos);
      }
      FUZZ_CHECK(step == stepBefore && message == messageBefore);
    } else if (starts && line.compare(0, 6, "error ") == 0) {
      FUZZ_CHECK(message == line.substr(6) && step == stepBefore);
    } else if (starts && line.compare(0, 5, "done ") == 0) {
      FUZZ_CHECK(step == "done");
    } else {
      FUZZ_CHECK(step == stepBefore && message == messageBefore && done == doneBefore && total == totalBefore);
    }
  }
  return 0;
}
