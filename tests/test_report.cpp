// Text mode: the version report and the self-check, run against a throw-away
// release with the stand-in build pipeline.
#include <gtest/gtest.h>

#include <functional>

#include "app/options.h"
#include "app/report.h"
#include "plat/layout.h"
#include "prep_fixture.h"
#include "settings/launcher_settings.h"
#include "test_files.h"
#include "update/version.h"

namespace {

using namespace prep_test;

TEST(TextModeTest, VersionOnly) {
  const TempDir temp;
  const fs::path dir = temp.path;
  Options options;
  options.version = true;
  options.report = plat::pathToUtf8(dir / "report.txt");
  EXPECT_EQ(runTextMode(options), 0);
  const std::string commit = sourceCommit;
  EXPECT_EQ(commit.size(), 40u);
  EXPECT_EQ(commit.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_EQ(readFile(dir / "report.txt"), std::string("version ") + launcherVersion + "\ncommit " + commit + "\n");
}

// The disc check's own words vary; everything else in the report is exact.
std::string withoutScriptWords(const std::string& report) {
  std::string out;
  size_t start = 0;
  while (start < report.size()) {
    size_t end = report.find('\n', start);
    std::string line = report.substr(start, end - start);
    if (line.rfind("disc check: ", 0) == 0) line = line.substr(0, line.find(" / ") + 3) + "...";
    out += line + "\n";
    start = end + 1;
  }
  return out;
}

class SelfCheckTest : public ::testing::Test {
 protected:
  std::unique_ptr<Release> release;
  fs::path reportPath;

  void SetUp() override {
    if (hostPython().empty()) GTEST_SKIP() << "no Python interpreter to run the build script on this platform";
    release = std::make_unique<Release>();
    writeFile(release->root / "CHANGELOG.md", "# Changes\n## [0.1.6] - 2026-12-10\n- first\n## 0.1.5\n- older\n");
    reportPath = release->root / "report.txt";
    plat::setEnv("RA2V_USER_DIR", plat::pathToUtf8(release->user));
  }
  void TearDown() override {
    plat::setEnv("RA2V_USER_DIR", "");
    selfCheckDiscTimeout = 120;
  }

  int run(const fs::path& disc, const fs::path& report) {
    Options options;
    options.release = plat::pathToUtf8(release->root);
    options.selfCheck = plat::pathToUtf8(disc);
    options.report = plat::pathToUtf8(report);
    return runTextMode(options);
  }
  std::string head() const {
    return std::string("version ") + launcherVersion + "\ncommit " + sourceCommit + "\nrelease " + plat::pathToUtf8(release->root) +
           "\n";
  }
};

TEST_F(SelfCheckTest, Verdicts) {
  const std::string missingKit = plat::releaseNames().missingKit;
  struct Case {
    const char* name;
    std::function<void(Release&)> change;
    fs::path disc;
    int code;
    std::string tail;  // after the release line
  };
  const std::vector<Case> cases = {
      {"a file that is not a disc image", nullptr, discs().notImage, 0,
       "source version 0.1.6\nwhats_new 7 bytes for 0.1.6\n"
       "disc check: This file is not a PS2 disc image. / ...\nself-check OK\n"},
      {"release.ini names another version",
       [](Release& r) { writeFile(r.root / "source" / "release.ini", "version=0.1.5\n"); }, discs().notImage, 1,
       "source version 0.1.5\nwhats_new 7 bytes for 0.1.5\n"
       "FAIL source\\release.ini says 0.1.5, the launcher 0.1.6\n"
       "disc check: This file is not a PS2 disc image. / ...\nself-check FAILED\n"},
      {"no release.ini and no section",
       [](Release& r) {
         fs::remove(r.root / "source" / "release.ini");
         writeFile(r.root / "CHANGELOG.md", "## 0.1.5\n- older\n");
       },
       discs().notImage, 1,
       "source version (no release.ini)\nwhats_new 0 bytes for 0.1.6\n"
       "FAIL CHANGELOG.md has no section for 0.1.6\nFAIL source\\release.ini says , the launcher 0.1.6\n"
       "disc check: This file is not a PS2 disc image. / ...\nself-check FAILED\n"},
      {"a missing kit: no disc check", [](Release& r) { fs::remove_all(r.root / "kit" / "python"); },
       discs().notImage, 1,
       "source version 0.1.6\nFAIL missing " + missingKit +
           "\nwhats_new 7 bytes for 0.1.6\nself-check FAILED\n"},
      {"a real disc is accepted, and that fails the check", nullptr, discs().right, 1,
       "source version 0.1.6\nwhats_new 7 bytes for 0.1.6\n"
       "disc check: accepted / ...\nFAIL expected veyra_build's \"not an ISO9660 disc image\"\n"
       "self-check FAILED\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    release = std::make_unique<Release>();
    writeFile(release->root / "CHANGELOG.md", "# Changes\n## [0.1.6] - 2026-12-10\n- first\n## 0.1.5\n- older\n");
    plat::setEnv("RA2V_USER_DIR", plat::pathToUtf8(release->user));
    if (c.change) c.change(*release);
    const fs::path report = release->root / "report.txt";
    EXPECT_EQ(run(c.disc, report), c.code);
    const std::string text = readFile(report);
    EXPECT_EQ(withoutScriptWords(text), head() + c.tail);
    if (c.code == 0) {
      EXPECT_NE(text.find("not an ISO9660 disc image"), std::string::npos) << text;
    }
  }
  // The accepted disc of the last case is recorded as on any acceptance.
  LauncherSettings settings;
  settings.load(plat::pathToUtf8(release->user / "launcher.ini"));
  EXPECT_EQ(settings.disc, plat::pathToUtf8(discs().right));
}

TEST_F(SelfCheckTest, ACheckThatNeverEndsIsStopped) {
  writeFile(release->root / "source" / "tools" / "veyra_build.py", "import time\ntime.sleep(60)\n");
  selfCheckDiscTimeout = 1;
  EXPECT_EQ(run(discs().notImage, reportPath), 1);
  EXPECT_EQ(readFile(reportPath), head() +
                                      "source version 0.1.6\nwhats_new 7 bytes for 0.1.6\n"
                                      "FAIL the disc check did not finish in 1 s\nself-check FAILED\n");
}

TEST_F(SelfCheckTest, AnUnwritableReportKeepsTheVerdict) {
  fs::remove_all(release->root / "kit" / "python");
  const fs::path report = release->root / "no such folder" / "report.txt";
  EXPECT_EQ(run(discs().notImage, report), 1);
  EXPECT_FALSE(fs::exists(report));
}

}  // namespace
