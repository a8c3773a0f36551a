// Shell services: the disc-image dialog, opening things with their default
// application, free disk space and the launcher's own path.
#pragma once
#include <cstdint>
#include <string>

namespace plat {

// Modal file dialog; empty text on cancel or failure.
std::string openFileDialog(void* ownerWindow, const std::string& title, const std::string& discImagesLabel,
                           const std::string& allFilesLabel);
void shellOpen(const std::string& target);
uint64_t freeDiskBytes(const std::string& folder);  // 0 on failure
std::string exePath();                              // empty on failure

}  // namespace plat
