// What the release folder says about itself: the installed release's version
// and commit, the commit the prepared game was built from, and the change-log
// section shown as "What's new".
#include <filesystem>
#include <system_error>

#include "app/app.h"
#include "plat/text.h"
#include "update/version.h"

void App::refreshReleaseInfo() {
  releaseCommit = readKeyValue(releaseIniPath, "commit");
  releaseVersion = readKeyValue(releaseIniPath, "version");
  if (releaseCommit.empty()) releaseCommit = sourceCommit;
  builtFromCommit = readKeyValue(builtFromIniPath, "commit");
  whatsNewVersion = releaseVersion.empty() ? std::string(launcherVersion) : releaseVersion;
  const std::filesystem::path release = plat::pathFromUtf8(releaseDir);
  whatsNewText = extractWhatsNew(plat::pathToUtf8(release / "CHANGELOG.md"), whatsNewVersion);
  if (whatsNewText.empty())
    whatsNewText = extractWhatsNew(plat::pathToUtf8(release / "source" / "CHANGELOG.md"), whatsNewVersion);
}

bool needsRebuild(const App& app) {
  return plat::pathExists(app.gameExe) && plat::pathExists(app.gameElf) && !app.releaseCommit.empty() &&
         app.builtFromCommit != app.releaseCommit;
}
