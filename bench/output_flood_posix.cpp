// What a flood of build output costs the launcher. A stand-in build step (this
// program run with --produce) prints N compiler-style lines as fast as it can,
// with a progress line every 10 000, or writes one line of B bytes without a
// line feed; the launcher side is the real build runner, App::pollBuild called
// 60 times a second as the frame loop does during a build. For each run:
// the launcher's peak resident memory above idle, its CPU time (reader thread
// included) per million lines, and its ingestion rate against the rate of the
// same producer writing into /dev/null in the same run.
//
// The producer is a C loop (snprintf and fwrite: a worst case, far quicker per
// line than any real step) or, with "py:", the same lines from Python, as the
// stand-in pipeline's steps print them, or, with "blocks:", a block of lines
// formatted once and written again and again: the fastest producer there is,
// to see how many lines a second the launcher can take.
//
// Usage: output_flood_posix [N ...]   default: 1e5, 1e6, 1e7 lines from C, the
// 1 GB line, 1e5, 1e6, 1e7 from Python, then 1e7 in blocks. A count followed by
// "b" (1000000000b) is one line of that many bytes; "py:N" is N lines from
// Python, "blocks:N" about N lines in pre-formatted blocks.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/app.h"
#include "plat/process.h"
#include "plat/shell.h"
#include "plat/text.h"

namespace fs = std::filesystem;

namespace {

double cpuOf(int who) {
  rusage use{};
  getrusage(who, &use);
  return double(use.ru_utime.tv_sec + use.ru_stime.tv_sec) + double(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
}

long statusKb(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field));
  return -1;
}

// The fastest producer this machine has: one block of lines formatted once,
// its progress line's number rewritten in place, one write() per 256 KiB.
void produceBlocks(long long count) {
  std::string block = "PROGRESS compile\n";
  const size_t percentAt = block.size() + std::strlen("PERCENT compile ");
  block += "PERCENT compile 000\n";
  long long perBlock = 0;
  char line[256];
  for (;; ++perBlock) {
    const int n = std::snprintf(line, sizeof line,
                                "g++ -c -O2 -Wall -Isrc -o obj/recomp/func_%08lld.o src/recomp/func_%08lld.cpp\n",
                                perBlock, perBlock);
    if (block.size() + size_t(n) > 256 * 1024) break;
    block.append(line, size_t(n));
  }
  for (long long done = 0; done < count; done += perBlock) {
    const int percent = int(std::min<long long>(99, done * 100 / count));
    block[percentAt] = char('0' + percent / 100);
    block[percentAt + 1] = char('0' + percent / 10 % 10);
    block[percentAt + 2] = char('0' + percent % 10);
    for (size_t at = 0; at < block.size();) {
      const ssize_t n = ::write(1, block.data() + at, block.size() - at);
      if (n <= 0) std::exit(1);
      at += size_t(n);
    }
  }
  const char end[] = "DONE compile ok 1.0\nRESULT ok\n";
  if (::write(1, end, sizeof end - 1) < 0) std::exit(1);
}

// The producer: lines, or one long line; writes its wall and CPU seconds to `stats`.
int produce(long long count, const char* mode, const char* stats) {
  const double start = plat::nowSeconds();
  static char buffer[1 << 20];
  std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
  const bool oneLine = std::strcmp(mode, "line") == 0;
  if (std::strcmp(mode, "blocks") == 0) {
    produceBlocks(count);
  } else if (oneLine) {
    std::vector<char> block(1 << 20, 'x');
    const long long blockSize = static_cast<long long>(block.size());
    for (long long left = count; left > 0; left -= blockSize)
      std::fwrite(block.data(), 1, size_t(std::min(left, blockSize)), stdout);
  } else {
    std::fputs("PROGRESS compile\n", stdout);
    char line[256];
    for (long long i = 0; i < count; ++i) {
      const int n = std::snprintf(line, sizeof line,
                                  "g++ -c -O2 -Wall -Isrc -o obj/recomp/func_%08lld.o src/recomp/func_%08lld.cpp\n", i,
                                  i);
      std::fwrite(line, 1, size_t(n), stdout);
      if (i % 10000 == 9999) std::printf("PERCENT compile %lld\n", (i + 1) * 100 / count);
    }
    std::fputs("DONE compile ok 1.0\nRESULT ok\n", stdout);
  }
  std::fflush(stdout);
  if (FILE* f = std::fopen(stats, "w")) {
    std::fprintf(f, "%f %f\n", plat::nowSeconds() - start, cpuOf(RUSAGE_SELF));
    std::fclose(f);
  }
  return 0;
}

struct Stats {
  double wall = 0, cpu = 0;
};
Stats readStats(const fs::path& path) {
  Stats s;
  std::ifstream in(path);
  in >> s.wall >> s.cpu;
  return s;
}

// The same lines from Python, as the build pipeline's own steps write them.
const char* const kPythonProducer =
    "import os, sys, time\n"
    "n = int(sys.argv[1]); t = time.perf_counter(); w = sys.stdout.write\n"
    "w('PROGRESS compile\\n')\n"
    "for i in range(n):\n"
    "    w('g++ -c -O2 -Wall -Isrc -o obj/recomp/func_%08d.o src/recomp/func_%08d.cpp\\n' % (i, i))\n"
    "    if i % 10000 == 9999: w('PERCENT compile %d\\n' % ((i + 1) * 100 // n))\n"
    "w('DONE compile ok 1.0\\nRESULT ok\\n'); sys.stdout.flush()\n"
    "c = os.times(); open(sys.argv[2], 'w').write('%f %f\\n' % (time.perf_counter() - t, c.user + c.system))\n";

struct Producer {
  std::string exe;
  std::vector<std::string> args;
};
enum class Source { C, Python, Blocks };
Producer producer(long long count, bool oneLine, Source source, const fs::path& stats) {
  if (source == Source::Python)
    return {"/usr/bin/python3", {"-I", "-c", kPythonProducer, std::to_string(count), stats.string()}};
  const char* mode = oneLine ? "line" : source == Source::Blocks ? "blocks" : "lines";
  return {plat::exePath(), {"--produce", std::to_string(count), mode, stats.string()}};
}

void run(long long count, bool oneLine, Source source, const fs::path& dir) {
  const bool python = source == Source::Python;
  const fs::path stats = dir / "stats";
  const Producer p = producer(count, oneLine, source, stats);
  std::string error;

  // The producer alone, into /dev/null (a plain start has no capture).
  {
    plat::ChildProcess alone;
    if (!plat::startProcess(alone, p.exe, p.args, "", false, error)) {
      std::fprintf(stderr, "producer: %s\n", error.c_str());
      std::exit(1);
    }
    while (plat::isRunning(alone)) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  const Stats alone = readStats(stats);

  App app;
  app.launcherIniPath = (dir / "launcher.ini").string();
  const long idleKb = statusKb("VmRSS:");
  if (FILE* f = std::fopen("/proc/self/clear_refs", "w")) {  // the peak starts again from here
    std::fputs("5", f);
    std::fclose(f);
  }
  const double cpu0 = cpuOf(RUSAGE_SELF), children0 = cpuOf(RUSAGE_CHILDREN), t0 = plat::nowSeconds();
  app.progress.reset(t0);
  if (!plat::startProcess(app.build, p.exe, p.args, "", true, error, isProgressLine)) {
    std::fprintf(stderr, "producer: %s\n", error.c_str());
    std::exit(1);
  }
  app.building = true;
  auto next = std::chrono::steady_clock::now();
  while (app.building) {
    app.pollBuild();
    next += std::chrono::microseconds(16667);
    std::this_thread::sleep_until(next);
  }
  const double wall = plat::nowSeconds() - t0, cpu = cpuOf(RUSAGE_SELF) - cpu0;
  const uint64_t dropped = plat::droppedLines(app.build);
  app.build = plat::ChildProcess();  // collects the producer's keeper, and with it the producer's CPU time
  const double childrenCpu = cpuOf(RUSAGE_CHILDREN) - children0;
  const long peakKb = statusKb("VmHWM:");
  const Stats piped = readStats(stats);

  const bool intact = oneLine ? app.progress.outputLines.size() == 1 &&
                                    app.progress.outputLines[0].size() == plat::kMaxLineBytes + plat::kCutMark.size()
                              : app.progress.resultSeen && app.progress.outputLines.back() == "RESULT ok" &&
                                    app.progress.steps[6].state == StepState::Done;
  const double lines = oneLine ? 0 : double(count);
  char what[64];
  if (oneLine) std::snprintf(what, sizeof what, "one %.0f MB line", double(count) / 1e6);
  else
    std::snprintf(what, sizeof what, "%lld lines%s", count,
                  python ? " (py)" : source == Source::Blocks ? " (blocks)" : "");
  std::printf("%-18s | idle %6.1f MiB | peak above idle %6.2f MiB | launcher CPU %6.3f s", what, idleKb / 1024.0,
              (peakKb - idleKb) / 1024.0, cpu);
  if (!oneLine) std::printf(" (%.3f s per million lines)", cpu / lines * 1e6);
  std::printf(" | producer CPU %6.3f s piped, launcher/producer %.3f", childrenCpu, cpu / childrenCpu);
  if (!oneLine)
    std::printf(" | ingested %.2f M lines/s (%.2f s), producer %.2f M lines/s piped, %.2f alone", lines / wall / 1e6,
                wall, lines / piped.wall / 1e6, lines / alone.wall / 1e6);
  else
    std::printf(" | ingested %.0f MB/s (%.2f s), producer %.0f MB/s piped, %.0f alone", double(count) / wall / 1e6,
                wall, double(count) / piped.wall / 1e6, double(count) / alone.wall / 1e6);
  std::printf(" | dropped %llu | %s\n", static_cast<unsigned long long>(dropped), intact ? "model intact" : "MODEL WRONG");
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  plat::saveCommandLine(argc, argv);
  if (argc == 5 && std::strcmp(argv[1], "--produce") == 0)
    return produce(std::atoll(argv[2]), argv[3], argv[4]);

  const fs::path dir = fs::temp_directory_path() / "veyra-bench-flood";
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::vector<std::string> runs(argv + 1, argv + argc);
  if (runs.empty())
    runs = {"100000",     "1000000",    "10000000",    "1000000000b",
            "py:100000",  "py:1000000", "py:10000000", "blocks:10000000"};
  for (const std::string& r : runs) {
    const bool python = r.rfind("py:", 0) == 0, blocks = r.rfind("blocks:", 0) == 0;
    const Source source = python ? Source::Python : blocks ? Source::Blocks : Source::C;
    run(std::atoll(r.c_str() + (python ? 3 : blocks ? 7 : 0)), r.back() == 'b', source, dir);
  }
  fs::remove_all(dir);
  return 0;
}
