// The plain-text report "Copy details" puts on the clipboard after a failed
// preparation: which launcher, release and game, where and why the build
// stopped, and what the script and the failed step's log said last.
#include <fstream>
#include <sstream>

#include "app/app.h"
#include "plat/text.h"
#include "update/version.h"

namespace {

constexpr size_t kReportLines = 60;

template <class Lines>
void appendLast(std::string& out, const Lines& lines) {
  size_t first = lines.size() > kReportLines ? lines.size() - kReportLines : 0;
  for (size_t i = first; i < lines.size(); ++i) out += lines[i] + "\n";
}

}  // namespace

std::string App::failedStepLog() const {
  std::string key = progress.failedStep.empty() ? "verify" : progress.failedStep;
  return plat::joinPath(buildLogsDir, key + ".log");
}

std::string App::buildErrorReport() const {
  std::string out;
  out += std::string("Veyra Launcher ") + launcherVersion + " (" + sourceCommit + ")\n";
  out += "Source: " + releaseVersion + " " + releaseCommit + ", game built from: " + builtFromCommit + "\n";
  out += "Step: " + progress.failedStep + "\nMessage: " + progress.errorMessage + "\n";
  out += "Disc: " + settings.disc + "\nRelease folder: " + releaseDir + "\n\n--- veyra_build output ---\n";
  appendLast(out, progress.outputLines);

  std::string logPath = failedStepLog();
  std::ifstream log(plat::pathFromUtf8(logPath), std::ios::binary);
  if (!log.is_open()) return out;
  // Split at "\n" only: a final line without a line end still counts, and a
  // file ending in "\n" has no empty last line.
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(log, line)) lines.push_back(line);
  out += "\n--- " + plat::pathToUtf8(plat::pathFromUtf8(logPath).filename()) + " (last lines) ---\n";
  appendLast(out, lines);
  return out;
}
