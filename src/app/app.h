// The launcher's one central object: everything it knows at a given moment.
// The interface draws from these fields each frame and calls the operations
// below; every field is read and written on the frame-loop thread unless noted.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "plat/process.h"
#include "prepare/disc_check.h"
#include "prepare/progress.h"
#include "settings/launcher_settings.h"
#include "settings/video_settings.h"
#include "ui/disc_picker.h"
#include "update/update_check.h"

enum PlayStage { Incomplete = 0, NoDisc = 1, Ready = 2, Preparing = 3, Failed = 4 };
// What the status line under the Play button reports; the interface picks its colour.
enum class StatusKind { Ready, Stopped, Failed };
enum UpdateStage { UpdateStageIdle = 0, Downloading = 1, Installing = 2, Restarting = 3, UpdateStageFailed = 4 };

// The default release-service addresses; both can be replaced on the command line.
extern const char* const defaultUpdateUrl;
extern const char* const defaultDownloadPrefix;

struct App {
  // The release and user paths, fixed once by resolveLayout.
  std::string releaseDir, sourceDir, kitDir, pythonExe, buildScript, buildDir, buildLogsDir, gameDir, gameExe,
      gameElf, gameIso, releaseIniPath, builtFromIniPath;
  std::string userDir, launcherIniPath, videoIniPath, logsDir, crashesDir;
  // How the user folder was chosen: portable.txt beside the launcher puts it
  // in the release, and the game must be told (it only knows the environment).
  // A folder nothing can be written to is shown, not silently replaced.
  bool portable = false;
  bool userDirWritable = true;

  LauncherSettings settings;
  VideoSettings video;
  int stage = NoDisc;
  int currentTab = 0;
  std::string missingItem;

  plat::ChildProcess discCheck;
  bool discChecking = false;
  std::string discCheckImage, discCheckReason, discCheckOutput;
  int discCheckTab = 0;  // the tab the check was started from, where its outcome is shown
  // Answers "Select your disc image…" instead of the system's file dialog, which
  // a headless test cannot answer; empty means the dialog.
  std::function<std::string()> pickDiscImage;
  // The last input came from a gamepad: the system's file dialog cannot be
  // driven with one, so "Select your disc image…" opens the launcher's own picker.
  bool lastInputGamepad = false;
  DiscPicker discPicker;  // the launcher's own picker, where the system's dialog cannot serve
  DiscVerdict discCheckVerdict;  // what the running check's lines said so far

  plat::ChildProcess build;
  BuildProgress progress;
  bool building = false;
  bool stopRequested = false;
  std::string statusText;
  StatusKind statusKind = StatusKind::Ready;

  plat::ChildProcess game;
  bool gameRunning = false;
  bool launcherHidden = false;
  std::set<std::string> knownCrashReports;
  std::string crashReport;
  int gameExitCode = 0;
  bool crashedWithoutReport = false;
  std::string gameStartError;

  std::shared_ptr<UpdateCheck> updateCheck = std::make_shared<UpdateCheck>();
  std::string updateUrl = defaultUpdateUrl;
  int updateStage = UpdateStageIdle;
  std::string updateVersion, updateMessage, updateStep;
  std::string downloadPrefix = defaultDownloadPrefix;
  std::vector<std::string> restartArgs;
  // The launcher's own executable, noted at start: the update moves the
  // running file aside, after which the system names it by its new name.
  std::string launcherExe;
  std::atomic<uint64_t> updateBytesDone{0}, updateBytesTotal{0};
  std::atomic<bool> cancelUpdate{false}, downloadFinished{false};
  std::mutex updateMutex;
  bool downloadOk = false;
  std::string downloadError;
  int downloadRefusal = 0;  // ReleaseRefusal of the signature check, under updateMutex
  // A version this restart chain installed without it taking effect (the
  // launcher restarted still older): never tried again in this chain.
  std::string unreachedVersion;
  std::thread updateThread;
  plat::ChildProcess installer;

  std::string releaseCommit, releaseVersion, builtFromCommit;
  bool timeBanked = false;
  std::string whatsNewText, whatsNewVersion;
  bool whatsNewOpen = false;
  bool quitConfirmOpen = false;
  bool quitNow = false;
  bool updateNow = false;  // --update-now, forgotten once used
  double uptime = 0;
  std::string screenshotPath;

  App() = default;
  ~App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  // Layout and release information.
  void resolveLayout(const std::string& release);
  void cleanOldFiles();
  void refreshReleaseInfo();
  // Disc check.
  void chooseDiscImage();
  void startDiscCheck(const std::string& imagePath);
  void pollDiscCheck();
  // Build.
  void startBuild();
  void pollBuild();
  void stopBuild();
  std::string failedStepLog() const;
  std::string buildErrorReport() const;
  // Game.
  void launchGame();
  void pollGame();
  // Update.
  void startUpdate(const std::string& tag, const std::string& version);
  void pollUpdate();

  bool saveSettings() { return settings.save(launcherIniPath); }
};

// Interface globals (the only ones besides the fonts).
extern bool uiFrench;
extern float uiScale;

std::string resolveUserDir();
std::string updateDir(const App& app);
