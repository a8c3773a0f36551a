// The preparing view: progress, time left and the step list while a build runs.
#include <imgui.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "app/app.h"
#include "app/window.h"
#include "plat/text.h"
#include "prepare/duration.h"
#include "ui/palette.h"
#include "ui/style.h"
#include "ui/views.h"

namespace {

// The preparing view's measures at scale 1.
struct PreparingMeasures {
  float introSize = 18, introGap = 8;
  float barLess = 90, barH = 18, percentGap = 16, percentLift = 6, percentSize = 22;
  float timeSize = 17, timeGap = 8;
  float rowH = 34, columnGap = 20;
  int rowsPerColumn = 5;
  float iconX = 10, iconY = 17, labelX = 30, labelY = 6, labelSize = 18, detailSize = 15;
  float afterList = 10, stopW = 150, stopH = 48, stopFont = 20, hintGap = 16, hintDrop = 12, hintSize = 16;
  float estimateFactor = 1.3f;  // the model's estimate runs short; pad it
};
constexpr PreparingMeasures kV;

uint32_t labelColour(StepState st) {
  switch (st) {
    case StepState::Running: return kText;
    case StepState::Pending: return kDimText;
    case StepState::Failed: return kRed;
    default: return kSoftText;
  }
}

std::string stepDetail(const BuildStep& step) {
  char text[32];
  if (step.state == StepState::Running && step.percent > 0) {
    std::snprintf(text, sizeof text, "%d %%", step.percent);
    return text;
  }
  if (step.state == StepState::Done && step.elapsedSeconds >= 1.0) return formatDuration(step.elapsedSeconds);
  if (step.state == StepState::Skipped) return tr("done before", "déjà fait");
  return {};
}

}  // namespace

std::string timeLeftText(double r) {
  if (!(r >= 0)) return {};
  const int m = int(std::ceil(r * kV.estimateFactor / 60));
  if (m <= 1) return tr("about a minute left", "environ une minute restante");
  char text[64];
  std::snprintf(text, sizeof text, tr("about %d min left", "environ %d min restantes"), m);
  return text;
}

void drawPreparingView(App& app, float W) {
  const float s = uiScale;
  const double now = plat::nowSeconds();
  heading(tr("Preparing the game", "Préparation du jeu"), kText);
  styledParagraph(tr("This happens once. You can keep using your PC meanwhile.",
                     "Cela n'arrive qu'une fois. Vous pouvez continuer à utiliser votre PC."),
                  kV.introSize, kSoftText, 1);
  gap(kV.introGap);

  const float f = float(app.progress.fraction());
  progressBar(f, ImVec2(W - kV.barLess * s, kV.barH * s), app.uptime);
  ImGui::SameLine(0, kV.percentGap * s);
  ImGui::SetCursorPosY(ImGui::GetCursorPosY() - kV.percentLift * s);
  char percent[16];
  std::snprintf(percent, sizeof percent, "%d %%", int(f * 100));
  styledText(percent, kV.percentSize, kText);

  std::string timeLine = std::string(tr("Elapsed ", "Écoulé ")) + formatDuration(now - app.progress.startTime);
  const std::string left = timeLeftText(app.progress.secondsLeft(now));
  if (!left.empty()) timeLine += "  ·  " + left;
  styledText(timeLine, kV.timeSize, kSoftText);
  gap(kV.timeGap);

  // The step list is drawn straight into the draw list: rectangles first, then paint.
  const ImVec2 origin = ImGui::GetCursorScreenPos();
  const float rowH = kV.rowH * s, colW = (W - kV.columnGap * s) / 2;
  ImDrawList* dl = ImGui::GetWindowDrawList();
  ImFont* font = textFont();
  for (size_t i = 0; i < app.progress.steps.size(); ++i) {
    const BuildStep& step = app.progress.steps[i];
    const int column = int(i) < kV.rowsPerColumn ? 0 : 1, row = int(i) % kV.rowsPerColumn;
    const float colX = origin.x + float(column) * (colW + kV.columnGap * s);
    const float rowY = origin.y + float(row) * rowH;
    stepIcon(ImVec2(colX + kV.iconX * s, rowY + kV.iconY * s), step.state, app.uptime);
    const std::string label = stepLabel(step.key);
    dl->AddText(font, kV.labelSize * s, ImVec2(colX + kV.labelX * s, rowY + kV.labelY * s),
                packColour(labelColour(step.state), 1), label.c_str());
    const std::string detail = stepDetail(step);
    if (!detail.empty()) {
      const float px = kV.detailSize * s;
      const float tw = font->CalcTextSizeA(px, FLT_MAX, 0, detail.c_str()).x;
      dl->AddText(font, px, ImVec2(colX + colW - tw, rowY + (rowH - px) / 2 - s),
                  packColour(step.state == StepState::Running ? kAccentBlue : kDimText, 1), detail.c_str());
    }
  }
  ImGui::SetCursorScreenPos(
      ImVec2(origin.x, origin.y + float(kV.rowsPerColumn) * rowH + kV.afterList * s));

  const bool stopping = app.stopRequested;
  if (button(stopping ? tr("Stopping…###stop", "Arrêt…###stop") : tr("Stop###stop", "Arrêter###stop"),
             ImVec2(kV.stopW * s, kV.stopH * s), Danger, !stopping, kV.stopFont) &&
      app.building)
    app.stopBuild();
  ImGui::SameLine(0, kV.hintGap * s);
  ImGui::SetCursorPosY(ImGui::GetCursorPosY() + kV.hintDrop * s);
  styledText(tr("Stopping is safe: it continues from there next time.",
                "Arrêter est sans risque : la suite reprendra plus tard."),
             kV.hintSize, kDimText);
}
