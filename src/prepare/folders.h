// The parts of the folder layout that stand apart from the App: the release's
// completeness check and the clean-up of an update's leftovers.
#pragma once
#include <string>

// Empty when the release is complete, else the item the user must restore.
std::string missingReleaseItem(const std::string& buildScript, const std::string& pythonExe,
                               const std::string& kitDir);

// Whether a line of old_files.txt names a file that may be deleted: a regular
// file with ".veyra-old" in its own name, lying inside the release folder both
// by its text (no "." or ".." parts) and through any links on the way.
bool isOldFileCandidate(const std::string& releaseDir, const std::string& line);

// Deletes the files that updateDir's old_files.txt lists, keeping the list of
// those still there; removes the list and the folder once nothing is left.
void cleanOldFilesIn(const std::string& releaseDir, const std::string& updateDir);

// `dir` made absolute against the current working folder; unchanged when that fails.
std::string absoluteFolder(const std::string& dir);

// The user folder and the rule that chose it: RA2V_USER_DIR, then
// portable.txt beside the executable (the folder "user" there), then APPDATA,
// the platform's data folder, and last "user" beside the executable. Created
// with its parents when missing, absolute; a folder that cannot be created or
// written is still the user folder, never swapped for another behind the
// player's back, and `writable` says so.
struct UserFolder {
  std::string dir;
  bool portable = false;
  bool writable = false;
};
UserFolder resolveUserFolder(const std::string& exeFolder);
// The user folder for this executable.
std::string resolveUserDir();

// Whether a file can be created in `dir` (tried, then removed).
bool folderWritable(const std::string& dir);
