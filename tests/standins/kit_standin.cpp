// Stand-in for the kit's interpreter (running the build script's check and
// build modes or the update script) and for the prepared game, for tests that
// decide when each of them ends. It speaks the scripts' output protocol, then
// waits until the test writes <control>/<role>.go, where <control> is the
// folder named by VEYRA_KIT_CONTROL and <role> is check, build, update or game.
// The file's first word says how to end; the file is removed once read, so
// each go answers exactly one run:
//   check:  ok | reject                       accepted (exit 0) / another game (exit 1)
//   build:  ok <commit> | fail                every step done, the game and built_from.ini
//                                             written (exit 0) / a step fails (exit 1)
//   update: ok <version> <commit> | fail      release.ini rewritten, "done" (exit 0) / error (exit 1)
//   game:   quit | crash <crashes folder> | video <video.ini> <frame rate>
//           quit: exit 0; crash: a crash report written, exit 3; video: frame_rate
//           changed in video.ini as the game's own settings window does, exit 0
// Without an answer within two minutes it exits 9, so nothing outlives a test.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "plat/text.h"

namespace fs = std::filesystem;

namespace {

void say(const std::string& line) {
  std::fputs((line + "\n").c_str(), stdout);
  std::fflush(stdout);
}

std::string argAfter(const std::vector<std::string>& args, const std::string& flag) {
  for (size_t i = 0; i + 1 < args.size(); ++i)
    if (args[i] == flag) return args[i + 1];
  return {};
}

bool has(const std::vector<std::string>& args, const std::string& flag) {
  for (const std::string& a : args)
    if (a == flag) return true;
  return false;
}

// The words of the answer for `role`, once the test has written it.
std::vector<std::string> waitForGo(const std::string& role) {
  const fs::path go = plat::pathFromUtf8(plat::getEnv("VEYRA_KIT_CONTROL")) / (role + ".go");
  const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  std::string text;
  while (std::chrono::steady_clock::now() < end) {
    // The test writes the answer under another name and renames it, so a
    // file that can be read is whole.
    if (plat::readWholeFile(plat::pathToUtf8(go), text)) {
      std::error_code ec;
      fs::remove(go, ec);
      std::istringstream in(text);
      std::vector<std::string> words;
      for (std::string w; std::getline(in, w, '\n');)
        if (!w.empty()) words.push_back(w);
      return words;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
  }
  return {};
}

bool writeText(const fs::path& path, const std::string& text) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  FILE* f = plat::openFile(plat::pathToUtf8(path), "wb");
  if (!f) return false;
  std::fwrite(text.data(), 1, text.size(), f);
  return std::fclose(f) == 0;
}

const char* const kSteps[] = {"verify", "extract", "configure", "tools", "recompile", "packs", "compile", "stage"};

int discCheck() {
  say("INFO reading the image");
  const std::vector<std::string> go = waitForGo("check");
  if (!go.empty() && go[0] == "ok") {
    say("OK SLUS-20999 USA");
    return 0;
  }
  say("ERROR verify the image boots SLES_123.45, not SLUS_209.99");
  return 1;
}

int build(const std::vector<std::string>& args) {
  say("PROGRESS verify");
  const std::vector<std::string> go = waitForGo("build");
  if (go.empty() || go[0] != "ok") {
    say("ERROR compile the compiler stopped");
    return 1;
  }
  const fs::path game = plat::pathFromUtf8(argAfter(args, "--game"));
  writeText(game / "SLUS_209.99", "the game\n");
  writeText(game / "built_from.ini", "commit=" + (go.size() > 1 ? go[1] : std::string()) + "\n");
  for (const char* step : kSteps) say(std::string("DONE ") + step + " in 0.1");
  say("RESULT ok prepared");
  return 0;
}

int update(const std::vector<std::string>& args) {
  say("step verify");
  const std::vector<std::string> go = waitForGo("update");
  if (go.size() < 3 || go[0] != "ok") {
    say("error the archive is damaged");
    return 1;
  }
  const fs::path release = plat::pathFromUtf8(argAfter(args, "--install"));
  writeText(release / "source" / "release.ini", "version=" + go[1] + "\ncommit=" + go[2] + "\n");
  say("done " + go[1]);
  return 0;
}

int game() {
  const std::vector<std::string> go = waitForGo("game");
  if (go.size() >= 2 && go[0] == "crash") {
    writeText(plat::pathFromUtf8(go[1]) / ("crash-" + std::to_string(plat::nowSeconds()) + ".txt"), "crashed\n");
    return 3;
  }
  if (go.size() >= 3 && go[0] == "video") {
    std::string text, out;
    plat::readWholeFile(go[1], text);
    std::istringstream in(text);
    bool replaced = false;
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("frame_rate", 0) == 0) {
        line = "frame_rate = " + go[2];
        replaced = true;
      }
      out += line + "\n";
    }
    if (!replaced) out += "frame_rate = " + go[2] + "\n";
    writeText(plat::pathFromUtf8(go[1]), out);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  plat::saveCommandLine(argc, argv);
  const std::vector<std::string> args = plat::commandLineArgs();
  if (has(args, "--elf")) return game();
  if (has(args, "--zip")) return update(args);
  if (has(args, "--check")) return discCheck();
  if (has(args, "--out")) return build(args);
  say("kit stand-in: no role in the arguments");
  return 2;
}
