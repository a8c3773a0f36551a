// The frame loop: polls every activity once per frame, runs one self-test
// step, then draws the interface from the App's fields. While the game runs
// the window is hidden and the loop only waits for events and polls.
#include "app/frame_loop.h"

#include "app/activity.h"
#include "app/app.h"
#include "app/window.h"
#include "plat/text.h"
#include "selftest/selftest.h"
#include "ui/ui.h"
#include "update/update_install.h"

void runFrameLoop(App& app, Selftest* selftest, double loopStart) {
  for (;;) {
    // A quit asked for while the update script runs waits for it to end.
    if (app.quitNow && quitAllowed(app)) {
      if (app.building) app.stopBuild();
      break;
    }
    if (pollWindowEvents()) {
      const CloseAction action = closeRequested(app);
      if (action == CloseAction::Confirm) app.quitConfirmOpen = true;
      else if (action == CloseAction::Quit) break;
    }
    const double now = plat::nowSeconds();
    app.uptime = now - loopStart;

    app.pollDiscCheck();

    if (app.building) app.pollBuild();

    app.pollUpdate();

    pollUpdateNow(app);

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
