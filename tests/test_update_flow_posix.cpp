// The whole update against the local release service and the release's real
// update script: download, verify, install, restart; and the ways it fails.
// The "launcher" restarted here is this test binary, asked to run no tests.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include <unistd.h>

#include "app/app.h"
#include "plat/text.h"
#include "test_files.h"
#include "test_server.h"
#include "update/update_install.h"
#include "ui_harness.h"

namespace fs = std::filesystem;

namespace {

// Publishes release `version` in the server's assets, packed and signed (with
// this build's test key) by the release tool: its archive holds
// source/release.ini and launcher.txt (and `padding` bytes more). `sha256Mode`
// "bad" then spoils the checksum file, "none" removes it.
void publish(const std::string& version, const char* sha256Mode, size_t padding = 0) {
  fs::path work = fs::temp_directory_path() / ("veyra-publish-" + version + "-" + std::to_string(getpid()));
  fs::remove_all(work);
  writeFile(work / "source" / "release.ini", "version=" + version + "\n");
  writeFile(work / "launcher.txt", "launcher " + version + "\n");
  if (padding) {
    std::string bytes(padding, '\0');
    std::mt19937 noise(7);  // incompressible: the archive stays as large as the padding
    for (char& c : bytes) c = char(noise());
    writeFile(work / "padding.bin", bytes);
  }
  std::string zip = testServerAssetsDir() + "/" + releaseAssetName(version);
  std::string suffix = releaseAssetName(version).substr(("Morvane-" + version).size());
  std::string command = "python3 " VEYRA_SOURCE_DIR "/scripts/make_release.py '" + work.string() + "' '" +
                        testServerAssetsDir() + "' --suffix=" + suffix +
                        " --tool " VEYRA_BINARY_DIR "/release-key/release_key --key " VEYRA_BINARY_DIR
                        "/release-key/test-secret.hex >/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  if (std::string(sha256Mode) == "bad") writeFile(zip + ".sha256", std::string(64, '0') + "\n");
  if (std::string(sha256Mode) == "none") fs::remove(zip + ".sha256");
  fs::remove_all(work);
}

struct Release {
  fs::path dir;
  // Per process: ctest runs these side by side.
  explicit Release(const char* name)
      : dir(fs::temp_directory_path() / (std::string(name) + "-" + std::to_string(getpid()))) {
    fs::remove_all(dir);
    writeFile(dir / "source" / "release.ini", "version=0.1.6\n");
    writeFile(dir / "launcher.txt", "launcher 0.1.6\n");
    fs::create_directories(dir / "source" / "tools");
    fs::copy_file(VEYRA_SOURCE_DIR "/demo/release/source/tools/apply_update.py",
                  dir / "source" / "tools" / "apply_update.py");
  }
  ~Release() { fs::remove_all(dir); }
  void into(App& app, const TestServer& server, const char* route = "/download/") const {
    app.releaseDir = dir.string();
    app.sourceDir = (dir / "source").string();
    app.pythonExe = "/usr/bin/python3";
    app.downloadPrefix = server.base() + route;
    app.restartArgs = {"--gtest_filter=-*"};
  }
};

// Polls as the frame loop would until the update settles.
void runUpdate(App& app, double seconds = 60) {
  double until = plat::nowSeconds() + seconds;
  while ((app.updateStage == Downloading || app.updateStage == Installing) && plat::nowSeconds() < until) {
    app.pollUpdate();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

std::vector<std::string> requestsSince(const TestServer& server, size_t& mark) {
  std::ifstream in(server.logPath);
  std::vector<std::string> lines;
  size_t n = 0;
  for (std::string line; std::getline(in, line); ++n)
    if (n >= mark) lines.push_back(line.substr(line.find(' ') + 1));
  mark = n;
  return lines;
}

#define NEED_SERVER()                                \
  TestServer server;                                 \
  {                                                  \
    std::string why;                                 \
    if (!testServer(server, why)) GTEST_SKIP() << why; \
  }

TEST(UpdateFlow, InstallsAndRestarts) {
  NEED_SERVER();
  publish("0.1.7", "good");
  Release release("veyra-update-ok");
  App app;
  release.into(app, server);
  app.startUpdate("v0.1.7", "0.1.7");
  ASSERT_EQ(app.updateStage, Downloading);
  runUpdate(app);
  EXPECT_EQ(app.updateStage, Restarting) << app.updateMessage;
  EXPECT_TRUE(app.quitNow);
  EXPECT_EQ(app.updateStep, "done");
  EXPECT_EQ(readFile(release.dir / "launcher.txt"), "launcher 0.1.7\n");
  EXPECT_EQ(readFile(release.dir / "source" / "release.ini"), "version=0.1.7\n");
  EXPECT_FALSE(fs::exists(release.dir / "update" / releaseAssetName("0.1.7")));
}

TEST(UpdateFlow, UpdateNowStartsOnceTheCheckOffersARelease) {
  NEED_SERVER();
  publish("0.1.7", "good");
  Release release("veyra-update-now");
  App app;
  release.into(app, server);
  app.updateNow = true;
  pollUpdateNow(app);
  EXPECT_EQ(app.updateStage, UpdateStageIdle) << "no check has answered yet";
  app.updateCheck->start(server.base() + "/latest/v0.1.7", false);
  double until = plat::nowSeconds() + 30;
  while (app.updateStage == UpdateStageIdle && plat::nowSeconds() < until) {
    pollUpdateNow(app);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_FALSE(app.updateNow);
  runUpdate(app);
  EXPECT_EQ(app.updateStage, Restarting) << app.updateMessage;
  EXPECT_EQ(readFile(release.dir / "launcher.txt"), "launcher 0.1.7\n");
}

TEST(UpdateFlow, WrongChecksumFailsWithTheScriptsText) {
  NEED_SERVER();
  publish("0.1.8", "bad");
  Release release("veyra-update-badsum");
  App app;
  release.into(app, server);
  app.startUpdate("v0.1.8", "0.1.8");
  runUpdate(app);
  EXPECT_EQ(app.updateStage, UpdateStageFailed);
  EXPECT_EQ(app.updateMessage, "the download is damaged (its SHA-256 does not match)");
  EXPECT_EQ(readFile(release.dir / "launcher.txt"), "launcher 0.1.6\n");
}

TEST(UpdateFlow, MissingChecksumNeverAsksForTheArchive) {
  NEED_SERVER();
  publish("0.1.9", "none");
  Release release("veyra-update-nosum");
  for (bool french : {false, true}) {
    UiGlobalsGuard globals;
    App app;
    release.into(app, server);
    uiFrench = french;
    size_t mark = 0;
    requestsSince(server, mark);
    app.startUpdate("v0.1.9", "0.1.9");
    runUpdate(app);
    EXPECT_EQ(app.updateStage, UpdateStageFailed);
    EXPECT_EQ(app.updateMessage, french ? "Le téléchargement a échoué : HTTP 404." : "The download failed: HTTP 404.");
    std::vector<std::string> asked = requestsSince(server, mark);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], "/download/v0.1.9/" + releaseAssetName("0.1.9") + ".sha256");
  }
}

TEST(UpdateFlow, StopDuringTheArchiveLeavesNothing) {
  NEED_SERVER();
  publish("0.2.1", "good", 4 * 1024 * 1024);  // trickles for about a minute
  Release release("veyra-update-stop");
  App app;
  release.into(app, server, "/slowdownload/");
  app.startUpdate("v0.2.1", "0.2.1");
  double until = plat::nowSeconds() + 30;
  while (app.updateBytesDone.load() == 0 && plat::nowSeconds() < until) {
    app.pollUpdate();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_GT(app.updateBytesTotal.load(), 4000000u);
  app.cancelUpdate.store(true);
  runUpdate(app);
  EXPECT_EQ(app.updateStage, UpdateStageIdle);
  EXPECT_EQ(app.updateMessage, "The download failed: stopped.");
  EXPECT_FALSE(fs::exists(release.dir / "update" / releaseAssetName("0.2.1")));
}

// The launcher's own check before the script: a refused download is deleted
// with the update folder, and the release is left as it was.
TEST(UpdateFlow, UnsignedOrAlteredReleasesAreRefused) {
  NEED_SERVER();
  struct Case {
    const char* version;
    void (*spoil)(const std::string& zip);
    const char* message;  // beginning of updateMessage
  };
  const Case cases[] = {
      {"0.3.1",
       [](const std::string& zip) {
         // Altered, with a checksum file to match: only the signature knows.
         std::string bytes = readFile(zip);
         bytes[bytes.size() / 2] ^= 0x55;
         writeFile(zip, bytes);
         std::string command = "cd '" + fs::path(zip).parent_path().string() + "' && sha256sum '" +
                               fs::path(zip).filename().string() + "' > '" + zip + ".sha256'";
         ASSERT_EQ(std::system(command.c_str()), 0);
       },
       "The download does not match the signed release"},
      {"0.3.2", [](const std::string& zip) { fs::remove(zip + ".sig"); },
       "The download failed: no signature file (HTTP 404)."},
  };
  for (const Case& c : cases) {
    publish(c.version, "good");
    c.spoil(testServerAssetsDir() + "/" + releaseAssetName(c.version));
    Release release("veyra-update-refused");
    App app;
    release.into(app, server);
    app.startUpdate(std::string("v") + c.version, c.version);
    runUpdate(app);
    EXPECT_EQ(app.updateStage, UpdateStageFailed) << c.version;
    EXPECT_EQ(app.updateMessage.rfind(c.message, 0), 0u) << app.updateMessage;
    EXPECT_FALSE(fs::exists(release.dir / "update")) << c.version;
    EXPECT_EQ(readFile(release.dir / "launcher.txt"), "launcher 0.1.6\n");
  }
}

struct ScriptCase {
  const char* name;
  const char* script;  // Python body replacing the update script
  int stage;
  const char* message;
};

TEST(UpdateFlow, ScriptOutcomes) {
  NEED_SERVER();
  publish("0.1.7", "good");
  const ScriptCase cases[] = {
      {"done ok", "print('step verify'); print('progress 5 10'); print('done ok')", Restarting, ""},
      {"bare done", "print('done')", UpdateStageFailed, "The update stopped (exit code 0)."},
      {"error line", "import sys; print('error first', flush=True); print('error bad checksum', file=sys.stderr); sys.exit(2)",
       UpdateStageFailed, "bad checksum"},
      {"step after done", "print('done ok'); print('step install')", UpdateStageFailed,
       "The update stopped (exit code 0)."},
      {"crash", "import sys; sys.exit(7)", UpdateStageFailed, "The update stopped (exit code 7)."},
  };
  for (const ScriptCase& c : cases) {
    Release release("veyra-update-script");
    writeFile(release.dir / "source" / "tools" / "apply_update.py", std::string(c.script) + "\n");
    App app;
    release.into(app, server);
    app.startUpdate("v0.1.7", "0.1.7");
    runUpdate(app);
    EXPECT_EQ(app.updateStage, c.stage) << c.name;
    EXPECT_EQ(app.updateMessage, c.message) << c.name;
  }
}

TEST(UpdateFlow, InterpreterThatCannotStart) {
  NEED_SERVER();
  publish("0.1.7", "good");
  Release release("veyra-update-nopython");
  App app;
  release.into(app, server);
  app.pythonExe = (release.dir / "kit" / "no-python").string();
  app.startUpdate("v0.1.7", "0.1.7");
  runUpdate(app);
  EXPECT_EQ(app.updateStage, UpdateStageFailed);
  EXPECT_EQ(app.updateMessage.rfind("The update could not start: ", 0), 0u) << app.updateMessage;
  EXPECT_GT(app.updateMessage.size(), 28u);
}

}  // namespace
