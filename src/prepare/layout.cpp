// The App's folder layout: every path inside the release and user folders,
// fixed once at start-up, and the settings and stage that follow from them.
#include "app/app.h"
#include "plat/layout.h"
#include "plat/text.h"
#include "prepare/folders.h"

std::string updateDir(const App& app) { return plat::joinPath(app.releaseDir, "update"); }

void App::cleanOldFiles() { cleanOldFilesIn(releaseDir, updateDir(*this)); }

void App::resolveLayout(const std::string& release) {
  const plat::ReleaseNames& names = plat::releaseNames();
  releaseDir = release;
  sourceDir = plat::joinPath(releaseDir, "source");
  kitDir = plat::joinPath(releaseDir, "kit");
  pythonExe = plat::joinPath(kitDir, names.pythonInKit);
  buildScript = plat::joinPath(plat::joinPath(sourceDir, "tools"), "veyra_build.py");
  buildDir = plat::joinPath(releaseDir, "build");
  buildLogsDir = plat::joinPath(buildDir, "logs");
  gameDir = plat::joinPath(releaseDir, "game");
  gameExe = plat::joinPath(gameDir, names.gameExe);
  gameElf = plat::joinPath(gameDir, "SLUS_209.99");
  gameIso = plat::joinPath(gameDir, "disc.iso");
  releaseIniPath = plat::joinPath(sourceDir, "release.ini");
  builtFromIniPath = plat::joinPath(gameDir, "built_from.ini");

  userDir = resolveUserDir();
  launcherIniPath = plat::joinPath(userDir, "launcher.ini");
  videoIniPath = plat::joinPath(userDir, "video.ini");
  logsDir = plat::joinPath(userDir, "logs");
  crashesDir = plat::joinPath(userDir, "crashes");

  settings.load(launcherIniPath);
  std::string language = settings.language.empty() ? plat::systemLanguage() : settings.language;
  uiFrench = language == "fr";
  video.load(videoIniPath);

  missingItem = missingReleaseItem(buildScript, pythonExe, kitDir);
  stage = !missingItem.empty() ? Incomplete : settings.disc.empty() ? NoDisc : Ready;

  refreshReleaseInfo();
  cleanOldFiles();
}
