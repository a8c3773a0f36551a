// Scripted runs of the whole launcher, one step per frame, as a user would:
// tabs and languages, disc checks, a build with optional stop and resume,
// play, a crash, and screenshots of every screen. Log lines are stable so two
// runs can be compared; any wrong outcome sets `failed` (exit code 1).
#include "selftest/selftest.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>

#include "app/app.h"
#include "plat/process.h"
#include "plat/text.h"

namespace fs = std::filesystem;

namespace {

void removeFile(const std::string& path) {
  std::error_code ec;
  fs::remove(plat::pathFromUtf8(path), ec);
}

std::string fmt(const char* format, double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, v);
  return buf;
}

// A step that does one thing and is finished at once.
SelftestStep at(const std::string& name, std::function<void(App&)> action) {
  return {name, [action](App& app, double) {
            action(app);
            return true;
          }};
}

}  // namespace

Selftest::~Selftest() {
  if (log) std::fclose(log);
}

void Selftest::logLine(const char* format, const std::string& a, const std::string& b) {
  if (!log) return;
  std::fprintf(log, "[%8.1f] ", plat::nowSeconds() - logStart);
  std::fprintf(log, format, a.c_str(), b.c_str());
  std::fputc('\n', log);
  std::fflush(log);
}

void Selftest::runStep(App& app, double now) {
  if (finished()) return;
  // The first call sees exactly 0, later calls never less than a microsecond,
  // so a step can tell its first call from the rest.
  double elapsed = 0;
  if (stepStart == 0) stepStart = now;
  else elapsed = std::max(now - stepStart, 0.000001);
  if (steps[stepIndex].run(app, elapsed)) {
    stepIndex++;
    stepStart = 0;
  }
}

SelftestStep Selftest::shot(const std::string& name, double wait) {
  auto requested = std::make_shared<bool>(false);
  return {"shot " + name, [this, name, wait, requested](App& app, double t) {
            if (t < wait) return false;
            if (!*requested) {
              *requested = true;
              app.screenshotPath = plat::joinPath(shotsDir, name + ".png");
              return false;
            }
            if (!app.screenshotPath.empty()) return false;
            logLine("screenshot %s", name);
            return true;
          }};
}

void Selftest::setCaptureDir(const std::string& name) {
  if (captureBase.empty()) captureBase = plat::getEnv("RA2V_CAPTURE_WINDOW_DIR");
  if (captureBase.empty()) return;
  std::string dir = plat::joinPath(captureBase, name);
  std::error_code ec;
  fs::create_directories(plat::pathFromUtf8(dir), ec);
  plat::setEnv("RA2V_CAPTURE_WINDOW_DIR", dir);
}

SelftestStep Selftest::discCheckStep(const std::string& name, const std::string& image, bool logResult) {
  return {name, [this, image, logResult](App& app, double t) {
            if (t == 0) {
              app.startDiscCheck(image);
              return false;
            }
            if (t < 0.2 || app.discChecking) return false;
            if (logResult) logLine("disc check: %s", app.discCheckReason.empty() ? "ok" : app.discCheckReason);
            return true;
          }};
}

SelftestStep Selftest::vanishingDiscStep() {
  const std::string p = plat::joinPath(shotsDir, "vanishing-disc.iso");
  return {"check a disc that then vanishes", [this, p](App& app, double t) {
            if (t == 0) {
              removeFile(p);
              std::error_code ec;
              fs::copy_file(plat::pathFromUtf8(discImage), plat::pathFromUtf8(p), ec);
              app.startDiscCheck(p);
              return false;
            }
            if (t < 0.2 || app.discChecking) return false;
            removeFile(p);
            logLine("disc check: %s", app.discCheckReason.empty() ? "ok" : app.discCheckReason);
            app.startBuild();
            return true;
          }};
}

SelftestStep Selftest::buildStep() {
  struct State {
    std::set<std::string> photographed;
    bool stoppedAtCompile = false;
    bool halfShot = false;
    int resume = 0;
  };
  auto s = std::make_shared<State>();
  return {"build", [this, s](App& app, double t) {
            const double now = plat::nowSeconds();
            if (t == 0) {
              buildStart = now;
              app.startBuild();
              logLine("build started");
              return false;
            }
            if (!app.screenshotPath.empty()) return false;
            if (s->resume == 1) {
              s->resume = 2;
              logLine("build resumed");
              app.startBuild();
              return false;
            }
            if (app.building) {
              int i = app.progress.runningStep();
              if (i < 0) return false;
              const BuildStep& step = app.progress.steps[size_t(i)];
              if (!s->photographed.count(step.key) && now - step.startedAt > 1.0) {
                s->photographed.insert(step.key);
                logLine("step %s", step.key);
                app.screenshotPath = plat::joinPath(shotsDir, "06-build-" + std::to_string(i + 1) + "-" + step.key + ".png");
              }
              if (step.key != "compile") return false;
              if (cancelAtCompile && !s->stoppedAtCompile) {
                if (step.percent < 40) return false;
                s->stoppedAtCompile = true;
                logLine("stop at compile %s %%", std::to_string(step.percent));
                if (app.building) app.stopBuild();
              }
              if (!s->halfShot && step.percent > 49) {
                s->halfShot = true;
                app.screenshotPath = plat::joinPath(shotsDir, "07-build-compile-half.png");
              }
              return false;
            }
            if (app.stage == Ready && s->stoppedAtCompile && s->resume == 0) {
              app.screenshotPath = plat::joinPath(shotsDir, "08-stopped.png");
              s->resume = 1;
              return false;
            }
            for (const BuildStep& step : app.progress.steps) {
              std::string what = step.state == StepState::Skipped ? "skipped" : fmt("%f", step.elapsedSeconds) + " s";
              logLine("  %s", step.key + " " + what);
            }
            logLine("build ended after %s s: %s", fmt("%f", now - buildStart),
                    app.stage == Ready ? std::string("ready") : "failed: " + app.progress.errorMessage);
            logLine("notice: %s (launcher.ini last_build_seconds %s)", app.statusText,
                    fmt("%f", app.settings.lastBuildSeconds));
            if (errorDemo) return true;
            if (app.stage == Ready && plat::pathExists(app.gameExe) && plat::pathExists(app.gameElf)) return true;
            logLine("FAIL build did not produce a playable game");
            failed = true;
            app.quitNow = true;
            return true;
          }};
}

void Selftest::logGameExit(App& app) {
  logLine("game exited, code %s, crash report: %s", std::to_string(app.gameExitCode),
          app.crashReport.empty() ? "none" : app.crashReport);
}

SelftestStep Selftest::playStep() {
  return {"play", [this, nextCloseAsk = 0.0](App& app, double t) mutable {
            if (t == 0) {
              setCaptureDir("play");
              app.launchGame();
              logLine("game started (pid %s)", std::to_string(plat::processId(app.game)));
              if (!errorDemo && !app.gameRunning) {
                logLine("FAIL game did not start");
                failed = true;
                app.quitNow = true;
              }
              return false;
            }
            if (app.gameRunning) {
              if (t < playSeconds) return false;
              if (t < playSeconds + 0.1) logLine("asking the game to close");
              // Asked again only now and then: on POSIX a second request
              // landing while the game shuts down would end it by the
              // signal instead of its own exit.
              if (t >= nextCloseAsk) {
                plat::closeProcessWindows(app.game);
                nextCloseAsk = t + 3;
              }
              if (t >= playSeconds + 30) {
                logLine("the game did not close: ending it");
                plat::stopProcess(app.game);
              }
              return false;
            }
            logGameExit(app);
            if (!errorDemo && app.gameExitCode != 0) failed = true;
            return true;
          }};
}

SelftestStep Selftest::crashStep() {
  return {"crash", [this](App& app, double t) {
            if (t == 0) {
              setCaptureDir("crash");
              plat::setEnv("RA2V_TEST_CRASH", std::to_string(int(crashSeconds)));
              plat::setEnv("RA2V_NO_DIALOGS", "1");
              app.launchGame();
              plat::setEnv("RA2V_TEST_CRASH", "");
              plat::setEnv("RA2V_NO_DIALOGS", "");
              logLine("game started to crash (pid %s)", std::to_string(plat::processId(app.game)));
              if (!errorDemo && !app.gameRunning) {
                failed = true;
                app.quitNow = true;
                logLine("FAIL crash-test game did not start");
              }
              return false;
            }
            if (app.gameRunning) {
              if (t > crashSeconds + 90) plat::stopProcess(app.game);
              return false;
            }
            logGameExit(app);
            if (!errorDemo && (app.gameExitCode == 0 || app.crashReport.empty())) failed = true;
            return true;
          }};
}

void Selftest::build() {
  if (screensOnly) {
    buildScreens();
    return;
  }
  steps.clear();
  steps.push_back(shot("01-welcome", 1.5));
  steps.push_back(at("french welcome", [](App&) { uiFrench = true; }));
  steps.push_back(shot("02-welcome-fr"));
  steps.push_back(at("english", [](App&) { uiFrench = false; }));
  if (!wrongDisc.empty()) {
    steps.push_back(discCheckStep("check the wrong disc", wrongDisc, false));
    steps.push_back(shot("03-wrong-disc"));
  }
  if (errorDemo) {
    steps.push_back(vanishingDiscStep());
    steps.push_back({"wait for the error", [](App& app, double) { return !app.building; }});
    steps.push_back(shot("04-build-error"));
  }
  steps.push_back(discCheckStep("check the disc", discImage, true));
  steps.push_back(shot("05-ready"));
  steps.push_back(buildStep());
  steps.push_back(shot("09-built", 1.0));
  steps.push_back(at("settings", [](App& app) { app.currentTab = 1; }));
  steps.push_back(shot("10-settings"));
  steps.push_back(at("video change", [](App& app) {
    app.video.mode = "windowed";
    app.video.width = 1280;
    app.video.height = 960;
    VideoSettings copy = app.video;
    app.video.videoSaved = copy.save(app.videoIniPath);
  }));
  steps.push_back(shot("11-settings-saved"));
  steps.push_back(at("maintenance", [](App& app) { app.currentTab = 2; }));
  steps.push_back(shot("12-maintenance"));
  steps.push_back(at("french", [](App& app) {
    uiFrench = true;
    app.currentTab = 0;
  }));
  steps.push_back(shot("13-play-fr"));
  steps.push_back(at("french settings", [](App& app) { app.currentTab = 1; }));
  steps.push_back(shot("14-settings-fr"));
  steps.push_back(at("english", [](App& app) {
    uiFrench = false;
    app.currentTab = 0;
  }));
  steps.push_back(playStep());
  steps.push_back(shot("15-after-play", 1.5));
  if (crashSeconds > 0) {
    steps.push_back(crashStep());
    steps.push_back(shot("16-crash", 1.5));
  }
  steps.push_back(at("quit", [this](App& app) {
    logLine("selftest done");
    app.quitNow = true;
  }));
}

namespace {
SelftestStep waitForUpdateCheck() {
  return {"wait for the update check", [](App& app, double t) {
            int state;
            {
              std::lock_guard lock(app.updateCheck->mutex);
              state = app.updateCheck->state;
            }
            return t > 6 || (state != UpdateChecking && t > 0.5);
          }};
}
}  // namespace

void Selftest::buildUpdateWatch() {
  steps.clear();
  steps.push_back(waitForUpdateCheck());
  // Settled: failed, or never started (no newer release offered); a
  // successful update restarts the launcher and ends this run instead.
  steps.push_back({"wait for the update", [](App& app, double t) {
                     int state;
                     {
                       std::lock_guard lock(app.updateCheck->mutex);
                       state = app.updateCheck->state;
                     }
                     if (t > 120 || app.updateStage == UpdateStageFailed) return true;
                     if (app.updateStage != UpdateStageIdle) return false;
                     return state != UpdateChecking && state != UpdateAvailable;  // nothing offered
                   }});
  steps.push_back(shot("u1-update", 0.5));
  steps.push_back(at("quit", [this](App& app) {
    std::string state;
    {
      std::lock_guard lock(app.updateCheck->mutex);
      state = std::to_string(app.updateCheck->state) + " " + app.updateCheck->latestVersion;
    }
    logLine("update check: state %s", state);
    logLine("update: stage %s, %s", std::to_string(app.updateStage), app.updateMessage);
    logLine("screens done");
    app.quitNow = true;
  }));
}

void Selftest::buildScreens() {
  steps.clear();
  if (watchUpdate) {
    buildUpdateWatch();
    return;
  }
  steps.push_back(waitForUpdateCheck());
  steps.push_back(shot("s1-play", 0.5));
  steps.push_back(at("settings", [](App& app) { app.currentTab = 1; }));
  steps.push_back(shot("s2-settings"));
  steps.push_back(at("maintenance", [](App& app) { app.currentTab = 2; }));
  steps.push_back(shot("s3-maintenance"));
  steps.push_back(at("french", [](App& app) {
    uiFrench = true;
    app.currentTab = 0;
  }));
  steps.push_back(shot("s4-play-fr"));
  steps.push_back(at("french maintenance", [](App& app) { app.currentTab = 2; }));
  steps.push_back(shot("s5-maintenance-fr"));
  steps.push_back(at("what's new", [](App& app) {
    uiFrench = false;
    app.currentTab = 0;
    app.whatsNewOpen = !app.whatsNewText.empty();
  }));
  steps.push_back(shot("s6-whats-new"));
  steps.push_back(at("quit", [this](App& app) {
    std::string state, details;
    {
      std::lock_guard lock(app.updateCheck->mutex);
      state = std::to_string(app.updateCheck->state);
      details = app.updateCheck->latestVersion + " " + app.updateCheck->releasePage + " " + app.updateCheck->error;
    }
    logLine("update check: state %s, %s", state, details);
    logLine("source %s, built from %s", app.releaseCommit, app.builtFromCommit);
    logLine("screens done");
    app.quitNow = true;
  }));
}
