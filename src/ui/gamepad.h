// The launcher with a gamepad: which device the player used last, and the
// buttons that back out and switch tabs whichever device pressed them.
#pragma once

struct App;

// Called once at the start of each frame: a press on a gamepad sets
// `App::lastInputGamepad`, a key, a click or the wheel clears it. Returns
// true when the gamepad took over from another device in this frame.
bool noteInputDevice(App& app);
// Escape or the east button (B) this frame, repeats included: both back out.
bool backPressed();
// -1 for the left shoulder button, +1 for the right one, 0 for neither.
int tabStepPressed();
// Whether a gamepad button or stick is held: held directions repeat, and the
// frame loop must keep drawing for the repeats to come.
bool gamepadHeld();
