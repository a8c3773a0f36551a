// The "Copy details" report, line by line.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/app.h"
#include "plat/text.h"
#include "test_files.h"
#include "update/version.h"

namespace {

namespace fs = std::filesystem;

class ErrorReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A folder of its own: ctest runs each test in a process of its own, side
    // by side, so a per-process counter would give two of them one folder.
    dir = scratch.path;
    fs::create_directories(dir / "logs");
    app.buildLogsDir = plat::pathToUtf8(dir / "logs");
    app.releaseDir = "C:\\Games\\Veyra";
    app.releaseVersion = "0.1.6";
    app.releaseCommit = std::string(40, 'a');
    app.builtFromCommit = std::string(40, 'b');
    app.settings.disc = "D:\\discs\\emberfall.iso";
  }
  void writeLog(const std::string& name, const std::string& text) { writeFile(dir / "logs" / name, text); }
  static std::string numbered(const char* prefix, int from, int to) {
    std::string out;
    for (int i = from; i <= to; ++i) out += prefix + std::to_string(i) + "\n";
    return out;
  }
  TempDir scratch;
  fs::path dir;
  App app;
};

TEST_F(ErrorReportTest, WholeReportWithLog) {
  app.progress.failedStep = "compile";
  app.progress.errorMessage = "No space left on device";
  for (int i = 1; i <= 61; ++i) app.progress.outputLines.push_back("out " + std::to_string(i));
  // 200 lines, the last without a line end.
  writeLog("compile.log", numbered("log ", 1, 199) + "log 200");
  std::string expected = std::string("Veyra Launcher ") + launcherVersion + " (" + sourceCommit + ")\n" +
                         "Source: 0.1.6 " + std::string(40, 'a') + ", game built from: " + std::string(40, 'b') +
                         "\n" + "Step: compile\nMessage: No space left on device\n" +
                         "Disc: D:\\discs\\emberfall.iso\nRelease folder: C:\\Games\\Veyra\n\n--- veyra_build output ---\n" +
                         numbered("out ", 2, 61) + "\n--- compile.log (last lines) ---\n" + numbered("log ", 141, 200);
  EXPECT_EQ(app.buildErrorReport(), expected);
}

TEST_F(ErrorReportTest, ShortOutputEmptyFieldsAndLogs) {
  const std::string head = std::string("Veyra Launcher ") + launcherVersion + " (" + sourceCommit + ")\n";
  app.releaseVersion.clear();
  app.builtFromCommit.clear();
  for (int i = 1; i <= 60; ++i) app.progress.outputLines.push_back("out " + std::to_string(i));
  std::string body = "Source:  " + std::string(40, 'a') + ", game built from: \n" + "Step: \nMessage: \n" +
                     "Disc: D:\\discs\\emberfall.iso\nRelease folder: C:\\Games\\Veyra\n\n--- veyra_build output ---\n" +
                     numbered("out ", 1, 60);
  // No failed step names verify.log; it does not exist, so no log block.
  EXPECT_EQ(app.failedStepLog(), plat::pathToUtf8(dir / "logs" / "verify.log"));
  EXPECT_EQ(app.buildErrorReport(), head + body);
  // An empty log still gets its header; a blank line inside a log is kept.
  writeLog("verify.log", "");
  EXPECT_EQ(app.buildErrorReport(), head + body + "\n--- verify.log (last lines) ---\n");
  writeLog("verify.log", "a\n\nb\n");
  EXPECT_EQ(app.buildErrorReport(), head + body + "\n--- verify.log (last lines) ---\na\n\nb\n");
}

}  // namespace
