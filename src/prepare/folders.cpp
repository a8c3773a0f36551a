// The release and user folders apart from the App: the user-folder rule, the
// completeness check and the clean-up after an update.
#include "prepare/folders.h"

#include <cstdio>
#include <filesystem>
#include <vector>

#include "plat/layout.h"
#include "plat/text.h"
#include "settings/ini.h"

namespace fs = std::filesystem;

namespace {
const char* const oldMarker = ".veyra-old";

// Any entry at all counts, a dangling link included; an error counts as none.
bool entryExists(const std::string& path) {
  std::error_code ec;
  fs::file_status st = fs::symlink_status(plat::pathFromUtf8(path), ec);
  return !ec && st.type() != fs::file_type::not_found && st.type() != fs::file_type::none;
}

std::vector<std::string> partsOf(const fs::path& p) {
  std::vector<std::string> parts;
  for (const fs::path& part : p) parts.push_back(plat::pathToUtf8(part));
  while (!parts.empty() && parts.back().empty()) parts.pop_back();  // a trailing separator
  return parts;
}

// Whether `inner` is `outer` itself (when allowed) or lies below it, part by part.
bool within(const fs::path& outer, const fs::path& inner, bool allowSame) {
  std::vector<std::string> o = partsOf(outer), i = partsOf(inner);
  if (o.empty() || i.size() < o.size() || (i.size() == o.size() && !allowSame)) return false;
  for (size_t k = 0; k < o.size(); k++)
    if (!plat::samePathPart(o[k], i[k])) return false;
  return true;
}
}  // namespace

std::string missingReleaseItem(const std::string& buildScript, const std::string& pythonExe,
                               const std::string& kitDir) {
  const plat::ReleaseNames& names = plat::releaseNames();
  if (!entryExists(buildScript)) return names.missingScript;
  if (!entryExists(pythonExe) || !entryExists(plat::joinPath(kitDir, "kit_manifest.json"))) return names.missingKit;
  return {};
}

bool isOldFileCandidate(const std::string& releaseDir, const std::string& line) {
  if (line.empty() || releaseDir.empty()) return false;
  fs::path p = plat::pathFromUtf8(line);
  if (plat::pathToUtf8(p.filename()).find(oldMarker) == std::string::npos) return false;
  for (const fs::path& part : p)
    if (part == "." || part == "..") return false;

  std::error_code ec;
  fs::path release = fs::absolute(plat::pathFromUtf8(releaseDir), ec).lexically_normal();
  if (ec || !within(release, p.lexically_normal(), false)) return false;

  fs::file_status st = fs::symlink_status(p, ec);
  if (ec || st.type() != fs::file_type::regular) return false;

  // The text says inside; a link on the way may still lead out.
  std::string realRelease, realParent;
  if (!plat::resolvedPath(releaseDir, realRelease) || !plat::resolvedPath(plat::pathToUtf8(p.parent_path()), realParent))
    return false;
  return within(plat::pathFromUtf8(realRelease), plat::pathFromUtf8(realParent), true);
}

void cleanOldFilesIn(const std::string& releaseDir, const std::string& updateFolder) {
  std::string listPath = plat::joinPath(updateFolder, "old_files.txt");
  std::error_code ec;
  fs::file_status st = fs::status(plat::pathFromUtf8(listPath), ec);
  if (ec || !fs::exists(st)) return;
  std::vector<std::string> lines;
  if (!plat::readFileLines(listPath, lines)) return;

  std::string kept;
  for (const std::string& line : lines) {
    if (!isOldFileCandidate(releaseDir, line)) continue;
    fs::remove(plat::pathFromUtf8(line), ec);
    if (entryExists(line)) kept += line + "\n";
  }
  if (!kept.empty()) {
    IniFile::writeAtomically(listPath, kept);
    return;
  }
  fs::remove(plat::pathFromUtf8(listPath), ec);
  fs::remove(plat::pathFromUtf8(updateFolder), ec);  // only when empty
}

std::string resolveUserDir() {
  std::string dir = plat::getEnv("RA2V_USER_DIR");
  if (dir.empty()) {
    std::string base = plat::getEnv("APPDATA");
    if (base.empty()) base = plat::userDataHome();
    // The executable's own folder, not the release named on the command line.
    dir = base.empty() ? plat::joinPath(plat::exeDir(), "user") : plat::joinPath(base, "Morvane");
  }
  std::error_code ec;
  fs::create_directories(plat::pathFromUtf8(dir), ec);
  return absoluteFolder(dir);
}

std::string absoluteFolder(const std::string& dir) {
  std::error_code ec;
  fs::path absolute = fs::absolute(plat::pathFromUtf8(dir), ec);
  return ec ? dir : plat::pathToUtf8(absolute);
}

