// Helpers for tests that start the stand-in programs built beside veyra_tests.
#pragma once
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "plat/text.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>

#include <cstdio>
#include <cstring>
#endif

// The stand-in `name` from the bin folder ("name.exe" on Windows).
inline std::string standinPath(const char* name) {
#ifdef _WIN32
  return plat::exeDir() + "\\" + name + ".exe";
#else
  return plat::exeDir() + "/" + name;
#endif
}

// Puts the kit stand-in where a release keeps the kit's interpreter or the
// game: a link where links are cheap, a copy on Windows.
inline void placeStandin(const std::filesystem::path& at) {
  std::filesystem::create_directories(at.parent_path());
#ifdef _WIN32
  std::filesystem::copy_file(plat::pathFromUtf8(standinPath("kit_standin")), at);
#else
  std::filesystem::create_symlink(plat::pathFromUtf8(standinPath("kit_standin")), at);
#endif
}

// Polls `done` every 10 ms for up to `seconds`; true once it held.
inline bool waitUntil(const std::function<bool()>& done, double seconds) {
  auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// Whether the process still runs (an unreaped zombie counts as ended).
inline bool pidAlive(uint32_t pid) {
  if (!pid) return false;
#ifdef _WIN32
  HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (!h) return false;
  DWORD code = 0;
  bool alive = GetExitCodeProcess(h, &code) && code == STILL_ACTIVE;
  CloseHandle(h);
  return alive;
#else
  char path[64];
  snprintf(path, sizeof path, "/proc/%u/stat", unsigned(pid));
  FILE* f = fopen(path, "r");
  if (!f) return false;
  char buf[512];
  size_t n = fread(buf, 1, sizeof buf - 1, f);
  fclose(f);
  buf[n] = 0;
  const char* close = strrchr(buf, ')');
  return close && close[1] == ' ' && close[2] != 'Z' && close[2] != 'X';
#endif
}

// Ends a process a test left running on purpose.
inline void killPid(uint32_t pid) {
  if (!pid) return;
#ifdef _WIN32
  HANDLE h = OpenProcess(PROCESS_TERMINATE, FALSE, pid);
  if (h) TerminateProcess(h, 1), CloseHandle(h);
#else
  kill(pid_t(pid), SIGKILL);
#endif
}
