// What the release and user folders are called on this platform: the names
// that follow the system's conventions, and how two path parts compare.
#pragma once
#include <string>

namespace plat {

struct ReleaseNames {
  const char* pythonInKit;    // the interpreter, relative to the kit folder
  const char* gameExe;        // the prepared game's executable, inside the game folder
  const char* missingScript;  // the item texts shown when the release is incomplete
  const char* missingKit;
  // The end of this platform's release archive name, after "Morvane-<version>":
  // each platform's launcher updates from its own archive.
  const char* releaseAssetSuffix;
};
const ReleaseNames& releaseNames();

// The platform's own per-user data folder, tried after RA2V_USER_DIR and
// APPDATA; empty when the platform has none or it cannot be found.
std::string userDataHome();

// Whether two path parts (folder or file names) name the same thing: byte
// equality on POSIX, case-insensitive on Windows.
bool samePathPart(const std::string& a, const std::string& b);

}  // namespace plat

namespace plat {

// `path` with every link (symbolic link, junction) resolved, absolute. False
// when the path does not exist or cannot be resolved.
bool resolvedPath(const std::string& path, std::string& resolved);

}  // namespace plat
