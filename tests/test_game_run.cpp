// Playing end to end with the stand-in game: the launcher hides, notices the
// end, and tells a crash report of this run from older ones.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "app/app.h"
#include "plat/process.h"
#include "plat/text.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;

// Waits (bounded) for a condition the stand-in brings about.
template <class F>
bool waitFor(F done, double seconds = 30) {
  const double end = plat::nowSeconds() + seconds;
  while (!done()) {
    if (plat::nowSeconds() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

struct GameRun : ::testing::Test {
  TempDir temp;  // one per test: ctest runs tests side by side
  fs::path root = temp.path;
  fs::path crashes = root / "user" / "crashes";
  App app;

  void SetUp() override {
    const fs::path bin = plat::pathFromUtf8(plat::exeDir());
    fs::path standin = bin / "veyra_game.exe";
    if (!fs::exists(standin)) standin = bin / "veyra_game";
    fs::create_directories(root / "game");
    fs::copy_file(standin, root / "game" / "veyra.exe");
    writeFile(root / "game" / "SLUS_209.99", "elf");
    writeFile(root / "game" / "disc.iso", "iso");
    app.releaseDir = plat::pathToUtf8(root);
    app.gameDir = plat::pathToUtf8(root / "game");
    app.gameExe = plat::pathToUtf8(root / "game" / "veyra.exe");
    app.gameElf = plat::pathToUtf8(root / "game" / "SLUS_209.99");
    app.gameIso = plat::pathToUtf8(root / "game" / "disc.iso");
    app.userDir = plat::pathToUtf8(root / "user");
    app.logsDir = plat::pathToUtf8(root / "user" / "logs");
    app.crashesDir = plat::pathToUtf8(crashes);
    plat::setEnv("RA2V_USER_DIR", app.userDir);
    plat::setEnv("RA2V_NO_DIALOGS", "1");
  }
  void TearDown() override {
    if (plat::isRunning(app.game)) plat::stopProcess(app.game);
    waitFor([&] { return !plat::isRunning(app.game); });
    plat::setEnv("RA2V_USER_DIR", "");
    plat::setEnv("RA2V_NO_DIALOGS", "");
    plat::setEnv("RA2V_TEST_CRASH", "");
  }

  void launch() {
    app.launchGame();
    ASSERT_EQ(app.gameStartError, "");
    ASSERT_TRUE(app.gameRunning);
    ASSERT_TRUE(app.launcherHidden);
  }
  // The frame loop's view: poll until the end is noticed.
  void pollToEnd() {
    ASSERT_TRUE(waitFor([&] {
      app.pollGame();
      return !app.gameRunning;
    }));
    EXPECT_FALSE(app.launcherHidden);
  }
};

TEST_F(GameRun, OrdinaryEndBringsTheLauncherBack) {
  writeFile(crashes / "earlier.txt", "an older crash");
  launch();
  const fs::path log = root / "user" / "logs" / "game.log";
  ASSERT_TRUE(waitFor([&] { return readFile(log).find("window ") != std::string::npos; })) << readFile(log);
  app.pollGame();
  EXPECT_TRUE(app.gameRunning);  // still playing
  plat::closeProcessWindows(app.game);
  pollToEnd();
  EXPECT_EQ(app.gameExitCode, 0);
  EXPECT_EQ(app.crashReport, "");
  EXPECT_FALSE(app.crashedWithoutReport);
  EXPECT_NE(readFile(log).find("SLUS_209.99"), std::string::npos);
}

TEST_F(GameRun, TheNewestReportOfThisRunWins) {
  writeFile(crashes / "old.txt", "an older crash");
  plat::setEnv("RA2V_TEST_CRASH", "1");
  launch();
  plat::setEnv("RA2V_TEST_CRASH", "");
  // Written during the run, but before the game's own report.
  writeFile(crashes / "early.txt", "written early");
  ASSERT_TRUE(waitFor([&] { return !plat::isRunning(app.game); }));
  // Rewritten after the game's report: the newest file, but not new to this run.
  writeFile(crashes / "old.txt", "rewritten");
  pollToEnd();
  EXPECT_NE(app.gameExitCode, 0);
  ASSERT_NE(app.crashReport, "");
  const std::string name = plat::pathToUtf8(plat::pathFromUtf8(app.crashReport).filename());
  EXPECT_EQ(name.rfind("crash-", 0), 0u) << app.crashReport;
  EXPECT_TRUE(fs::exists(plat::pathFromUtf8(app.crashReport)));
  EXPECT_FALSE(app.crashedWithoutReport);
}

TEST_F(GameRun, ACrashWithoutReport) {
  // A file where the crash folder should be: the game cannot write its report.
  writeFile(crashes, "in the way");
  plat::setEnv("RA2V_TEST_CRASH", "1");
  launch();
  pollToEnd();
  EXPECT_EQ(app.gameExitCode, 3);
  EXPECT_EQ(app.crashReport, "");
  EXPECT_TRUE(app.crashedWithoutReport);
}

TEST_F(GameRun, RequestsThatAreIgnored) {
  struct Case {
    const char* what;
    bool building, removeExe, removeElf;
  } cases[] = {
      {"while building", true, false, false},
      {"without the game", false, true, false},
      {"without the boot file", false, false, true},
  };
  for (const Case& c : cases) {
    app.building = c.building;
    if (c.removeExe) fs::remove(plat::pathFromUtf8(app.gameExe));
    if (c.removeElf) fs::remove(plat::pathFromUtf8(app.gameElf));
    app.launchGame();
    EXPECT_FALSE(app.gameRunning) << c.what;
    EXPECT_FALSE(app.launcherHidden) << c.what;
    EXPECT_EQ(app.gameStartError, "") << c.what;
    EXPECT_EQ(plat::processId(app.game), 0u) << c.what;
  }
}

TEST_F(GameRun, AGameThatCannotStart) {
  // A fresh file: on POSIX not executable, on Windows no program format.
  fs::remove(plat::pathFromUtf8(app.gameExe));
  writeFile(plat::pathFromUtf8(app.gameExe), "not a program");
  app.crashedWithoutReport = true;  // from an earlier run
  app.launchGame();
  EXPECT_NE(app.gameStartError, "");
  EXPECT_FALSE(app.gameRunning);
  EXPECT_FALSE(app.launcherHidden);
  EXPECT_FALSE(app.crashedWithoutReport);
}

}  // namespace
