// The POSIX user-folder fallbacks: after RA2V_USER_DIR, portable.txt and
// APPDATA come the XDG data folder and then ~/.local/share, before the
// executable's folder.
#include <gtest/gtest.h>

#include "app/app.h"
#include "prepare/folders.h"
#include "test_files.h"

TEST(LayoutPosix, UserDirFollowsXdgThenHome) {
  TempDir t;
  std::vector<std::pair<const char*, std::string>> saved;
  for (const char* name : {"RA2V_USER_DIR", "APPDATA", "XDG_DATA_HOME", "HOME"}) saved.emplace_back(name, plat::getEnv(name));
  plat::setEnv("RA2V_USER_DIR", "");
  plat::setEnv("APPDATA", "");
  plat::setEnv("HOME", t / "home");

  plat::setEnv("XDG_DATA_HOME", t / "xdg");
  EXPECT_EQ(resolveUserDir(), t / "xdg/Morvane");
  plat::setEnv("XDG_DATA_HOME", "relative/xdg");  // not absolute: ignored, as that convention says
  EXPECT_EQ(resolveUserDir(), t / "home/.local/share/Morvane");
  plat::setEnv("XDG_DATA_HOME", "");
  EXPECT_EQ(resolveUserDir(), t / "home/.local/share/Morvane");
  EXPECT_TRUE(std::filesystem::is_directory(t.path / "home/.local/share/Morvane"));
  plat::setEnv("APPDATA", t / "appdata");  // APPDATA still comes first when set
  EXPECT_EQ(resolveUserDir(), t / "appdata/Morvane");
  plat::setEnv("APPDATA", "");
  plat::setEnv("XDG_DATA_HOME", t / "xdg");
  writeFile(t / "release/portable.txt", "");  // and portable.txt before both
  EXPECT_EQ(resolveUserFolder(t / "release").dir, t / "release/user");

  for (auto& [name, value] : saved) plat::setEnv(name, value);
}

TEST(LayoutPosix, ExecutableNamesFollowThePlatform) {
  TempDir t;
  std::string saved = plat::getEnv("RA2V_USER_DIR");
  plat::setEnv("RA2V_USER_DIR", t / "user");
  App app;
  app.resolveLayout(t / "rel");
  EXPECT_EQ(app.pythonExe, t / "rel/kit/python/bin/python3");
  EXPECT_EQ(app.gameExe, t / "rel/game/veyra");
  EXPECT_EQ(app.missingItem, "source/tools/veyra_build.py");
  writeFile(app.buildScript, "");
  writeFile(app.pythonExe, "");  // no manifest
  App again;
  again.resolveLayout(t / "rel");
  plat::setEnv("RA2V_USER_DIR", saved);
  EXPECT_EQ(again.missingItem, "kit/");
}
