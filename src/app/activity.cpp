// The one rule that keeps the launcher's exclusive activities apart.
#include "app/activity.h"

#include "app/app.h"

bool exclusiveActivityRuns(const App& app) {
  const bool updating =
      app.updateStage == Downloading || app.updateStage == Installing || app.updateStage == Restarting;
  return app.discChecking || app.building || app.gameRunning || updating;
}

bool canStart(const App& app, Activity) { return !exclusiveActivityRuns(app); }

bool quitAllowed(const App& app) { return app.updateStage != Installing; }

CloseAction closeRequested(const App& app) {
  if (!quitAllowed(app)) return CloseAction::Ignore;
  return app.building ? CloseAction::Confirm : CloseAction::Quit;
}
