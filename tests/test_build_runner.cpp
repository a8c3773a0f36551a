// Whole preparations with the stand-in build pipeline: success, stop and
// resume, a reported failure, a script killed from outside, a missing
// interpreter, the last lines of a script that exits at once, and a flood.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "prep_fixture.h"
#include "test_support.h"
#include "prepare/duration.h"
#include "settings/launcher_settings.h"
#include "ui_harness.h"

namespace {

using namespace prep_test;

class BuildRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (hostPython().empty()) GTEST_SKIP() << "no Python interpreter to run the build script on this platform";
    release = std::make_unique<Release>();
    release->layOut(app);
    app.settings.disc = plat::pathToUtf8(discs().right);
    app.stage = Ready;
    uiFrench = false;
  }
  UiGlobalsGuard globals;
  LauncherSettings saved() const {
    LauncherSettings s;
    s.load(app.launcherIniPath);
    return s;
  }
  bool compileRunning() const {
    const BuildStep& compile = app.progress.steps[6];
    return compile.state == StepState::Running && compile.percent > 0;
  }
  std::unique_ptr<Release> release;
  App app;
  ScopedEnv speed{{"VEYRA_BUILD_SPEED", "0.02"}};
};

TEST_F(BuildRunTest, CompleteBuild) {
  app.currentTab = 2;
  app.statusText = "old";
  app.startBuild();
  ASSERT_TRUE(app.building);
  EXPECT_EQ(app.stage, Preparing);
  EXPECT_EQ(app.currentTab, 0);
  EXPECT_EQ(app.statusText, "");
  EXPECT_TRUE(saved().buildPending);
  app.startBuild();  // already running: nothing happens
  double start = app.progress.startTime;
  ASSERT_TRUE(finishBuild(app));
  double end = plat::nowSeconds();

  EXPECT_EQ(app.stage, Ready) << app.progress.errorMessage;
  for (const BuildStep& step : app.progress.steps) EXPECT_EQ(step.state, StepState::Done) << step.key;
  EXPECT_EQ(app.progress.fraction(), 1.0);
  EXPECT_TRUE(app.settings.built);
  EXPECT_FALSE(app.settings.buildPending);
  EXPECT_EQ(app.settings.pendingBuildSeconds, 0);
  EXPECT_GT(app.settings.lastBuildSeconds, 0);
  EXPECT_LE(app.settings.lastBuildSeconds, end - start);
  EXPECT_EQ(app.statusText, "The game is ready. Prepared in " + formatDuration(app.settings.lastBuildSeconds) + ".");
  EXPECT_EQ(app.statusColor, 0x4FE0A3u);
  LauncherSettings file = saved();
  EXPECT_TRUE(file.built);
  EXPECT_FALSE(file.buildPending);
  EXPECT_EQ(file.lastBuildSeconds, std::round(app.settings.lastBuildSeconds));  // saved in whole seconds

  // The game folder holds what the launcher starts, and the commit is reread.
  EXPECT_TRUE(fs::exists(app.gameExe));
  EXPECT_TRUE(fs::exists(app.gameElf));
  EXPECT_EQ(readFile(app.gameIso), readFile(discs().right));
  EXPECT_EQ(app.builtFromCommit, release->commit);
  for (const BuildStep& step : app.progress.steps)
    EXPECT_TRUE(fs::exists(fs::path(app.buildLogsDir) / (step.key + ".log"))) << step.key;
}

TEST_F(BuildRunTest, StopAtCompileThenResume) {
  double firstRun = 0;
  {
    ScopedEnv slowCompile{{"VEYRA_STEP_SECONDS", "compile=30"}};
    app.startBuild();
    ASSERT_TRUE(pollBuildUntil(app, [&] { return compileRunning(); }));
    ASSERT_TRUE(app.building);
    app.stopBuild();
    firstRun = app.settings.pendingBuildSeconds;
    EXPECT_GT(firstRun, 0);
    EXPECT_TRUE(app.timeBanked);
    EXPECT_EQ(saved().pendingBuildSeconds, std::round(firstRun));
    ASSERT_TRUE(finishBuild(app));
  }
  // Stopped, never failed, and the time was banked once.
  EXPECT_EQ(app.stage, Ready);
  EXPECT_EQ(app.statusText, "Stopped. Preparing continues from there next time.");
  EXPECT_EQ(app.statusColor, 0xFFC35Cu);
  EXPECT_TRUE(app.settings.buildPending);
  EXPECT_FALSE(app.settings.built);
  EXPECT_EQ(app.settings.pendingBuildSeconds, firstRun);

  app.startBuild();
  ASSERT_TRUE(app.building);
  EXPECT_EQ(app.settings.pendingBuildSeconds, firstRun);
  double start = app.progress.startTime;
  double lastSeenRunning = start;
  ASSERT_TRUE(pollBuildUntil(app, [&] {
    if (app.building) lastSeenRunning = plat::nowSeconds();
    return false;
  }));
  double end = plat::nowSeconds();
  ASSERT_EQ(app.stage, Ready) << app.progress.errorMessage;
  const auto& lines = app.progress.outputLines;
  for (const char* key : {"verify", "extract", "configure", "tools", "recompile", "packs"}) {
    EXPECT_NE(std::find(lines.begin(), lines.end(), std::string("SKIP ") + key), lines.end()) << key;
  }
  EXPECT_EQ(app.progress.steps[5].state, StepState::Skipped);
  EXPECT_EQ(app.progress.steps[6].state, StepState::Done);
  // The preparation's time is the sum over both runs.
  EXPECT_GE(app.settings.lastBuildSeconds, firstRun + (lastSeenRunning - start));
  EXPECT_LE(app.settings.lastBuildSeconds, firstRun + (end - start));
  EXPECT_EQ(saved().lastBuildSeconds, std::round(app.settings.lastBuildSeconds));
}

TEST_F(BuildRunTest, ReportedFailure) {
  ScopedEnv fail{{"VEYRA_BUILD_FAIL", "compile:No space left on device"}};
  app.startBuild();
  ASSERT_TRUE(finishBuild(app));
  EXPECT_EQ(app.stage, Failed);
  EXPECT_EQ(app.progress.failedStep, "compile");
  EXPECT_EQ(app.progress.errorMessage, "No space left on device");
  EXPECT_EQ(app.progress.steps[6].state, StepState::Failed);
  EXPECT_TRUE(app.settings.buildPending);
  EXPECT_FALSE(app.settings.built);
  EXPECT_GT(saved().pendingBuildSeconds, 0);

  EXPECT_EQ(app.failedStepLog(), plat::pathToUtf8(fs::path(app.buildLogsDir) / "compile.log"));
  std::string report = app.buildErrorReport();
  EXPECT_NE(report.find("Step: compile\nMessage: No space left on device\n"), std::string::npos);
  EXPECT_NE(report.find("\nERROR compile No space left on device\n\n--- compile.log (last lines) ---\n"),
            std::string::npos);
  std::string log = readFile(app.failedStepLog());
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(report.substr(report.size() - std::min(log.size(), report.size())), log);
}

TEST_F(BuildRunTest, KilledFromOutside) {
  ScopedEnv slowCompile{{"VEYRA_STEP_SECONDS", "compile=30"}};
  app.startBuild();
  ASSERT_TRUE(pollBuildUntil(app, [&] { return compileRunning(); }));
  plat::stopProcess(app.build);  // not the user's stop
  ASSERT_TRUE(finishBuild(app));
  EXPECT_EQ(app.stage, Failed);
  EXPECT_EQ(app.progress.failedStep, "compile");
  EXPECT_EQ(app.progress.errorMessage, "The build stopped unexpectedly (exit code 1).");
  EXPECT_TRUE(app.settings.buildPending);
  EXPECT_GT(app.settings.pendingBuildSeconds, 0);
}

TEST(BuildRunnerTest, MissingInterpreter) {
  UiGlobalsGuard globals;
  Release release;
  App app;
  release.layOut(app);
  release.removeInterpreter(app);
  app.stage = Ready;
  uiFrench = false;
  app.startBuild();  // no disc: nothing happens
  EXPECT_EQ(app.stage, Ready);
  EXPECT_FALSE(app.building);

  app.settings.disc = plat::pathToUtf8(release.root / "emberfall.iso");
  app.startBuild();
  EXPECT_FALSE(app.building);
  EXPECT_EQ(app.stage, Failed);
  EXPECT_EQ(app.progress.failedStep, "verify");
  const std::string prefix = "The build could not start: ";
  ASSERT_GT(app.progress.errorMessage.size(), prefix.size());
  EXPECT_EQ(app.progress.errorMessage.substr(0, prefix.size()), prefix);
  EXPECT_FALSE(fs::exists(app.launcherIniPath));
  // No earlier verify.log: the report ends with the output header.
  const std::string header = "\n\n--- veyra_build output ---\n";
  std::string report = app.buildErrorReport();
  EXPECT_EQ(report.substr(report.size() - header.size()), header);
}

TEST_F(BuildRunTest, LinesWrittenJustBeforeTheExitAreRead) {
  // A script that floods its output and exits at once: the outcome waits for
  // the last lines, the RESULT among them.
  fs::path script = release->root / "source" / "tools" / "burst.py";
  writeFile(script, "import sys\nfor i in range(3000): print('INFO line %d' % i)\nprint('RESULT')\nsys.exit(0)\n");
  app.buildScript = plat::pathToUtf8(script);
  app.startBuild();
  ASSERT_TRUE(finishBuild(app));
  ASSERT_EQ(app.progress.outputLines.size(), kKeptOutputLines);
  EXPECT_EQ(app.progress.outputLines.front(), "INFO line 2941");
  EXPECT_EQ(app.progress.outputLines.back(), "RESULT");
  EXPECT_EQ(app.stage, Ready) << app.progress.errorMessage;
}

TEST_F(BuildRunTest, FloodNobodyReadsLosesNoProgressLine) {
  // The frame loop looks away while the script writes far more than the queue
  // holds: chatter is dropped, every progress line and the last 60 lines stay.
  fs::path script = release->root / "source" / "tools" / "flood.py";
  writeFile(script,
            "import sys\n"
            "w = sys.stdout.write\n"
            "w('PROGRESS compile\\n')\n"
            "for i in range(200000):\n"
            "    w('cc -c src/file%d.c -o obj/file%d.o -O2 -Wall\\n' % (i, i))\n"
            "    if i % 2000 == 1999: w('PERCENT compile %d\\n' % ((i + 1) // 2000))\n"
            "w('DONE compile ok 3.5\\n')\n"
            "w('RESULT ok\\n')\n"
            "for i in range(59): w('tail %d\\n' % i)\n");
  app.buildScript = plat::pathToUtf8(script);
  app.startBuild();
  ASSERT_TRUE(app.building);
  ASSERT_TRUE(waitUntil([&] { return !plat::isRunning(app.build); }, 60));
  plat::waitOutputEnd(app.build, 2000);
  EXPECT_GT(plat::droppedLines(app.build), 0u);

  int percentSeen = 0, lastPercent = 0;
  bool ordered = true;
  for (std::string& line : plat::takeLines(app.build)) {
    if (line.rfind("PERCENT compile ", 0) == 0) {
      const int p = std::stoi(line.substr(16));
      ordered = ordered && p == lastPercent + 1;
      lastPercent = p;
      percentSeen++;
    }
    app.progress.feed(std::move(line), plat::nowSeconds());
  }
  EXPECT_EQ(percentSeen, 100);
  EXPECT_TRUE(ordered);
  ASSERT_TRUE(finishBuild(app));
  EXPECT_EQ(app.stage, Ready) << app.progress.errorMessage;
  const BuildStep& compile = app.progress.steps[6];
  EXPECT_EQ(compile.state, StepState::Done);
  EXPECT_EQ(compile.elapsedSeconds, 3.5);
  ASSERT_EQ(app.progress.outputLines.size(), kKeptOutputLines);
  EXPECT_EQ(app.progress.outputLines[0], "RESULT ok");
  for (size_t i = 1; i < kKeptOutputLines; ++i) EXPECT_EQ(app.progress.outputLines[i], "tail " + std::to_string(i - 1));
}

}  // namespace
