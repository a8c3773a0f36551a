// The Play tab and the preparing-stopped view.
#include "app/app.h"
#include "ui/views.h"

std::string fileNameOf(const std::string& path) {
  const size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

void drawPlayTab(App&, float) {}

void drawPreparingStoppedView(App&, float) {}
