// Puts the launcher's window into each screen by hand and saves a picture of
// it, so the look can be compared with the design without preparing a game.
// Usage: ui_screens <output folder> [ui scale] [width height]
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include <imgui.h>
#include <imgui_internal.h>

#include "app/app.h"
#include "app/window.h"
#include "plat/listing.h"
#include "plat/text.h"
#include "ui/disc_picker.h"
#include "ui/ui.h"

namespace fs = std::filesystem;

namespace {

struct Screen {
  const char* name;
  std::function<void(App&)> setup;
  double uptime = 3.0;
  bool motion = true;
};

void touch(const fs::path& p) {
  fs::create_directories(p.parent_path());
  if (FILE* f = plat::openFile(plat::pathToUtf8(p), "wb")) std::fclose(f);
}

// A folder as players keep theirs, with names in several scripts; the images
// take their sizes without their bytes.
fs::path pickerFolder(const fs::path& out) {
  fs::path dir = out / "picker" / plat::pathFromUtf8("Jeux vidéo");
  for (const char* folder : {"Документы", "東京", "עברית", "العربية"})
    fs::create_directories(dir / plat::pathFromUtf8(folder));
  const std::pair<const char*, uintmax_t> files[] = {{"Emberfall (USA).iso", 4509715660ull},
                                                     {"Emberfall (USA) (Track 1).bin", 734003200ull},
                                                     {"Emberfall (USA).cue", 212},
                                                     {"Édition spéciale.iso", 3900000000ull},
                                                     {"Δίσκος παιχνιδιού.iso", 2147483648ull},
                                                     {"ゲーム ディスク.iso", 1288490188ull},
                                                     {"Игра.bin", 52428800ull},
                                                     {"notes.txt", 10}};
  for (const auto& [name, size] : files) {
    touch(dir / plat::pathFromUtf8(name));
    std::error_code ec;
    fs::resize_file(dir / plat::pathFromUtf8(name), size, ec);
  }
  return dir;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: ui_screens <output folder> [ui scale] [width height]\n");
    return 2;
  }
  const fs::path out = argv[1];
  fs::create_directories(out);
  const fs::path release = out / "release";
  std::string error;
  // A window size other than the default shows how the screens fit a small window.
  const int width = argc > 4 ? std::atoi(argv[3]) : 1120, height = argc > 4 ? std::atoi(argv[4]) : 760;
  if (!openWindow("Veyra Launcher", width, height, argc > 2 ? float(std::atof(argv[2])) : 1.0f, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  resetDarkColors();
  loadFonts();

  const std::string disc = plat::pathToUtf8(out / "discs" / "Emberfall (USA).iso");
  touch(out / "discs" / "Emberfall (USA).iso");
  auto prepared = [&](App& app, bool built) {
    app.stage = Ready;
    app.releaseDir = plat::pathToUtf8(release);
    app.gameExe = plat::pathToUtf8(release / "game" / "veyra.exe");
    app.gameElf = plat::pathToUtf8(release / "game" / "SLUS_209.99");
    app.userDir = plat::pathToUtf8(out / "user");
    app.settings.disc = disc;
    app.releaseCommit = app.builtFromCommit = "0123456789abcdef0123456789abcdef01234567";
    std::error_code ec;
    fs::remove_all(release / "game", ec);
    if (built) {
      touch(release / "game" / "veyra.exe");
      touch(release / "game" / "SLUS_209.99");
    }
  };
  auto preparing = [&](App& app) {
    prepared(app, false);
    app.stage = Preparing;
    app.building = true;
    const double now = plat::nowSeconds();
    app.progress.reset(now - 1900);
    for (const char* line : {"SKIP verify", "DONE extract x 42.5", "PROGRESS configure", "DONE configure x 760",
                             "DONE tools x 75", "DONE recompile x 61", "PROGRESS packs", "DONE packs x 540",
                             "PROGRESS compile", "PERCENT compile 37"})
      app.progress.feed(line, now - 400);
  };
  const std::string pickerDir = plat::pathToUtf8(pickerFolder(out));
  // Focused at the top of the list and at its end: between them, every name shows.
  auto picker = [&](App& app, const char* focus) {
    app.stage = NoDisc;
    app.discPicker.places = plat::discPlaces();
    discPickerEnter(app.discPicker, pickerDir, focus);
    app.discPicker.open = true;
  };
  const std::string whatsNew =
      "### Fixes\n- The [time left](https://example.invalid) no longer jumps back.\n  It follows the **whole** build.\n\n"
      "### New\n- A `--screens` tour for the pictures.\n- French texts everywhere.";

  const Screen screens[] = {
      {"welcome", [](App& a) { a.stage = NoDisc; }},
      {"welcome-fr", [](App& a) { a.stage = NoDisc; uiFrench = true; }},
      {"picker", [&](App& a) { picker(a, ""); }},
      {"picker-fr", [&](App& a) { picker(a, "ゲーム ディスク.iso"); uiFrench = true; }},
      {"welcome-checking",
       [&](App& a) {
         a.stage = NoDisc;
         a.discChecking = true;
         a.discCheckImage = disc;
       }},
      {"welcome-rejected",
       [](App& a) {
         a.stage = NoDisc;
         a.discCheckReason = "This is not the North American disc (SLUS-20999).";
         a.discCheckOutput = "found SLES-51234";
       }},
      {"missing-files",
       [&](App& a) {
         a.stage = Incomplete;
         a.missingItem = "kit\\python\\python.exe";
         a.releaseDir = "C:\\Games\\Veyra Launcher";
       }},
      {"quit", [&](App& a) { prepared(a, false); a.quitConfirmOpen = true; }},
      {"whats-new",
       [&](App& a) {
         prepared(a, true);
         a.whatsNewText = whatsNew;
         a.whatsNewVersion = "0.1.6";
         a.whatsNewOpen = true;
       }},
      {"motion-off-a", [](App& a) { a.stage = NoDisc; }, 3.0, false},
      {"motion-off-b", [](App& a) { a.stage = NoDisc; }, 11.0, false},
      {"motion-on-b", [](App& a) { a.stage = NoDisc; }, 11.0, true},
      {"play-ready", [&](App& a) { prepared(a, false); }},
      {"play-ready-fr", [&](App& a) { prepared(a, false); uiFrench = true; }},
      {"play-built",
       [&](App& a) {
         prepared(a, true);
         a.statusText = "The game is ready. Prepared in 12:41.";
         a.whatsNewText = whatsNew;
       }},
      {"play-rebuild",
       [&](App& a) {
         prepared(a, true);
         a.builtFromCommit = "old";
         a.releaseVersion = "0.1.7";
         a.whatsNewText = whatsNew;
       }},
      {"play-update",
       [&](App& a) {
         prepared(a, true);
         a.releaseVersion = "0.1.6";
         a.updateCheck->state = UpdateAvailable;
         a.updateCheck->latestVersion = "0.1.7";
       }},
      {"play-crash",
       [&](App& a) {
         prepared(a, true);
         a.crashReport = "C:\\Users\\me\\AppData\\Roaming\\Veyra\\crashes\\crash-2026-12-10.txt";
       }},
      {"preparing", [&](App& a) { preparing(a); }},
      {"preparing-fr", [&](App& a) { preparing(a); uiFrench = true; }},
      {"preparing-settings", [&](App& a) { preparing(a); a.currentTab = 1; }},
      {"stopped",
       [&](App& a) {
         prepared(a, false);
         a.stage = Failed;
         a.progress.failedStep = "compile";
         a.progress.errorMessage = "compile: No space left on device";
       }},
      {"settings", [&](App& a) { prepared(a, true); a.currentTab = 1; a.video.videoSaved = true; }},
      {"settings-fr", [&](App& a) { prepared(a, true); a.currentTab = 1; uiFrench = true; }},
      {"maintenance", [&](App& a) { prepared(a, true); a.currentTab = 2; }},
      {"maintenance-fr", [&](App& a) { prepared(a, true); a.currentTab = 2; uiFrench = true; }},
      {"maintenance-portable-fr",
       [&](App& a) {
         prepared(a, true);
         a.currentTab = 2;
         uiFrench = true;
         a.portable = true;
         a.userDirWritable = false;
         a.userDir = "/run/media/joueur/CLÉ USB/Jeux/Morvane-0.1.6/user";
       }},
      {"maintenance-rejected",
       [&](App& a) {
         prepared(a, true);
         a.currentTab = a.discCheckTab = 2;
         a.discCheckReason = "This file is not a PS2 disc image.";
         a.discCheckOutput = "no ISO 9660 volume descriptor";
       }},
      {"play-built-checking",
       [&](App& a) {
         prepared(a, true);
         a.discChecking = true;
         a.discCheckImage = disc;
         a.crashReport = "C:\\Users\\me\\AppData\\Roaming\\Veyra\\crashes\\crash-2026-12-10.txt";
         a.updateCheck->state = UpdateAvailable;
         a.updateCheck->latestVersion = "0.1.7";
       }},
  };

  for (const Screen& screen : screens) {
    App app;
    uiFrench = false;
    screen.setup(app);
    app.settings.motion = screen.motion;
    // Popups open on the frame after their flag and size themselves on the next.
    for (int frame = 0; frame < 6; ++frame) {
      beginFrame();
      // Popups belong to ImGui, not the App: the last screen's must not linger.
      if (frame == 0 && !GImGui->OpenPopupStack.empty()) ImGui::ClosePopupToLevel(0, false);
      app.uptime = screen.uptime;
      drawBackground(app.uptime, app.settings.motion);
      drawUi(app);
      const bool last = frame == 5;
      presentFrame(last ? plat::pathToUtf8(out / (std::string(screen.name) + ".png")) : std::string());
    }
    app.building = false;  // nothing was started; leave nothing to stop
    std::printf("%s\n", screen.name);
  }
  closeWindow();
  return 0;
}
