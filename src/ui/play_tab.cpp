// The Play tab (prepare, continue or play; the rebuild notice, the update offer
// or progress, the last game run) and the preparing-stopped view.
#include <imgui.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "app/activity.h"
#include "app/app.h"
#include "app/window.h"
#include "game/game_run.h"
#include "plat/shell.h"
#include "plat/text.h"
#include "ui/palette.h"
#include "ui/style.h"
#include "ui/views.h"
#include "update/version.h"

namespace {

// The Play tab's measures at scale 1.
struct PlayMeasures {
  float headingGap = 4, discLineSize = 17, bodySize = 19, bodyAlpha = 0.92f, lowSpaceGiB = 5.0f, beforeButton = 10;
  float noticeGap = 8, selectHeight = 56, selectFont = 20;
  float prepareW = 300, prepareH = 64, prepareFont = 24;
  float checkingSize = 17, reasonGap = 6;
  float playW = 300, playH = 84, playFont = 34, readyX = 330, readyY = 4, readySize = 22, readyFileSize = 16;
  float keyGap = 14, keyW = 38, keyH = 30, keyRounding = 7, keyTextX = 10, keyTextY = 5, keyFont = 16;
  float keyHintX = 50, keyHintY = 3, keyHintSize = 18;
  float statusGap = 10, statusSize = 18;
  float sectionGap = 12, rowH = 48, rowFont = 20, rowGap = 12, afterNotice = 6, barH = 18;
  float runGap = 10, runAfterNotice = 8;
  float stoppedGap = 2, atSize = 18, atGap = 4, adviceGap = 10, stoppedRowH = 52, copiedSeconds = 2;
};
constexpr PlayMeasures kP;

// When "Copy details" was last clicked, in uptime seconds.
double lastCopyTime = -10;


void statusLine(const App& app) {
  if (app.statusText.empty()) return;
  gap(kP.statusGap);
  styledText(app.statusText, kP.statusSize, app.statusColor, 1);
}

void notBuiltBranch(App& app, float W, bool pending) {
  const float s = uiScale;
  heading(pending ? tr("Preparing was stopped", "La préparation a été interrompue")
                  : tr("Your disc is ready", "Votre disque est prêt"),
          kText);
  styledText(trs("USA disc (SLUS-20999)", "Disque américain (SLUS-20999)") + "  ·  " + fileNameOf(app.settings.disc),
             kP.discLineSize, kGreen);
  gap(kP.headingGap);
  styledParagraph(pending ? tr("It continues where it left off.", "Elle reprend là où elle s'était arrêtée.")
                          : tr("The game is built once, from your disc. It takes a few minutes and about 10 GB of free "
                               "space.",
                               "Le jeu est construit une seule fois, à partir de votre disque. Cela prend quelques "
                               "minutes et environ 10 Go d'espace libre."),
                  kP.bodySize, kText, kP.bodyAlpha);
  const double freeGiB = double(plat::freeDiskBytes(app.releaseDir)) / 1073741824.0;
  if (freeGiB > 0 && freeGiB < kP.lowSpaceGiB) {
    char text[128];
    std::snprintf(text, sizeof text, tr("Only %.1f GB free on this drive.", "Seulement %.1f Go libres sur ce disque."),
                  freeGiB);
    styledText(text, kP.discLineSize, kAmber);
  }
  gap(kP.beforeButton);
  if (!plat::pathExists(app.settings.disc)) {
    notice(tr("The disc image is no longer where it was. Select it again.",
              "L'image disque n'est plus à son emplacement. Choisissez-la à nouveau."),
           app.settings.disc, kAmber, W);
    gap(kP.noticeGap);
    if (button(tr("Select your disc image…###select", "Choisir votre image disque…###select"),
               ImVec2(0, kP.selectHeight * s), Primary, canStart(app, Activity::DiscCheck), kP.selectFont))
      app.chooseDiscImage();
    defaultButton();
  } else {
    if (button(pending ? tr("Continue preparing###prepare", "Reprendre la préparation###prepare")
                       : tr("Prepare the game###prepare", "Préparer le jeu###prepare"),
               ImVec2(kP.prepareW * s, kP.prepareH * s), Primary, canStart(app, Activity::Build), kP.prepareFont))
      app.startBuild();
    defaultButton();
  }
  discCheckOutcome(app, W);
  statusLine(app);
}

void builtBranch(App& app, float W) {
  const float s = uiScale;
  const ImVec2 p = ImGui::GetCursorScreenPos();
  if (button(tr("Play###play", "Jouer###play"), ImVec2(kP.playW * s, kP.playH * s), Primary,
             canStart(app, Activity::Game), kP.playFont))
    app.launchGame();
  defaultButton();
  ImGui::SetCursorScreenPos(ImVec2(p.x + kP.readyX * s, p.y + kP.readyY * s));
  ImGui::BeginGroup();
  styledText(tr("Ready to play", "Prêt à jouer"), kP.readySize, kGreen);
  styledText(fileNameOf(app.settings.disc), kP.readyFileSize, kDimText);
  ImGui::EndGroup();

  ImGui::SetCursorScreenPos(ImVec2(p.x, p.y + kP.playH * s));
  gap(kP.keyGap);
  const ImVec2 q = ImGui::GetCursorScreenPos();
  ImDrawList* dl = ImGui::GetWindowDrawList();
  const ImVec2 capEnd(q.x + kP.keyW * s, q.y + kP.keyH * s);
  dl->AddRectFilled(q, capEnd, packColourByte(kDeepBlue, 0x6E), kP.keyRounding * s);
  dl->AddRect(q, capEnd, packColour(kAccentBlue, 0.6f), kP.keyRounding * s, 0, s);
  dl->AddText(uiFont ? uiFont : ImGui::GetFont(), kP.keyFont * s,
              ImVec2(q.x + kP.keyTextX * s, q.y + kP.keyTextY * s), packColour(kAccentBlue, 1), "F2");
  ImGui::SetCursorScreenPos(ImVec2(q.x + kP.keyHintX * s, q.y + kP.keyHintY * s));
  styledText(tr("In the game, F2 opens the settings: controls, video and cheats.",
                "En jeu, F2 ouvre les réglages : commandes, vidéo et astuces."),
             kP.keyHintSize, kSoftText);
  discCheckOutcome(app, W);
  statusLine(app);

  if (needsRebuild(app) && !app.building) {
    gap(kP.sectionGap);
    const std::string title =
        app.releaseVersion.empty()
            ? trs("New code is installed.", "Un nouveau code est installé.")
            : (uiFrench ? "La version " + app.releaseVersion + " est installée."
                        : "Version " + app.releaseVersion + " is installed.");
    notice(title,
           tr("Rebuild the game to play it: only what changed is built again. Your saves and settings are kept.",
              "Reconstruisez le jeu pour y jouer : seul ce qui a changé est refait. Vos sauvegardes et réglages sont "
              "conservés."),
           kAmber, W);
    gap(kP.afterNotice);
    if (button(tr("Rebuild now", "Reconstruire maintenant"), ImVec2(0, kP.rowH * s), Primary,
               canStart(app, Activity::Build), kP.rowFont))
      app.startBuild();
    if (!app.whatsNewText.empty()) {
      ImGui::SameLine(0, kP.rowGap * s);
      if (button(tr("What's new", "Nouveautés"), ImVec2(0, kP.rowH * s), Secondary, true, kP.rowFont))
        app.whatsNewOpen = true;
    }
  }
}

void updateProgress(App& app, float W) {
  const float s = uiScale;
  gap(kP.sectionGap);
  const std::string title =
      std::string(tr("Updating to version ", "Mise à jour vers la version ")) + app.updateVersion + "…";
  std::string body;
  const double done = double(app.updateBytesDone.load()), total = double(app.updateBytesTotal.load());
  if (app.updateStage == Downloading) {
    char text[128];
    std::snprintf(text, sizeof text, tr("Downloading: %.0f of %.0f MB.", "Téléchargement : %.0f sur %.0f Mo."),
                  done / 1000000.0, total / 1000000.0);
    body = text;
  } else if (app.updateStep == "verify") {
    body = tr("Checking the download.", "Vérification du téléchargement.");
  } else if (app.updateStep == "extract") {
    body = tr("Unpacking.", "Décompression.");
  } else if (app.updateStep == "install") {
    body = tr("Installing.", "Installation.");
  } else {
    body = tr("Finishing.", "Finalisation.");
  }
  notice(title, body, kAmber, W);
  gap(kP.afterNotice);
  progressBar(total > 0 ? float(done / total) : 0.0f, ImVec2(W, kP.barH * s), app.uptime);
  if (app.updateStage == Downloading) {
    gap(kP.afterNotice);
    if (button(tr("Stop###stopdownload", "Arrêter###stopdownload"), ImVec2(0, kP.rowH * s), Secondary, true,
               kP.rowFont) &&
        app.updateStage == Downloading)
      app.cancelUpdate.store(true);
  }
}

void updateSection(App& app, float W, bool pending) {
  const float s = uiScale;
  const bool rebuildFirst = !pending && needsRebuild(app);
  if (app.updateStage == Downloading || app.updateStage == Installing || app.updateStage == Restarting) {
    updateProgress(app, W);
    return;
  }
  if (rebuildFirst && !app.building) return;
  int state;
  std::string latest, tag, page;
  {
    std::lock_guard lock(app.updateCheck->mutex);
    state = app.updateCheck->state;
    latest = app.updateCheck->latestVersion;
    tag = app.updateCheck->latestTag;
    page = app.updateCheck->releasePage;
  }
  if (state != UpdateAvailable || latest == app.releaseVersion) return;
  gap(kP.sectionGap);
  const bool failed = app.updateStage == UpdateStageFailed;
  notice(uiFrench ? "La version " + latest + " est disponible." : "Version " + latest + " is available.",
         failed ? app.updateMessage
                : trs("Update downloads and installs it here, then the launcher restarts and Rebuild prepares the game "
                      "again (only what changed). Your saves and settings stay.",
                      "Mettre à jour la télécharge et l'installe ici, puis le lanceur redémarre et Reconstruire "
                      "prépare à nouveau le jeu (seulement ce qui a changé). Vos sauvegardes et réglages restent."),
         failed ? kRed : kAccentBlue, W);
  gap(kP.afterNotice);
  if (button(failed ? tr("Try again###update", "Réessayer###update") : tr("Update###update", "Mettre à jour###update"),
             ImVec2(0, kP.rowH * s), Primary, canStart(app, Activity::Update), kP.rowFont))
    app.startUpdate(tag, latest);
  ImGui::SameLine(0, kP.rowGap * s);
  if (button(tr("Open the release page", "Ouvrir la page de la version"), ImVec2(0, kP.rowH * s), Secondary, true,
             kP.rowFont))
    plat::shellOpen(page);
}

void lastGameRun(App& app, float W) {
  const float s = uiScale;
  if (app.crashReport.empty() && !app.crashedWithoutReport && app.gameStartError.empty()) return;
  gap(kP.runGap);
  const std::string body = !app.crashReport.empty()      ? app.crashReport
                           : !app.gameStartError.empty() ? app.gameStartError
                                                         : "exit code " + std::to_string(app.gameExitCode);
  notice(app.gameStartError.empty() ? tr("The game closed unexpectedly.", "Le jeu s'est fermé de façon inattendue.")
                                    : tr("The game could not start.", "Le jeu n'a pas pu démarrer."),
         body, kRed, W);
  gap(kP.runAfterNotice);
  if (!app.crashReport.empty()) {
    if (button(tr("Open crash report", "Ouvrir le rapport de plantage"), ImVec2(0, kP.rowH * s), Danger, true,
               kP.rowFont))
      plat::shellOpen(app.crashReport);
    ImGui::SameLine(0, kP.rowGap * s);
  }
  if (button(tr("Open log", "Ouvrir le journal"), ImVec2(0, kP.rowH * s), Secondary, true, kP.rowFont))
    plat::shellOpen(app.logsDir);
}

}  // namespace

std::string fileNameOf(const std::string& path) {
  const size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string stoppedAdvice(const std::string& failedStep, const std::string& message) {
  if (message.find("free space") != std::string::npos || message.find("No space") != std::string::npos)
    return tr("The drive is full. Free some space and try again.", "Le disque est plein. Libérez de la place et réessayez.");
  if (failedStep == "verify" && message.find("does not exist") != std::string::npos)
    return tr("The disc image is no longer where it was. Select it again.",
              "L'image disque n'est plus à son emplacement. Choisissez-la à nouveau.");
  return tr("Try again. If it stops at the same place, copy the details and send them to us.",
            "Réessayez. Si cela s'arrête au même endroit, copiez les détails et envoyez-les nous.");
}

void drawPlayTab(App& app, float W) {
  const bool pending = app.settings.buildPending;
  if (!gamePrepared(app)) notBuiltBranch(app, W, pending);
  else builtBranch(app, W);
  updateSection(app, W, pending);
  lastGameRun(app, W);
}

void drawPreparingStoppedView(App& app, float W) {
  const float s = uiScale;
  heading(tr("Preparing stopped", "La préparation s'est arrêtée"), kRed);
  gap(kP.stoppedGap);
  styledText(trs("At: ", "Étape : ") + stepLabel(app.progress.failedStep), kP.atSize, kSoftText);
  gap(kP.atGap);
  notice(stoppedAdvice(app.progress.failedStep, app.progress.errorMessage), app.progress.errorMessage, kRed, W);
  gap(kP.adviceGap);
  const ImVec2 row(0, kP.stoppedRowH * s);
  if (button(tr("Try again###retry", "Réessayer###retry"), row, Primary, canStart(app, Activity::Build), kP.rowFont))
    app.startBuild();
  defaultButton();
  ImGui::SameLine(0, kP.rowGap * s);
  if (button(tr("Open log", "Ouvrir le journal"), row, Secondary, true, kP.rowFont)) {
    const std::string log = app.failedStepLog();
    plat::shellOpen(plat::pathExists(log) ? log : app.buildLogsDir);
  }
  ImGui::SameLine(0, kP.rowGap * s);
  const bool copied = app.uptime - lastCopyTime < kP.copiedSeconds;
  if (copied) markTimedElement();  // the label goes back by itself
  if (button(copied ? tr("Copied###copy", "Copié###copy") : tr("Copy details###copy", "Copier les détails###copy"), row,
             Secondary, true, kP.rowFont)) {
    ImGui::SetClipboardText(app.buildErrorReport().c_str());
    lastCopyTime = app.uptime;
  }
  ImGui::SameLine(0, kP.rowGap * s);
  if (button(tr("Change disc image", "Changer d'image disque"), row, Secondary, canStart(app, Activity::DiscCheck),
             kP.rowFont))
    app.chooseDiscImage();
  discCheckOutcome(app, W);
}

void discCheckOutcome(App& app, float W) {
  if (app.discCheckTab != app.currentTab) return;
  if (app.discChecking)
    styledText(trs("Checking the disc…", "Vérification du disque…") + "  ·  " + fileNameOf(app.discCheckImage),
               kP.checkingSize, kSoftText);
  if (!app.discCheckReason.empty()) {
    gap(kP.reasonGap);
    notice(app.discCheckReason, app.discCheckOutput, kRed, W);
  }
}
