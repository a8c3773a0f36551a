// The per-system half of mapFontFile: one fresh read-only mapping of a whole file.
#pragma once
#include <cstddef>
#include <string>

namespace plat {

// Maps the whole file; the mapping is never released. False with `error` filled
// (naming the path and the system's reason) when it cannot be opened or mapped,
// or is empty.
bool mapWholeFile(const std::string& path, const unsigned char*& data, size_t& size, std::string& error);

}  // namespace plat
