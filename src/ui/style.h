// The launcher's Dear ImGui style: sizes at scale 1 times uiScale, and colours.
#pragma once

void applyStyle();
