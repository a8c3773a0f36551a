// The launcher's identity, the release's small info files, the change log and
// version order.
#pragma once
#include <string>

extern const char* const launcherVersion;  // project(VERSION) in CMakeLists.txt, generated
extern const char* const sourceCommit;     // 40 lowercase hex digits

std::string readKeyValue(const std::string& path, const std::string& key);
std::string extractWhatsNew(const std::string& changelogPath, const std::string& version);
bool parseVersion(const std::string& text, int& major, int& minor, int& patch, std::string& preRelease);
bool isNewerRelease(const std::string& candidate, const std::string& current);

struct App;
bool needsRebuild(const App& app);
