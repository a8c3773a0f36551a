// The Maintenance tab: rebuild, disc image, folders and the update check.
#include "app/app.h"
#include "ui/views.h"

void drawMaintenanceTab(App&, float) {}
