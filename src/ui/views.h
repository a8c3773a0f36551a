// The views drawn inside the content card, each given the App and the card's
// content width in pixels.
#pragma once
#include <string>

struct App;
struct ImFont;

// The English or the French text, as the interface's language asks.
const char* tr(const char* english, const char* french);
// The same as a string, for texts that are joined to others.
std::string trs(const char* english, const char* french);
// The interface's typeface, or Dear ImGui's own before the fonts are loaded
// (a headless check that draws without them still gets text metrics).
ImFont* textFont();

void drawPlayTab(App& app, float contentWidth);
void drawPreparingStoppedView(App& app, float contentWidth);
void drawPreparingView(App& app, float contentWidth);
void drawSettingsTab(App& app, float contentWidth);
void drawMaintenanceTab(App& app, float contentWidth);

// The running disc check's line and the last rejection, drawn on the tab the
// check was started from.
void discCheckOutcome(App& app, float contentWidth);

// The advice the preparing-stopped view gives for a failed step and its message.
std::string stoppedAdvice(const std::string& failedStep, const std::string& message);
// "about a minute left" or "about N min left" for an estimate in seconds; empty when negative.
std::string timeLeftText(double secondsLeft);

// Writes video.ini from the App's video settings and records whether it worked.
void saveVideoSettings(App& app);
// The Maintenance tab's version line with the last update check's outcome.
std::string versionLine(App& app);

// The last component of a path whose parts are separated by "\" or "/".
std::string fileNameOf(const std::string& path);
