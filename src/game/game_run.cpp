// Playing: start the prepared game, hide the launcher while it runs, and when
// it ends tell an ordinary end from a crash by the crash reports it left.
#include <filesystem>
#include <system_error>

#include "app/activity.h"
#include "app/app.h"
#include "app/window.h"
#include "game/game_run.h"
#include "plat/listing.h"
#include "plat/process.h"
#include "plat/text.h"

bool gamePrepared(const App& app) {
  return plat::pathExists(app.gameExe) && plat::pathExists(app.gameElf) && !app.settings.buildPending;
}

void App::launchGame() {
  if (!canStart(*this, Activity::Game) || !plat::pathExists(gameExe) || !plat::pathExists(gameElf)) return;
  knownCrashReports.clear();
  for (const plat::FileEntry& e : plat::listFiles(crashesDir, ".txt")) knownCrashReports.insert(e.path);
  crashReport.clear();
  gameStartError.clear();
  crashedWithoutReport = false;
  statusText.clear();
  std::string error;
  // The game finds the user folder by the environment's rules alone; in
  // portable mode it is told, so its saves stay on the stick too. RA2V_USER_DIR
  // is unset whenever portable mode is on, so clearing it restores it.
  if (portable) plat::setEnv("RA2V_USER_DIR", userDir);
  const bool started = plat::startProcess(game, gameExe, {"--elf", gameElf, "--iso", gameIso}, gameDir, false, error);
  if (portable) plat::setEnv("RA2V_USER_DIR", "");
  if (!started) {
    gameStartError = error;
    return;
  }
  gameRunning = true;
  hideWindow();
  launcherHidden = true;
}

void App::pollGame() {
  if (!gameRunning || plat::isRunning(game)) return;
  gameRunning = false;
  gameExitCode = plat::exitCode(game);
  // Compared by path: a report that existed before and was rewritten during
  // the run belongs to an earlier crash.
  uint64_t best = 0;
  for (const plat::FileEntry& e : plat::listFiles(crashesDir, ".txt")) {
    if (knownCrashReports.count(e.path) || e.lastWriteTime < best) continue;
    crashReport = e.path;
    best = e.lastWriteTime;
  }
  crashedWithoutReport = crashReport.empty() && gameExitCode != 0;
  reloadVideoAfterGame(video, videoIniPath);
  showWindow();
  launcherHidden = false;
}
