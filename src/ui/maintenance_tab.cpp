// The Maintenance tab: rebuild, disc image, folders and the update check.
#include <imgui.h>

#include <filesystem>
#include <string>

#include "app/activity.h"
#include "app/app.h"
#include "plat/shell.h"
#include "plat/text.h"
#include "ui/palette.h"
#include "ui/style.h"
#include "ui/views.h"
#include "update/version.h"

namespace {

// The Maintenance tab's measures at scale 1.
struct MaintenanceMeasures {
  float headingGap = 6, labelWidth = 270;
};
constexpr MaintenanceMeasures kM;

}  // namespace

std::string versionLine(App& app) {
  int state;
  std::string latest, error;
  bool manual;
  {
    std::lock_guard lock(app.updateCheck->mutex);
    state = app.updateCheck->state;
    latest = app.updateCheck->latestVersion;
    error = app.updateCheck->error;
    manual = app.updateCheck->manual;
  }
  std::string line = std::string(tr("This is version ", "Version installée : ")) + launcherVersion + ".";
  if (state == UpdateChecking) line += tr(" Checking…", " Vérification…");
  else if (state == UpdateAvailable)
    line += uiFrench ? " La version " + latest + " est disponible (onglet Jouer)."
                     : " Version " + latest + " is available (Play tab).";
  else if (state == UpdateUpToDate) line += tr(" It is the latest.", " C'est la plus récente.");
  else if (state == UpdateFailed && manual)
    line += std::string(tr(" Could not check: ", " Vérification impossible : ")) + error + ".";
  return line;
}

void drawMaintenanceTab(App& app, float W) {
  const float s = uiScale;
  heading("Maintenance", kText);
  gap(kM.headingGap);
  const ActionRowLayout row{kM.labelWidth * s, W};

  if (actionRow(row, tr("Rebuild", "Reconstruire"),
                tr("After an update: builds the game again (only what changed).",
                   "Après une mise à jour : reconstruit le jeu (seulement ce qui a changé)."),
                canStart(app, Activity::Build) && !app.settings.disc.empty()))
    app.startBuild();
  if (actionRow(row, tr("Change disc image", "Changer d'image disque"),
                tr("Use another copy of your disc.", "Utiliser une autre copie de votre disque."),
                canStart(app, Activity::DiscCheck)))
    app.chooseDiscImage();
  discCheckOutcome(app, W);
  if (actionRow(row, tr("Open saves folder", "Dossier des sauvegardes"),
                std::string(tr("Memory cards and settings: ", "Cartes mémoire et réglages : ")) + app.userDir, true))
    plat::shellOpen(app.userDir);
  if (actionRow(row, tr("Open game logs", "Journaux du jeu"),
                tr("What the game wrote, and crash reports.", "Ce que le jeu a écrit, et les rapports de plantage."),
                true))
    plat::shellOpen(plat::pathExists(app.logsDir) ? app.logsDir : app.userDir);
  if (actionRow(row, tr("Open build logs", "Journaux de préparation"),
                tr("One file per step of preparing the game.", "Un fichier par étape de la préparation."),
                plat::pathExists(app.buildLogsDir)))
    plat::shellOpen(app.buildLogsDir);
  int state;
  {
    std::lock_guard lock(app.updateCheck->mutex);
    state = app.updateCheck->state;
  }
  if (actionRow(row, tr("Check for updates", "Vérifier les mises à jour"), versionLine(app), state != UpdateChecking))
    app.updateCheck->start(app.updateUrl, true);
}
