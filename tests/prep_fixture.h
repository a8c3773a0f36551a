// A throw-away release folder with the stand-in build pipeline, a user folder,
// synthetic disc images, and helpers that drive the App's disc check and build
// the way the frame loop does.
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "app/app.h"
#include "plat/text.h"
#include "test_files.h"
#include "update/version.h"

namespace prep_test {

namespace fs = std::filesystem;

// The host's Python 3, or empty where the tests cannot run one.
inline std::string hostPython() { return VEYRA_TEST_PYTHON; }

inline fs::path uniqueTempDir(const std::string& stem) {
  static int counter = 0;
  fs::path dir = fs::temp_directory_path() /
                 (stem + "-" + std::to_string(plat::nowSeconds()).substr(0, 12) + "-" + std::to_string(counter++));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

// Disc images shared by every test of a run; made once with the disc maker.
struct Discs {
  fs::path dir, right, other, modified, notImage, cue, missing;
};

inline const Discs& discs() {
  static Discs d = [] {
    Discs out;
    out.dir = uniqueTempDir("veyra-discs");
    out.right = out.dir / "right.iso";
    out.other = out.dir / "other game.iso";
    out.modified = out.dir / "modified.iso";
    out.notImage = out.dir / "photo.iso";
    out.cue = out.dir / "raw.cue";
    out.missing = out.dir / "gone.iso";
    std::string maker = std::string(VEYRA_SOURCE_DIR) + "/demo/make_disc.py";
    auto make = [&](const char* kind, const fs::path& path) {
      std::string command = "\"" + hostPython() + "\" \"" + maker + "\" " + kind + " \"" + path.string() + "\"";
      EXPECT_EQ(std::system(command.c_str()), 0) << command;
    };
    make("right", out.right);
    make("other", out.other);
    make("modified", out.modified);
    make("notimage", out.notImage);
    make("bincue", out.cue);
    // Constructed before the handler is registered, so it outlives it.
    static fs::path made;
    made = out.dir;
    std::atexit([] {
      std::error_code ec;
      fs::remove_all(made, ec);
    });
    return out;
  }();
  return d;
}

// A release folder R and user folder U, with the App's paths set as the
// layout rules lay them out.
struct Release {
  fs::path root, user;
  std::string commit = "0123456789abcdef0123456789abcdef01234567";

  Release() {
    root = uniqueTempDir("veyra-release");
    user = root / "user";
    fs::path tools = fs::path(VEYRA_SOURCE_DIR) / "demo" / "release" / "source" / "tools";
    fs::create_directories(root / "source" / "tools");
    fs::copy_file(tools / "veyra_build.py", root / "source" / "tools" / "veyra_build.py");
    fs::copy_file(tools / "accepted_sha1.txt", root / "source" / "tools" / "accepted_sha1.txt");
    writeFile(root / "source" / "release.ini", std::string("version=") + launcherVersion + "\ncommit=" + commit + "\n");
    writeFile(root / "kit" / "kit_manifest.json", "{}\n");
    writeFile(root / "kit" / "game" / gameName(), "the kit's game program\n");
    fs::create_directories(root / "kit" / "python" / "bin");
    if (!hostPython().empty()) fs::create_symlink(hostPython(), root / "kit" / "python" / "bin" / "python3");
    fs::create_directories(user);
  }
  ~Release() {
    std::error_code ec;
    fs::remove_all(root, ec);
  }

  // The interpreter the layout names is gone (and on Windows never existed).
  void removeInterpreter(App& app) const {
    std::error_code ec;
    fs::remove(plat::pathFromUtf8(app.pythonExe), ec);
    ASSERT_FALSE(fs::exists(plat::pathFromUtf8(app.pythonExe)));
  }

  static std::string gameName() { return "veyra"; }  // the POSIX name; these tests need a host Python

  // The App's paths by the layout rules, with this user folder.
  void layOut(App& app) const {
    plat::setEnv("RA2V_USER_DIR", plat::pathToUtf8(user));
    app.resolveLayout(plat::pathToUtf8(root));
    plat::setEnv("RA2V_USER_DIR", "");
  }
};

// Sets environment variables for the build script for one scope.
struct ScopedEnv {
  std::vector<std::string> names;
  ScopedEnv(std::initializer_list<std::pair<const char*, std::string>> values) {
    for (const auto& [name, value] : values) {
      plat::setEnv(name, value);
      names.push_back(name);
    }
  }
  ~ScopedEnv() {
    for (const std::string& name : names) plat::setEnv(name.c_str(), "");
  }
};

constexpr double kTimeoutSeconds = 60;

inline void pause() { std::this_thread::sleep_for(std::chrono::milliseconds(20)); }

// Polls like the frame loop until the check has been read; false on time-out.
inline bool finishDiscCheck(App& app) {
  double end = plat::nowSeconds() + kTimeoutSeconds;
  while (app.discChecking && plat::nowSeconds() < end) {
    pause();
    app.pollDiscCheck();
  }
  return !app.discChecking;
}

// Polls until `until` holds or the build has ended; false on time-out.
template <class Until>
bool pollBuildUntil(App& app, Until until) {
  double end = plat::nowSeconds() + kTimeoutSeconds;
  while (app.building && !until() && plat::nowSeconds() < end) {
    pause();
    app.pollBuild();
  }
  return !app.building || until();
}

inline bool finishBuild(App& app) {
  return pollBuildUntil(app, [] { return false; });
}

}  // namespace prep_test
