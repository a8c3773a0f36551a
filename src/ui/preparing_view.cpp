// The preparing view: progress, time left and the step list while a build runs.
#include "app/app.h"
#include "ui/views.h"

void drawPreparingView(App&, float) {}
