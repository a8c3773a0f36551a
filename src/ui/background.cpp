// The animated background behind the whole window: a navy gradient mesh with a
// vignette, fifteen light shafts rising from the bottom edge, and scanlines.
#include <imgui.h>

#include <algorithm>
#include <cmath>

#include "app/app.h"
#include "ui/background.h"
#include "ui/style.h"
#include "ui/ui.h"

namespace {

// Colours and proportions of the picture; lengths scaled by uiScale are marked.
struct BackgroundMeasures {
  uint32_t glowRgb = 0x4F74FF;      // shaft glow layers
  uint32_t shaftTopRgb = 0x6F8DFF;  // shaft gradient, top
  uint32_t shaftFootRgb = 0x14328F; // shaft gradient, bottom
  uint32_t capRgb = 0xC9DBFF;       // bright cap on each shaft
  float capHeight = 2;              // scaled
  float glowGrowth = 5 * 0.7f;      // times F squared, scaled
  float heightPhase = 0.35f, flickerPhase = 0.5f;
  int scanlineStep = 3;             // pixels, never scaled
  unsigned scanlineAlpha = 0x05;
};
constexpr BackgroundMeasures kB;

BackgroundColourTable table;
bool tableReady = false;

float clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }
double clamp01(double v) { return std::clamp(v, 0.0, 1.0); }
unsigned alphaByte(double a) { return unsigned(clamp01(a) * 255.0); }

}  // namespace

BackgroundColourTable buildBackgroundColours() {
  BackgroundColourTable t{};
  for (int i = 0; i < kBackgroundRows; ++i) {
    const float f = float(i) / 30.0f;
    for (int j = 0; j < kBackgroundColumns; ++j) {
      const float v = float(j) / 48.0f - 0.5f;
      const float e = std::sqrt(4 * v * v + 4 * (f - 0.5f) * (f - 0.5f));
      const float dv = v / 0.62f, df = (f - 1.02f) / 1.05f;
      const float d = std::sqrt(dv * dv + df * df);
      const float c = clamp01((e / 1.414f - 0.45f) / 0.55f);
      const float k = 1 - (3 - 2 * c) * c * c * 0.65f;
      float R, G, B;
      if (d < 0.55f) {
        const float l = d / 0.55f;
        R = 20 - 15 * l, G = 50 - 39 * l, B = 143 - 105 * l;
      } else {
        const float m = std::min((d - 0.55f) / 0.45f, 1.0f);
        R = 5 - 4 * m, G = 11 - 8 * m, B = 38 - 28 * m;
      }
      const unsigned r = unsigned(R * k), g = unsigned(G * k), b = unsigned(B * k);
      t[size_t(i) * kBackgroundColumns + size_t(j)] = r | (g << 8) | (b << 16) | 0xFF000000u;
    }
  }
  return t;
}

void drawBackgroundInto(ImDrawList* dl, float W, float H, double time, bool motion) {
  if (!tableReady) {
    table = buildBackgroundColours();
    tableReady = true;
  }
  const float s = uiScale;

  // The mesh goes straight into one reserved block: 30 x 48 cells, two triangles each.
  constexpr int cols = kBackgroundColumns, rows = kBackgroundRows;
  constexpr int idxCount = (rows - 1) * (cols - 1) * 6, vtxCount = rows * cols;
  const ImVec2 uv = ImGui::GetFontTexUvWhitePixel();
  dl->PrimReserve(idxCount, vtxCount);
  // Read after the reservation: with 16-bit indices it may start a new vertex offset.
  const ImDrawIdx base = ImDrawIdx(dl->_VtxCurrentIdx);
  for (int i = 0; i < rows; ++i)
    for (int j = 0; j < cols; ++j) {
      ImDrawVert& v = dl->_VtxWritePtr[i * cols + j];
      v.pos = ImVec2(float(j) * W / 48.0f, float(i) * H / 30.0f);
      v.uv = uv;
      v.col = table[size_t(i) * cols + size_t(j)];
    }
  dl->_VtxWritePtr += vtxCount;
  ImDrawIdx* ix = dl->_IdxWritePtr;
  for (int i = 0; i < rows - 1; ++i)
    for (int j = 0; j < cols - 1; ++j) {
      const ImDrawIdx a = ImDrawIdx(base + i * cols + j);
      *ix++ = a;
      *ix++ = ImDrawIdx(a + 1);
      *ix++ = ImDrawIdx(a + cols + 1);
      *ix++ = a;
      *ix++ = ImDrawIdx(a + cols + 1);
      *ix++ = ImDrawIdx(a + cols);
    }
  dl->_IdxWritePtr = ix;
  dl->_VtxCurrentIdx += unsigned(vtxCount);

  // Shafts.
  const double P = motion ? kB.heightPhase * time : 0.0, Q = motion ? kB.flickerPhase * time : 0.0;
  for (int n = 0; n < 15; ++n) {
    const float sn = std::sin(12.9898f * float(n));
    const float raw = 43758.547f * sn;
    const float v = raw - std::floor(raw);
    const double g = std::sin(1.7 * n + P), k = std::sin(2.3 * n + Q);
    const double u = (n + 0.5) / 15.0;
    const double x = ((double(v) - 0.5) * 0.02 + u) * W;
    const double b = (0.01 * v + 0.018) * W;
    const double x0 = x - b / 2, x1 = x + b / 2;
    const double D = 0.85 + 0.15 * k;
    const double E = (0.22 * (1 - 1.2 * std::fabs(u - 0.5)) * (0.45 * v + 0.55) + 0.08) * H * (1 + 0.07 * g);
    const double y0 = H - E;
    for (int F = 3; F >= 1; --F) {
      const double K = kB.glowGrowth * F * F * s;
      const ImVec2 a(float(x0 - K), float(y0 - K)), c(float(x1 + K), H);
      const float rounding = 0.15f * std::min(c.x - a.x, c.y - a.y);
      dl->AddRectFilled(a, c, packColourByte(kB.glowRgb, alphaByte(0.03 * D / F)), rounding);
    }
    const float fx = std::floor(float(x0)), fy = std::floor(float(y0));
    const float fb = std::floor(float(b)), fe = std::floor(float(E));
    const ImU32 top = packColourByte(kB.shaftTopRgb, alphaByte(0.26 * D));
    const ImU32 foot = packColourByte(kB.shaftFootRgb, alphaByte(0.06 * D));
    dl->AddRectFilledMultiColor(ImVec2(fx, fy), ImVec2(fx + fb, fy + fe), top, top, foot, foot);
    dl->AddRectFilled(ImVec2(fx, fy), ImVec2(fx + fb, fy + std::floor(kB.capHeight * s)),
                      packColourByte(kB.capRgb, alphaByte(0.35 * D)));
  }

  // Scanlines stay three pixels apart at any scale.
  const int h = int(H);
  const ImU32 line = packColourByte(0xFFFFFF, kB.scanlineAlpha);
  for (int y = 0; y < h; y += kB.scanlineStep) dl->AddRectFilled(ImVec2(0, float(y)), ImVec2(W, float(y + 1)), line);
}

void drawBackground(double uptime, bool motion) {
  // ImGui's display size is the window's drawable area in its own coordinates,
  // which is what the draw list is in.
  const ImVec2 size = ImGui::GetIO().DisplaySize;
  drawBackgroundInto(ImGui::GetBackgroundDrawList(), size.x, size.y, uptime, motion);
}
