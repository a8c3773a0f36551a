// The launcher's own command line: the input's NUL-separated pieces are the
// arguments. Numbers are finite, a value option takes the token after it
// whatever it is, and the last of a repeated option wins.
#include <algorithm>
#include <cmath>

#include "app/options.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args;
  const std::string text = fuzzText(data, size);
  for (size_t start = 0; size > 0 && start <= text.size();) {
    size_t nul = text.find('\0', start);
    if (nul == std::string::npos) nul = text.size();
    args.push_back(text.substr(start, nul - start));
    start = nul + 1;
  }
  const Options o = parseOptions(args);
  FUZZ_CHECK(std::isfinite(o.uiScale) && std::isfinite(o.playSeconds) && std::isfinite(o.crashSeconds));
  // Scanned left to right: the last --release names the folder, and its value
  // is the next token, or empty at the end.
  // Only lines of the options known here are checked, so an option added later
  // does not read as a finding.
  static const std::vector<std::string> known = {
      "--release", "--version", "--self-check", "--report", "--ui-scale", "--update-url", "--download-prefix",
      "--update-now", "--selftest", "--shots", "--wrong", "--error-demo", "--cancel", "--screens",
      "--play-seconds", "--crash-seconds"};
  for (const std::string& a : args)
    if (a.compare(0, 2, "--") == 0 && std::find(known.begin(), known.end(), a) == known.end()) return 0;
  std::string release;
  bool seen = false;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--release") {
      seen = true;
      release = i + 1 < args.size() ? args[i + 1] : std::string();
      ++i;
    } else if (args[i] == "--self-check" || args[i] == "--report" || args[i] == "--ui-scale" ||
               args[i] == "--update-url" || args[i] == "--download-prefix" || args[i] == "--selftest" ||
               args[i] == "--shots" || args[i] == "--wrong" || args[i] == "--play-seconds" ||
               args[i] == "--crash-seconds") {
      ++i;  // its value, even one that looks like an option
    }
  }
  FUZZ_CHECK(!seen || o.release == release);
  return 0;
}
