// Frames and CPU of the real frame loop in one situation, over a stretch
// after a warm-up: idle with background motion off or on, while preparing (the
// demo release's stand-in pipeline at its normal speed) and while a download
// runs (the download thread's progress counters move four times a second).
// Frames are real presents, counted at the buffer swap; CPU is the whole
// process's (under Xvfb that includes the software rasteriser's threads).
//
// Usage (under a display, from the build folder's bin/):
//   frame_rate_posix idle-still|idle-motion|preparing|downloading [SECONDS [small] [unfocused]]
#include <sys/resource.h>

#include <SDL3/SDL.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "app/frame_loop.h"
#include "bench_launcher.h"

namespace fs = std::filesystem;

namespace {

const char* viewName(WindowView v) {
  return v == WindowView::Focused ? "focused" : v == WindowView::Unfocused ? "unfocused" : "not shown";
}

}  // namespace

int main(int argc, char** argv) {
  plat::saveCommandLine(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s idle-still|idle-motion|preparing|downloading [SECONDS [small] [unfocused]]\n",
                 argv[0]);
    return 2;
  }
  const std::string scenario = argv[1];
  const double seconds = argc > 2 ? std::atof(argv[2]) : 10;
  const fs::path build = fs::path(plat::exeDir()).parent_path();
  // A copy of the demo release: preparing writes into its release folder.
  const fs::path root = fs::temp_directory_path() / "veyra-bench-frames";
  fs::remove_all(root);
  fs::create_directories(root);
  fs::copy(build / "demo-release", root / "release", fs::copy_options::recursive | fs::copy_options::copy_symlinks);

  App app;
  if (!openBenchLauncher(app, root, root / "release")) return 1;
  app.settings.motion = scenario != "idle-still";
  // "small": a window of a few pixels, so the software rasteriser that Xvfb
  // offers draws a frame in far less than a frame period and the loop's own
  // caps show. "unfocused": a second window takes the keyboard focus.
  for (int i = 3; i < argc; ++i) {
    int count = 0;
    SDL_Window** windows = SDL_GetWindows(&count);
    SDL_Window* launcherWindow = count > 0 ? windows[0] : nullptr;
    SDL_free(windows);
    if (std::strcmp(argv[i], "small") == 0 && launcherWindow) {
      setMinimumWindowSize(1, 1);
      SDL_SetWindowSize(launcherWindow, 64, 48);
    } else if (std::strcmp(argv[i], "unfocused") == 0) {
      SDL_Window* other = SDL_CreateWindow("other", 64, 48, 0);
      if (other) SDL_RaiseWindow(other);
    } else {
      std::fprintf(stderr, "unknown option %s\n", argv[i]);
      return 2;
    }
  }

  std::atomic<bool> measuring{true};
  std::thread download;
  if (scenario == "preparing") {
    app.settings.disc = (build / "demo-discs" / "emberfall-usa.iso").string();
    app.stage = Ready;
    app.startBuild();
    if (!app.building) {
      std::fprintf(stderr, "the build did not start: %s\n", app.progress.errorMessage.c_str());
      return 1;
    }
  } else if (scenario == "downloading") {
    app.updateVersion = "0.1.7";
    app.updateStage = Downloading;
    app.updateBytesTotal = 80'000'000;
    download = std::thread([&] {
      while (measuring) {
        app.updateBytesDone = std::min<uint64_t>(app.updateBytesDone + 1'000'000, app.updateBytesTotal);
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
      }
    });
  } else if (scenario != "idle-still" && scenario != "idle-motion") {
    std::fprintf(stderr, "unknown situation %s\n", scenario.c_str());
    return 2;
  }

  // The loop owns the main thread; a watcher takes the figures and ends the
  // process (a quit request would only open the confirmation while preparing).
  std::thread watcher([&] {
    std::this_thread::sleep_for(std::chrono::seconds(3));  // start-up and the first frames
    const uint64_t f0 = presentedFrames();
    Stretch stretch;
    stretch.begin();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const uint64_t frames = presentedFrames() - f0;
    stretch.end();
    const double cpu = stretch.cpu, wall = stretch.wall;
    std::printf("%-12s %s window: %5llu frames in %.1f s = %5.1f fps, CPU %6.3f s = %5.1f %% of one core\n",
                scenario.c_str(), viewName(windowView()), static_cast<unsigned long long>(frames), wall,
                double(frames) / wall, cpu, 100 * cpu / wall);
    std::fflush(stdout);
    measuring = false;
    if (download.joinable()) download.join();
    std::error_code ec;
    fs::remove_all(root, ec);  // a build still writing may leave some behind: the next run clears it
    std::_Exit(0);
  });
  runFrameLoop(app, nullptr, plat::nowSeconds());
  watcher.join();
  return 0;
}
