// Release info files, change-log sections and version order.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "plat/text.h"
#include "test_files.h"
#include "update/version.h"

namespace {

namespace fs = std::filesystem;

struct TempFile {
  TempDir dir;
  explicit TempFile(const std::string& text) { writeFile(utf8(), text); }
  std::string utf8() const { return dir / "file.txt"; }
};

TEST(Version, ReadKeyValue) {
  struct Case {
    const char* text;
    const char* key;
    const char* expected;
  } cases[] = {
      {"version = 0.1.7\n", "version", "0.1.7"},
      {"version=0.1.7 \n", "version", "0.1.7 "},          // trailing space of the value stays
      {"  version=0.1.7\n", "version", ""},              // leading space belongs to the key
      {"#version=0.1.7\n", "version", ""},
      {"Version=0.1.7\n", "version", ""},
      {"version=0.1.7\nversion=0.1.8\n", "version", "0.1.7"},
      {"[release]\r\nversion\t=\t0.1.7\r\n", "version", "0.1.7"},
      {";version=0.1.7\n", ";version", "0.1.7"},          // ';' is no comment marker
      {"no equals here\n\ncommit=abc", "commit", "abc"},  // last line without a line feed
      {"url=a=b\n", "url", "a=b"},
      {"commit=abc\n", "version", ""},
  };
  for (const Case& c : cases) {
    TempFile file(c.text);
    EXPECT_EQ(readKeyValue(file.utf8(), c.key), c.expected) << c.text;
  }
  EXPECT_EQ(readKeyValue(TempDir() / "no_such.ini", "version"), "");
}

TEST(Version, ExtractWhatsNew) {
  const std::string body = "### Fixed\n- a `thing`\n\n[1]: https://example.invalid/x\n- more\n";
  struct Case {
    std::string text;
    const char* version;
    const char* expected;
  } cases[] = {
      {"## 0.1.6\n" + body, "0.1.6", "### Fixed\n- a `thing`\n\n- more"},
      {"## [0.1.6]\nA\n", "0.1.6", "A"},
      {"## v0.1.6 (2025-06-01)\nA\n", "0.1.6", "A"},
      {"## [V0.1.6] - a date\r\nA\r\n", "v0.1.6", "A"},
      {"### 0.1.6\nA\n", "0.1.6", ""},
      {"# 0.1.6\nA\n", "0.1.6", ""},
      {"## 0.1.7\nnew\n## 0.1.6\n\n  old  \n\n## 0.1.5\nolder\n", "0.1.6", "old"},
      {"## 0.1.60\nA\n", "0.1.6", ""},
      {"## 0.1.6\n\n\n## 0.1.5\nA\n", "0.1.6", ""},
      {"##0.1.6\nA\n", "0.1.6", ""},
  };
  for (const Case& c : cases) {
    TempFile file(c.text);
    EXPECT_EQ(extractWhatsNew(file.utf8(), c.version), c.expected) << c.text;
  }
  EXPECT_EQ(extractWhatsNew(TempDir() / "no_such.md", "0.1.6"), "");
}

TEST(Version, ParseVersion) {
  struct Case {
    const char* text;
    bool ok = false;
    int major = 0, minor = 0, patch = 0;
    const char* pre = "";
  } cases[] = {
      {.text = "v1.2.3-rc.1+build.5", .ok = true, .major = 1, .minor = 2, .patch = 3, .pre = "rc.1"},
      {.text = "V0.1.6", .ok = true, .minor = 1, .patch = 6},
      {.text = "1.2.3.4", .ok = true, .major = 1, .minor = 2, .patch = 3},
      {.text = "1.2.3-beta-2", .ok = true, .major = 1, .minor = 2, .patch = 3, .pre = "beta-2"},
      {.text = "1.2"},
      {.text = "+1.2.3"},
      {.text = "nightly"},
      {.text = ""},
      // Numbers beyond an int fail the version instead of reaching undefined
      // behaviour in the scan; the int limits themselves still read.
      {.text = "v99999999999.0.0"},
      {.text = "0.2147483648.0"},
      {.text = "2147483647.2147483647.0", .ok = true, .major = 2147483647, .minor = 2147483647},
      {.text = " 1. 2. 3x", .ok = true, .major = 1, .minor = 2, .patch = 3},  // blanks as the scan allows them
      {.text = "1 .2.3"},
  };
  for (const Case& c : cases) {
    int major = -1, minor = -1, patch = -1;
    std::string pre = "x";
    EXPECT_EQ(parseVersion(c.text, major, minor, patch, pre), c.ok) << c.text;
    if (!c.ok) continue;
    EXPECT_EQ(major, c.major) << c.text;
    EXPECT_EQ(minor, c.minor) << c.text;
    EXPECT_EQ(patch, c.patch) << c.text;
    EXPECT_EQ(pre, c.pre) << c.text;
  }
}

TEST(Version, IsNewerRelease) {
  struct Case {
    const char* candidate;
    const char* current;
    bool newer;
  } cases[] = {
      {"v0.1.7", "0.1.6", true},
      {"0.1.6", "0.1.6", false},
      {"0.1.6", "0.1.6-beta", true},
      {"0.1.6-beta", "0.1.6", false},
      {"0.2.0", "0.10.0", false},
      {"nightly", "0.1.6", false},
      {"0.1.6", "nightly", true},
      {"1.0.0", "0.99.99", true},
      {"0.1.6-rc.10", "0.1.6-rc.2", false},  // byte order, not dotted precedence
      {"0.1.6-rc.2", "0.1.6-rc.10", true},
      {"0.1.6-rc.1", "0.1.6-rc", true},      // the longer is larger
      {"0.1.6+build.9", "0.1.6", false},     // build metadata is ignored
      {"v99999999999.0.0", "0.1.6", false},  // not a version: never offered
  };
  for (const Case& c : cases)
    EXPECT_EQ(isNewerRelease(c.candidate, c.current), c.newer) << c.candidate << " against " << c.current;
}

}  // namespace
