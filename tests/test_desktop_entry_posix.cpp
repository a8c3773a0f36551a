// The Linux menu entry: how a launcher path is written into Exec= (paths players
// really have: spaces, apostrophes, dollar signs, percent signs, backslashes),
// and the copy of the release's entry and icons into a data folder.
#include <gtest/gtest.h>

#include "app/desktop_entry.h"
#include "test_files.h"

namespace fs = std::filesystem;

TEST(DesktopEntry, ExecValueQuotingAndEscaping) {
  struct Case {
    std::string path, exec;
  };
  const Case cases[] = {
      {"/opt/veyra/veyra-launcher", "/opt/veyra/veyra-launcher"},
      {"/home/zoé/Jeux/Émbre 火/veyra-launcher", R"("/home/zoé/Jeux/Émbre 火/veyra-launcher")"},
      {"/home/me/l'été/veyra-launcher", R"("/home/me/l'été/veyra-launcher")"},
      // Inside quotes " ` $ \ take a backslash, and the file doubles backslashes.
      {R"(/a/"x" `y` $HOME/v)", R"("/a/\\"x\\" \\`y\\` \\$HOME/v")"},
      {R"(/a/back\slash/v)", R"("/a/back\\\\slash/v")"},
      // A percent sign is a field code unless doubled, quoted or not.
      {"/media/100%/v", "/media/100%%/v"},
      {"/media/100% sure/v", R"("/media/100%% sure/v")"},
      {"/a=b/v", "/a=b/v"},
      // What no entry can hold.
      {"/a/line\nbreak/v", ""},
      {"/a/tab\there/v", ""},
      {"/a/\xff\xfe/v", ""},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(desktopExecValue(c.path), c.exec) << c.path;
}

namespace {
const char* const kEntry =
    "[Desktop Entry]\nType=Application\nName=Veyra Launcher\nComment=Exec=keeps\nTryExec=veyra-launcher\n"
    "Exec=veyra-launcher\nIcon=veyra-launcher\n";

struct InstallFixture {
  TempDir t;
  std::string release = t / "Mes jeux/Morvane";
  std::string data = t / "data";
  std::string program = release + "/veyra-launcher";
  DesktopInstall done;
  std::string error;
  bool missing = true;
  InstallFixture() {
    writeFile(release + "/share/applications/veyra-launcher.desktop", kEntry);
    for (const char* size : {"16x16", "256x256"})
      writeFile(release + "/share/icons/hicolor/" + size + "/apps/veyra-launcher.png", std::string("png ") + size);
  }
  bool install() { return installDesktopEntry(release, program, data, done, error, missing); }
};
}  // namespace

TEST(DesktopEntry, InstallCopiesIconsAndNamesThisLauncher) {
  InstallFixture f;
  ASSERT_TRUE(f.install()) << f.error;
  EXPECT_FALSE(f.missing);
  EXPECT_EQ(f.done.entryPath, f.t / "data/applications/veyra-launcher.desktop");
  EXPECT_EQ(readFile(f.done.entryPath),
            "[Desktop Entry]\nType=Application\nName=Veyra Launcher\nComment=Exec=keeps\nTryExec=" + f.program +
                "\nExec=\"" + f.program + "\"\nIcon=veyra-launcher\n");
  EXPECT_EQ(f.done.iconPaths.size(), 2u);
  EXPECT_EQ(readFile(f.t / "data/icons/hicolor/256x256/apps/veyra-launcher.png"), "png 256x256");
  EXPECT_FALSE(fs::exists(f.t.path / "data/applications/veyra-launcher.desktop.tmp"));

  // Installing again, from a release moved elsewhere, replaces the entry.
  f.program = f.t / "elsewhere/veyra-launcher";
  f.done = {};
  ASSERT_TRUE(f.install()) << f.error;
  EXPECT_NE(readFile(f.done.entryPath).find("\nExec=" + f.program + "\n"), std::string::npos);
}

TEST(DesktopEntry, InstallFailures) {
  {
    InstallFixture f;  // a release without the entry (the Windows archive)
    fs::remove_all(plat::pathFromUtf8(f.release + "/share"));
    EXPECT_FALSE(f.install());
    EXPECT_TRUE(f.missing);
    EXPECT_FALSE(fs::exists(f.t.path / "data"));
  }
  {
    InstallFixture f;  // a file where the applications folder goes
    writeFile(f.data + "/applications", "in the way");
    EXPECT_FALSE(f.install());
    EXPECT_FALSE(f.missing);
    EXPECT_NE(f.error.find(f.t / "data/applications"), std::string::npos) << f.error;
  }
  {
    InstallFixture f;  // no data folder: neither XDG_DATA_HOME nor HOME
    f.data.clear();
    EXPECT_FALSE(f.install());
    EXPECT_FALSE(f.missing);
  }
  {
    InstallFixture f;  // a path no entry can hold
    f.program = f.release + "/new\nline/veyra-launcher";
    EXPECT_FALSE(f.install());
    EXPECT_FALSE(fs::exists(f.t.path / "data"));
  }
}
