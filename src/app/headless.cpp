// Headless commands. Each drives the App exactly as the window's frame loop
// does (start an operation, poll it until it ends) so a terminal and the
// window always agree on what a disc, a build or a game run came to. Nothing
// here starts SDL: the commands work over SSH with no display at all.
#include "app/headless.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>
#include <thread>

#include "app/app.h"
#include "app/desktop_entry.h"
#include "app/options.h"
#include "game/game_run.h"
#include "plat/console.h"
#include "plat/layout.h"
#include "plat/listing.h"
#include "plat/process.h"
#include "plat/shell.h"
#include "plat/text.h"
#include "prepare/disc_check.h"
#include "prepare/duration.h"
#include "prepare/progress.h"
#include "ui/views.h"
#include "update/release_signature.h"
#include "update/version.h"

namespace {

// How often the loops poll the App, and how often progress may be reported.
constexpr int kPollMs = 50;
constexpr double kProgressInterval = 0.25;

std::string formatNumber(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

// One JSON object, built field by field in the order given.
struct Json {
  std::string text;

  Json& key(const char* name) {
    text += text.empty() ? "{" : ",";
    text += jsonString(name) + ":";
    return *this;
  }
  Json& str(const char* name, const std::string& value) {
    key(name).text += jsonString(value);
    return *this;
  }
  Json& strOrNull(const char* name, const std::string& value) {
    key(name).text += value.empty() ? "null" : jsonString(value);
    return *this;
  }
  Json& integer(const char* name, long long value) {
    key(name).text += std::to_string(value);
    return *this;
  }
  Json& number(const char* name, double value, int decimals = 1) {
    key(name).text += formatNumber(value, decimals);
    return *this;
  }
  Json& boolean(const char* name, bool value) {
    key(name).text += value ? "true" : "false";
    return *this;
  }
  Json& null(const char* name) {
    key(name).text += "null";
    return *this;
  }
  Json& strings(const char* name, const std::vector<std::string>& values) {
    key(name).text += "[";
    for (size_t i = 0; i < values.size(); i++) text += (i ? "," : "") + jsonString(values[i]);
    text += "]";
    return *this;
  }
  std::string line() const { return text + "}\n"; }
};

Json event(const char* name) { return Json().str("event", name); }

// Where everything the commands say goes. With --json only JSON objects reach
// standard output; otherwise plain lines, and on a terminal one progress line
// redrawn in place.
struct Out {
  bool json = false;
  bool live = false;
  size_t liveWidth = 0;  // characters of the progress line now on screen

  static size_t width(const std::string& utf8) {
    size_t n = 0;
    for (unsigned char c : utf8) n += (c & 0xC0) != 0x80;
    return n;
  }
  void clearLive() {
    if (!liveWidth) return;
    plat::writeText(stdout, "\r" + std::string(liveWidth, ' ') + "\r");
    liveWidth = 0;
  }
  void line(const std::string& text) {
    clearLive();
    plat::writeText(stdout, text + "\n");
  }
  void emit(const Json& object) { plat::writeText(stdout, object.line()); }
  void progress(const std::string& text) {
    const size_t w = width(text);
    std::string padded = "\r" + text;
    if (w < liveWidth) padded += std::string(liveWidth - w, ' ');
    plat::writeText(stdout, padded);
    liveWidth = w;
  }
  // A failure a person must see: JSON on standard output, a plain line on
  // standard error otherwise.
  void error(const char* code, const std::string& message, const char* extraKey = nullptr,
             const std::string& extraValue = {}) {
    if (json) {
      Json j = event("error");
      j.str("error", code).str("message", message);
      if (extraKey) j.str(extraKey, extraValue);
      emit(j);
    } else {
      clearLive();
      plat::writeText(stderr, message + "\n");
    }
  }
};

void sleepPoll() { std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs)); }

// A path the build script can still find after it changes into the source
// folder: the window's file dialog always gives absolute paths, a terminal
// often does not.
std::string absolutePath(const std::string& utf8) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::absolute(plat::pathFromUtf8(utf8), ec);
  return ec ? utf8 : plat::pathToUtf8(p.lexically_normal());
}

const char* stepStateName(StepState state) {
  switch (state) {
    case StepState::Running: return "running";
    case StepState::Done: return "done";
    case StepState::Skipped: return "skipped";
    case StepState::Failed: return "failed";
    default: return "pending";
  }
}

const char* rejectionCode(DiscRejection kind) {
  switch (kind) {
    case DiscRejection::AnotherGame: return "another-game";
    case DiscRejection::Modified: return "modified";
    case DiscRejection::Missing: return "missing";
    case DiscRejection::NotAnImage: break;
  }
  return "not-an-image";
}

struct Command {
  App& app;
  const Options& options;
  Out out;
  std::vector<StepState> shownStates;  // the step states last reported
  double lastProgressAt = -1;
  std::string lastProgressKey;

  bool missingRelease() {
    if (app.missingItem.empty()) return false;
    std::string message = uiFrench ? "Le lanceur ne trouve pas " + app.missingItem + " dans " + app.releaseDir + "."
                                   : "The launcher did not find " + app.missingItem + " in " + app.releaseDir + ".";
    out.error("missing-item", message, "missingItem", app.missingItem);
    return true;
  }

  void stopped() { out.error("stopped", trs("Stopped.", "Arrêté.")); }

  // --- disc check ---------------------------------------------------------

  // Checks the image; kExitOk when accepted.
  int verify(const std::string& image) {
    const std::string path = absolutePath(image);
    if (!out.json) out.line(trs("Checking the disc… ", "Vérification du disque… ") + path);
    app.startDiscCheck(path);
    const bool couldNotCheck = !app.discChecking && !app.discCheckReason.empty();
    while (app.discChecking) {
      if (plat::stopRequested()) {
        plat::stopProcess(app.discCheck);
        stopped();
        return kExitStopped;
      }
      sleepPoll();
      app.pollDiscCheck();
    }
    const bool accepted = app.discCheckReason.empty();
    const std::string message =
        accepted ? trs("The disc image is accepted.", "L'image disque est acceptée.") : app.discCheckReason;
    if (out.json) {
      Json j = event("verify");
      j.str("image", path).boolean("accepted", accepted);
      if (accepted) j.null("reason");
      else j.str("reason", couldNotCheck ? "could-not-check" : rejectionCode(classifyDiscRejection(app.discCheckOutput)));
      out.emit(j.str("message", message).str("detail", app.discCheckOutput));
    } else {
      out.line(message);
      if (!app.discCheckOutput.empty()) out.line("  " + app.discCheckOutput);
    }
    return accepted ? kExitOk : kExitFailed;
  }

  // --- build --------------------------------------------------------------

  void reportStep(size_t i, StepState state, double seconds) {
    const BuildStep& step = app.progress.steps[i];
    if (out.json) {
      Json j = event("step");
      j.str("step", step.key).str("state", stepStateName(state));
      if (state == StepState::Done) j.number("seconds", seconds);
      else j.null("seconds");
      out.emit(j);
      return;
    }
    const std::string label = stepLabel(step.key);
    const std::string colon = trs(": ", " : ");
    switch (state) {
      case StepState::Running: out.line(label + "…"); break;
      case StepState::Done:
        out.line(label + colon + trs("done", "fait") +
                 (seconds >= 1.0 ? trs(" in ", " en ") + formatDuration(seconds) : std::string()));
        break;
      case StepState::Skipped: out.line(label + colon + trs("done before", "déjà fait")); break;
      case StepState::Failed: out.line(label + colon + trs("failed", "échec")); break;
      default: break;
    }
  }

  void reportStepChanges() {
    const std::vector<BuildStep>& steps = app.progress.steps;
    shownStates.resize(steps.size(), StepState::Pending);
    for (size_t i = 0; i < steps.size(); i++) {
      if (steps[i].state == shownStates[i]) continue;
      shownStates[i] = steps[i].state;
      if (steps[i].state != StepState::Pending) reportStep(i, steps[i].state, steps[i].elapsedSeconds);
    }
  }

  void reportProgress(double now) {
    if (!out.json && !out.live) return;
    if (lastProgressAt >= 0 && now - lastProgressAt < kProgressInterval) return;
    const int percent = int(app.progress.fraction() * 100);
    const double elapsed = now - app.progress.startTime;
    const double left = app.progress.secondsLeft(now);
    const int running = app.progress.runningStep();
    const std::string step = running >= 0 ? app.progress.steps[running].key : std::string();
    // Unchanged figures are not repeated; the elapsed time moves every second.
    const std::string key = std::to_string(percent) + step + std::to_string(long(elapsed)) +
                            std::to_string(long(left));
    if (key == lastProgressKey) return;
    lastProgressKey = key;
    lastProgressAt = now;
    if (out.json) {
      Json j = event("progress");
      j.integer("percent", percent).number("elapsed", elapsed, 2);
      if (left >= 0) j.number("secondsLeft", left);
      else j.null("secondsLeft");
      out.emit(j.strOrNull("step", step));
      return;
    }
    std::string text = std::to_string(percent) + " %  ·  " + trs("Elapsed ", "Écoulé ") + formatDuration(elapsed);
    if (left >= 0) text += uiFrench ? ", reste " + formatDuration(left) : ", " + formatDuration(left) + " left";
    if (!step.empty()) text += "  ·  " + stepLabel(step);
    out.progress(text);
  }

  int result() {
    const bool ready = app.stage == Ready && !app.settings.buildPending;
    const bool wasStopped = !ready && app.stopRequested;
    if (!ready && !wasStopped) {
      // A script that died without an ERROR line leaves its step running;
      // the failure still names it.
      for (size_t i = 0; i < app.progress.steps.size(); i++)
        if (app.progress.steps[i].key == app.progress.failedStep && shownStates.size() > i &&
            shownStates[i] != StepState::Failed) {
          shownStates[i] = StepState::Failed;
          reportStep(i, StepState::Failed, 0);
        }
    }
    const double seconds = ready ? app.settings.lastBuildSeconds : app.settings.pendingBuildSeconds;
    const char* name = ready ? "ready" : wasStopped ? "stopped" : "failed";
    const std::string message = ready || wasStopped ? app.statusText : app.progress.errorMessage;
    if (out.json) {
      Json j = event("result");
      j.str("result", name).number("seconds", seconds);
      if (ready || wasStopped) j.null("failedStep");
      else j.str("failedStep", app.progress.failedStep);
      j.str("message", message);
      if (!ready && !wasStopped) j.str("report", app.buildErrorReport());
      out.emit(j);
    } else if (ready || wasStopped) {
      out.line(message);
    } else {
      out.line(trs("Preparing stopped", "La préparation s'est arrêtée"));
      out.line(trs("At: ", "Étape : ") + stepLabel(app.progress.failedStep));
      out.line(message);
      out.line(stoppedAdvice(app.progress.failedStep, app.progress.errorMessage));
      out.line(trs("Log: ", "Journal : ") + app.failedStepLog());
      out.line("");
      out.line(trs("Details to send to us:", "Détails à nous envoyer :"));
      out.line(app.buildErrorReport());
    }
    return ready ? kExitOk : wasStopped ? kExitStopped : kExitFailed;
  }

  int prepare() {
    if (missingRelease()) return kExitUsage;
    if (options.discGiven) {
      const int verdict = verify(options.disc);
      if (verdict != kExitOk) return verdict;
    }
    if (app.settings.disc.empty()) {
      out.error("no-disc", trs("No disc image is recorded yet. Add --disc IMAGE.",
                                "Aucune image disque n'est encore enregistrée. Ajoutez --disc IMAGE."));
      return kExitUsage;
    }
    if (plat::stopRequested()) {
      stopped();
      return kExitStopped;
    }
    app.startBuild();
    shownStates.assign(app.progress.steps.size(), StepState::Pending);
    if (app.building && !out.json)
      out.line(app.settings.pendingBuildSeconds > 0
                   ? trs("Preparing the game, continuing where it stopped…",
                          "Préparation du jeu, reprise là où elle s'était arrêtée…")
                   : trs("Preparing the game…", "Préparation du jeu…"));
    while (app.building) {
      // The Stop button's path: the script ends, its time is banked, and the
      // next poll that sees it gone decides the outcome.
      if (plat::stopRequested() && !app.stopRequested) app.stopBuild();
      app.pollBuild();
      reportStepChanges();
      if (app.building) {
        reportProgress(plat::nowSeconds());
        sleepPoll();
      }
    }
    out.clearLive();
    return result();
  }

  // --- game ---------------------------------------------------------------

  int play() {
    if (missingRelease()) return kExitUsage;
    if (options.videoModeGiven || options.videoSizeGiven) {
      if (options.videoModeGiven) app.video.mode = options.videoMode;
      if (options.videoSizeGiven) parseVideoSize(options.videoSize, app.video.width, app.video.height);
      saveVideoSettings(app);
      if (!app.video.videoSaved) {
        out.error("video-settings", trs("The video settings could not be saved: ",
                                         "Les réglages vidéo n'ont pas pu être enregistrés : ") +
                                        app.videoIniPath);
        return kExitFailed;
      }
    }
    if (!gamePrepared(app)) {
      out.error("not-prepared", trs("The game is not prepared yet. Run --prepare first.",
                                     "Le jeu n'est pas encore préparé. Lancez d'abord --prepare."));
      return kExitUsage;
    }
    if (needsRebuild(app) && !out.json)
      out.line(trs("New code is installed: --prepare rebuilds the game (only what changed).",
                    "Un nouveau code est installé : --prepare reconstruit le jeu (seulement ce qui a changé)."));
    app.launchGame();
    if (!app.gameRunning) {
      out.error("game-could-not-start", trs("The game could not start.", "Le jeu n'a pas pu démarrer.") +
                                            std::string(" ") + app.gameStartError);
      return kExitFailed;
    }
    if (out.json)
      out.emit(event("game").str("state", "started").null("exitCode").null("crashReport"));
    else
      out.line(trs("The game is running; the launcher waits for it to end.",
                    "Le jeu est lancé ; le lanceur attend qu'il se termine."));
    while (app.gameRunning) {
      // The game is not tied to the launcher: a stop ends the waiting only.
      if (plat::stopRequested()) {
        stopped();
        return kExitStopped;
      }
      sleepPoll();
      app.pollGame();
    }
    const bool clean = app.crashReport.empty() && !app.crashedWithoutReport;
    if (out.json) {
      out.emit(event("game")
                   .str("state", "exited")
                   .integer("exitCode", app.gameExitCode)
                   .strOrNull("crashReport", app.crashReport));
    } else if (clean) {
      out.line(trs("The game ended normally.", "Le jeu s'est terminé normalement."));
    } else {
      out.line(trs("The game closed unexpectedly.", "Le jeu s'est fermé de façon inattendue."));
      out.line("  " + (app.crashReport.empty() ? "exit code " + std::to_string(app.gameExitCode) : app.crashReport));
    }
    return clean ? kExitOk : kExitFailed;
  }

  // --- desktop entry ------------------------------------------------------

  int installEntry() {
    DesktopInstall done;
    std::string error;
    bool missing = false;
    if (!installDesktopEntry(plat::exeDir(), plat::exePath(), plat::userDataHome(), done, error, missing)) {
      out.error("desktop-entry", trs("The menu entry was not installed: ", "L'entrée de menu n'a pas été installée : ") + error);
      return missing ? kExitUsage : kExitFailed;
    }
    if (out.json) {
      out.emit(event("desktopEntry").str("entry", done.entryPath).strings("icons", done.iconPaths));
    } else {
      out.line(trs("Menu entry installed: ", "Entrée de menu installée : ") + done.entryPath);
      out.line(trs("Icons: ", "Icônes : ") + std::to_string(done.iconPaths.size()));
    }
    return kExitOk;
  }

  // --- status -------------------------------------------------------------

  int status() {
    std::vector<std::string> reports;
    for (const plat::FileEntry& e : plat::listFiles(app.crashesDir, ".txt")) reports.push_back(e.path);
    const bool prepared = gamePrepared(app);
    const bool rebuild = needsRebuild(app);
    const bool discThere = !app.settings.disc.empty() && plat::pathExists(app.settings.disc);
    if (out.json) {
      Json j = event("status");
      j.str("launcherVersion", launcherVersion)
          .str("releaseDir", app.releaseDir)
          .strOrNull("sourceVersion", app.releaseVersion)
          .str("sourceCommit", app.releaseCommit)
          .strOrNull("missingItem", app.missingItem)
          .str("userDir", app.userDir)
          .boolean("portable", app.portable)
          .boolean("userDirWritable", app.userDirWritable)
          .strOrNull("disc", app.settings.disc)
          .boolean("discAccepted", !app.settings.disc.empty())
          .boolean("discFound", discThere)
          .boolean("prepared", prepared)
          .strOrNull("builtFromCommit", app.builtFromCommit)
          .boolean("needsRebuild", rebuild)
          .boolean("buildPending", app.settings.buildPending)
          .number("pendingSeconds", app.settings.pendingBuildSeconds)
          .boolean("signaturesChecked", signaturesChecked());
      if (app.settings.built) j.number("lastBuildSeconds", app.settings.lastBuildSeconds);
      else j.null("lastBuildSeconds");
      out.emit(j.strings("crashReports", reports));
      return kExitOk;
    }
    const std::string colon = trs(": ", " : ");
    const std::string yes = trs("yes", "oui"), no = trs("no", "non");
    out.line(trs("Launcher", "Lanceur") + colon + launcherVersion);
    out.line(trs("Release folder", "Dossier de la version") + colon + app.releaseDir);
    out.line(trs("Source version", "Version des sources") + colon +
             (app.releaseVersion.empty() ? trs("unknown (no release.ini)", "inconnue (pas de release.ini)")
                                         : app.releaseVersion) +
             " (" + app.releaseCommit + ")");
    if (!app.missingItem.empty()) out.line(trs("Missing", "Manquant") + colon + app.missingItem);
    std::string userLine = trs("User folder", "Dossier utilisateur") + colon + app.userDir;
    if (app.portable) userLine += trs(" (portable mode)", " (mode portable)");
    if (!app.userDirWritable) userLine += trs(" (cannot be written to)", " (impossible d'y écrire)");
    out.line(userLine);
    if (app.settings.disc.empty())
      out.line(trs("Disc image: none recorded", "Image disque : aucune enregistrée"));
    else
      out.line(trs("Disc image", "Image disque") + colon + app.settings.disc + " (" +
               (discThere ? trs("accepted", "acceptée") : trs("accepted, no longer found", "acceptée, introuvable")) +
               ")");
    out.line(trs("Prepared", "Préparé") + colon + (prepared ? yes : no));
    out.line(trs("Needs a rebuild", "À reconstruire") + colon + (rebuild ? yes : no));
    out.line(trs("Preparation pending", "Préparation en attente") + colon +
             (app.settings.buildPending
                  ? yes + ", " + formatDuration(app.settings.pendingBuildSeconds) + trs(" spent so far", " passées")
                  : no));
    out.line(trs("Last preparation", "Dernière préparation") + colon +
             (app.settings.built ? formatDuration(app.settings.lastBuildSeconds) : trs("never", "jamais")));
    out.line(trs("Update signatures checked", "Signatures des mises à jour vérifiées") + colon +
             (signaturesChecked() ? yes : trs("no (checksum only)", "non (somme de contrôle seule)")));
    out.line(trs("Crash reports", "Rapports de plantage") + colon + std::to_string(reports.size()));
    for (const std::string& r : reports) out.line("  " + r);
    return kExitOk;
  }
};

}  // namespace

std::string jsonString(const std::string& utf8) {
  std::string out = "\"";
  const size_t n = utf8.size();
  for (size_t i = 0; i < n;) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
          if (c < 0x20 || c == 0x7F) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
          } else {
            out += char(c);
          }
      }
      i++;
      continue;
    }
    // A well-formed sequence is copied; anything else (a stray continuation,
    // an overlong form, a surrogate, a cut-off end) is replaced byte by byte.
    size_t len = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    bool ok = len > 0 && i + len <= n;
    for (size_t k = 1; ok && k < len; k++) ok = (static_cast<unsigned char>(utf8[i + k]) & 0xC0) == 0x80;
    if (ok && len >= 3) {
      const unsigned char d = static_cast<unsigned char>(utf8[i + 1]);
      if (c == 0xE0 && d < 0xA0) ok = false;  // overlong
      if (c == 0xED && d >= 0xA0) ok = false;  // surrogate
      if (c == 0xF0 && d < 0x90) ok = false;  // overlong
      if (c == 0xF4 && d >= 0x90) ok = false;  // beyond U+10FFFF
    }
    if (ok) {
      out.append(utf8, i, len);
      i += len;
    } else {
      out += "\xEF\xBF\xBD";
      i++;
    }
  }
  return out + "\"";
}

bool parseVideoSize(const std::string& text, int& width, int& height) {
  const size_t x = text.find('x');
  if (x == std::string::npos || x == 0 || x + 1 >= text.size() || x > 5 || text.size() - x - 1 > 5) return false;
  for (size_t i = 0; i < text.size(); i++)
    if (i != x && (text[i] < '0' || text[i] > '9')) return false;
  const int w = std::stoi(text.substr(0, x)), h = std::stoi(text.substr(x + 1));
  if (w < 160 || h < 120) return false;
  width = w;
  height = h;
  return true;
}

std::string headlessUsageError(const Options& o) {
  const int commands = int(o.verify) + int(o.prepare) + int(o.play) + int(o.status) + int(o.installDesktopEntry);
  if (commands > 1) return "Give one command: --verify, --prepare, --play, --status or --install-desktop-entry.";
  if (commands == 0) return "--json, --disc, --video-mode and --video-size go with a command; see --help.";
  if (o.verify && o.verifyImage.empty()) return "--verify needs a disc image.";
  if (o.discGiven && !o.prepare) return "--disc goes with --prepare.";
  if (o.discGiven && o.disc.empty()) return "--disc needs a disc image.";
  if ((o.videoModeGiven || o.videoSizeGiven) && !o.play) return "--video-mode and --video-size go with --play.";
  if (o.videoModeGiven && o.videoMode != "windowed" && o.videoMode != "fullscreen" && o.videoMode != "borderless")
    return "--video-mode is windowed, fullscreen or borderless.";
  int w = 0, h = 0;
  if (o.videoSizeGiven && !parseVideoSize(o.videoSize, w, h))
    return "--video-size is WIDTHxHEIGHT, at least 160x120, for example 1280x720.";
  return {};
}

std::string helpText() {
  return "Veyra Launcher " + std::string(launcherVersion) +
         "\n"
         "Usage: veyra-launcher [options]\n"
         "Without a command the launcher opens its window.\n"
         "\n"
         "Commands without a window (add --json for one JSON object per line):\n"
         "  --verify IMAGE         check a disc image and record it when accepted\n"
         "  --prepare              prepare the game from the recorded disc, resuming a stopped run\n"
         "  --disc IMAGE           with --prepare: check this image first and prepare from it\n"
         "  --play                 start the prepared game and wait for it to end\n"
         "  --video-mode MODE      with --play: windowed, fullscreen or borderless (saved in video.ini)\n"
         "  --video-size WxH       with --play: the game's window size, e.g. 1280x720 (saved in video.ini)\n"
         "  --status               what the launcher knows: release, disc, game, crash reports\n"
         "  --install-desktop-entry  add this launcher to the desktop's application menu (Linux):\n"
         "                         the entry and icons go to $XDG_DATA_HOME or ~/.local/share\n"
         "  --json                 machine-readable output\n"
         "  --help                 this list\n"
         "Exit codes: 0 done, 1 disc rejected / build failed / game crashed, 2 bad usage or\n"
         "missing release files, 130 stopped (Ctrl+C, SIGTERM, SIGHUP, console closed).\n"
         "\n"
         "Text mode:\n"
         "  --version              print the version and source commit\n"
         "  --self-check FILE      also check the release folder and the disc check with a\n"
         "                         file that is not a disc image\n"
         "  --report FILE          write the text-mode report to FILE\n"
         "\n"
         "Window:\n"
         "  --release FOLDER       the release folder (default: the launcher's folder; all modes)\n"
         "  --ui-scale N           interface scale; 0 or less means automatic\n"
         "  --update-url URL       where to ask for the latest release\n"
         "  --download-prefix URL  where release files are downloaded from\n"
         "  --update-now           install a newer release as soon as one is found\n"
         "  --updated-to VERSION   set by the launcher on the restart after an update: a launcher\n"
         "                         still older than VERSION does not try it again\n"
         "\n"
         "Self-test (drives the window through a scripted run):\n"
         "  --selftest IMAGE       check and prepare this disc image\n"
         "  --shots FOLDER         folder for screenshots and selftest.log\n"
         "  --wrong IMAGE          an image for the wrong-disc steps\n"
         "  --error-demo           add the vanishing-disc steps\n"
         "  --cancel               stop the build at its compile step and resume it\n"
         "  --screens              the screenshot tour instead of the full run\n"
         "  --gamepad              press every button with a virtual gamepad instead\n"
         "  --play-seconds N       how long the game runs in the play step (default 40)\n"
         "  --crash-seconds N      above 0: add the crash steps, the game crashing after N s\n";
}

int runHeadless(const Options& options) {
  plat::attachConsole();
  if (options.help) {
    plat::writeText(stdout, helpText());
    return kExitOk;
  }
  Out out;
  out.json = options.json;
  out.live = !options.json && plat::isTerminal(stdout);
  const std::string usage = headlessUsageError(options);
  if (!usage.empty()) {
    out.error("usage", usage);
    return kExitUsage;
  }
  plat::installStopHandlers();

  auto app = std::make_unique<App>();
  app->resolveLayout(absolutePath(options.release));
  Command command{*app, options, out, {}, -1, {}};
  int code = kExitOk;
  if (options.status) code = command.status();
  else if (options.installDesktopEntry) code = command.installEntry();
  else if (options.verify) code = command.missingRelease() ? kExitUsage : command.verify(options.verifyImage);
  else if (options.prepare) code = command.prepare();
  else if (options.play) code = command.play();
  app.reset();
  // Everything is saved: a closing console may now end the process.
  plat::stopHandled();
  return code;
}
