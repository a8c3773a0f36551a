// The views drawn inside the content card, each given the App and the card's
// content width in pixels.
#pragma once
#include <string>

struct App;

void drawPlayTab(App& app, float contentWidth);
void drawPreparingStoppedView(App& app, float contentWidth);
void drawPreparingView(App& app, float contentWidth);
void drawSettingsTab(App& app, float contentWidth);
void drawMaintenanceTab(App& app, float contentWidth);

// The last component of a path whose parts are separated by "\" or "/".
std::string fileNameOf(const std::string& path);
