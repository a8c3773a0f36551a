// Listing folders: a folder's files with their last-write times, as the crash
// watch needs them to tell a run's new crash report from the ones already
// there; and a folder's subfolders and files with their sizes, with the
// places a player starts looking from, for the launcher's own disc picker.
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

struct FolderEntry {
  std::string name;     // UTF-8, no folder part
  bool folder = false;  // a subfolder (a link to one counts as one)
  bool hidden = false;  // a dot name on Linux, marked hidden or system on Windows
  uint64_t size = 0;    // bytes; 0 for a folder
};

// The subfolders and files of `folder` ("." and ".." left out), folders first,
// each group by name ignoring case. Entries the system cannot describe (a
// dangling link, a vanished file) are left out. False with the system's text
// in `error` when the folder itself cannot be read.
bool listFolder(const std::string& folder, std::vector<FolderEntry>& entries, std::string& error);

// Folders first, then by name: letters ignoring ASCII case, ties by bytes.
void sortFolderEntries(std::vector<FolderEntry>& entries);

// The folder above `folder`, with the system's separator; empty at a root
// ("/", "C:\") or for a path with no folder part. (The way down is joinPath.)
std::string parentFolder(const std::string& folder);

enum class PlaceKind { Removable, Drive, Home, Downloads, Desktop };
struct Place {
  PlaceKind kind = PlaceKind::Home;
  std::string path;   // UTF-8
  std::string label;  // the medium's or drive's own name; empty for the named folders
};

// Where a player looks for a disc image first: removable media (mounted under
// /run/media/<user>, /media/<user> or /media on Linux; the drives on Windows),
// then home, Downloads and Desktop. Only folders that exist, each once.
std::vector<Place> discPlaces();

}  // namespace plat
