// Shell services: the disc-image dialog, opening things with their default
// application, free disk space and the launcher's own path.
#pragma once
#include <cstdint>
#include <string>

namespace plat {

// Whether the system has a file dialog to show: always on Windows; on Linux
// a desktop portal or zenity, which SDL's dialog needs.
bool hasFileChooser();
// Modal file dialog; empty text on cancel or failure, and on failure (the
// dialog could not open at all) `error` says why.
std::string openFileDialog(void* ownerWindow, const std::string& title, const std::string& discImagesLabel,
                           const std::string& allFilesLabel, std::string& error);
void shellOpen(const std::string& target);
uint64_t freeDiskBytes(const std::string& folder);  // 0 on failure
std::string exePath();                              // empty on failure

}  // namespace plat
