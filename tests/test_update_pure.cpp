// The release answer's tag scan, the check's failure texts, and the update
// script's command line and output lines.
#include <gtest/gtest.h>

#include "update/update_check.h"
#include "update/update_install.h"

namespace {

struct TagCase {
  const char* body;
  const char* tag;  // nullptr: no tag
};

TEST(UpdateTag, ScanTable) {
  const std::string tag63(63, 'a'), tag64(64, 'a');
  const std::string long63 = "{\"tag_name\":\"" + tag63 + "\"}", long64 = "{\"tag_name\":\"" + tag64 + "\"}";
  const TagCase cases[] = {
      {"{\"tag_name\":\"v0.1.7\"}", "v0.1.7"},
      {"{\"id\":1,\n  \"tag_name\" \t\r\n :  \r\n\t\"0.1.6\",\"name\":\"x\"}", "0.1.6"},
      {"{\"tag_name\"\n:\n\"v1.0.0-rc.1+build\"}", "v1.0.0-rc.1+build"},
      {"{\"tag_name\":\"first\",\"tag_name\":\"second\"}", "first"},
      {"{\"body\":\"tag_name: v9\",\"tag_name\":\"v1\"}", "v1"},  // unquoted mention does not count
      {"{\"tag_name\":17}", nullptr},
      {"{\"tag_name\":null}", nullptr},
      {"{\"tag_name\":\"\"}", nullptr},
      {"{\"tag_name\":\"v0.1 7\"}", nullptr},
      {"{\"tag_name\":\"v0/1\"}", nullptr},
      {"{\"tag_name\":\"v\\u00e9\"}", nullptr},  // escapes are not read: the backslash is refused
      {"{\"tag_name\":\"v0.1.7", nullptr},       // no closing quote
      {"{\"tag_name\"", nullptr},                // no colon
      {"{\"tag_name\":", nullptr},
      {"{\"tagname\":\"v1\"}", nullptr},
      {"{\"TAG_NAME\":\"v1\"}", nullptr},
      {"", nullptr},
      {long63.c_str(), tag63.c_str()},
      {long64.c_str(), nullptr},
  };
  for (const TagCase& c : cases) {
    std::string tag = "untouched";
    bool found = findTagName(c.body, tag);
    EXPECT_EQ(found, c.tag != nullptr) << c.body;
    EXPECT_EQ(tag, c.tag ? c.tag : "untouched") << c.body;
  }
}

TEST(UpdateTag, FailureTexts) {
  EXPECT_EQ(checkErrorText(true, 404, ""), "no release published yet");
  EXPECT_EQ(checkErrorText(true, 200, ""), "HTTP 200");
  EXPECT_EQ(checkErrorText(true, 500, ""), "HTTP 500");
  EXPECT_EQ(checkErrorText(false, 0, "bad URL"), "bad URL");
  EXPECT_EQ(checkErrorText(false, 404, "response too large"), "response too large");
}

TEST(UpdateInstall, ScriptCommandLine) {
  const std::string name = releaseAssetName("0.1.7");
  EXPECT_TRUE(name == "Morvane-0.1.7-tambler.zip" || name == "Morvane-0.1.7-tambler-linux.zip") << name;
  auto args = installerArgs("rel/source", "rel/update/Morvane-0.1.7-tambler.zip", "0.1.7", "rel");
  ASSERT_EQ(args.size(), 12u);
  EXPECT_EQ(args[0], "-I");
  EXPECT_EQ(args[1], "-X");
  EXPECT_EQ(args[2], "utf8");
  EXPECT_NE(args[3].find("source"), std::string::npos);
  EXPECT_NE(args[3].find("tools"), std::string::npos);
  EXPECT_EQ(args[3].substr(args[3].size() - 15), "apply_update.py");
  const std::vector<std::string> rest = {"--zip",     "rel/update/Morvane-0.1.7-tambler.zip",
                                         "--sha256",  "rel/update/Morvane-0.1.7-tambler.zip.sha256",
                                         "--version", "0.1.7",
                                         "--install", "rel"};
  EXPECT_EQ(std::vector<std::string>(args.begin() + 4, args.end()), rest);
}

struct LineCase {
  const char* line;
  const char* step;
  uint64_t done, total;
  const char* message;
};

// Each row starts from step "old", progress 7 of 9 and message "earlier".
TEST(UpdateInstall, OutputLineTable) {
  const LineCase cases[] = {
      {"step verify", "verify", 0, 0, "earlier"},
      {"step ", "", 0, 0, "earlier"},
      {"progress 5 10", "old", 5, 10, "earlier"},
      {"progress 18446744073709551615 1", "old", 18446744073709551615ull, 1, "earlier"},
      {"progress five 10", "old", 7, 9, "earlier"},
      {"progress 5", "old", 7, 9, "earlier"},
      {"progress 18446744073709551616 1", "old", 7, 9, "earlier"},  // too large: ignored, not wrapped
      {"progress -1 5", "old", 7, 9, "earlier"},
      {"progress  +7\t8 bytes", "old", 7, 8, "earlier"},
      {"error bad checksum", "old", 7, 9, "bad checksum"},
      {"error ", "old", 7, 9, ""},
      {"done ok", "done", 7, 9, "earlier"},
      {"done ", "done", 7, 9, "earlier"},
      {"done", "old", 7, 9, "earlier"},
      {"Step verify", "old", 7, 9, "earlier"},
      {" step verify", "old", 7, 9, "earlier"},
      {"stepx", "old", 7, 9, "earlier"},
      {"", "old", 7, 9, "earlier"},
  };
  for (const LineCase& c : cases) {
    std::string step = "old", message = "earlier";
    std::atomic<uint64_t> done{7}, total{9};
    applyInstallerLine(c.line, step, done, total, message);
    EXPECT_EQ(step, c.step) << c.line;
    EXPECT_EQ(done.load(), c.done) << c.line;
    EXPECT_EQ(total.load(), c.total) << c.line;
    EXPECT_EQ(message, c.message) << c.line;
  }
}

}  // namespace
