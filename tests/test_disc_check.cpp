// The disc check: the rules for reading the script's lines, the reasons shown
// for a rejection, and whole checks of synthetic discs by the stand-in script.
#include <gtest/gtest.h>

#include "prep_fixture.h"
#include "prepare/disc_check.h"
#include "settings/launcher_settings.h"
#include "ui_harness.h"

namespace {

using namespace prep_test;

TEST(DiscCheckLinesTest, OkLineAndReason) {
  struct Case {
    const char* name;
    std::vector<std::string> lines;
    const char* okLine;
    const char* reason;
  };
  const std::vector<Case> cases = {
      {"ok with words", {"INFO reading x", "OK SLUS-20999 fine"}, "OK SLUS-20999 fine", ""},
      {"a later ok replaces an earlier one", {"OK first", "OK"}, "OK", ""},
      {"a single O is no ok line", {"O"}, "", "O"},
      {"info then error verify", {"INFO x", "ERROR verify SHA-1 abc differs"}, "", "SHA-1 abc differs"},
      {"error verify beats an earlier plain line", {"Traceback", "ERROR verify this disc boots X"}, "",
       "this disc boots X"},
      {"the last error verify wins", {"ERROR verify first", "ERROR verify second"}, "", "second"},
      {"of two plain lines the first wins", {"first words", "", "second words"}, "", "first words"},
      {"error verify alone is a plain line", {"INFO", "ERROR verify", "later"}, "", "ERROR verify"},
      {"error verify and one blank gives an empty reason", {"plain", "ERROR verify "}, "", ""},
      {"info prefix is skipped, short info-like lines are not", {"INFOrmation", "INF"}, "", "INF"},
      {"nothing at all", {}, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DiscVerdict v = readDiscCheckOutput(c.lines);
    EXPECT_EQ(v.okLine, c.okLine);
    EXPECT_EQ(v.reason, c.reason);
    // A flood may cost the check every line its reader does not keep; the
    // verdict must not change, with or without chatter between the lines.
    for (const char* chatter : {"", "INFO chatter", "stray words"}) {
      plat::KeepLine keep = discCheckKeepLine();
      std::vector<std::string> all, kept;
      for (const std::string& line : c.lines) all.insert(all.end(), {chatter, line});
      for (const std::string& l : all)
        if (keep(l)) kept.push_back(l);
      DiscVerdict whole = readDiscCheckOutput(all), fromKept = readDiscCheckOutput(kept);
      EXPECT_EQ(fromKept.okLine, whole.okLine) << chatter;
      EXPECT_EQ(fromKept.reason, whole.reason) << chatter;
    }
  }
}

TEST(DiscCheckLinesTest, RejectionTexts) {
  const std::vector<std::pair<std::string, std::string>> english = {
      {"this disc boots SLES_1 (not SHA-1 checked)", "This disc image is another game."},
      {"SHA-1 abc does not exist", "This copy differs from the USA disc: modified or damaged. Make a fresh copy of your disc."},
      {"x.iso does not exist", "This file is no longer there."},
      {"sha-1 Boots DOES NOT EXIST", "This file is not a PS2 disc image."},
      {"", "This file is not a PS2 disc image."},
  };
  for (const auto& [reason, text] : english) EXPECT_EQ(discRejectionText(reason, false), text) << reason;
  EXPECT_EQ(discRejectionText("boots", true), "Cette image disque est un autre jeu.");
  EXPECT_EQ(discRejectionText("x", true), "Ce fichier n'est pas une image disque PS2.");
}

class DiscCheckRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (hostPython().empty()) GTEST_SKIP() << "no Python interpreter to run the build script on this platform";
    release = std::make_unique<Release>();
    release->layOut(app);
    uiFrench = false;
  }
  UiGlobalsGuard globals;
  std::unique_ptr<Release> release;
  App app;
};

TEST_F(DiscCheckRunTest, RightDiscIsAcceptedAndRemembered) {
  for (const fs::path& image : {discs().cue, discs().right}) {
    SCOPED_TRACE(image.string());
    app.stage = NoDisc;
    app.currentTab = 2;
    app.statusText = "old notice";
    app.startDiscCheck(plat::pathToUtf8(image));
    ASSERT_TRUE(app.discChecking);
    // A second pick while the check runs starts nothing.
    app.startDiscCheck(plat::pathToUtf8(discs().other));
    EXPECT_EQ(app.discCheckImage, plat::pathToUtf8(image));
    ASSERT_TRUE(finishDiscCheck(app));
    EXPECT_EQ(app.discCheckReason, "") << app.discCheckOutput;
    EXPECT_EQ(app.settings.disc, plat::pathToUtf8(image));
    EXPECT_EQ(app.stage, Ready);
    EXPECT_EQ(app.currentTab, 0);
    EXPECT_EQ(app.statusText, "");
    LauncherSettings saved;
    saved.load(app.launcherIniPath);
    EXPECT_EQ(saved.disc, plat::pathToUtf8(image));
  }
}

TEST_F(DiscCheckRunTest, WrongDiscsAreRejectedWithTheirReason) {
  struct Case {
    fs::path image;
    const char* reason;
    const char* scriptWords;
  };
  const std::vector<Case> cases = {
      {discs().other, "This disc image is another game.", "boots SLES_512.34"},
      {discs().modified, "This copy differs from the USA disc: modified or damaged. Make a fresh copy of your disc.",
       "SHA-1"},
      {discs().notImage, "This file is not a PS2 disc image.", "not an ISO9660 disc image"},
      {discs().missing, "This file is no longer there.", "does not exist"},
  };
  app.settings.disc = "earlier accepted.iso";
  app.stage = Ready;
  app.currentTab = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.image.string());
    app.startDiscCheck(plat::pathToUtf8(c.image));
    ASSERT_TRUE(finishDiscCheck(app));
    EXPECT_EQ(app.discCheckReason, c.reason);
    EXPECT_NE(app.discCheckOutput.find(c.scriptWords), std::string::npos) << app.discCheckOutput;
    EXPECT_EQ(app.discCheckOutput.find("ERROR verify"), std::string::npos);
    EXPECT_EQ(app.settings.disc, "earlier accepted.iso");
    EXPECT_EQ(app.stage, Ready);
    EXPECT_EQ(app.currentTab, 1);
  }
  EXPECT_FALSE(fs::exists(app.launcherIniPath));
}

TEST(DiscCheckStartTest, MissingInterpreter) {
  UiGlobalsGuard globals;
  Release release;
  App app;
  release.layOut(app);
  release.removeInterpreter(app);
  uiFrench = false;
  app.startDiscCheck(plat::pathToUtf8(release.root / "emberfall.iso"));
  EXPECT_FALSE(app.discChecking);
  EXPECT_EQ(app.discCheckReason, "The disc could not be checked.");
  EXPECT_FALSE(app.discCheckOutput.empty());
  app.pollDiscCheck();
  EXPECT_EQ(app.discCheckReason, "The disc could not be checked.");
  EXPECT_EQ(app.settings.disc, "");
}

}  // namespace
