// The background's cached colour table and its drawing into any draw list, so
// the picture can be checked without a window.
#pragma once
#include <imgui.h>

#include <array>
#include <cstdint>

constexpr int kBackgroundRows = 31, kBackgroundColumns = 49;
// Packed colours, row by row from the top, as Dear ImGui packs them.
using BackgroundColourTable = std::array<uint32_t, kBackgroundRows * kBackgroundColumns>;

BackgroundColourTable buildBackgroundColours();
void drawBackgroundInto(ImDrawList* drawList, float width, float height, double time, bool motion);
