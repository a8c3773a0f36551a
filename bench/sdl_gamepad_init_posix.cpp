// What opening the gamepads adds to start-up: SDL started with video alone
// against video and gamepads, alternated in fresh processes in the same run.
// Each child reports the milliseconds SDL_Init took, then quits SDL (which
// with gamepads also closes them).
//
// Usage (under a display, from the build folder's bin/): sdl_gamepad_init_posix [ROUNDS]
#include <SDL3/SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "plat/process.h"
#include "plat/shell.h"
#include "plat/text.h"

namespace {

int child(SDL_InitFlags flags) {
  const double start = plat::nowSeconds();
  if (!SDL_Init(flags)) return 1;
  const double initMs = (plat::nowSeconds() - start) * 1000;
  SDL_Quit();
  const double quitMs = (plat::nowSeconds() - start) * 1000 - initMs;
  std::printf("%.2f %.2f\n", initMs, quitMs);
  return 0;
}

// One run of a child; its init and quit times, or negative when it failed.
std::pair<double, double> runOnce(const char* side) {
  plat::ChildProcess c;
  std::string error;
  if (!plat::startProcess(c, plat::exePath(), {side}, "", true, error)) return {-1, -1};
  std::string line;
  while (plat::isRunning(c)) SDL_Delay(2);
  plat::waitOutputEnd(c, 2000);
  for (const std::string& l : plat::takeLines(c)) line = l;
  double a = -1, b = -1;
  std::sscanf(line.c_str(), "%lf %lf", &a, &b);
  return {a, b};
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  plat::saveCommandLine(argc, argv);
  if (argc > 1 && std::strcmp(argv[1], "--video") == 0) return child(SDL_INIT_VIDEO);
  if (argc > 1 && std::strcmp(argv[1], "--gamepad") == 0) return child(SDL_INIT_VIDEO | SDL_INIT_GAMEPAD);
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 9;
  std::vector<double> video, gamepad, videoQuit, gamepadQuit;
  runOnce("--video");  // warm-up: the libraries into the page cache
  runOnce("--gamepad");
  for (int i = 0; i < rounds; ++i) {
    auto [v, vq] = runOnce("--video");
    auto [g, gq] = runOnce("--gamepad");
    if (v < 0 || g < 0) {
      std::fprintf(stderr, "a child failed to start SDL\n");
      return 1;
    }
    video.push_back(v);
    gamepad.push_back(g);
    videoQuit.push_back(vq);
    gamepadQuit.push_back(gq);
  }
  const double mv = median(video), mg = median(gamepad);
  std::printf("SDL_Init, median of %d: video %.2f ms, video+gamepad %.2f ms, ratio %.2f (+%.2f ms)\n", rounds, mv,
              mg, mv > 0 ? mg / mv : 0, mg - mv);
  std::printf("SDL_Quit, median: video %.2f ms, video+gamepad %.2f ms\n", median(videoQuit), median(gamepadQuit));
  return 0;
}
