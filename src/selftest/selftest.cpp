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
#include <utility>

#include <SDL3/SDL_gamepad.h>
#include <imgui.h>
#include <imgui_internal.h>

#include "app/app.h"
#include "app/window.h"
#include "plat/process.h"
#include "plat/text.h"
#include "ui/views.h"

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
  return {name, [action = std::move(action)](App& app, double) {
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
  // The trace holds one drawn frame: the one the next step looks at.
  trace.entries.clear();
}

void Selftest::padTap(int button) {
  setVirtualGamepadButton(button, true);
  pad.held = button;
}

bool Selftest::padBusy() {
  // Down for exactly one frame: SDL takes the state in at the next event
  // poll, the frame after reads it, and the release follows one step later.
  if (pad.held >= 0) {
    setVirtualGamepadButton(pad.held, false);
    pad.held = -1;
    pad.settle = 1;  // the frame after the press moves the focus and is traced
    return true;
  }
  if (pad.settle > 0) {
    pad.settle--;
    return true;
  }
  return false;
}

bool Selftest::press(App& app, const std::string& label, const std::function<void(App&)>& fallback) {
  if (!gamepad) {
    fallback(app);
    return true;
  }
  if (padBusy()) return false;
  if (pad.pressed) {
    pad = {};
    return true;
  }
  ImGuiContext& g = *GImGui;
  const WidgetTrace::Entry* target = nullptr;
  for (const auto& e : trace.entries)
    if (e.clickable && e.text == label) target = &e;
  const WidgetTrace::Entry* here = focusedEntry(trace);
  if (target && here == target && target->enabled) {
    logLine("pad: %s pressed after %s moves", label, std::to_string(pad.moves));
    padTap(SDL_GAMEPAD_BUTTON_SOUTH);
    pad.pressed = true;
    return false;
  }
  if (++pad.moves > 80) {
    logLine("FAIL pad: %s never got the focus", label);
    failed = true;
    app.quitNow = true;
    pad = {};
    return true;
  }
  if (!target || !target->enabled) return false;  // not on screen yet, or not usable yet
  const ImGuiID now = g.NavId;
  if (pad.lastDir >= 0) {
    if (now == pad.before) pad.stuck.push_back(pad.lastDir);
    else pad.stuck.clear();
  }
  // Towards the target, the way the library's spatial navigation moves;
  // sideways and back when that way is shut.
  int dir = SDL_GAMEPAD_BUTTON_DPAD_DOWN;  // with nothing focused, the first touch shows the focus
  int side = SDL_GAMEPAD_BUTTON_DPAD_RIGHT;
  if (now != 0 && g.NavWindow) {
    const ImRect r = ImGui::WindowRectRelToAbs(g.NavWindow, g.NavWindow->NavRectRel[g.NavLayer]);
    const ImVec2 c((target->min.x + target->max.x) / 2, (target->min.y + target->max.y) / 2);
    side = c.x < r.GetCenter().x ? SDL_GAMEPAD_BUTTON_DPAD_LEFT : SDL_GAMEPAD_BUTTON_DPAD_RIGHT;
    if (c.y > r.Max.y) dir = SDL_GAMEPAD_BUTTON_DPAD_DOWN;
    else if (c.y < r.Min.y) dir = SDL_GAMEPAD_BUTTON_DPAD_UP;
    else dir = side;
  }
  const int opposite[4] = {SDL_GAMEPAD_BUTTON_DPAD_DOWN, SDL_GAMEPAD_BUTTON_DPAD_UP, SDL_GAMEPAD_BUTTON_DPAD_RIGHT,
                           SDL_GAMEPAD_BUTTON_DPAD_LEFT};  // of up, down, left, right
  auto flip = [&](int d) { return opposite[d - SDL_GAMEPAD_BUTTON_DPAD_UP]; };
  const int across = (dir == side) ? SDL_GAMEPAD_BUTTON_DPAD_DOWN : side;
  for (int d : {dir, across, flip(across), flip(dir)}) {
    if (std::find(pad.stuck.begin(), pad.stuck.end(), d) != pad.stuck.end()) continue;
    pad.before = now;
    pad.lastDir = d;
    padTap(d);
    return false;
  }
  pad.stuck.clear();  // every way shut from here: start over
  pad.lastDir = -1;
  return false;
}

SelftestStep Selftest::pressStep(const std::string& label, std::function<void(App&)> fallback) {
  return {"press " + label,
          [this, label, fallback = std::move(fallback)](App& app, double) { return press(app, label, fallback); }};
}

SelftestStep Selftest::buttonStep(const std::string& name, int button, std::function<void(App&)> fallback) {
  return {name, [this, button, fallback = std::move(fallback)](App& app, double) {
            if (!gamepad) {
              fallback(app);
              return true;
            }
            if (padBusy()) return false;
            if (!pad.pressed) {
              padTap(button);
              pad.pressed = true;
              return false;
            }
            pad = {};
            return true;
          }};
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
  return {name, [this, image, logResult, asked = false, started = false](App& app, double t) mutable {
            if (!asked) {
              // A first run has no last disc: the picker starts where the image lies, as after one check there.
              if (gamepad && app.discCheckImage.empty() && app.settings.disc.empty()) app.discCheckImage = image;
              if (!press(app, "Select your disc image…", [image](App& a) { a.startDiscCheck(image); })) return false;
              asked = true;
              started = !gamepad;
              return false;
            }
            if (!started) {
              // The pad walks the launcher's picker to the image's row and presses it.
              if (!press(app, fileNameOf(image), [](App&) {})) return false;
              started = true;
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
    bool started = false;
    int stopPercent = -1;  // where the stop was decided; the press may land after the build moved on
    int resume = 0;
  };
  auto s = std::make_shared<State>();
  return {"build", [this, s](App& app, double t) {
            const double now = plat::nowSeconds();
            if (!s->started) {
              if (!press(app, "Prepare the game", [](App& a) { a.startBuild(); })) return false;
              s->started = true;
              buildStart = now;
              logLine("build started");
              return false;
            }
            if (!app.screenshotPath.empty()) return false;
            if (s->resume == 1) {
              if (!press(app, "Continue preparing", [](App& a) { a.startBuild(); })) return false;
              s->resume = 2;
              logLine("build resumed");
              return false;
            }
            if (s->stopPercent >= 0 && !s->stoppedAtCompile) {
              if (!press(app, "Stop", [](App& a) {
                    if (a.building) a.stopBuild();
                  }))
                return false;
              s->stoppedAtCompile = true;
              logLine("stop at compile %s %%", std::to_string(s->stopPercent));
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
              if (cancelAtCompile && s->stopPercent < 0) {
                if (step.percent < 40) return false;
                s->stopPercent = step.percent;
                return false;
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
  return {"play", [this, nextCloseAsk = 0.0, playStart = 0.0, started = false](App& app, double t) mutable {
            if (!started) {
              if (t == 0) setCaptureDir("play");
              if (!press(app, "Play", [](App& a) { a.launchGame(); })) return false;
              started = true;
              nextCloseAsk = t;
              playStart = t;
              logLine("game started (pid %s)", std::to_string(plat::processId(app.game)));
              if (!errorDemo && !app.gameRunning) {
                logLine("FAIL game did not start");
                failed = true;
                app.quitNow = true;
              }
              return false;
            }
            if (app.gameRunning) {
              t -= playStart;
              if (t < playSeconds) return false;
              if (t < playSeconds + 0.1) logLine("asking the game to close");
              // Asked again only now and then: on POSIX a second request
              // landing while the game shuts down would end it by the
              // signal instead of its own exit.
              if (t + playStart >= nextCloseAsk) {
                plat::closeProcessWindows(app.game);
                nextCloseAsk = t + playStart + 3;
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
  return {"crash", [this, started = false](App& app, double t) mutable {
            if (!started) {
              if (t == 0) setCaptureDir("crash");
              plat::setEnv("RA2V_TEST_CRASH", std::to_string(int(crashSeconds)));
              plat::setEnv("RA2V_NO_DIALOGS", "1");
              if (!press(app, "Play", [](App& a) { a.launchGame(); })) return false;
              started = true;
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
  const auto none = [](App&) {};
  // The first touch of the pad only shows where the focus is.
  if (gamepad) steps.push_back(buttonStep("touch the pad", SDL_GAMEPAD_BUTTON_DPAD_DOWN, none));
  steps.push_back(shot("01-welcome", 1.5));
  steps.push_back(pressStep("Français", [](App&) { uiFrench = true; }));
  steps.push_back(shot("02-welcome-fr"));
  steps.push_back(pressStep("English", [](App&) { uiFrench = false; }));
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
  steps.push_back(buttonStep("settings", SDL_GAMEPAD_BUTTON_RIGHT_SHOULDER, [](App& app) { app.currentTab = 1; }));
  steps.push_back(shot("10-settings"));
  if (gamepad) {
    // Windowed, then the list: down onto it, open, two entries down, choose.
    steps.push_back(pressStep("Windowed", none));
    for (int b : {SDL_GAMEPAD_BUTTON_DPAD_DOWN, SDL_GAMEPAD_BUTTON_SOUTH, SDL_GAMEPAD_BUTTON_DPAD_DOWN,
                  SDL_GAMEPAD_BUTTON_DPAD_DOWN, SDL_GAMEPAD_BUTTON_SOUTH})
      steps.push_back(buttonStep("resolution list", b, none));
  } else {
    steps.push_back(at("video change", [](App& app) {
      app.video.mode = "windowed";
      app.video.width = 1280;
      app.video.height = 960;
      VideoSettings copy = app.video;
      app.video.videoSaved = copy.save(app.videoIniPath);
    }));
  }
  steps.push_back(at("video", [this](App& app) {
    logLine("video %s, %s", app.video.mode,
            std::to_string(app.video.width) + "x" + std::to_string(app.video.height) +
                (app.video.videoSaved ? " saved" : " NOT saved"));
  }));
  steps.push_back(shot("11-settings-saved"));
  steps.push_back(buttonStep("maintenance", SDL_GAMEPAD_BUTTON_RIGHT_SHOULDER, [](App& app) { app.currentTab = 2; }));
  steps.push_back(shot("12-maintenance"));
  if (gamepad) {
    steps.push_back(buttonStep("settings", SDL_GAMEPAD_BUTTON_LEFT_SHOULDER, none));
    steps.push_back(pressStep("Français", none));
    steps.push_back(buttonStep("back to play", SDL_GAMEPAD_BUTTON_EAST, none));
  } else {
    steps.push_back(at("french", [](App& app) {
      uiFrench = true;
      app.currentTab = 0;
    }));
  }
  steps.push_back(shot("13-play-fr"));
  steps.push_back(buttonStep("french settings", SDL_GAMEPAD_BUTTON_RIGHT_SHOULDER,
                             [](App& app) { app.currentTab = 1; }));
  steps.push_back(shot("14-settings-fr"));
  if (gamepad) {
    steps.push_back(pressStep("English", none));
    steps.push_back(buttonStep("back to play", SDL_GAMEPAD_BUTTON_EAST, none));
  } else {
    steps.push_back(at("english", [](App& app) {
      uiFrench = false;
      app.currentTab = 0;
    }));
  }
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
