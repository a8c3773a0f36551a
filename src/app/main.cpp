// The entry point: text mode, or window mode with an optional self-test.
#include <SDL3/SDL_main.h>
#include <imgui.h>

#include <filesystem>
#include <memory>

#include "app/app.h"
#include "app/frame_loop.h"
#include "app/headless.h"
#include "app/options.h"
#include "app/report.h"
#include "app/window.h"
#include "plat/shell.h"
#include "plat/text.h"
#include "prepare/folders.h"
#include "selftest/selftest.h"
#include "update/update_check.h"
#include "update/version.h"

static std::unique_ptr<Selftest> makeSelftest(const Options& o, const App& app) {
  auto st = std::make_unique<Selftest>();
  st->discImage = o.selftest;
  st->shotsDir = o.shots.empty() ? plat::joinPath(app.releaseDir, "selftest") : o.shots;
  st->wrongDisc = o.wrong;
  st->errorDemo = o.errorDemo;
  st->cancelAtCompile = o.cancel;
  st->screensOnly = o.screens;
  st->watchUpdate = o.screens && o.updateNow;
  st->playSeconds = o.playSeconds;
  st->crashSeconds = o.crashSeconds;
  st->gamepad = o.gamepad;
  std::error_code ec;
  std::filesystem::create_directories(plat::pathFromUtf8(st->shotsDir), ec);
  st->log = plat::openFile(plat::joinPath(st->shotsDir, "selftest.log"), "wb");
  st->logStart = plat::nowSeconds();
  st->logLine("release %s, user folder %s", app.releaseDir, app.userDir);
  st->build();
  return st;
}

int main(int argc, char** argv) {
  plat::saveCommandLine(argc, argv);
  const std::vector<std::string> args = plat::commandLineArgs();
  Options options = parseOptions(args);
  if (options.release.empty()) options.release = plat::exeDir();
  // Once, here: the update script and the restarted launcher run in the
  // release folder, where a relative path would name rel/rel.
  options.release = absoluteFolder(options.release);
  if (options.textMode()) return runTextMode(options);
  if (options.headlessMode()) return runHeadless(options);

  auto app = std::make_unique<App>();
  app->resolveLayout(options.release);
  std::string error;
  if (!openWindow("Veyra Launcher", 1120, 760, float(options.uiScale), error)) {
    plat::errorBox("Veyra Launcher", error);
    app.reset();
    return 1;
  }
  resetDarkColors();
  loadFonts();
  if (!options.updateUrl.empty()) app->updateUrl = options.updateUrl;
  if (!options.downloadPrefix.empty()) app->downloadPrefix = options.downloadPrefix;
  app->updateNow = options.updateNow;
  app->restartArgs = args;
  app->launcherExe = plat::exePath();
  if (!options.updatedTo.empty() && isNewerRelease(options.updatedTo, launcherVersion))
    app->unreachedVersion = options.updatedTo;
  if (app->settings.updateCheck) app->updateCheck->start(app->updateUrl, false);

  std::unique_ptr<Selftest> selftest;
  if (!options.selftest.empty()) selftest = makeSelftest(options, *app);
  if (selftest && selftest->gamepad) {
    if (!attachVirtualGamepad(error)) {
      selftest->logLine("FAIL %s", error);
      selftest->failed = true;
      app->quitNow = true;
    }
    // The self-test sees what the player sees: which item holds the focus.
    ImGui::GetIO().UserData = &selftest->trace;
  }

  runFrameLoop(*app, selftest.get(), plat::nowSeconds());

  if (app->building) app->stopBuild();
  closeWindow();
  int code = 0;
  if (selftest) {
    if (selftest->log) std::fclose(selftest->log);
    selftest->log = nullptr;
    if (!selftest->finished() || selftest->failed) code = 1;
  }
  selftest.reset();
  app.reset();
  return code;
}
