// The disc check's output: the verdict keeps the last "OK" line, a reason only
// from what the script wrote, and every reason maps to one of the four texts
// the user may see.
#include <algorithm>

#include "fuzz_support.h"
#include "prepare/disc_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string> lines = fuzzLines(fuzzText(data, size));
  const DiscVerdict verdict = readDiscCheckOutput(lines);
  std::string lastOk;
  for (const std::string& l : lines)
    if (l.compare(0, 2, "OK") == 0) lastOk = l;
  FUZZ_CHECK(verdict.okLine == lastOk);
  if (!verdict.reason.empty()) {
    bool from = false;
    for (const std::string& l : lines)
      from = from || l == verdict.reason || l == "ERROR verify " + verdict.reason;
    FUZZ_CHECK(from);
    FUZZ_CHECK(verdict.reason.compare(0, 2, "OK") != 0 || lines.end() != std::find(lines.begin(), lines.end(),
                                                                                    "ERROR verify " + verdict.reason));
  }
  static const std::vector<std::string> english = {
      discRejectionText("boots", false), discRejectionText("SHA-1", false),
      discRejectionText("does not exist", false), discRejectionText("", false)};
  static const std::vector<std::string> french = {
      discRejectionText("boots", true), discRejectionText("SHA-1", true),
      discRejectionText("does not exist", true), discRejectionText("", true)};
  const std::string en = discRejectionText(verdict.reason, false), fr = discRejectionText(verdict.reason, true);
  FUZZ_CHECK(std::find(english.begin(), english.end(), en) != english.end());
  FUZZ_CHECK(std::find(french.begin(), french.end(), fr) != french.end());
  FUZZ_CHECK(std::find(english.begin(), english.end(), en) - english.begin() ==
             std::find(french.begin(), french.end(), fr) - french.begin());
  return 0;
}
