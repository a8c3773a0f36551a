// Folder listing on Windows: FindFirstFileW. Its pattern also matches short
// (8.3) names, so "*.txt" lists "a.txtx" on volumes that keep short names and
// under Wine; the ending is checked again on the long name. The disc picker's
// places are the drives and the user's known folders.
#include <windows.h>
// The known-folder identifiers are defined here rather than taken from a
// library of GUIDs the build does not otherwise link.
#include <initguid.h>
#include <knownfolders.h>
#include <shlobj.h>

#include "plat/listing.h"
#include "plat/text.h"
#include "plat/win32_text.h"
#include "plat/win32_text.h"

namespace plat {

namespace {
// The system's own matching ignores case; only the short-name matches are dropped.
bool endsWithIgnoringCase(const std::string& name, const std::string& suffix) {
  if (name.size() < suffix.size()) return false;
  const size_t start = name.size() - suffix.size();
  for (size_t i = 0; i < suffix.size(); ++i) {
    char a = name[start + i], b = suffix[i];
    if (a >= 'A' && a <= 'Z') a = char(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = char(b - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}
}  // namespace

std::vector<FileEntry> listFiles(const std::string& folder, const std::string& suffix) {
  std::vector<FileEntry> out;
  const std::wstring pattern = toWide(joinPath(folder, "*" + suffix));
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return out;
  do {
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    const std::string name = fromWide(data.cFileName);
    if (!endsWithIgnoringCase(name, suffix)) continue;
    FileEntry entry;
    entry.path = joinPath(folder, name);
    entry.lastWriteTime = (uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    out.push_back(std::move(entry));
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return out;
}

bool listFolder(const std::string& folder, std::vector<FolderEntry>& entries, std::string& error) {
  entries.clear();
  const std::wstring pattern = toWide(joinPath(folder, "*"));
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    // An empty drive root has not even "." to list.
    const DWORD attributes = GetFileAttributesW(toWide(folder).c_str());
    if (code == ERROR_FILE_NOT_FOUND && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY))
      return true;
    error = "cannot open " + folder + ": " + errorTextFor(code);
    return false;
  }
  do {
    FolderEntry entry;
    entry.name = fromWide(data.cFileName);
    if (entry.name == "." || entry.name == "..") continue;
    entry.folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.hidden = (data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
    entry.size = entry.folder ? 0 : (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    entries.push_back(std::move(entry));
  } while (FindNextFileW(find, &data));
  DWORD readError = GetLastError();
  if (readError == ERROR_NO_MORE_FILES) readError = 0;
  FindClose(find);
  if (readError != 0) {
    error = "cannot read " + folder + ": " + errorTextFor(readError);
    entries.clear();
    return false;
  }
  sortFolderEntries(entries);
  return true;
}

namespace {

bool isFolder(const std::string& path) {
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesW(toWide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string knownFolder(REFKNOWNFOLDERID id) {
  PWSTR path = nullptr;
  std::string out;
  if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path)) && path)
    out = fromWide(path);
  CoTaskMemFree(path);
  return out;
}

// The volume's own name, as the system's explorer shows it beside the letter.
std::string volumeLabel(const std::wstring& root) {
  wchar_t name[MAX_PATH + 1] = {};
  // A drive without a medium would ask the player to insert one.
  const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
  const BOOL ok = GetVolumeInformationW(root.c_str(), name, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0);
  SetErrorMode(oldMode);
  return ok ? fromWide(name) : std::string();
}

}  // namespace

std::vector<Place> discPlaces() {
  std::vector<Place> places;
  wchar_t drives[512] = {};
  const DWORD n = GetLogicalDriveStringsW(511, drives);
  for (const wchar_t* d = drives; n > 0 && n < 512 && *d; d += wcslen(d) + 1) {
    const std::wstring root(d);
    const UINT type = GetDriveTypeW(root.c_str());
    if (type == DRIVE_NO_ROOT_DIR || type == DRIVE_UNKNOWN) continue;
    places.push_back({PlaceKind::Drive, fromWide(root), volumeLabel(root)});
  }
  const std::pair<PlaceKind, std::string> named[] = {{PlaceKind::Home, knownFolder(FOLDERID_Profile)},
                                                     {PlaceKind::Downloads, knownFolder(FOLDERID_Downloads)},
                                                     {PlaceKind::Desktop, knownFolder(FOLDERID_Desktop)}};
  for (const auto& [kind, path] : named) {
    bool seen = false;
    for (const Place& q : places) seen = seen || q.path == path;
    if (!seen && isFolder(path)) places.push_back({kind, path, ""});
  }
  return places;
}

}  // namespace plat
