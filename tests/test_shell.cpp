// Shell services that need no user: free space, the executable's own path,
// and whether a file dialog can show.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "plat/shell.h"
#include "plat/text.h"
#include "test_files.h"

TEST(Shell, FreeDiskBytes) {
  EXPECT_GT(plat::freeDiskBytes(plat::pathToUtf8(std::filesystem::temp_directory_path())), 0u);
  EXPECT_EQ(plat::freeDiskBytes(""), 0u);
  EXPECT_EQ(plat::freeDiskBytes(plat::exeDir() + "/no_such_folder/below"), 0u);
}

TEST(Shell, ExePathIsThisProgram) {
  std::filesystem::path self = plat::pathFromUtf8(plat::exePath());
  EXPECT_EQ(self.stem().string(), "veyra_tests");
  EXPECT_EQ(self.parent_path().lexically_normal().make_preferred(),
            plat::pathFromUtf8(plat::exeDir()).lexically_normal().make_preferred());
}

#ifndef _WIN32
// As SDL's dialog decides: zenity on the search path or a desktop portal
// that the session bus can start, and the driver hint narrows it to one.
TEST(Shell, FileChooserFollowsWhatTheDialogNeeds) {
  const TempDir temp;
  writeFile(temp / "bin/zenity", "#!/bin/sh\n");
  std::filesystem::permissions(temp.path / "bin/zenity", std::filesystem::perms::owner_all);
  writeFile(temp / "share/dbus-1/services/org.freedesktop.portal.Desktop.service", "");
  const char* names[] = {"PATH", "DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR", "XDG_DATA_HOME", "XDG_DATA_DIRS",
                         "SDL_FILE_DIALOG_DRIVER"};
  std::vector<std::string> saved;
  for (const char* n : names) saved.push_back(plat::getEnv(n));

  struct Case {
    bool zenity, bus, portalFile;
    const char* driver;
    bool chooser;
  };
  for (const Case& c : {Case{false, false, false, "", false}, Case{true, false, false, "", true},
                        Case{false, true, true, "", true}, Case{false, true, false, "", false},
                        Case{false, false, true, "", false}, Case{true, false, false, "portal", false},
                        Case{false, true, true, "zenity", false}, Case{true, true, true, "zenity", true}}) {
    plat::setEnv("PATH", c.zenity ? temp / "bin" : temp / "empty");
    plat::setEnv("DBUS_SESSION_BUS_ADDRESS", c.bus ? "unix:path=/nowhere" : "");
    plat::setEnv("XDG_RUNTIME_DIR", temp / "runtime");
    plat::setEnv("XDG_DATA_HOME", temp / "nothing");
    plat::setEnv("XDG_DATA_DIRS", c.portalFile ? temp / "share" : temp / "nothing");
    plat::setEnv("SDL_FILE_DIALOG_DRIVER", c.driver);
    EXPECT_EQ(plat::hasFileChooser(), c.chooser)
        << "zenity " << c.zenity << ", bus " << c.bus << ", portal " << c.portalFile << ", driver " << c.driver;
  }
  for (size_t i = 0; i < saved.size(); ++i) plat::setEnv(names[i], saved[i]);
}
#endif
