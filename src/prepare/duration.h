// Durations as the user reads them: M:SS, or H:MM:SS from one hour on.
#pragma once
#include <string>

// Rounded to whole seconds (halves away from zero); negative counts as 0.
std::string formatDuration(double seconds);
