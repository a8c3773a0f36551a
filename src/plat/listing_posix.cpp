// Folder listing on POSIX: readdir, with stat for the type and the time.
#include <dirent.h>
#include <sys/stat.h>

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

}  // namespace plat
