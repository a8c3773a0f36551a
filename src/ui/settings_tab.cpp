// The Settings tab: the window the game starts with (video.ini) and the
// launcher's own options (launcher.ini), each saved as soon as it changes.
#include <imgui.h>

#include <cstdio>
#include <string>

#include "app/app.h"
#include "app/window.h"
#include "ui/palette.h"
#include "ui/style.h"
#include "ui/views.h"

namespace {

// The Settings tab's measures at scale 1.
struct SettingsMeasures {
  float headingGap = 2, introSize = 18, introGap = 10, labelSize = 17, pillFont = 18, pillGap = 8;
  float resolutionGap = 6, comboWidth = 320, comboFont = 18, noteSize = 18, savedSize = 16;
  float launcherGap = 12, motionGap = 28, updatesGap = 6, footnoteSize = 15;
};
constexpr SettingsMeasures kT;

struct ModeChoice {
  const char *english, *french, *value;
};
constexpr ModeChoice kModes[3] = {{"Windowed", "Fenêtré", "windowed"},
                                  {"Full screen", "Plein écran", "fullscreen"},
                                  {"Borderless window", "Fenêtre sans bordure", "borderless"}};

void setLanguage(App& app, bool french) {
  uiFrench = french;
  app.settings.language = french ? "fr" : "en";
  app.settings.save(app.launcherIniPath);
}

}  // namespace

void saveVideoSettings(App& app) {
  // The game writes this file too (its F2 window): everything but the window's
  // mode and size is taken from what is on disk now, not from the copy read earlier.
  VideoSettings copy = videoToSave(app.video, app.videoIniPath);
  // "Game default" stays selected in the list, but the game is told the size it means.
  if (copy.width == 0) {
    copy.width = VideoSettings::defaultWidth;
    copy.height = VideoSettings::defaultHeight;
  }
  app.video.videoSaved = copy.save(app.videoIniPath);
}

void drawSettingsTab(App& app, float) {
  const float s = uiScale;
  heading(tr("Settings", "Réglages"), kText);
  gap(kT.headingGap);
  styledParagraph(tr("Controls, video and cheats are in the game: press F2 while playing. Here, the window the game "
                     "opens with.",
                     "Les commandes, la vidéo et les astuces sont dans le jeu : appuyez sur F2 en jouant. Ici, la "
                     "fenêtre avec laquelle le jeu démarre."),
                  kT.introSize, kSoftText, 1);
  gap(kT.introGap);

  bool changed = false;
  styledText(tr("Window", "Fenêtre"), kT.labelSize, kDimText);
  for (int i = 0; i < 3; ++i) {
    if (i > 0) ImGui::SameLine(0, kT.pillGap * s);
    char id[96];
    std::snprintf(id, sizeof id, "%s###mode%d", tr(kModes[i].english, kModes[i].french), i);
    if (pill(id, app.video.mode == kModes[i].value, kT.pillFont, true)) {
      app.video.mode = kModes[i].value;
      changed = true;  // also when already selected: the file is written again
    }
  }

  gap(kT.resolutionGap);
  styledText(tr("Resolution", "Résolution"), kT.labelSize, kDimText);
  if (app.video.mode == "borderless") {
    styledText(tr("The monitor's own size.", "La taille de l'écran."), kT.noteSize, kSoftText);
  } else {
    const std::string defaultText = tr("Game default (640 × 448)", "Par défaut (640 × 448)");
    char preview[64];
    if (app.video.width == 0) std::snprintf(preview, sizeof preview, "%s", defaultText.c_str());
    else std::snprintf(preview, sizeof preview, "%d × %d", app.video.width, app.video.height);
    ImGui::PushFont(uiFont ? uiFont : ImGui::GetFont(), kT.comboFont * s);
    ImGui::SetNextItemWidth(kT.comboWidth * s);
    if (ImGui::BeginCombo("##resolution", preview)) {
      if (ImGui::Selectable(defaultText.c_str(), app.video.width == 0)) {
        app.video.width = app.video.height = 0;
        changed = true;
      }
      for (const auto& [w, h] : VideoSettings::resolutionChoices(desktopWidth(), desktopHeight())) {
        char label[48];
        std::snprintf(label, sizeof label, "%d × %d", w, h);
        if (ImGui::Selectable(label, w == app.video.width && h == app.video.height)) {
          app.video.width = w;
          app.video.height = h;
          changed = true;
        }
      }
      ImGui::EndCombo();
    }
    ImGui::PopFont();
  }
  if (changed) saveVideoSettings(app);
  if (app.video.videoSaved)
    styledText(tr("Saved. The game uses it the next time it starts.",
                  "Enregistré. Le jeu l'utilisera au prochain démarrage."),
               kT.savedSize, kGreen);

  gap(kT.launcherGap);
  styledText(tr("Launcher", "Lanceur"), kT.labelSize, kDimText);
  if (pill("English##en", !uiFrench, kT.pillFont, true)) setLanguage(app, false);
  ImGui::SameLine(0, kT.pillGap * s);
  if (pill("Français##fr", uiFrench, kT.pillFont, true)) setLanguage(app, true);
  ImGui::SameLine(0, kT.motionGap * s);
  char id[128];
  std::snprintf(id, sizeof id, "%s###motion",
                app.settings.motion ? tr("Background motion: on", "Animation du fond : oui")
                                    : tr("Background motion: off", "Animation du fond : non"));
  if (pill(id, app.settings.motion, kT.pillFont, true)) {
    app.settings.motion = !app.settings.motion;
    app.settings.save(app.launcherIniPath);
  }
  gap(kT.updatesGap);
  std::snprintf(id, sizeof id, "%s###updates",
                app.settings.updateCheck
                    ? tr("Check for updates at start: on", "Vérifier les mises à jour au démarrage : oui")
                    : tr("Check for updates at start: off", "Vérifier les mises à jour au démarrage : non"));
  if (pill(id, app.settings.updateCheck, kT.pillFont, true)) {
    app.settings.updateCheck = !app.settings.updateCheck;
    app.settings.save(app.launcherIniPath);
  }
  styledText(tr("It only asks GitHub for the latest version number; nothing is downloaded or sent.",
                "Il demande seulement à GitHub le numéro de la dernière version ; rien n'est téléchargé ni envoyé."),
             kT.footnoteSize, kDimText);
}
