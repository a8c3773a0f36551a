// The update's pieces that need no App: asset name, the update script's
// command line and the reading of its output lines.
#include <cstdio>

#include "plat/layout.h"
#include "plat/text.h"
#include "update/update_install.h"

std::string releaseAssetName(const std::string& version) {
  return "Morvane-" + version + plat::releaseNames().releaseAssetSuffix;
}

std::vector<std::string> installerArgs(const std::string& sourceDir, const std::string& zipPath,
                                       const std::string& version, const std::string& releaseDir) {
  return {"-I",       "-X",          "utf8",    plat::joinPath(plat::joinPath(sourceDir, "tools"), "apply_update.py"),
          "--zip",    zipPath,       "--sha256", zipPath + ".sha256",
          "--version", version,      "--install", releaseDir};
}

std::vector<std::string> restartArguments(const std::vector<std::string>& args, const std::string& releaseDir,
                                          const std::string& version) {
  std::vector<std::string> out;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--updated-to") {
      ++i;  // with its value
      continue;
    }
    out.push_back(args[i]);
    if (args[i] == "--release" && i + 1 < args.size()) {
      out.push_back(releaseDir);
      ++i;
    }
  }
  out.push_back("--updated-to");
  out.push_back(version);
  return out;
}

bool isInstallerLine(std::string_view line) {
  for (std::string_view prefix : {"step ", "progress ", "error ", "done "})
    if (line.substr(0, prefix.size()) == prefix) return true;
  return false;
}

void applyInstallerLine(const std::string& line, std::string& step, std::atomic<uint64_t>& done,
                        std::atomic<uint64_t>& total, std::string& message) {
  if (!isInstallerLine(line)) return;
  if (line.compare(0, 5, "step ") == 0) {
    step = line.substr(5);
    done.store(0);
    total.store(0);
  } else if (line.compare(0, 9, "progress ") == 0) {
    // As "%llu %llu" reads them, but a count too large or negative leaves the
    // line ignored instead of wrapping round.
    unsigned long long a = 0, b = 0;
    size_t pos = 9;
    if (plat::scanUnsigned(line, pos, a) && plat::scanUnsigned(line, pos, b)) {
      done.store(a);
      total.store(b);
    }
  } else if (line.compare(0, 6, "error ") == 0) {
    message = line.substr(6);
  } else if (line.compare(0, 5, "done ") == 0) {
    step = "done";
  }
}

