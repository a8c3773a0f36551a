// The parts of folder listing both systems share: the order a picker shows a
// folder in and the path arithmetic around it.
#include <algorithm>

#include "plat/listing.h"
#include "plat/text.h"

namespace plat {

namespace {
char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }
}  // namespace

void sortFolderEntries(std::vector<FolderEntry>& entries) {
  std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) {
    if (a.folder != b.folder) return a.folder;
    const size_t n = std::min(a.name.size(), b.name.size());
    for (size_t i = 0; i < n; ++i) {
      const char x = lowerAscii(a.name[i]), y = lowerAscii(b.name[i]);
      if (x != y) return (unsigned char)x < (unsigned char)y;
    }
    if (a.name.size() != b.name.size()) return a.name.size() < b.name.size();
    return a.name < b.name;
  });
}

std::string parentFolder(const std::string& folder) {
  std::filesystem::path p = pathFromUtf8(folder);
  // "/home/me/" names the same folder as "/home/me".
  if (p.has_relative_path() && !p.has_filename()) p = p.parent_path();
  if (!p.has_relative_path()) return {};
  return pathToUtf8(p.parent_path());
}

}  // namespace plat
