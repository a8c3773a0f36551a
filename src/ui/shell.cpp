// The window's shell, drawn once per frame from the App: header, tabs or the
// language switch, the content card and its view, the footer, the progress
// overlay, Escape, and the two modal windows.
#include <imgui.h>
#include <imgui_internal.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "app/activity.h"
#include "app/app.h"
#include "app/window.h"
#include "plat/shell.h"
#include "ui/disc_picker.h"
#include "ui/gamepad.h"
#include "ui/palette.h"
#include "ui/style.h"
#include "ui/ui.h"
#include "ui/views.h"
#include "ui/whats_new.h"
#include "update/version.h"

namespace {

// The shell's measures at scale 1.
struct ShellMeasures {
  float margin = 44;                           // left and right edge of header, card and tab bar
  float brandY = 26, brandSize = 24, brandSpacing = 5.0f, brandGlow = 0.9f;
  float creditsGap = 2, creditsSize = 14, creditsSpacing = 1.6f;
  float langPillWidth = 110, topRowY = 30, langPillFont = 16;
  float tabFont = 17, tabPad = 30, tabGap = 8;
  float titleY = 100, titleSize = 52, titleSpacing = 1.0f, titleGlow = 1.0f;
  float subtitleX = 46, subtitleGap = 2, subtitleSize = 19, subtitleSpacing = 1.2f;
  float cardY = 208, cardMaxWidth = 1040, cardMargin = 30, cardToFooter = 12;
  float pageTextSize = 19, pathSize = 15;
  float welcomeButtonHeight = 56, welcomeButtonFont = 21;
  float spinnerOffset = 14, spinnerRadius = 11, checkingX = 40, checkingY = 2, checkingSize = 20, checkingFileSize = 16;
  float footerX = 42, footerFromBottom = 46, footerFont = 16, footerGap = 16, footerNudge = 2, footerTextSize = 15;
  float overlayFromBottom = 42, overlaySize = 16;
  float modalPadX = 28, modalPadY = 24;
  float quitTextSize = 18, quitButtonW1 = 200, quitButtonW2 = 220, quitButtonH = 48, quitFont = 20, quitGap = 12;
  float newsMaxWidth = 820, newsEdge = 80, newsInset = 56, newsWrapInset = 16, newsMaxHeight = 420, newsHeightLess = 260;
  float newsHeadingSize = 19, newsTextSize = 17, closeW = 160, closeH = 44, closeFont = 20;
  float newsScrollSpeed = 600;  // pixels per second while a direction is held
};
constexpr ShellMeasures kS;

// The makers' companion page behind the footer link.
constexpr const char* kCompanionPage = "https://thetamblers.github.io/lanternwick/";

void header(App& app, float W) {
  const float s = uiScale;
  const ImVec2 brandPos(kS.margin * s, kS.brandY * s);
  glowText(brandPos, "The Tamblers", kS.brandSize, kText, kS.brandSpacing, true, kS.brandGlow);
  const float brandH = spacedTextSize("The Tamblers", kS.brandSize, kS.brandSpacing).y;
  glowText(ImVec2(brandPos.x, brandPos.y + brandH + kS.creditsGap * s), "by Wrenfold & Tessaly", kS.creditsSize,
           kSoftText, kS.creditsSpacing, false, 0);

  if (app.stage == Incomplete || app.stage == NoDisc) {
    ImGui::SetCursorScreenPos(ImVec2(W - (kS.margin + kS.langPillWidth) * s, kS.topRowY * s));
    if (pill(uiFrench ? "English###lang" : "Français###lang", false, kS.langPillFont, true)) {
      uiFrench = !uiFrench;
      app.settings.language = uiFrench ? "fr" : "en";
      app.settings.save(app.launcherIniPath);
    }
  } else {
    const char* labels[3] = {tr("Play", "Jouer"), tr("Settings", "Réglages"), "Maintenance"};
    float total = 0;
    for (const char* l : labels) total += tabTextWidth(l) + (kS.tabPad + kS.tabGap) * s;
    ImGui::SetCursorScreenPos(ImVec2(W - kS.margin * s - total, kS.topRowY * s));
    for (int i = 0; i < 3; ++i) {
      if (i > 0) ImGui::SameLine(0, kS.tabGap * s);
      char id[96];
      std::snprintf(id, sizeof id, "%s###tab%d", labels[i], i);
      if (pill(id, app.currentTab == i, kS.tabFont, true)) app.currentTab = i;
    }
  }

  const ImVec2 titlePos(kS.margin * s, kS.titleY * s);
  glowText(titlePos, "Emberfall", kS.titleSize, kText, kS.titleSpacing, true, kS.titleGlow);
  const float titleH = spacedTextSize("Emberfall", kS.titleSize, kS.titleSpacing).y;
  glowText(ImVec2(kS.subtitleX * s, titlePos.y + titleH + kS.subtitleGap * s),
           tr("PC port — your own disc required", "Portage PC — votre propre disque requis"),
           kS.subtitleSize, kSoftText, kS.subtitleSpacing, false, 0);
}

void missingFilesPage(App& app) {
  heading(tr("Some files are missing", "Des fichiers manquent"), kRed);
  gap(4);
  styledParagraph(uiFrench ? "Le lanceur ne trouve pas " + app.missingItem +
                                 " à côté de lui. Décompressez à nouveau tout le "
                                 "téléchargement, en gardant ses dossiers ensemble."
                           : "The launcher did not find " + app.missingItem +
                                 " next to it. Unzip the whole download again, keeping its folders together.",
                  kS.pageTextSize, kText, 1);
  styledText(app.releaseDir, kS.pathSize, kDimText, 1);
}

void welcomePage(App& app, float contentWidth) {
  const float s = uiScale;
  heading(tr("Welcome", "Bienvenue"), kText);
  gap(4);
  styledParagraph(tr("This launcher turns your own copy of Emberfall into a PC game. Nothing from the game comes with "
                     "it: the game is built here, on your PC, from your disc.",
                     "Ce lanceur transforme votre propre copie du Emberfall en jeu PC. Rien du jeu n'est fourni : le "
                     "jeu est construit ici, sur votre PC, à partir de votre disque."),
                  kS.pageTextSize, kText, 0.92f);
  gap(2);
  styledParagraph(tr("You need a disc image of the North American release (SLUS-20999): a .iso, or a .bin with its "
                     ".cue. Other releases are not supported.",
                     "Il vous faut une image disque de la version nord-américaine (SLUS-20999) : un .iso, ou un "
                     ".bin avec son .cue. Les autres versions ne sont pas prises en charge."),
                  kS.pageTextSize, kSoftText, 1);
  gap(10);
  if (!app.discChecking) {
    if (button(tr("Select your disc image…###select", "Choisir votre image disque…###select"),
               ImVec2(0, kS.welcomeButtonHeight * s), Primary, canStart(app, Activity::DiscCheck),
               kS.welcomeButtonFont))
      app.chooseDiscImage();
    defaultButton();
  } else {
    const ImVec2 c = ImGui::GetCursorScreenPos();
    spinner(ImVec2(c.x + kS.spinnerOffset * s, c.y + kS.spinnerOffset * s), kS.spinnerRadius, app.uptime);
    ImGui::SetCursorScreenPos(ImVec2(c.x + kS.checkingX * s, c.y + kS.checkingY * s));
    ImGui::BeginGroup();
    styledText(tr("Checking the disc…", "Vérification du disque…"), kS.checkingSize, kText);
    styledText(fileNameOf(app.discCheckImage), kS.checkingFileSize, kDimText);
    ImGui::EndGroup();
  }
  if (!app.discCheckReason.empty()) {
    gap(6);
    notice(app.discCheckReason, app.discCheckOutput, kRed, contentWidth);
  }
}

void drawCardView(App& app, float contentWidth) {
  if (app.stage == Incomplete) missingFilesPage(app);
  else if (app.stage == NoDisc) welcomePage(app, contentWidth);
  else if (app.currentTab == 1) drawSettingsTab(app, contentWidth);
  else if (app.currentTab == 2) drawMaintenanceTab(app, contentWidth);
  else if (app.stage == Preparing) drawPreparingView(app, contentWidth);
  else if (app.stage == Failed) drawPreparingStoppedView(app, contentWidth);
  else drawPlayTab(app, contentWidth);
}

void footer(App& app, float W, float H) {
  const float s = uiScale;
  ImGui::SetCursorScreenPos(ImVec2(kS.footerX * s, H - kS.footerFromBottom * s));
  if (button("Lanternwick ›##site", ImVec2(0, 0), Link, true, kS.footerFont)) plat::shellOpen(kCompanionPage);

  ImGui::SameLine(0, kS.footerGap * s);
  ImGui::SetCursorPosY(ImGui::GetCursorPosY() + kS.footerNudge * s);
  int state;
  {
    std::lock_guard lock(app.updateCheck->mutex);
    state = app.updateCheck->state;
  }
  styledText(footerLine(state == UpdateAvailable), kS.footerTextSize, kDimText, 1);

  if (!app.whatsNewText.empty()) {
    ImGui::SameLine(0, kS.footerGap * s);
    ImGui::SetCursorPosY(ImGui::GetCursorPosY() - kS.footerNudge * s);
    if (button(tr("What's new ›##whatsnew-footer", "Nouveautés ›##whatsnew-footer"),
               ImVec2(0, 0), Link, true, kS.footerFont))
      app.whatsNewOpen = true;
  }

  if (app.building && app.currentTab != 0) {
    char text[64];
    std::snprintf(text, sizeof text, tr("Preparing… %d %%", "Préparation… %d %%"),
                  int(app.progress.fraction() * 100));
    ImFont* f = textFont();
    const float px = kS.overlaySize * s;
    const float tw = f->CalcTextSizeA(px, FLT_MAX, 0, text).x;
    ImGui::GetWindowDrawList()->AddText(f, px, ImVec2(W - kS.margin * s - tw, H - kS.overlayFromBottom * s),
                                        packColour(kAccentBlue, 1), text);
  }
}

void whatsNewEntries(const std::string& text) {
  for (std::string entry : buildWhatsNewEntries(text)) {
    if (entry.empty()) {
      gap(4);
    } else if (entry.size() > 3 && entry.compare(0, 4, "### ") == 0) {
      gap(4);
      styledText(stripInlineMarkup(entry.substr(4)), kS.newsHeadingSize, kAccentViolet, 1);
    } else {
      if (entry.size() >= 2 && entry.compare(0, 2, "- ") == 0) entry = "• " + entry.substr(2);
      styledParagraph(stripInlineMarkup(entry), kS.newsTextSize, kText, 1);
    }
  }
}

void modals(App& app, float W, float H) {
  const float s = uiScale;
  const ImGuiWindowFlags flags = ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_AlwaysAutoResize;
  const ImVec2 centre(W / 2, H / 2);
  ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(kS.modalPadX * s, kS.modalPadY * s));

  if (app.quitConfirmOpen) {
    ImGui::OpenPopup("##quit");
    app.quitConfirmOpen = false;
  }
  ImGui::SetNextWindowPos(centre, ImGuiCond_Always, ImVec2(0.5f, 0.5f));
  if (ImGui::BeginPopupModal("##quit", nullptr, flags)) {
    heading(tr("Stop preparing and quit?", "Arrêter la préparation et quitter ?"), kText);
    styledText(tr("It continues from there next time.", "Elle reprendra à partir de là."), kS.quitTextSize,
               kSoftText);
    gap(8);
    // Backing out of the question keeps the build going, the safe answer.
    if (button(tr("Keep going", "Continuer"), ImVec2(kS.quitButtonW1 * s, kS.quitButtonH * s), Primary, true,
               kS.quitFont) ||
        backPressed())
      ImGui::CloseCurrentPopup();
    defaultButton();
    ImGui::SameLine(0, kS.quitGap * s);
    if (button(tr("Stop and quit", "Arrêter et quitter"), ImVec2(kS.quitButtonW2 * s, kS.quitButtonH * s),
               Danger, quitAllowed(app), kS.quitFont)) {
      if (app.building) app.stopBuild();
      app.quitNow = true;
    }
    ImGui::EndPopup();
  }

  if (app.whatsNewOpen) {
    ImGui::OpenPopup("##whatsnew");
    app.whatsNewOpen = false;
  }
  const float mw = std::min(kS.newsMaxWidth * s, W - kS.newsEdge * s);
  ImGui::SetNextWindowPos(centre, ImGuiCond_Always, ImVec2(0.5f, 0.5f));
  ImGui::SetNextWindowSize(ImVec2(mw, 0));
  if (ImGui::BeginPopupModal("##whatsnew", nullptr, flags)) {
    heading(std::string(tr("What's new in ", "Nouveautés de la version ")) + app.whatsNewVersion, kText);
    const float regionW = mw - kS.newsInset * s;
    ImGui::BeginChild("##whatsnew-text", ImVec2(regionW, std::min(kS.newsMaxHeight * s, H - kS.newsHeightLess * s)));
    ImGui::PushTextWrapPos(regionW - kS.newsWrapInset * s);
    // The text has nothing to focus, so up and down scroll it instead, the
    // way a gamepad's sticks and pad read a long page.
    const float dy = kS.newsScrollSpeed * s * ImGui::GetIO().DeltaTime;
    for (ImGuiKey up : {ImGuiKey_UpArrow, ImGuiKey_GamepadDpadUp, ImGuiKey_GamepadLStickUp, ImGuiKey_GamepadRStickUp})
      if (ImGui::IsKeyDown(up)) ImGui::SetScrollY(ImGui::GetScrollY() - dy);
    for (ImGuiKey down :
         {ImGuiKey_DownArrow, ImGuiKey_GamepadDpadDown, ImGuiKey_GamepadLStickDown, ImGuiKey_GamepadRStickDown})
      if (ImGui::IsKeyDown(down)) ImGui::SetScrollY(ImGui::GetScrollY() + dy);
    whatsNewEntries(app.whatsNewText);
    ImGui::PopTextWrapPos();
    ImGui::EndChild();
    gap(8);
    if (button(tr("Close", "Fermer"), ImVec2(kS.closeW * s, kS.closeH * s), Primary, true, kS.closeFont) ||
        backPressed())
      ImGui::CloseCurrentPopup();
    ImGui::EndPopup();
  }
  ImGui::PopStyleVar();
}

}  // namespace

float tabTextWidth(const char* label) {
  ImFont* f = textFont();
  return f->CalcTextSizeA(kS.tabFont * uiScale, FLT_MAX, 0, label).x;
}

std::string footerLine(bool updateAvailable) {
  std::string line = std::string("Morvane ") + launcherVersion + "  ·  " + std::string(sourceCommit).substr(0, 10);
  if (updateAvailable) line += tr("  ·  update available", "  ·  mise à jour disponible");
  return line;
}

void drawUi(App& app) {
  const float s = uiScale;
  const ImGuiViewport* vp = ImGui::GetMainViewport();
  const float W = vp->Size.x, H = vp->Size.y;
  ImGui::SetNextWindowPos(vp->Pos);
  ImGui::SetNextWindowSize(vp->Size);
  ImGui::Begin("##root", nullptr,
               ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                   ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoBackground |
                   ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoBringToFrontOnFocus);

  ImGuiStorage* rootState = ImGui::GetStateStorage();
  const ImGuiID cursorKey = ImGui::GetID("##cursor-before");
  // The first touch of the pad shows where the focus is, on the screen's
  // default button, rather than moving on from a place the player never saw.
  if (noteInputDevice(app) && !rootState->GetBool(cursorKey)) ImGui::NavMoveRequestCancel();
  // While a gamepad is in use the launcher draws its own focus ring instead.
  ImGui::PushStyleColor(ImGuiCol_NavCursor, app.lastInputGamepad ? ImVec4(0, 0, 0, 0)
                                                                  : ImGui::GetStyleColorVec4(ImGuiCol_NavCursor));
  enterPressesTheDefaultButton();
  header(app, W);

  const float cardW = std::min(kS.cardMaxWidth * s, W - 2 * kS.margin * s);
  ImGui::SetCursorScreenPos(ImVec2(kS.margin * s, kS.cardY * s));
  // The card stops above the footer; a taller view scrolls inside it.
  const float cardMaxH = H - (kS.cardY + kS.footerFromBottom + kS.cardToFooter) * s;
  beginCard(cardW, kS.cardMargin, cardMaxH);
  drawCardView(app, cardW - 2 * kS.cardMargin * s);
  endCard();

  footer(app, W, H);

  // The library closes an open list on Escape before the shell looks, so a
  // popup that was open at the end of the last frame counts as open too.
  const ImGuiID popupKey = ImGui::GetID("##popup-before");
  const bool anyPopup = ImGui::IsPopupOpen("", ImGuiPopupFlags_AnyPopup);
  const bool popupNow = anyPopup || rootState->GetBool(popupKey);
  if (backPressed() && !popupNow && app.currentTab != 0) app.currentTab = 0;
  // The shoulder buttons walk the tabs, where there are tabs.
  if (const int step = tabStepPressed(); step != 0 && !popupNow && app.stage != Incomplete && app.stage != NoDisc)
    app.currentTab = std::clamp(app.currentTab + step, 0, 2);

  modals(app, W, H);
  drawDiscPicker(app);
  rootState->SetBool(popupKey, ImGui::IsPopupOpen("", ImGuiPopupFlags_AnyPopup));
  forgetVanishedFocus();
  if (app.lastInputGamepad) keepFocusShown();
  drawFocusRing(app.lastInputGamepad);
  rootState->SetBool(cursorKey, GImGui->NavCursorVisible && GImGui->NavId != 0);
  if (gamepadHeld()) markTimedElement();
  ImGui::PopStyleColor();
  ImGui::End();
}
