// Folder names on POSIX: executables without an extension, the interpreter in
// bin/, per-user data under the XDG data folder.
#include <filesystem>

#include "plat/layout.h"
#include "plat/text.h"

namespace plat {

const ReleaseNames& releaseNames() {
  static const ReleaseNames names{"python/bin/python3", "veyra", "source/tools/veyra_build.py", "kit/",
                                        "-tambler-linux.zip"};
  return names;
}

std::string userDataHome() {
  // A relative XDG_DATA_HOME is invalid by that convention and is ignored.
  std::string xdg = getEnv("XDG_DATA_HOME");
  if (!xdg.empty() && xdg[0] == '/') return xdg;
  std::string home = getEnv("HOME");
  if (!home.empty()) return home + "/.local/share";
  return {};
}

bool samePathPart(const std::string& a, const std::string& b) { return a == b; }

}  // namespace plat

namespace plat {

bool resolvedPath(const std::string& path, std::string& resolved) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::canonical(path, ec);
  if (ec) return false;
  resolved = p.native();
  return true;
}

}  // namespace plat
