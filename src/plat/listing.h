// Listing a folder's files with their last-write times, as the crash watch
// needs them to tell a run's new crash report from the ones already there.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace plat {

struct FileEntry {
  std::string path;            // the folder, the separator, the file name (UTF-8)
  uint64_t lastWriteTime = 0;  // 100-ns units since 1601-01-01 UTC on every system
};

// The files (never folders) of `folder` whose names end in `suffix`, in the
// order the system lists them. A missing or unreadable folder gives nothing.
std::vector<FileEntry> listFiles(const std::string& folder, const std::string& suffix);

}  // namespace plat
