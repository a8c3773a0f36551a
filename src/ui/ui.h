// The launcher's interface, drawn each frame from the App.
#pragma once
#include <string>

struct App;

void drawBackground(double uptime, bool motion);
void drawUi(App& app);

// Pieces of the shell that other screens and checks share.
float tabTextWidth(const char* label);            // a tab label's width in pixels
std::string footerLine(bool updateAvailable);     // "Morvane <version>  ·  <commit>…"
