// The text-mode report. The launcher is a windowed program, so --report
// exists for callers that cannot see its standard output.
#include "app/report.h"

#include <cstdio>

#include "app/options.h"
#include "plat/text.h"
#include "update/version.h"

double selfCheckDiscTimeout = 120;

std::string versionReport() {
  return std::string("version ") + launcherVersion + "\ncommit " + sourceCommit + "\n";
}

int runTextMode(const Options& options) {
  std::string report = versionReport();
  int code = 0;
  // The self-check joins here once the disc check exists.
  if (!options.report.empty()) {
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
