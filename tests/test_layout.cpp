// The release folder's completeness check, the user-folder rule and the
// start-up clean-up, on real folders. The clean-up cases include lines built
// to reach files outside the release folder; those files must survive.
#include <gtest/gtest.h>

#include "app/app.h"
#include "prepare/folders.h"
#include "test_files.h"
#include "ui_harness.h"

namespace fs = std::filesystem;

namespace {
const std::string sep(1, char(fs::path::preferred_separator));

// Sets environment variables for one test and puts the old values back.
struct EnvScope {
  std::vector<std::pair<std::string, std::string>> saved;
  void set(const char* name, const std::string& value) {
    saved.emplace_back(name, plat::getEnv(name));
    plat::setEnv(name, value);
  }
  ~EnvScope() {
    // Newest first, so a variable set twice gets its first saved value back.
    for (auto it = saved.rbegin(); it != saved.rend(); ++it)  // NOLINT(modernize-loop-convert)
      plat::setEnv(it->first.c_str(), it->second);
  }
};
}  // namespace

TEST(Layout, MissingItemOrder) {
  struct Case {
    bool script, python, manifest;
    std::string expected;
  };
  const std::string scriptItem = "source" + sep + "tools" + sep + "veyra_build.py", kitItem = "kit" + sep;
  const Case cases[] = {
      {false, false, false, scriptItem},  // the script is checked first
      {false, true, true, scriptItem},
      {true, false, false, kitItem},
      {true, true, false, kitItem},  // an interpreter without the manifest
      {true, false, true, kitItem},
      {true, true, true, ""},
  };
  for (const Case& c : cases) {
    TempDir r;
    if (c.script) writeFile(r / "source/tools/veyra_build.py", "");
    if (c.python) writeFile(r / "kit/python/interpreter", "");
    if (c.manifest) writeFile(r / "kit/kit_manifest.json", "{}");
    EXPECT_EQ(missingReleaseItem(r / "source/tools/veyra_build.py", r / "kit/python/interpreter", r / "kit"), c.expected)
        << c.script << c.python << c.manifest;
  }
}

TEST(Layout, UserDirRule) {
  TempDir t;
  EnvScope env;
  env.set("XDG_DATA_HOME", "");
  env.set("HOME", "");
  env.set("RA2V_USER_DIR", t / "chosen");
  env.set("APPDATA", t / "appdata");
  EXPECT_EQ(resolveUserDir(), t / "chosen");
  EXPECT_TRUE(fs::is_directory(t.path / "chosen"));

  plat::setEnv("RA2V_USER_DIR", "");  // empty counts as unset
  EXPECT_EQ(resolveUserDir(), t / ("appdata" + sep + "Morvane"));
  EXPECT_TRUE(fs::is_directory(t.path / "appdata" / "Morvane"));

  // A relative folder comes back absolute.
  fs::path cwd = fs::current_path();
  fs::current_path(t.path);
  plat::setEnv("RA2V_USER_DIR", "rel");
  std::string rel = resolveUserDir();
  fs::current_path(cwd);
  EXPECT_TRUE(fs::equivalent(plat::pathFromUtf8(rel), t.path / "rel"));
  EXPECT_TRUE(plat::pathFromUtf8(rel).is_absolute());

  // Nothing set: beside the executable.
  plat::setEnv("RA2V_USER_DIR", "");
  plat::setEnv("APPDATA", "");
  std::string besideExe = plat::exeDir() + sep + "user";
  bool existed = entryExists(besideExe);
  EXPECT_EQ(resolveUserDir(), besideExe);
  EXPECT_TRUE(fs::is_directory(plat::pathFromUtf8(besideExe)));
  if (!existed) fs::remove(plat::pathFromUtf8(besideExe));
}

// The user-folder order with portable.txt, from a release whose path holds
// accented, Han and kana letters: RA2V_USER_DIR wins, portable.txt comes next,
// then APPDATA, then "user" beside the executable. A portable folder that
// cannot be made stays the choice, marked unwritable, instead of moving the
// player's saves somewhere they would not look.
TEST(Layout, UserFolderOrderWithPortable) {
  struct Case {
    const char* name;
    bool env, portableFile, appData, userInTheWay;
    std::string expected;  // relative to the scratch folder; "@" is the release
    bool portable, writable;
  };
  const std::string release = "Clé USB" + sep + "Émbre 火 ゲーム";
  const std::string beside = release + sep + "user";
  const Case cases[] = {
      {"env wins over portable", true, true, true, false, "chosen", false, true},
      {"portable before APPDATA", false, true, true, false, beside, true, true},
      {"portable, nothing else set", false, true, false, false, beside, true, true},
      {"no portable.txt: APPDATA", false, false, true, false, "appdata" + sep + "Morvane", false, true},
      {"no portable.txt, nothing set", false, false, false, false, beside, false, true},
      {"portable folder cannot be made", false, true, true, true, beside, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir t;
    EnvScope env;
    env.set("XDG_DATA_HOME", "");
    env.set("HOME", "");
    env.set("RA2V_USER_DIR", c.env ? t / "chosen" : "");
    env.set("APPDATA", c.appData ? t / "appdata" : "");
    const std::string exeFolder = t / release;
    fs::create_directories(plat::pathFromUtf8(exeFolder));
    if (c.portableFile) writeFile(exeFolder + sep + "portable.txt", "");
    if (c.userInTheWay) writeFile(exeFolder + sep + "user", "a file where the folder goes");

    const UserFolder user = resolveUserFolder(exeFolder);
    EXPECT_EQ(user.dir, t / c.expected);
    EXPECT_EQ(user.portable, c.portable);
    EXPECT_EQ(user.writable, c.writable);
    EXPECT_EQ(fs::is_directory(plat::pathFromUtf8(user.dir)), c.writable);
    EXPECT_FALSE(entryExists(user.dir + sep + ".veyra-write-check"));
  }
}

namespace {
// A release folder with an update folder and outside files beside it, the
// way a probe of the clean-up laid them out.
struct CleanupFixture {
  TempDir root;
  std::string release = root / "Veyra";
  std::string update = release + sep + "update";
  std::string list = update + sep + "old_files.txt";
  CleanupFixture() { fs::create_directories(plat::pathFromUtf8(update)); }
  std::string in(const std::string& relative) const { return release + sep + relative; }
};
}  // namespace

TEST(Layout, CleanupDeletesOnlyOldFilesInsideRelease) {
  CleanupFixture f;
  // Outside the release folder, each reached by one kind of crafted line.
  const std::string sibling = f.root / "Veyra2/data.veyra-old";
  const std::string notes = f.root / "home/me/notes.veyra-old.txt";
  const std::string thesis = f.root / "home/me/thesis.docx";
  const std::string photo = f.root / "home/me/photo.veyra-old";
  for (const std::string& p : {sibling, notes, thesis, photo}) writeFile(p, "keep me");
  fs::create_directories(plat::pathFromUtf8(f.in("x.veyra-old")));
  std::error_code linkError;
  fs::create_directory_symlink(f.root.path / "home" / "me", plat::pathFromUtf8(f.in("link")), linkError);

  // Inside, and legitimately listed.
  const std::string oldLauncher = f.in("veyra-launcher.veyra-old");
  const std::string oldScript = f.in("source" + sep + "tools" + sep + "veyra_build.py.veyra-old");
  writeFile(oldLauncher, "old");
  writeFile(oldScript, "old");
  writeFile(f.in("source" + sep + "kept.txt"), "not listed");

  const std::string lines[] = {
      f.release + "2" + sep + "data.veyra-old",                                            // same-prefix sibling
      f.in(".." + sep + "home" + sep + "me" + sep + "notes.veyra-old.txt"),                // ".." segments
      f.in("x.veyra-old" + sep + ".." + sep + ".." + sep + "home" + sep + "me" + sep + "thesis.docx"),  // marker in a folder
      f.in("link" + sep + "photo.veyra-old"),                                              // a link leading out
      f.in("." + sep + "veyra-launcher.veyra-old"),                                        // "." is refused too
      oldLauncher,
      oldScript + "\r",  // a CR LF list
      f.in("source" + sep + "kept.txt"),  // no marker
      "",
  };
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  writeFile(f.list, text);

  cleanOldFilesIn(f.release, f.update);

  for (const std::string& p : {sibling, notes, thesis, photo}) EXPECT_EQ(readFile(p), "keep me") << p;
  EXPECT_FALSE(entryExists(oldLauncher));
  EXPECT_FALSE(entryExists(oldScript));
  EXPECT_TRUE(entryExists(f.in("source" + sep + "kept.txt")));
  EXPECT_FALSE(entryExists(f.list));  // every candidate went, so the list and the empty folder go too
  EXPECT_FALSE(entryExists(f.update));
  if (linkError) std::cout << "[ note     ] no link could be made here (" << linkError.message() << ")\n";
}

TEST(Layout, CleanupOfAnAlreadyGoneFile) {
  CleanupFixture f;
  writeFile(f.update + sep + "other.zip", "x");  // the folder is not emptied by force
  writeFile(f.list, f.in("gone.veyra-old") + "\n");
  cleanOldFilesIn(f.release, f.update);
  EXPECT_FALSE(entryExists(f.list));
  EXPECT_TRUE(entryExists(f.update + sep + "other.zip"));

  fs::remove(plat::pathFromUtf8(f.update + sep + "other.zip"));
  writeFile(f.list, f.in("gone.veyra-old") + "\n");
  cleanOldFilesIn(f.release, f.update);
  EXPECT_FALSE(entryExists(f.update));

  cleanOldFilesIn(f.release, f.update);  // nothing to do and nothing breaks
  EXPECT_FALSE(entryExists(f.update));
}

TEST(Layout, CandidateRules) {
  CleanupFixture f;
  writeFile(f.in("a.veyra-old"), "");
  writeFile(f.in("sub" + sep + "b.veyra-old.dll"), "");
  EXPECT_TRUE(isOldFileCandidate(f.release, f.in("a.veyra-old")));
  EXPECT_TRUE(isOldFileCandidate(f.release + sep, f.in("a.veyra-old")));  // a release given with a final separator
  EXPECT_TRUE(isOldFileCandidate(f.release, f.in("sub" + sep + "b.veyra-old.dll")));
  EXPECT_FALSE(isOldFileCandidate(f.release, f.release));
  EXPECT_FALSE(isOldFileCandidate(f.release, f.in("sub")));  // a folder, not a file
  EXPECT_FALSE(isOldFileCandidate(f.release, "a.veyra-old"));  // relative
  EXPECT_FALSE(isOldFileCandidate("", f.in("a.veyra-old")));
}

TEST(Layout, ResolveLayoutEndToEnd) {
  TempDir t;
  EnvScope env;
  env.set("RA2V_USER_DIR", t / "user");
  const std::string r = t / "Veyra";
  fs::create_directories(plat::pathFromUtf8(r));
  auto in = [&](std::initializer_list<const char*> parts) {
    std::string p = r;
    for (const char* part : parts) p += sep + part;
    return p;
  };

  {
    App app;
    app.resolveLayout(r);
    EXPECT_EQ(app.releaseDir, r);
    EXPECT_EQ(app.sourceDir, in({"source"}));
    EXPECT_EQ(app.kitDir, in({"kit"}));
    EXPECT_EQ(app.buildScript, in({"source", "tools", "veyra_build.py"}));
    EXPECT_EQ(app.buildLogsDir, in({"build", "logs"}));
    EXPECT_EQ(app.gameDir, in({"game"}));
    EXPECT_EQ(app.gameElf, in({"game", "SLUS_209.99"}));
    EXPECT_EQ(app.gameIso, in({"game", "disc.iso"}));
    EXPECT_EQ(app.releaseIniPath, in({"source", "release.ini"}));
    EXPECT_EQ(app.builtFromIniPath, in({"game", "built_from.ini"}));
    EXPECT_EQ(app.userDir, t / "user");
    EXPECT_EQ(app.launcherIniPath, t / ("user" + sep + "launcher.ini"));
    EXPECT_EQ(app.videoIniPath, t / ("user" + sep + "video.ini"));
    EXPECT_EQ(app.crashesDir, t / ("user" + sep + "crashes"));
    EXPECT_FALSE(entryExists(app.logsDir));  // user subfolders are left to their writers
    EXPECT_EQ(updateDir(app), in({"update"}));
    EXPECT_EQ(app.stage, Incomplete);
    EXPECT_EQ(app.missingItem, "source" + sep + "tools" + sep + "veyra_build.py");

    // Complete the release for the next start.
    writeFile(app.buildScript, "");
    writeFile(app.pythonExe, "");
    writeFile(in({"kit", "kit_manifest.json"}), "{}");
    writeFile(in({"update", "old_files.txt"}), in({"gone.veyra-old"}) + "\n");
  }
  {
    App app;
    app.resolveLayout(r);
    EXPECT_EQ(app.missingItem, "");
    EXPECT_EQ(app.stage, NoDisc);
    EXPECT_FALSE(entryExists(in({"update"})));  // the clean-up ran as the last step
    writeFile(app.launcherIniPath, "disc = " + t / "no-such.iso" + "\nlanguage = fr\n");
    writeFile(app.videoIniPath, "size = 1280x720\n");
  }
  {
    UiGlobalsGuard globals;
    uiFrench = false;
    App app;
    app.resolveLayout(r);
    EXPECT_EQ(app.stage, Ready);  // a recorded disc is enough, present or not
    EXPECT_TRUE(uiFrench);
    EXPECT_EQ(app.video.width, 1280);
    EXPECT_TRUE(app.video.videoSaved);
  }
}
