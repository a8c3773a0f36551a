// The frame loop: polls every activity, runs one self-test step, then draws
// the interface from the App's fields, but only when the picture can have
// changed: after window events, when what the interface shows moved on, while
// something on screen moves by itself, and for every self-test step. Otherwise
// it waits for events up to the next thing it has to look at. While the game
// runs the window is hidden and the loop only waits for events and polls.
#include "app/frame_loop.h"

#include <algorithm>
#include <functional>
#include <mutex>
#include <string>

#include "app/activity.h"
#include "app/app.h"
#include "app/window.h"
#include "plat/text.h"
#include "selftest/selftest.h"
#include "ui/style.h"
#include "ui/ui.h"
#include "update/update_install.h"

namespace {

// Frame periods with something moving on screen: the cap while the window has
// the focus, slower behind other windows.
constexpr double kFocusedPeriod = 1.0 / 60;
constexpr double kUnfocusedPeriod = 1.0 / 15;
// After an event the interface settles over a few frames (a popup opens on
// the frame after the click, a modal's dimming fades in).
constexpr double kSettleSeconds = 0.25;
// How often a running activity is looked at when nothing else wakes the loop.
constexpr double kActivityPoll = 0.05;
// The longest wait with nothing running: cheap, and a safety net for a change
// the picture's digest does not cover.
constexpr double kIdleWait = 1.0;
// The hidden loop's wait while the game runs.
constexpr double kHiddenWait = 0.1;

struct Digest {
  size_t value = 0;
  template <class T>
  void add(const T& v) {
    value ^= std::hash<T>{}(v) + 0x9e3779b97f4a7c15ULL + (value << 6) + (value >> 2);
  }
};

// Everything the interface draws from that an activity can change without a
// window event. The interface reads more, but the rest changes only through
// clicks and keys, which are events.
size_t pictureDigest(App& app) {
  Digest d;
  d.add(app.stage);
  d.add(app.currentTab);
  d.add(app.missingItem);
  d.add(app.discChecking);
  d.add(app.discCheckImage);
  d.add(app.discCheckReason);
  d.add(app.discCheckOutput);
  d.add(app.building);
  d.add(app.stopRequested);
  for (const BuildStep& step : app.progress.steps) {
    d.add(int(step.state));
    d.add(step.percent);
  }
  d.add(app.progress.failedStep);
  d.add(app.progress.errorMessage);
  d.add(app.progress.resultSeen);
  d.add(app.statusText);
  d.add(int(app.statusKind));
  d.add(app.gameRunning);
  d.add(app.launcherHidden);
  d.add(app.crashReport);
  d.add(app.crashedWithoutReport);
  d.add(app.gameStartError);
  d.add(app.updateStage);
  d.add(app.updateVersion);
  d.add(app.updateMessage);
  d.add(app.updateStep);
  d.add(app.updateBytesDone.load());
  d.add(app.updateBytesTotal.load());
  {
    std::lock_guard<std::mutex> lock(app.updateCheck->mutex);
    d.add(app.updateCheck->state);
    d.add(app.updateCheck->latestVersion);
    d.add(app.updateCheck->error);
  }
  d.add(app.releaseCommit);
  d.add(app.releaseVersion);
  d.add(app.builtFromCommit);
  d.add(app.whatsNewOpen);
  d.add(app.quitConfirmOpen);
  d.add(uiFrench);
  return d.value;
}

// Something runs that can change the picture on its own.
bool activityInFlight(App& app) {
  if (app.discChecking || app.building || app.gameRunning || app.updateStage == Downloading ||
      app.updateStage == Installing || app.updateNow)
    return true;
  std::lock_guard<std::mutex> lock(app.updateCheck->mutex);
  return app.updateCheck->state == UpdateChecking;
}

}  // namespace

void runFrameLoop(App& app, Selftest* selftest, double loopStart) {
  bool eventPending = true;  // while hidden, the window system is asked only when it has news
  double settleUntil = 0, lastFrame = -1;
  bool moving = false;       // the last frame had something that moves by itself
  size_t shownDigest = 0;
  bool drawnOnce = false;
  for (;;) {
    // A quit asked for while the update script runs waits for it to end.
    if (app.quitNow && quitAllowed(app)) {
      if (app.building) app.stopBuild();
      break;
    }
    bool events = false;
    if (!app.launcherHidden || eventPending) {
      if (pollWindowEvents(&events)) {
        const CloseAction action = closeRequested(app);
        if (action == CloseAction::Confirm) app.quitConfirmOpen = true;
        else if (action == CloseAction::Quit) break;
      }
    }
    const double now = plat::nowSeconds();
    app.uptime = now - loopStart;

    app.pollDiscCheck();

    if (app.building) app.pollBuild();

    app.pollUpdate();

    pollUpdateNow(app);

    app.pollGame();

    const bool selftestRuns = selftest && !selftest->finished();
    if (selftestRuns) selftest->runStep(app, plat::nowSeconds());

    if (app.launcherHidden) {
      eventPending = waitWindowEvent(kHiddenWait);
      continue;
    }
    eventPending = true;

    // Whether to draw now, or how long to wait for the next reason to.
    if (events) settleUntil = now + kSettleSeconds;
    const WindowView view = windowView();
    const size_t digest = pictureDigest(app);
    const bool animated = app.settings.motion || moving || now < settleUntil;
    const double period = view == WindowView::Focused ? kFocusedPeriod : kUnfocusedPeriod;
    double wait = activityInFlight(app) ? kActivityPoll : kIdleWait;
    bool draw = selftestRuns || !drawnOnce;  // a self-test run asks for every frame
    if (view != WindowView::NotShown) {
      if (events || digest != shownDigest) draw = true;
      if (animated) {
        const double due = lastFrame + period - now;
        if (due <= 0.002) draw = true;  // the rest of the period is paced precisely by presentFrame
        else wait = std::min(wait, due);
      }
    }
    if (!draw) {
      eventPending = waitWindowEvent(std::max(wait, 0.001));
      continue;
    }

    beginFrame();
    drawBackground(app.uptime, app.settings.motion);
    drawUi(app);
    moving = takeTimedElementMark();
    presentFrame(app.screenshotPath);
    app.screenshotPath.clear();
    // Periods run from frame start to frame start: counted from the end, a
    // frame's own drawing time would lengthen them (10 instead of 15 frames a
    // second behind other windows when a frame takes 30 ms).
    lastFrame = now;
    // The state before drawing: a click handled while drawing changes it, and
    // the next pass draws its effect.
    shownDigest = digest;
    drawnOnce = true;
  }
}
