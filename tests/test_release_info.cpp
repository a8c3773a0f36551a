// What the release folder says about itself, and when the game needs rebuilding.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "app/app.h"
#include "plat/text.h"
#include "test_files.h"
#include "update/version.h"

namespace {

namespace fs = std::filesystem;

struct ReleaseInfo : ::testing::Test {
  TempDir temp;  // one per test: ctest runs tests side by side
  fs::path root = temp.path;
  App app;

  void SetUp() override {
    app.releaseDir = plat::pathToUtf8(root);
    app.releaseIniPath = plat::pathToUtf8(root / "source" / "release.ini");
    app.builtFromIniPath = plat::pathToUtf8(root / "game" / "built_from.ini");
    app.gameExe = plat::pathToUtf8(root / "game" / "veyra.exe");
    app.gameElf = plat::pathToUtf8(root / "game" / "SLUS_209.99");
  }
};

TEST_F(ReleaseInfo, MissingFilesFallBackToTheLauncher) {
  writeFile(root / "CHANGELOG.md", "# Changes\n## 0.1.7\nlater\n## [0.1.6] - 2025-06-01\n- first\n");
  app.refreshReleaseInfo();
  EXPECT_EQ(app.releaseVersion, "");
  EXPECT_EQ(app.releaseCommit, sourceCommit);
  EXPECT_EQ(app.builtFromCommit, "");
  EXPECT_EQ(app.whatsNewVersion, "0.1.6");
  EXPECT_EQ(app.whatsNewText, "- first");
}

TEST_F(ReleaseInfo, ReleaseFilesAndTheSourceChangeLog) {
  writeFile(root / "source" / "release.ini", "[release]\nversion = 0.1.7\ncommit=abc123\n");
  writeFile(root / "game" / "built_from.ini", "commit=def456\n");
  // The release folder's change log lacks the section; the source folder's has it.
  writeFile(root / "CHANGELOG.md", "## 0.1.6\nold\n");
  writeFile(root / "source" / "CHANGELOG.md", "## v0.1.7\nnew\n");
  app.refreshReleaseInfo();
  EXPECT_EQ(app.releaseVersion, "0.1.7");
  EXPECT_EQ(app.releaseCommit, "abc123");
  EXPECT_EQ(app.builtFromCommit, "def456");
  EXPECT_EQ(app.whatsNewVersion, "0.1.7");
  EXPECT_EQ(app.whatsNewText, "new");
}

TEST_F(ReleaseInfo, NeedsRebuild) {
  struct Case {
    bool exe, elf;
    const char* releaseCommit;
    const char* builtFrom;  // nullptr: no built_from.ini
    bool expected;
  } cases[] = {
      {true, true, "abc", "abc", false},
      {true, true, "abc", "abd", true},
      {true, true, "abc", "abc0", true},
      {true, true, "abc", nullptr, true},
      {true, false, "abc", nullptr, false},
      {false, true, "abc", nullptr, false},
      {true, true, "", "abc", false},
  };
  for (const Case& c : cases) {
    fs::remove_all(root / "game");
    fs::create_directories(root / "game");
    if (c.exe) writeFile(root / "game" / "veyra.exe", "x");
    if (c.elf) writeFile(root / "game" / "SLUS_209.99", "x");
    if (c.builtFrom) writeFile(root / "game" / "built_from.ini", std::string("commit=") + c.builtFrom + "\n");
    app.refreshReleaseInfo();
    app.releaseCommit = c.releaseCommit;
    EXPECT_EQ(needsRebuild(app), c.expected) << c.exe << c.elf << " " << c.releaseCommit << " " << (c.builtFrom ? c.builtFrom : "(none)");
  }
}

}  // namespace
