// Version text and order: the input holds up to three versions, one a line.
// The order must be a strict order (never both ways, never a version newer
// than itself, transitive), and a parsed version written back parses the same.
#include "fuzz_support.h"
#include "update/version.h"

namespace {
struct Parsed {
  bool ok;
  int major, minor, patch;
  std::string pre;
};
Parsed parse(const std::string& text) {
  Parsed p{};
  p.ok = parseVersion(text, p.major, p.minor, p.patch, p.pre);
  return p;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> v = fuzzLines(fuzzText(data, size));
  v.resize(3);
  for (const std::string& a : v) {
    FUZZ_CHECK(!isNewerRelease(a, a));
    Parsed p = parse(a);
    if (!p.ok) continue;
    FUZZ_CHECK(p.pre.find('+') == std::string::npos);
    std::string again = std::to_string(p.major) + "." + std::to_string(p.minor) + "." + std::to_string(p.patch);
    if (!p.pre.empty()) again += "-" + p.pre;
    Parsed q = parse(again);
    FUZZ_CHECK(q.ok && q.major == p.major && q.minor == p.minor && q.patch == p.patch && q.pre == p.pre);
    FUZZ_CHECK(!isNewerRelease(a, again) && !isNewerRelease(again, a));
  }
  for (const std::string& a : v)
    for (const std::string& b : v) {
      if (isNewerRelease(a, b)) FUZZ_CHECK(!isNewerRelease(b, a));
      for (const std::string& c : v)
        if (isNewerRelease(a, b) && isNewerRelease(b, c)) FUZZ_CHECK(isNewerRelease(a, c));
    }
  return 0;
}
