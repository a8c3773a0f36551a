// UTF-8 / UTF-16 conversion, paths, numbers in text, system messages,
// environment and clock.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "plat/text.h"

TEST(Text, RoundTrips) {
  const std::string samples[] = {"", "plain", std::string("nul\0inside", 10), "é à ç … › · × • —",
                                 "\xF0\x9F\x94\xA5 beyond the BMP"};
  for (const std::string& s : samples) EXPECT_EQ(plat::narrow(plat::widen(s)), s);
  EXPECT_EQ(plat::widen("\xF0\x9F\x94\xA5").size(), 2u);  // a surrogate pair
  EXPECT_EQ(plat::widen(std::string("a\0b", 3)).size(), 3u);
}

TEST(Text, IllFormedBecomesReplacement) {
  plat::WideString w = plat::widen("a\xFF" "b");
  ASSERT_EQ(w.size(), 3u);
  EXPECT_EQ(w[1], char16_t(0xFFFD));
}

TEST(Text, SystemMessageTrim) {
  EXPECT_EQ(plat::trimSystemMessage("Access is denied.\r\n"), "Access is denied");
  EXPECT_EQ(plat::trimSystemMessage("keeps. "), "keeps. ");
  EXPECT_FALSE(plat::errorTextFor(2).empty());
}

TEST(Text, Environment) {
  plat::setEnv("VEYRA_TEST_VAR", "valeur é");
  EXPECT_EQ(plat::getEnv("VEYRA_TEST_VAR"), "valeur é");
  plat::setEnv("VEYRA_TEST_VAR", "");
  EXPECT_EQ(plat::getEnv("VEYRA_TEST_VAR"), "");
}

TEST(Text, PathsKeepUtf8) {
  std::string name = "Disques/Émberfall été.iso";
  EXPECT_EQ(plat::pathToUtf8(plat::pathFromUtf8(name)), name);
}

TEST(Text, ClockCountsSecondsForward) {
  // A wall clock could step back between calls; a clock in milliseconds or
  // ticks would count a short sleep as far more than a minute.
  const double start = plat::nowSeconds();
  double last = start;
  for (int i = 0; i < 100000; i++) {
    const double now = plat::nowSeconds();
    ASSERT_GE(now, last);
    last = now;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const double slept = plat::nowSeconds() - start;
  EXPECT_GE(slept, 0.05);
  EXPECT_LT(slept, 60.0);
}

TEST(Text, JoinPath) {
  const std::string sep(1, char(std::filesystem::path::preferred_separator));
  struct Case {
    const char* base;
    const char* name;
    std::string joined;
  };
  const Case cases[] = {
      {.base = "release", .name = "kit", .joined = "release" + sep + "kit"},
      {.base = "release/", .name = "kit", .joined = "release/kit"},  // no second separator
      {.base = "", .name = "kit", .joined = "kit"},
      {.base = "Disques été", .name = "Émberfall.iso", .joined = "Disques été" + sep + "Émberfall.iso"},
      {.base = "release", .name = "/elsewhere", .joined = "/elsewhere"},  // a rooted name stands alone
  };
  for (const Case& c : cases) EXPECT_EQ(plat::joinPath(c.base, c.name), c.joined) << c.base << " + " << c.name;
}

TEST(Text, LeadingNumber) {
  const struct {
    const char* text;
    double value;
  } cases[] = {
      {"abc", 0}, {"", 0}, {"1.5e1z", 15}, {"  -2.5 s", -2.5}, {"nan", 0}, {"inf", 0}, {"1e301", 0}, {"-1e301", 0},
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(plat::parseLeadingNumber(c.text), c.value) << c.text;
}
