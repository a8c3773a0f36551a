// Checks a disc image with the build script's check mode, records an accepted
// image and classifies a rejection into a short reason for the user.
#include "app/activity.h"
#include "app/app.h"
#include "app/window.h"
#include "plat/shell.h"
#include "plat/text.h"
#include "prepare/base_args.h"
#include "prepare/disc_check.h"

DiscVerdict readDiscCheckOutput(const std::vector<std::string>& lines) {
  DiscVerdict verdict;
  for (const std::string& line : lines) {
    if (line.size() >= 2 && line.compare(0, 2, "OK") == 0) {
      verdict.okLine = line;
    } else if (line.size() > 12 && line.compare(0, 13, "ERROR verify ") == 0) {
      verdict.reason = line.substr(13);
    } else if (!verdict.reason.empty() || line.empty() || (line.size() >= 4 && line.compare(0, 4, "INFO") == 0)) {
      continue;
    } else {
      verdict.reason = line;
    }
  }
  return verdict;
}

DiscRejection classifyDiscRejection(const std::string& reason) {
  if (reason.find("boots") != std::string::npos) return DiscRejection::AnotherGame;
  if (reason.find("SHA-1") != std::string::npos) return DiscRejection::Modified;
  if (reason.find("does not exist") != std::string::npos) return DiscRejection::Missing;
  return DiscRejection::NotAnImage;
}

std::string discRejectionText(const std::string& reason, bool french) {
  switch (classifyDiscRejection(reason)) {
    case DiscRejection::AnotherGame:
      return french ? "Cette image disque est un autre jeu." : "This disc image is another game.";
    case DiscRejection::Modified:
      return french
                 ? "Cette copie diffère du disque américain : modifiée ou abîmée. Refaites une copie de votre disque."
                 : "This copy differs from the USA disc: modified or damaged. Make a fresh copy of your disc.";
    case DiscRejection::Missing:
      return french ? "Ce fichier n'existe plus." : "This file is no longer there.";
    case DiscRejection::NotAnImage:
      break;
  }
  return french ? "Ce fichier n'est pas une image disque PS2." : "This file is not a PS2 disc image.";
}

void App::chooseDiscImage() {
  // Asked before the dialog too: a file picked for a check that cannot start would be dropped silently.
  if (!canStart(*this, Activity::DiscCheck)) return;
  std::string path =
      pickDiscImage ? pickDiscImage()
                    : plat::openFileDialog(nativeWindowHandle(),
                                           uiFrench ? "Choisir l'image disque de Emberfall"
                                                    : "Select your Emberfall disc image",
                                           uiFrench ? "Images disque" : "Disc images",
                                           uiFrench ? "Tous les fichiers" : "All files");
  if (!path.empty()) startDiscCheck(path);
}

void App::startDiscCheck(const std::string& imagePath) {
  if (!canStart(*this, Activity::DiscCheck)) return;
  std::vector<std::string> args = buildScriptBaseArgs(*this);
  args.insert(args.end(), {"--check", "--disc", imagePath});
  discCheckReason.clear();
  discCheckOutput.clear();
  discCheckTab = currentTab;
  std::string error;
  if (plat::startProcess(discCheck, pythonExe, args, sourceDir, true, error)) {
    discChecking = true;
    discCheckImage = imagePath;
  } else {
    discCheckReason = uiFrench ? "Le disque n'a pas pu être vérifié." : "The disc could not be checked.";
    discCheckOutput = error;
  }
}

void App::pollDiscCheck() {
  if (!discChecking || plat::isRunning(discCheck)) return;
  plat::waitOutputEnd(discCheck, 1000);
  DiscVerdict verdict = readDiscCheckOutput(plat::takeLines(discCheck));
  discChecking = false;
  if (!verdict.okLine.empty() && plat::exitCode(discCheck) == 0) {
    settings.disc = discCheckImage;
    saveSettings();
    stage = Ready;
    currentTab = 0;
    statusText.clear();
  } else {
    discCheckOutput = verdict.reason;
    discCheckReason = discRejectionText(verdict.reason, uiFrench);
  }
}
