// Which of the launcher's long activities may start now. The disc check, the
// build, the game run and the update's download and install exclude one
// another: the update replaces the build scripts and restarts the launcher,
// a build reads the disc image a check may be about to replace, and the game
// reads what a build writes. The release check only reads the network and
// may run beside anything. Every operation and every button that starts one
// of them asks here, so the two can never disagree.
#pragma once

struct App;

enum class Activity { DiscCheck, Build, Game, Update };

// True while none of the exclusive activities runs.
bool canStart(const App& app, Activity activity);
// Whether any exclusive activity runs at the moment.
bool exclusiveActivityRuns(const App& app);

// What a request to close the window does: the update script must never be
// cut off mid-install, and a running build asks first.
enum class CloseAction { Quit, Confirm, Ignore };
CloseAction closeRequested(const App& app);
// Whether the launcher may end now (a close confirmed, or the frame loop told to stop).
bool quitAllowed(const App& app);
