// Durations as the user reads them.
#include "prepare/duration.h"

#include <cmath>
#include <cstdio>

std::string formatDuration(double seconds) {
  double rounded = std::round(seconds);  // halves away from zero
  // NaN and absurd values read as 0 rather than overflowing the cast.
  if (!(rounded > 0)) rounded = 0;
  if (rounded > 1e12) rounded = 1e12;
  long long total = static_cast<long long>(rounded);
  char text[48];
  if (total < 3600)
    std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
  else
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
  return text;
}
