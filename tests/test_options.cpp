// The command line's odd cases: values consumed whatever they look like,
// missing last values, repeats, numbers.
#include <gtest/gtest.h>

#include "app/options.h"

TEST(Options, ValuesAndSwitches) {
  Options o = parseOptions({"--shots", "--cancel", "--release", "a", "--release", "b", "--update-now",
                            "--update-now", "bogus", "--play-seconds", "2.5x"});
  EXPECT_EQ(o.shots, "--cancel");
  EXPECT_FALSE(o.cancel);
  EXPECT_EQ(o.release, "b");
  EXPECT_TRUE(o.updateNow);
  EXPECT_DOUBLE_EQ(o.playSeconds, 2.5);
}

TEST(Options, LastTokenValueIsEmpty) {
  Options o = parseOptions({"--version", "--release"});
  EXPECT_TRUE(o.version);
  EXPECT_EQ(o.release, "");
  Options s = parseOptions({"--self-check"});
  EXPECT_FALSE(s.textMode());  // an empty self-check value counts as not given
  EXPECT_TRUE(parseOptions({"--self-check", "x.bin"}).textMode());
}

TEST(Options, Numbers) {
  EXPECT_DOUBLE_EQ(parseOptions({"--ui-scale", "1.5e1z"}).uiScale, 15);
  EXPECT_DOUBLE_EQ(parseOptions({"--play-seconds", "nan"}).playSeconds, 0);
  EXPECT_DOUBLE_EQ(parseOptions({"--ui-scale", "0"}).uiScale, 0);
  EXPECT_DOUBLE_EQ(parseOptions({"--crash-seconds", "2.7"}).crashSeconds, 2.7);
}
