// A scratch folder per test and the whole-file helpers every test uses.
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

// A test names a file by UTF-8 text (as the launcher's own calls take it) or
// by a path; text goes through pathFromUtf8, so names outside the system's
// code page stay intact on Windows.
struct FileName {
  std::filesystem::path path;
  FileName(const std::filesystem::path& p) : path(p) {}
  FileName(const std::string& utf8) : path(plat::pathFromUtf8(utf8)) {}
  FileName(const char* utf8) : path(plat::pathFromUtf8(utf8)) {}
};

// Writes a fixture file, its parent folders created; a file that cannot be
// made fails the test.
inline void writeFile(const FileName& file, const std::string& bytes) {
  std::error_code ec;
  std::filesystem::create_directories(file.path.parent_path(), ec);
  FILE* f = plat::openFile(plat::pathToUtf8(file.path), "wb");
  ASSERT_NE(f, nullptr) << "cannot write the fixture " << file.path;
  const size_t written = std::fwrite(bytes.data(), 1, bytes.size(), f);
  const bool closed = std::fclose(f) == 0;
  ASSERT_TRUE(written == bytes.size() && closed) << "cannot write the fixture " << file.path;
}

// What a missing or unreadable file reads as: no file's content, so a test
// that expects some text, even none, fails on a file that is not there.
inline const std::string kMissingFile = "<missing>";

// The file's bytes, or kMissingFile.
inline std::string readFile(const FileName& file) {
  std::string text;
  return plat::readWholeFile(plat::pathToUtf8(file.path), text) ? text : kMissingFile;
}

inline bool entryExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::symlink_status(plat::pathFromUtf8(path), ec).type() != std::filesystem::file_type::not_found &&
         !ec;
}
