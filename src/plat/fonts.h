// Where the system keeps fonts: a monospace font for the log-like texts, and
// faces for the scripts the embedded typeface lacks (a player's name in Greek,
// Hebrew or Han must not turn into boxes).
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace plat {

// Candidate font files, in the order they are tried.
std::vector<std::string> monospaceFontFiles();

// One face of a font file: a collection (.ttc) holds several, by index.
struct FontFace {
  std::string path;  // UTF-8
  int index = 0;
};

// Existing system faces that cover other scripts, in the order they are to be
// consulted: a general face first, then faces for single scripts. Empty when
// the system has none; that is no error.
std::vector<FontFace> fallbackFontFaces();

// The file's bytes mapped read-only for the rest of the process. Asking for the
// same path again gives the same mapping, so the fonts share one copy however
// often they are loaded. False with `error` filled when the file cannot be
// opened or mapped, or is empty.
bool mapFontFile(const std::string& path, const unsigned char*& data, size_t& size, std::string& error);

}  // namespace plat
