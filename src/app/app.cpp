// The App's construction and destruction, and the frame loop that polls every
// activity once per frame and then draws the interface from the App's fields.
#include "app/app.h"

#include "app/frame_loop.h"
#include "app/window.h"
#include "plat/text.h"
#include "selftest/selftest.h"
#include "ui/ui.h"

bool uiFrench = false;

// Host names are ours to choose; the paths are the release service's.
const char* const defaultUpdateUrl = "https://api.github.com/repos/TheTamblers/Morvane/releases/latest";
const char* const defaultDownloadPrefix = "https://github.com/TheTamblers/Morvane/releases/download/";

App::~App() {
  cancelUpdate.store(true);
  if (updateThread.joinable()) updateThread.join();
  installer.record.reset();
  // A check still in flight is not waited for; it holds its own reference to
  // the shared UpdateCheck and its result is never read.
  if (updateCheck->thread.joinable()) updateCheck->thread.detach();
  game.record.reset();
  build.record.reset();
  discCheck.record.reset();
}

void runFrameLoop(App& app, Selftest* selftest, double loopStart) {
  for (;;) {
    if (app.quitNow) {
      if (app.building) app.stopBuild();
      break;
    }
    if (pollWindowEvents()) {
      if (app.building) app.quitConfirmOpen = true;
      else if (app.updateStage != Installing) break;  // the update script must not be cut off
    }
    const double now = plat::nowSeconds();
    app.uptime = now - loopStart;

    app.pollDiscCheck();

    if (app.building) app.pollBuild();

    app.pollUpdate();

    if (app.updateNow && app.updateStage == UpdateStageIdle) {
      int state;
      std::string tag, version;
      {
        std::lock_guard lock(app.updateCheck->mutex);
        state = app.updateCheck->state;
        tag = app.updateCheck->latestTag;
        version = app.updateCheck->latestVersion;
      }
      if (state == UpdateAvailable) {
        app.updateNow = false;
        app.startUpdate(tag, version);
      }
    }

    app.pollGame();

    if (selftest && !selftest->finished()) selftest->runStep(app, plat::nowSeconds());

    if (app.launcherHidden) {
      waitWindowEvent(0.1);
      continue;
    }
    beginFrame();
    drawBackground(app.uptime, app.settings.motion);
    drawUi(app);
    presentFrame(app.screenshotPath);
    app.screenshotPath.clear();
  }
}
