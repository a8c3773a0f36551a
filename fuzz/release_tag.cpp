// The release service's answer: the tag scan, and what the check makes of an
// accepted tag (its version, and whether it is offered as newer).
#include "fuzz_support.h"
#include "update/update_check.h"
#include "update/version.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string body = fuzzText(data, size);
  std::string tag = "unchanged";
  if (!findTagName(body, tag)) {
    FUZZ_CHECK(tag == "unchanged");
    return 0;
  }
  // Accepted: 1 to 63 characters of the safe set, standing quoted in the body
  // after the member's name.
  FUZZ_CHECK(!tag.empty() && tag.size() <= 63);
  for (char c : tag)
    FUZZ_CHECK((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || std::strchr("._-+", c));
  const size_t name = body.find("\"tag_name\"");
  FUZZ_CHECK(name != std::string::npos);
  FUZZ_CHECK(body.find("\"" + tag + "\"", name + 10) != std::string::npos);

  // What the check publishes: the version never starts with a "v", and a tag
  // is newer than the launcher only when it reads as a version.
  int major, minor, patch;
  std::string pre;
  const bool parses = parseVersion(tag, major, minor, patch, pre);
  const bool newer = isNewerRelease(tag, launcherVersion);
  if (newer) FUZZ_CHECK(parses);
  if (newer) FUZZ_CHECK(!isNewerRelease(launcherVersion, tag));
  return 0;
}
