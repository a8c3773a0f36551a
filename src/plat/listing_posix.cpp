// Folder listing on POSIX: readdir, with stat for the type, size and time;
// the places come from the mount folders and the XDG user-dirs file.
#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "plat/listing.h"
#include "plat/text.h"

namespace plat {

namespace {
// Seconds from 1601-01-01 to 1970-01-01, so both systems count from one epoch.
constexpr uint64_t epochGapSeconds = 11644473600ull;

uint64_t windowsTime(const struct timespec& t) {
  if (t.tv_sec < 0 && uint64_t(-t.tv_sec) > epochGapSeconds) return 0;
  return (uint64_t(int64_t(t.tv_sec) + int64_t(epochGapSeconds))) * 10000000ull + uint64_t(t.tv_nsec) / 100;
}
}  // namespace

std::vector<FileEntry> listFiles(const std::string& folder, const std::string& suffix) {
  std::vector<FileEntry> out;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return out;
  while (const dirent* e = readdir(dir)) {
    const std::string name = e->d_name;
    if (name.size() < suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
      continue;
    FileEntry entry;
    entry.path = joinPath(folder, name);
    struct stat st;
    if (stat(entry.path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    entry.lastWriteTime = windowsTime(st.st_mtim);
    out.push_back(std::move(entry));
  }
  closedir(dir);
  return out;
}

bool listFolder(const std::string& folder, std::vector<FolderEntry>& entries, std::string& error) {
  entries.clear();
  DIR* dir = opendir(folder.c_str());
  if (!dir) {
    error = "cannot open " + folder + ": " + lastErrorText();
    return false;
  }
  int readError = 0;
  for (;;) {
    // readdir's end and its failure look alike but for errno.
    errno = 0;
    const dirent* e = readdir(dir);
    if (!e) {
      readError = errno;
      break;
    }
    FolderEntry entry;
    entry.name = e->d_name;
    if (entry.name == "." || entry.name == "..") continue;
    struct stat st;
    // stat, not lstat: a link to a folder or an image is followed as the player expects.
    if (fstatat(dirfd(dir), e->d_name, &st, 0) != 0) continue;
    entry.folder = S_ISDIR(st.st_mode);
    if (!entry.folder && !S_ISREG(st.st_mode)) continue;
    entry.hidden = entry.name[0] == '.';
    entry.size = entry.folder ? 0 : uint64_t(st.st_size);
    entries.push_back(std::move(entry));
  }
  closedir(dir);
  if (readError != 0) {
    error = "cannot read " + folder + ": " + errorTextFor(unsigned(readError));
    entries.clear();
    return false;
  }
  sortFolderEntries(entries);
  return true;
}

namespace {

bool isFolder(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string homeFolder() {
  std::string home = getEnv("HOME");
  if (home.empty())
    if (const passwd* pw = getpwuid(getuid())) home = pw->pw_dir ? pw->pw_dir : "";
  return home;
}

std::string userName() {
  if (const passwd* pw = getpwuid(getuid())) return pw->pw_name ? pw->pw_name : "";
  return getEnv("USER");
}

// The mounted media under a mount folder: its subfolders, each one medium.
void addMedia(std::vector<Place>& places, const std::string& mountFolder) {
  std::vector<FolderEntry> entries;
  std::string error;
  if (!listFolder(mountFolder, entries, error)) return;
  for (const FolderEntry& e : entries)
    if (e.folder && !e.hidden) places.push_back({PlaceKind::Removable, joinPath(mountFolder, e.name), e.name});
}

// XDG_<KEY>_DIR from the user-dirs file ("$HOME/Downloads" or an absolute
// path); `fallback` under home when the file has no such line.
std::string userDir(const std::string& home, const char* key, const char* fallback) {
  std::string config = getEnv("XDG_CONFIG_HOME");
  if (config.empty()) config = home + "/.config";
  std::vector<std::string> lines;
  const std::string prefix = std::string("XDG_") + key + "_DIR=\"";
  if (readFileLines(config + "/user-dirs.dirs", lines)) {
    for (const std::string& line : lines) {
      if (line.compare(0, prefix.size(), prefix) != 0) continue;
      const size_t end = line.rfind('"');
      if (end == std::string::npos || end < prefix.size()) continue;
      std::string value = line.substr(prefix.size(), end - prefix.size());
      if (value.compare(0, 5, "$HOME") == 0) value.replace(0, 5, home);
      // The file names home itself for a folder the user turned off.
      if (value.empty() || value[0] != '/' || value == home || value == home + "/") return {};
      return value;
    }
  }
  return home + "/" + fallback;
}

}  // namespace

std::vector<Place> discPlaces() {
  std::vector<Place> candidates;
  const std::string user = userName();
  if (!user.empty()) {
    addMedia(candidates, "/run/media/" + user);
    addMedia(candidates, "/media/" + user);
  }
  addMedia(candidates, "/media");
  const std::string home = homeFolder();
  candidates.push_back({PlaceKind::Home, home, ""});
  if (!home.empty()) {
    candidates.push_back({PlaceKind::Downloads, userDir(home, "DOWNLOAD", "Downloads"), ""});
    candidates.push_back({PlaceKind::Desktop, userDir(home, "DESKTOP", "Desktop"), ""});
  }
  std::vector<Place> places;
  for (Place& p : candidates) {
    bool seen = false;
    for (const Place& q : places) seen = seen || q.path == p.path;
    // /media/<user> is itself a subfolder of /media: its media are listed already.
    if (p.kind == PlaceKind::Removable && p.label == user && p.path == "/media/" + user) continue;
    if (!seen && isFolder(p.path)) places.push_back(std::move(p));
  }
  return places;
}

}  // namespace plat
