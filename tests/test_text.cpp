// UTF-8 / UTF-16 conversion, system messages, environment and clock.
#include <gtest/gtest.h>

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

TEST(Text, ClockIsMonotonic) {
  double a = plat::nowSeconds(), b = plat::nowSeconds();
  EXPECT_LE(a, b);
}
