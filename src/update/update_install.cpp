// The update itself: the checksum file and the archive downloaded on a thread,
// the release's update script run and followed, then the new launcher started.
#include "update/update_install.h"

#include <filesystem>
#include <system_error>

#include "app/activity.h"
#include "app/app.h"
#include "plat/http.h"
#include "plat/process.h"
#include "plat/shell.h"
#include "plat/text.h"
#include "update/release_manifest.h"
#include "update/release_signature.h"
#include "update/version.h"

namespace fs = std::filesystem;

namespace {

const uint64_t maxChecksumBytes = 4096;
const uint64_t maxArchiveBytes = 2147483648ull;
const int installerOutputWaitMs = 2000;

std::string archivePath(const App& app) {
  return plat::joinPath(updateDir(app), releaseAssetName(app.updateVersion));
}

// The downloaded files and the update folder go, so a refused or failed
// update leaves the release folder as it was. The folder stays when it still
// holds something (old_files.txt of an earlier update).
void removeDownload(const std::string& path, const std::string& folder) {
  std::error_code ec;
  for (const char* suffix : {"", ".sha256", ".sig"}) fs::remove(plat::pathFromUtf8(path + suffix), ec);
  fs::remove(plat::pathFromUtf8(folder), ec);  // only when empty
}

// On the download's thread: the checksum file, the signature (when this build
// checks signatures), the archive, then the signature check, which reads the
// whole archive and so must not run on the frame loop.
// NOLINTNEXTLINE(performance-unnecessary-value-param): the thread owns its copies
void downloadRelease(App* app, std::string url, std::string path, std::string version, std::string name,
                     std::string folder) {  // NOLINT(performance-unnecessary-value-param)
  std::string agent = std::string("Veyra-Launcher/") + launcherVersion;
  std::string error;
  std::atomic<uint64_t> smallDone{0}, smallTotal{0};
  bool ok = plat::httpDownload(url + ".sha256", agent, path + ".sha256", smallDone, smallTotal, app->cancelUpdate,
                               error, maxChecksumBytes, plat::smallDownloadLimits);
  const bool signedOnly = signaturesChecked();
  if (ok && signedOnly) {
    ok = plat::httpDownload(url + ".sig", agent, path + ".sig", smallDone, smallTotal, app->cancelUpdate, error,
                            maxSignatureFileBytes, plat::smallDownloadLimits);
    if (!ok && !app->cancelUpdate.load()) error = "no signature file (" + error + ")";
  }
  if (ok)
    ok = plat::httpDownload(url, agent, path, app->updateBytesDone, app->updateBytesTotal, app->cancelUpdate, error,
                            maxArchiveBytes, plat::largeDownloadLimits);
  int refusal = RefusalNone;
  if (ok && signedOnly) refusal = checkSignedRelease(path, version, name, releasePublicKeyHex(), error);
  if (!ok || refusal != RefusalNone) removeDownload(path, folder);
  {
    std::lock_guard<std::mutex> lock(app->updateMutex);
    app->downloadOk = ok;
    app->downloadRefusal = refusal;
    app->downloadError = ok && refusal == RefusalNone ? std::string() : error;
  }
  app->downloadFinished.store(true);
}

}  // namespace

void App::startUpdate(const std::string& tag, const std::string& version) {
  if (!canStart(*this, Activity::Update) || tag.empty() || version.empty()) return;
  // Whatever the release service says: never back, never the same again, and
  // never a version this restart chain already installed without effect.
  if (!isNewerRelease(version, launcherVersion) || version == unreachedVersion) {
    updateVersion = version;
    updateStep.clear();
    updateStage = UpdateStageFailed;
    if (version == unreachedVersion)
      updateMessage = uiFrench ? "La version " + version + " a été installée, mais le lanceur est resté en version " +
                                     launcherVersion + " : la mise à jour n'est pas relancée."
                               : "Version " + version + " was installed, but the launcher is still version " +
                                     launcherVersion + ": the update is not tried again.";
    else
      updateMessage = uiFrench ? "La version " + version + " n'est pas plus récente que ce lanceur (" + launcherVersion +
                                     ") : rien n'a été installé."
                               : "Version " + version + " is not newer than this launcher (" + launcherVersion +
                                     "): nothing was installed.";
    return;
  }
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
  try {
    updateThread = std::thread(downloadRelease, this, downloadPrefix + tag + "/" + releaseAssetName(version),
                               archivePath(*this), version, releaseAssetName(version), updateDir(*this));
  } catch (const std::system_error& e) {
    updateStage = UpdateStageFailed;
    updateMessage = (uiFrench ? "Le téléchargement a échoué : " : "The download failed: ") + std::string(e.what()) + ".";
  }
}

void App::pollUpdate() {
  if (updateStage == Downloading) {
    if (!downloadFinished.load()) return;
    if (updateThread.joinable()) updateThread.join();
    bool ok;
    int refusal;
    std::string error;
    {
      std::lock_guard<std::mutex> lock(updateMutex);
      ok = downloadOk;
      refusal = downloadRefusal;
      error = downloadError;
    }
    if (ok && refusal != RefusalNone) {
      updateStage = UpdateStageFailed;
      updateMessage = refusalText(refusal, error, uiFrench);
      return;
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
    const std::string exe = launcherExe.empty() ? plat::exePath() : launcherExe;
    if (plat::startProcess(restarted, exe, restartArguments(restartArgs, releaseDir, updateVersion),
                           releaseDir, false, startError)) {
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
  removeDownload(archivePath(*this), updateDir(*this));  // the script's own clean-up may not have run
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
