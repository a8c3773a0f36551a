// What every fuzz target shares: a property check that names what broke, the
// input as text and as lines, and a scratch folder of the target's own.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

// A broken property is a finding like a crash: libFuzzer keeps the input.
#define FUZZ_CHECK(cond)                                                              \
  do {                                                                                \
    if (!(cond)) {                                                                    \
      std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                                   \
    }                                                                                 \
  } while (0)

inline std::string fuzzText(const uint8_t* data, size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

// Split at LF, as every reader under test splits, keeping empty lines.
inline std::vector<std::string> fuzzLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t lf = text.find('\n', start);
    if (lf == std::string::npos) lf = text.size();
    lines.push_back(text.substr(start, lf - start));
    start = lf + 1;
  }
  return lines;
}

// A folder of the process's own, so parallel fuzzing jobs never share one;
// removed when the process ends. In memory where the system offers it: on a
// disc file system rewriting a file may wait for the disc, each input anew.
inline std::filesystem::path fuzzScratchPath() {
  std::error_code ec;
  std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec) ? std::filesystem::path("/dev/shm")
                                                                               : std::filesystem::temp_directory_path();
  return base / ("veyra-fuzz-" + std::to_string(::getpid()));
}
inline const std::filesystem::path& fuzzScratch() {
  static const std::filesystem::path dir = [] {
    auto d = fuzzScratchPath();
    std::filesystem::remove_all(d);
    std::filesystem::create_directories(d);
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(fuzzScratchPath(), ec);
    });
    return d;
  }();
  return dir;
}

// Writes `text` to a file in the scratch folder and gives its path.
inline std::string fuzzFile(const std::string& name, const std::string& text) {
  std::filesystem::path p = fuzzScratch() / name;
  FILE* f = std::fopen(p.c_str(), "wb");
  FUZZ_CHECK(f != nullptr);
  if (!text.empty()) FUZZ_CHECK(std::fwrite(text.data(), 1, text.size(), f) == text.size());
  std::fclose(f);
  return p.string();
}
