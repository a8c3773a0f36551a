// Runs the build script in build mode, follows it frame by frame, stops it on
// request and turns its end into ready, stopped or failed. The time spent is
// banked in launcher.ini once per run so that a resumed preparation reports
// the sum over all its runs.
#include "app/activity.h"
#include "app/app.h"
#include "plat/text.h"
#include "prepare/base_args.h"
#include "prepare/duration.h"

std::vector<std::string> buildScriptBaseArgs(const App& app) { return {"-I", "-X", "utf8", app.buildScript}; }

namespace {

void bankTime(App& app, double now) {
  if (app.timeBanked) return;
  app.timeBanked = true;
  app.settings.pendingBuildSeconds += now - app.progress.startTime;
  app.saveSettings();
}

}  // namespace

void App::startBuild() {
  if (!canStart(*this, Activity::Build) || settings.disc.empty()) return;
  std::vector<std::string> args = buildScriptBaseArgs(*this);
  args.insert(args.end(), {"--disc", settings.disc, "--out", buildDir, "--game", gameDir});
  progress.reset(plat::nowSeconds());
  stopRequested = false;
  timeBanked = false;
  if (!settings.buildPending) settings.pendingBuildSeconds = 0;
  statusText.clear();

  std::string error;
  if (plat::startProcess(build, pythonExe, args, sourceDir, true, error, isProgressLine)) {
    building = true;
    discCheckReason.clear();  // an older rejection says nothing about this run
    discCheckOutput.clear();
    settings.buildPending = true;
    saveSettings();
    stage = Preparing;
    currentTab = 0;
  } else {
    progress.failedStep = "verify";
    progress.errorMessage = (uiFrench ? "La préparation n'a pas pu démarrer : " : "The build could not start: ") + error;
    stage = Failed;
  }
}

void App::pollBuild() {
  if (!building) return;
  double now = plat::nowSeconds();
  progress.feedLines(plat::takeLines(build), now);
  if (plat::isRunning(build)) return;

  plat::waitOutputEnd(build, 2000);
  progress.feedLines(plat::takeLines(build), now);
  building = false;
  int code = plat::exitCode(build);
  bankTime(*this, now);

  if (progress.resultSeen && code == 0) {
    settings.buildPending = false;
    settings.built = true;
    settings.lastBuildSeconds = settings.pendingBuildSeconds;
    settings.pendingBuildSeconds = 0;
    saveSettings();
    refreshReleaseInfo();
    stage = Ready;
    std::string duration = formatDuration(settings.lastBuildSeconds);
    statusText = (uiFrench ? "Le jeu est prêt. Préparé en " : "The game is ready. Prepared in ") + duration + ".";
    statusKind = StatusKind::Ready;
  } else if (stopRequested) {
    stage = Ready;
    statusText = uiFrench ? "Arrêté. La préparation reprendra à partir de là."
                          : "Stopped. Preparing continues from there next time.";
    statusKind = StatusKind::Stopped;
  } else {
    if (progress.errorMessage.empty()) {
      int running = progress.runningStep();
      progress.failedStep = running >= 0 ? progress.steps[running].key : std::string();
      std::string number = std::to_string(code);
      progress.errorMessage = uiFrench ? "La préparation s'est arrêtée (code " + number + ")."
                                       : "The build stopped unexpectedly (exit code " + number + ").";
    }
    stage = Failed;
  }
}

void App::stopBuild() {
  stopRequested = true;
  plat::stopProcess(build);
  // Only a run in progress has time to bank: without one, startTime belongs to
  // an earlier run (or to nothing) and the difference would be meaningless.
  if (building) bankTime(*this, plat::nowSeconds());
}
