// The update itself: the checksum file and the archive downloaded on a thread,
// the release's update script run and followed, then the new launcher started.
#include "update/update_install.h"

#include <filesystem>

#include "app/app.h"
#include "plat/http.h"
#include "plat/process.h"
#include "plat/shell.h"
#include "plat/text.h"
#include "update/version.h"

namespace fs = std::filesystem;

namespace {

const uint64_t maxChecksumBytes = 4096;
const uint64_t maxArchiveBytes = 2147483648ull;
const int installerOutputWaitMs = 2000;

std::string archivePath(const App& app) {
  return plat::pathToUtf8(plat::pathFromUtf8(updateDir(app)) / plat::pathFromUtf8(releaseAssetName(app.updateVersion)));
}

void downloadRelease(App* app, std::string url, std::string path) {
  std::string agent = std::string("Veyra-Launcher/") + launcherVersion;
  std::string error;
  std::atomic<uint64_t> checksumDone{0}, checksumTotal{0};
  bool ok = plat::httpDownload(url + ".sha256", agent, path + ".sha256", checksumDone, checksumTotal,
                               app->cancelUpdate, error, maxChecksumBytes, plat::smallDownloadLimits);
  if (ok)
    ok = plat::httpDownload(url, agent, path, app->updateBytesDone, app->updateBytesTotal, app->cancelUpdate, error,
                            maxArchiveBytes, plat::largeDownloadLimits);
  {
    std::lock_guard<std::mutex> lock(app->updateMutex);
    app->downloadOk = ok;
    app->downloadError = ok ? std::string() : error;
  }
  app->downloadFinished.store(true);
}

}  // namespace

void App::startUpdate(const std::string& tag, const std::string& version) {
  if (updateStage == Downloading || updateStage == Installing || updateStage == Restarting) return;
  if (building || gameRunning || discChecking || tag.empty() || version.empty()) return;
  std::error_code ec;
  fs::create_directories(plat::pathFromUtf8(updateDir(*this)), ec);  // a failure shows in the download
  updateVersion = version;
  updateMessage.clear();
  updateStep.clear();
  cancelUpdate.store(false);
  downloadFinished.store(false);
  updateBytesDone.store(0);
  updateBytesTotal.store(0);
  updateStage = Downloading;
  if (updateThread.joinable()) updateThread.join();
  updateThread = std::thread(downloadRelease, this, downloadPrefix + tag + "/" + releaseAssetName(version),
                             archivePath(*this));
}

void App::pollUpdate() {
  if (updateStage == Downloading) {
    if (!downloadFinished.load()) return;
    if (updateThread.joinable()) updateThread.join();
    bool ok;
    std::string error;
    {
      std::lock_guard<std::mutex> lock(updateMutex);
      ok = downloadOk;
      error = downloadError;
    }
    if (!ok) {
      updateStage = cancelUpdate.load() ? UpdateStageIdle : UpdateStageFailed;
      updateMessage = (uiFrench ? "Le téléchargement a échoué : " : "The download failed: ") + error + ".";
      return;
    }
    std::string zip = archivePath(*this);
    updateBytesDone.store(0);
    updateBytesTotal.store(0);
    std::string startError;
    if (plat::startProcess(installer, pythonExe, installerArgs(sourceDir, zip, updateVersion, releaseDir), releaseDir,
                           true, startError, isInstallerLine)) {
      updateStage = Installing;
    } else {
      updateStage = UpdateStageFailed;
      updateMessage =
          (uiFrench ? "La mise à jour n'a pas pu démarrer : " : "The update could not start: ") + startError;
    }
    return;
  }
  if (updateStage != Installing) return;

  for (const std::string& line : plat::takeLines(installer))
    applyInstallerLine(line, updateStep, updateBytesDone, updateBytesTotal, updateMessage);
  if (plat::isRunning(installer)) return;
  plat::waitOutputEnd(installer, installerOutputWaitMs);
  for (const std::string& line : plat::takeLines(installer))
    applyInstallerLine(line, updateStep, updateBytesDone, updateBytesTotal, updateMessage);
  int code = plat::exitCode(installer);

  if (code == 0 && updateStep == "done") {
    // The new launcher is a plain process of its own: it outlives this one.
    plat::ChildProcess restarted;
    std::string startError;
    if (plat::startProcess(restarted, plat::exePath(), restartArgs, releaseDir, false, startError)) {
      updateStage = Restarting;
      quitNow = true;
    } else {
      updateStage = UpdateStageFailed;
      updateMessage = uiFrench ? "La version " + updateVersion + " est installée : relancez le lanceur. " + startError
                               : "Version " + updateVersion + " is installed: start the launcher again. " + startError;
    }
    return;
  }
  updateStage = UpdateStageFailed;
  if (updateMessage.empty())
    updateMessage = uiFrench ? "La mise à jour s'est arrêtée (code " + std::to_string(code) + ")."
                             : "The update stopped (exit code " + std::to_string(code) + ").";
}

void pollUpdateNow(App& app) {
  if (!app.updateNow || app.updateStage != UpdateStageIdle) return;
  int state;
  std::string tag, version;
  {
    std::lock_guard<std::mutex> lock(app.updateCheck->mutex);
    state = app.updateCheck->state;
    tag = app.updateCheck->latestTag;
    version = app.updateCheck->latestVersion;
  }
  if (state != UpdateAvailable) return;
  app.updateNow = false;
  app.startUpdate(tag, version);
}
