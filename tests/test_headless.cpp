// The headless commands' pure parts: the JSON string escaper (output must
// always parse, whatever bytes a path holds), the video size and the usage rules.
#include <gtest/gtest.h>

#include "app/headless.h"
#include "app/options.h"

TEST(Headless, JsonStrings) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"", "\"\""},
      {"C:\\Games\\\"Veyra\"", "\"C:\\\\Games\\\\\\\"Veyra\\\"\""},
      {"a\nb\tc\r\x01\x7f", "\"a\\nb\\tc\\r\\u0001\\u007f\""},
      {"Préparé en 5:07 · ✓ 😀", "\"Préparé en 5:07 · ✓ 😀\""},
      {"bad \xff end", "\"bad \xEF\xBF\xBD end\""},           // not UTF-8 at all
      {"cut \xC3", "\"cut \xEF\xBF\xBD\""},                    // sequence cut off at the end
      {"over \xC0\xAF", "\"over \xEF\xBF\xBD\xEF\xBF\xBD\""},  // overlong "/"
      {"sur \xED\xA0\x80", "\"sur \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},  // a UTF-16 surrogate
  };
  for (const Case& c : cases) EXPECT_EQ(jsonString(c.in), c.out) << c.in;
}

TEST(Headless, VideoSize) {
  int w = 0, h = 0;
  EXPECT_TRUE(parseVideoSize("1280x720", w, h));
  EXPECT_EQ(w, 1280);
  EXPECT_EQ(h, 720);
  EXPECT_TRUE(parseVideoSize("160x120", w, h));
  for (const char* bad : {"159x120", "160x119", "1280 x 720", "1280x", "x720", "1280X720", "-1280x720", "1280x720p",
                          "999999x720", ""})
    EXPECT_FALSE(parseVideoSize(bad, w, h)) << bad;
}

TEST(Headless, Usage) {
  struct Case {
    std::vector<std::string> args;
    bool ok;
  } cases[] = {
      {{"--status"}, true},
      {{"--prepare", "--disc", "a.iso", "--json"}, true},
      {{"--play", "--video-mode", "borderless", "--video-size", "800x600"}, true},
      {{"--verify", "a.iso", "--unknown-token"}, true},
      {{"--verify"}, false},                       // no image
      {{"--json"}, false},                         // no command
      {{"--status", "--play"}, false},             // two commands
      {{"--install-desktop-entry", "--json"}, true},
      {{"--install-desktop-entry", "--status"}, false},
      {{"--disc", "a.iso", "--status"}, false},    // --disc without --prepare
      {{"--prepare", "--disc"}, false},            // --disc without an image
      {{"--status", "--video-mode", "windowed"}, false},
      {{"--play", "--video-mode", "Fullscreen"}, false},
      {{"--play", "--video-size", "big"}, false},
  };
  for (const Case& c : cases) {
    Options o = parseOptions(c.args);
    EXPECT_TRUE(o.headlessMode());
    EXPECT_EQ(headlessUsageError(o).empty(), c.ok) << c.args[0] << " " << c.args.size();
  }
  EXPECT_FALSE(parseOptions({"--release", "x", "--selftest", "a.iso"}).headlessMode());
}
