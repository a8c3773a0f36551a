// Checks a disc image with the build script's check mode, records an accepted
// image and classifies a rejection into a short reason for the user.
#include "app/activity.h"
#include "app/app.h"
#include "app/window.h"
#include "plat/shell.h"
#include "plat/text.h"
#include "prepare/base_args.h"
#include "prepare/disc_check.h"

namespace {

enum class DiscLine { Accepted, Rejected, Ignored, Other };
constexpr std::string_view kRejectedPrefix = "ERROR verify ";

DiscLine classifyDiscLine(std::string_view line) {
  if (line.substr(0, 2) == "OK") return DiscLine::Accepted;
  if (line.substr(0, kRejectedPrefix.size()) == kRejectedPrefix) return DiscLine::Rejected;
  if (line.empty() || line.substr(0, 4) == "INFO") return DiscLine::Ignored;
  return DiscLine::Other;
}

}  // namespace

void readDiscCheckLine(DiscVerdict& verdict, const std::string& line) {
  switch (classifyDiscLine(line)) {
    case DiscLine::Accepted:
      verdict.okLine = line;
      break;
    case DiscLine::Rejected:
      verdict.reason = line.substr(kRejectedPrefix.size());
      break;
    case DiscLine::Other:
      if (verdict.reason.empty()) verdict.reason = line;  // the script's first unexplained words
      break;
    case DiscLine::Ignored:
      break;
  }
}

DiscVerdict readDiscCheckOutput(const std::vector<std::string>& lines) {
  DiscVerdict verdict;
  for (const std::string& line : lines) readDiscCheckLine(verdict, line);
  return verdict;
}

plat::KeepLine discCheckKeepLine() {
  // Follows whether the verdict still has no reason, as readDiscCheckLine would.
  return [reasonEmpty = true](std::string_view line) mutable {
    switch (classifyDiscLine(line)) {
      case DiscLine::Accepted:
        return true;
      case DiscLine::Rejected:
        reasonEmpty = line.size() == kRejectedPrefix.size();
        return true;
      case DiscLine::Other:
        if (!reasonEmpty) return false;
        reasonEmpty = false;
        return true;
      case DiscLine::Ignored:
        return false;
    }
    return false;
  };
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
  if (pickDiscImage) {
    const std::string path = pickDiscImage();
    if (!path.empty()) startDiscCheck(path);
    return;
  }
  // The system's dialog cannot be driven with a gamepad, and some desktops have none.
  if (lastInputGamepad || !plat::hasFileChooser()) {
    openDiscPicker(*this);
    return;
  }
  std::string error;
  const std::string path =
      plat::openFileDialog(nativeWindowHandle(),
                           uiFrench ? "Choisir l'image disque de Emberfall" : "Select your Emberfall disc image",
                           uiFrench ? "Images disque" : "Disc images", uiFrench ? "Tous les fichiers" : "All files",
                           error);
  // A dialog that could not open is no answer from the player: offer ours.
  if (!error.empty()) openDiscPicker(*this);
  else if (!path.empty()) startDiscCheck(path);
}

void App::startDiscCheck(const std::string& imagePath) {
  if (!canStart(*this, Activity::DiscCheck)) return;
  std::vector<std::string> args = buildScriptBaseArgs(*this);
  args.insert(args.end(), {"--check", "--disc", imagePath});
  discCheckReason.clear();
  discCheckOutput.clear();
  discCheckTab = currentTab;
  discCheckVerdict = DiscVerdict();
  std::string error;
  if (plat::startProcess(discCheck, pythonExe, args, sourceDir, true, error, discCheckKeepLine())) {
    discChecking = true;
    discCheckImage = imagePath;
  } else {
    discCheckReason = uiFrench ? "Le disque n'a pas pu être vérifié." : "The disc could not be checked.";
    discCheckOutput = error;
  }
}

void App::pollDiscCheck() {
  if (!discChecking) return;
  // Taken as they come, so a chatty check never piles up its output.
  for (const std::string& line : plat::takeLines(discCheck)) readDiscCheckLine(discCheckVerdict, line);
  if (plat::isRunning(discCheck)) return;
  plat::waitOutputEnd(discCheck, 1000);
  for (const std::string& line : plat::takeLines(discCheck)) readDiscCheckLine(discCheckVerdict, line);
  const DiscVerdict verdict = discCheckVerdict;
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
