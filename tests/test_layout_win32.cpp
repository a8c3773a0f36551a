// Clean-up cases that only Windows can show: a file held open cannot be
// deleted, and folder names compare without regard to case.
#include <gtest/gtest.h>
#include <windows.h>

#include "app/app.h"
#include "prepare/folders.h"
#include "test_files.h"

TEST(LayoutWin32, LockedFileSurvivesAloneInTheList) {
  TempDir root;
  std::string release = root / "Veyra", update = release + "\\update", list = update + "\\old_files.txt";
  std::string locked = release + "\\veyra-launcher.exe.veyra-old", freed = release + "\\SDL3.dll.veyra-old";
  writeFile(locked, "in use");
  writeFile(freed, "old");
  writeFile(list, root / "elsewhere.veyra-old\n" + locked + "\r\n" + freed + "\n");
  HANDLE h = CreateFileW(plat::pathFromUtf8(locked).wstring().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  cleanOldFilesIn(release, update);
  CloseHandle(h);
  EXPECT_TRUE(entryExists(locked));
  EXPECT_FALSE(entryExists(freed));
  EXPECT_EQ(readFile(list), locked + "\n");
}

TEST(LayoutWin32, ReleaseComparedWithoutCase) {
  TempDir root;
  std::string release = root / "Veyra";
  writeFile(release + "\\Old.veyra-old", "old");
  std::string shouted = release;
  for (char& c : shouted) c = char(toupper((unsigned char)c));
  EXPECT_TRUE(isOldFileCandidate(release, shouted + "\\Old.veyra-old"));
  EXPECT_TRUE(isOldFileCandidate(release, release + "/Old.veyra-old"));  // either separator
  EXPECT_FALSE(isOldFileCandidate(release, release + "2\\Old.veyra-old"));
}

TEST(LayoutWin32, DirectoryLinkLeadingOutIsRefused) {
  TempDir root;
  std::string release = root / "Veyra", outside = root / "home";
  writeFile(outside + "\\photo.veyra-old", "keep me");
  std::filesystem::create_directories(plat::pathFromUtf8(release));
  std::wstring link = plat::pathFromUtf8(release + "\\link").wstring();
  if (!CreateSymbolicLinkW(link.c_str(), plat::pathFromUtf8(outside).wstring().c_str(),
                           SYMBOLIC_LINK_FLAG_DIRECTORY | 0x2 /* unprivileged create */))
    GTEST_SKIP() << "no directory link could be made: " << plat::lastErrorText();
  if (readFile(release + "\\link\\photo.veyra-old") != "keep me") {
    RemoveDirectoryW(link.c_str());
    GTEST_SKIP() << "the link was reported made but does not lead anywhere on this system";
  }
  EXPECT_FALSE(isOldFileCandidate(release, release + "\\link\\photo.veyra-old"));
  RemoveDirectoryW(link.c_str());
}

TEST(LayoutWin32, ExecutableNamesAndItems) {
  TempDir t;
  std::string saved = plat::getEnv("RA2V_USER_DIR");
  plat::setEnv("RA2V_USER_DIR", t / "user");
  App app;
  app.resolveLayout(t / "rel");
  EXPECT_EQ(app.pythonExe, t / "rel\\kit\\python\\python.exe");
  EXPECT_EQ(app.gameExe, t / "rel\\game\\veyra.exe");
  EXPECT_EQ(app.missingItem, "source\\tools\\veyra_build.py");
  writeFile(app.buildScript, "");
  writeFile(app.pythonExe, "");  // no manifest
  App again;
  again.resolveLayout(t / "rel");
  plat::setEnv("RA2V_USER_DIR", saved);
  EXPECT_EQ(again.missingItem, "kit\\");
}
