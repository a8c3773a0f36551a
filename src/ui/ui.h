// The launcher's interface, drawn each frame from the App.
#pragma once

struct App;

void drawBackground(double uptime, bool motion);
void drawUi(App& app);
