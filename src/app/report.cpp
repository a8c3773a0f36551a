// The text-mode report. The launcher is a windowed program, so --report
// exists for callers that cannot see its standard output.
#include "app/report.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "app/app.h"
#include "app/options.h"
#include "plat/process.h"
#include "plat/text.h"
#include "update/version.h"

double selfCheckDiscTimeout = 120;

std::string versionReport() {
  return std::string("version ") + launcherVersion + "\ncommit " + sourceCommit + "\n";
}

namespace {

// Appends the self-check's lines; true when none of them is a FAIL line.
bool selfCheck(const std::string& releaseDir, const std::string& discFile, std::string& report) {
  auto app = std::make_unique<App>();
  app->resolveLayout(releaseDir);
  bool ok = true;
  auto line = [&](const std::string& text) { report += text + "\n"; };
  auto fail = [&](const std::string& text) {
    line("FAIL " + text);
    ok = false;
  };
  line("release " + app->releaseDir);
  line("source version " + (app->releaseVersion.empty() ? std::string("(no release.ini)") : app->releaseVersion));
  if (!app->missingItem.empty()) fail("missing " + app->missingItem);
  line("whats_new " + std::to_string(app->whatsNewText.size()) + " bytes for " + app->whatsNewVersion);
  if (app->whatsNewText.empty()) fail("CHANGELOG.md has no section for " + app->whatsNewVersion);
  if (app->releaseVersion != launcherVersion)
    fail("source\\release.ini says " + app->releaseVersion + ", the launcher " + launcherVersion);
  if (app->missingItem.empty()) {
    const double start = plat::nowSeconds();
    app->startDiscCheck(discFile);
    bool timedOut = false;
    while (app->discChecking) {
      if (plat::nowSeconds() - start >= selfCheckDiscTimeout) {
        timedOut = true;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      app->pollDiscCheck();
    }
    if (timedOut) {
      plat::stopProcess(app->discCheck);
      // The limit is printed as configured so a lowered one reads truthfully.
      char seconds[32];
      std::snprintf(seconds, sizeof seconds, "%g", selfCheckDiscTimeout);
      fail(std::string("the disc check did not finish in ") + seconds + " s");
    } else {
      line("disc check: " + (app->discCheckReason.empty() ? std::string("accepted") : app->discCheckReason) +
           " / " + app->discCheckOutput);
      if (app->discCheckOutput.find("not an ISO9660 disc image") == std::string::npos)
        fail("expected veyra_build's \"not an ISO9660 disc image\"");
    }
  }
  line(ok ? "self-check OK" : "self-check FAILED");
  return ok;
}

}  // namespace

int runTextMode(const Options& options) {
  std::string report = versionReport();
  int code = 0;
  if (!options.selfCheck.empty() && !selfCheck(options.release, options.selfCheck, report)) code = 1;
  if (!options.report.empty()) {
    // A report file that cannot be opened gets nothing; the verdict still
    // decides the exit code.
    if (FILE* f = plat::openFile(options.report, "wb")) {
      std::fwrite(report.data(), 1, report.size(), f);
      std::fclose(f);
    }
  } else {
    std::fwrite(report.data(), 1, report.size(), stdout);
    std::fflush(stdout);
  }
  return code;
}
