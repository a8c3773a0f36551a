// The update's pieces that need no App: asset name, the update script's
// command line and the reading of its output lines.
#include <cstdio>

#include "plat/text.h"
#include "update/update_install.h"

namespace {
std::string joinPath(const std::string& folder, const std::string& name) {
  return plat::pathToUtf8(plat::pathFromUtf8(folder) / plat::pathFromUtf8(name));
}
}  // namespace

std::string releaseAssetName(const std::string& version) { return "Morvane-" + version + "-tambler.zip"; }

std::vector<std::string> installerArgs(const std::string& sourceDir, const std::string& zipPath,
                                       const std::string& version, const std::string& releaseDir) {
  return {"-I",       "-X",          "utf8",    joinPath(joinPath(sourceDir, "tools"), "apply_update.py"),
          "--zip",    zipPath,       "--sha256", zipPath + ".sha256",
          "--version", version,      "--install", releaseDir};
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
    unsigned long long a = 0, b = 0;
    if (std::sscanf(line.c_str() + 9, "%llu %llu", &a, &b) == 2) {
      done.store(a);
      total.store(b);
    }
  } else if (line.compare(0, 6, "error ") == 0) {
    message = line.substr(6);
  } else if (line.compare(0, 5, "done ") == 0) {
    step = "done";
  }
}

