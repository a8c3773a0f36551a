// Folder listing for the crash watch and the disc picker.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "plat/listing.h"
#include "plat/text.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;

TEST(Listing, FilesEndingInTheSuffixOnly) {
  const TempDir temp;
  const fs::path dir = temp.path;
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
}

TEST(Listing, FolderWithSizesFoldersFirst) {
  const TempDir temp;
  for (const char* folder : {"b", "Émulation", "A", ".config"}) fs::create_directories(temp.path / plat::pathFromUtf8(folder));
  struct File {
    const char* name;
    size_t size;
  };
  for (const File& f : {File{"z.iso", 3}, File{"Y.bin", 0}, File{"Диск.cue", 5}, File{".hidden.iso", 1}})
    writeFile(temp / f.name, std::string(f.size, 'x'));
#ifndef _WIN32
  fs::create_directory_symlink(temp.path / "A", temp.path / "link to A");
  fs::create_symlink(temp.path / "nowhere", temp.path / "dangling.iso");
#endif

  std::vector<plat::FolderEntry> entries;
  std::string error = "untouched";
  ASSERT_TRUE(plat::listFolder(temp.str(), entries, error));
  EXPECT_EQ(error, "untouched");
  std::vector<std::string> got;
  got.reserve(entries.size());
  for (const plat::FolderEntry& e : entries)
    got.push_back(e.name + (e.folder ? "/" : " " + std::to_string(e.size)) + (e.hidden ? " hidden" : ""));
  std::vector<std::string> want = {".config/ hidden", "A/", "b/"};
#ifndef _WIN32
  want.push_back("link to A/");
#endif
  for (const char* rest : {"Émulation/", ".hidden.iso 1 hidden", "Y.bin 0", "z.iso 3", "Диск.cue 5"})
    want.push_back(rest);
#ifdef _WIN32
  // Windows hides what is marked hidden: a leading dot is an ordinary name
  // there, though Wine marks such names itself. Only the listing is compared.
  for (std::vector<std::string>* list : {&got, &want})
    for (std::string& w : *list)
      if (w.size() > 7 && w.compare(w.size() - 7, 7, " hidden") == 0) w.resize(w.size() - 7);
#endif
  EXPECT_EQ(got, want);

  for (const std::string& unreadable : {temp / "missing", temp / "z.iso"}) {
    error.clear();
    EXPECT_FALSE(plat::listFolder(unreadable, entries, error)) << unreadable;
    EXPECT_TRUE(entries.empty());
    EXPECT_NE(error.find(unreadable), std::string::npos) << error;
  }
}

TEST(Listing, ParentAndChildPaths) {
  struct Case {
    const char *folder, *parent;
  };
#ifdef _WIN32
  const Case cases[] = {{"C:\\", ""}, {"C:\\Games", "C:\\"}, {"C:\\Games\\Discs\\", "C:\\Games"}, {"", ""}};
#else
  const Case cases[] = {{"/", ""}, {"/home", "/"}, {"/home/me/Disques é/", "/home/me"}, {"", ""}, {"discs", ""}};
#endif
  for (const Case& c : cases) EXPECT_EQ(plat::parentFolder(c.folder), c.parent) << c.folder;
  const std::string child = plat::joinPath(cases[1].folder, "東京.iso");
  EXPECT_EQ(plat::parentFolder(child), cases[1].folder);
  EXPECT_EQ(plat::pathToUtf8(plat::pathFromUtf8(child).filename()), "東京.iso");
}

}  // namespace
