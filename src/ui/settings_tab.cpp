// The Settings tab: the game's window and the launcher's own options.
#include "app/app.h"
#include "ui/views.h"

void drawSettingsTab(App&, float) {}
