// The App's folder layout: every path inside the release and user folders,
// fixed once at start-up, and the settings and stage that follow from them.
#include "app/app.h"
#include "plat/layout.h"
#include "plat/text.h"
#include "prepare/folders.h"

namespace {
std::string join(const std::string& base, const std::string& relative) {
  return plat::pathToUtf8(plat::pathFromUtf8(base) / plat::pathFromUtf8(relative));
}
}  // namespace

std::string updateDir(const App& app) { return join(app.releaseDir, "update"); }

void App::cleanOldFiles() { cleanOldFilesIn(releaseDir, updateDir(*this)); }

void App::resolveLayout(const std::string& release) {
  const plat::ReleaseNames& names = plat::releaseNames();
  releaseDir = release;
  sourceDir = join(releaseDir, "source");
  kitDir = join(releaseDir, "kit");
  pythonExe = join(kitDir, names.pythonInKit);
  buildScript = join(join(sourceDir, "tools"), "veyra_build.py");
  buildDir = join(releaseDir, "build");
  buildLogsDir = join(buildDir, "logs");
  gameDir = join(releaseDir, "game");
  gameExe = join(gameDir, names.gameExe);
  gameElf = join(gameDir, "SLUS_209.99");
  gameIso = join(gameDir, "disc.iso");
  releaseIniPath = join(sourceDir, "release.ini");
  builtFromIniPath = join(gameDir, "built_from.ini");

  const UserFolder user = resolveUserFolder(plat::exeDir());
  userDir = user.dir;
  portable = user.portable;
  userDirWritable = user.writable;
  launcherIniPath = join(userDir, "launcher.ini");
  videoIniPath = join(userDir, "video.ini");
  logsDir = join(userDir, "logs");
  crashesDir = join(userDir, "crashes");

  settings.load(launcherIniPath);
  std::string language = settings.language.empty() ? plat::systemLanguage() : settings.language;
  uiFrench = language == "fr";
  video.load(videoIniPath);

  missingItem = missingReleaseItem(buildScript, pythonExe, kitDir);
  stage = !missingItem.empty() ? Incomplete : settings.disc.empty() ? NoDisc : Ready;

  refreshReleaseInfo();
  cleanOldFiles();
}
