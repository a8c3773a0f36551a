// The launcher's menu entry on Linux desktops. The release carries the entry
// and its icons under share/, laid out as in the XDG data folder, so that
// installing them is a copy with one change: Exec= must name this launcher,
// wherever the player unzipped it.
#pragma once
#include <string>
#include <vector>

// The Exec= value that starts `program` with no arguments, quoted and escaped
// by the Desktop Entry rules when the path needs it. Empty when no entry can
// hold the path: text that is not UTF-8, or a control character.
std::string desktopExecValue(const std::string& program);

// The release's entry text with Exec= and TryExec= naming `program`.
std::string desktopEntryFor(const std::string& entryText, const std::string& program);

struct DesktopInstall {
  std::string entryPath;
  std::vector<std::string> iconPaths;
};

// Copies <releaseDir>/share/applications/veyra-launcher.desktop (rewritten
// for `program`) and every file under <releaseDir>/share/icons into the same
// places under `dataHome`. False with `error` naming the file and the system's
// message on the first failure; `missing` tells a release without these files
// from a write that failed.
bool installDesktopEntry(const std::string& releaseDir, const std::string& program, const std::string& dataHome,
                         DesktopInstall& done, std::string& error, bool& missing);
