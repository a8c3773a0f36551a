// Folder listing for the crash watch.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "plat/listing.h"
#include "plat/text.h"

namespace {

namespace fs = std::filesystem;

TEST(Listing, FilesEndingInTheSuffixOnly) {
  const fs::path dir = fs::temp_directory_path() / "veyra_listing";
  fs::remove_all(dir);
  fs::create_directories(dir / "sub.txt");
  for (const char* name : {"a.txt", "b.TXT.bak", "a.txtx", "crash report é.txt", "notes"}) {
    FILE* f = plat::openFile(plat::pathToUtf8(dir / plat::pathFromUtf8(name)), "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
  }
  // 2001-01-01 00:00:00 UTC: 400 years after the Windows epoch, 31 after Unix's.
  const auto when = std::chrono::file_clock::from_sys(std::chrono::sys_seconds(std::chrono::seconds(978307200)));
  fs::last_write_time(dir / "a.txt", when);

  std::vector<plat::FileEntry> entries = plat::listFiles(plat::pathToUtf8(dir), ".txt");
  std::vector<std::string> names;
  for (const plat::FileEntry& e : entries) {
    names.push_back(plat::pathToUtf8(plat::pathFromUtf8(e.path).filename()));
    EXPECT_EQ(plat::pathFromUtf8(e.path).parent_path(), dir) << e.path;
    if (names.back() == "a.txt") {
      EXPECT_EQ(e.lastWriteTime, 126227808000000000ull);
    }
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "crash report é.txt"}));

  EXPECT_TRUE(plat::listFiles(plat::pathToUtf8(dir / "missing"), ".txt").empty());
  fs::remove_all(dir);
}

}  // namespace
