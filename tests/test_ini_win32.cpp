// A settings file held open by another program (the game reading video.ini)
// cannot be replaced: the save fails and the old content stays.
#include <gtest/gtest.h>
#include <windows.h>

#include "settings/ini.h"
#include "test_files.h"

TEST(IniWin32, HeldFileKeepsOldContentAndTmp) {
  TempDir dir;
  std::string path = dir / "video.ini";
  writeFile(path, "size = 800x600\n");
  HANDLE h = CreateFileW(plat::pathFromUtf8(path).wstring().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  std::string error;
  bool saved = IniFile::writeAtomically(path, "size = 1280x720\n", &error);
  CloseHandle(h);
  EXPECT_FALSE(saved);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(readFile(path), "size = 800x600\n");
  EXPECT_EQ(readFile(path + ".tmp"), "size = 1280x720\n");
}
