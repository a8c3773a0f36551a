// One mapping per font file for the whole process: every ImGui context (the
// window's, and each one a test makes) merges the same system faces into two
// fonts, and the pages of a tens-of-megabytes Han font stay shared and mostly
// untouched instead of being copied each time.
#include <map>
#include <mutex>
#include <utility>

#include "plat/fonts.h"
#include "plat/fonts_internal.h"

namespace plat {

bool mapFontFile(const std::string& path, const unsigned char*& data, size_t& size, std::string& error) {
  static std::mutex lock;
  static std::map<std::string, std::pair<const unsigned char*, size_t>> mapped;
  std::lock_guard guard(lock);
  auto it = mapped.find(path);
  if (it == mapped.end()) {
    const unsigned char* p = nullptr;
    size_t n = 0;
    // A failure is not remembered: the file may appear later, and asking again is cheap.
    if (!mapWholeFile(path, p, n, error)) return false;
    it = mapped.emplace(path, std::make_pair(p, n)).first;
  }
  data = it->second.first;
  size = it->second.second;
  return true;
}

}  // namespace plat
