// Folder listing on Windows: FindFirstFileW. Its pattern also matches short
// (8.3) names, so "*.txt" lists "a.txtx" on volumes that keep short names and
// under Wine; the ending is checked again on the long name.
#include <windows.h>

#include "plat/listing.h"
#include "plat/text.h"
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

}  // namespace plat
