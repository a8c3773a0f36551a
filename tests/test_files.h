// A scratch folder per test and small whole-file helpers for the file tests.
#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "plat/text.h"

struct TempDir {
  std::filesystem::path path;
  TempDir() {
    std::random_device rd;
    path = std::filesystem::temp_directory_path() / ("veyra-test-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(path);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::string operator/(const std::string& name) const { return plat::pathToUtf8(path / plat::pathFromUtf8(name)); }
  std::string str() const { return plat::pathToUtf8(path); }
};

inline void writeFile(const std::string& path, const std::string& bytes) {
  std::filesystem::create_directories(plat::pathFromUtf8(path).parent_path());
  FILE* f = plat::openFile(path, "wb");
  if (!f) return;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

inline std::string readFile(const std::string& path) {
  std::string out;
  FILE* f = plat::openFile(path, "rb");
  if (!f) return "<missing>";
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  std::fclose(f);
  return out;
}

// Writes a fixture file (parents created); a file that cannot be made fails the test.
inline void writeAt(const std::filesystem::path& path, const std::string& text) {
  std::filesystem::create_directories(path.parent_path());
  FILE* f = plat::openFile(plat::pathToUtf8(path), "wb");
  ASSERT_NE(f, nullptr) << path;
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

// The file's bytes, or empty text when it cannot be read.
inline std::string readAt(const std::filesystem::path& path) {
  std::string text;
  plat::readWholeFile(plat::pathToUtf8(path), text);
  return text;
}

inline bool entryExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::symlink_status(plat::pathFromUtf8(path), ec).type() != std::filesystem::file_type::not_found &&
         !ec;
}
