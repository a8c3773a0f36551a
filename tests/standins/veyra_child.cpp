// Stand-in child program for the process tests. Its flags run in order:
//   --out TEXT / --err TEXT  write TEXT to stdout / stderr (\n, \r and \\ decoded)
//   --stdin                  read the input to its end, print "stdin N" (bytes)
//   --pid                    print "pid N" (the pid the launcher sees)
//   --sleep S                sleep S seconds (fractions allowed)
//   --exit N                 exit with N
//   --grandchild S           start a grandchild that prints "grandchild N" and sleeps S
//   --escape S               start descendants that try to escape (new session,
//                            double fork, SIGTERM ignored, own group...); each
//                            prints "escaped N" and sleeps S
//   --window                 open a window, print "window open", wait for a close
//                            request, print "closed" and exit 0
//   --tag X                  ignored: marks this process tree for the tests
//   --log PATH               also append every announcement ("pid N"...) to PATH
//   --echo ARG               print ARG as it arrived
//   --cwd                    print the working folder
//   --capture ARGS...        start a copy of this program with ARGS captured, copy
//                            its lines to stdout, exit with its exit code
//   --plain ARGS...          start a copy with ARGS plain, announce "started N", exit
// Output is written unbuffered in binary, so the bytes arrive exactly as given.
#include <SDL3/SDL.h>

#include <filesystem>
#include <vector>

#include "plat/process.h"
#include "plat/shell.h"
#include "plat/text.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

void put(FILE* f, const std::string& text) {
  fwrite(text.data(), 1, text.size(), f);
  fflush(f);
}

std::string decode(const char* s) {
  std::string out;
  for (; *s; s++) {
    if (*s == '\\' && s[1]) {
      s++;
      out.push_back(*s == 'n' ? '\n' : *s == 'r' ? '\r' : *s);
    } else {
      out.push_back(*s);
    }
  }
  return out;
}

void sleepSeconds(double s) { std::this_thread::sleep_for(std::chrono::duration<double>(s)); }

unsigned long visiblePid() {
#ifdef _WIN32
  return GetCurrentProcessId();
#else
  // Inside a PID namespace getpid() is the namespace's number; /proc/self
  // names the process as the launcher's /proc sees it.
  char buf[32];
  ssize_t n = readlink("/proc/self", buf, sizeof buf - 1);
  if (n > 0) {
    buf[n] = 0;
    return strtoul(buf, nullptr, 10);
  }
  return (unsigned long)getpid();
#endif
}

std::string logPath;

void announceText(const std::string& line) {
  put(stdout, line);
  if (logPath.empty()) return;
  if (FILE* f = plat::openFile(logPath, "ab")) put(f, line), fclose(f);
}

void announce(const char* what, unsigned long pid) { announceText(std::string(what) + " " + std::to_string(pid) + "\n"); }
void announce(const char* what) { announce(what, visiblePid()); }

[[maybe_unused]] std::string logArgs() { return logPath.empty() ? "" : " --log \"" + logPath + "\""; }

std::vector<std::string> rest(int argc, char** argv, int from) {
  std::vector<std::string> out;
  for (int i = from; i < argc; i++) out.push_back(argv[i]);
  return out;
}

int runCaptured(const std::vector<std::string>& args) {
  plat::ChildProcess child;
  std::string error;
  if (!plat::startProcess(child, plat::exePath(), args, "", true, error)) {
    put(stdout, "start failed: " + error + "\n");
    return 98;
  }
  while (plat::isRunning(child)) {
    for (const std::string& l : plat::takeLines(child)) announceText(l + "\n");
    sleepSeconds(0.02);
  }
  plat::waitOutputEnd(child, 2000);
  for (const std::string& l : plat::takeLines(child)) announceText(l + "\n");
  return plat::exitCode(child);
}

int runPlain(const std::vector<std::string>& args) {
  plat::ChildProcess child;
  std::string error;
  if (!plat::startProcess(child, plat::exePath(), args, "", false, error)) {
    put(stdout, "start failed: " + error + "\n");
    return 98;
  }
  announce("started", plat::processId(child));
  return 0;
}

#ifdef _WIN32
void startCopy(const std::string& args, DWORD flags) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring cmd = L"\"" + std::wstring(self) + L"\" " + std::wstring(args.begin(), args.end());
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION pi{};
  if (CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr, &si, &pi)) {
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  } else {
    put(stderr, "could not start a copy\n");
  }
}
#else
[[noreturn]] void announceAndSleep(const char* what, double s) {
  announce(what);
  sleepSeconds(s);
  _exit(0);
}
#endif

void startGrandchild(double s) {
#ifdef _WIN32
  startCopy(logArgs() + " --announce grandchild --sleep " + std::to_string(s), 0);
#else
  if (fork() == 0) announceAndSleep("grandchild", s);
#endif
}

void startEscapers(double s) {
#ifdef _WIN32
  startCopy(logArgs() + " --announce escaped --sleep " + std::to_string(s), CREATE_NEW_PROCESS_GROUP);
  startCopy(logArgs() + " --announce escaped --sleep " + std::to_string(s), DETACHED_PROCESS);
  startCopy(logArgs() + " --announce escaped --sleep " + std::to_string(s), CREATE_NEW_CONSOLE);
#else
  if (fork() == 0) {  // a session of its own
    setsid();
    announceAndSleep("escaped", s);
  }
  if (fork() == 0) {  // a group of its own
    setpgid(0, 0);
    announceAndSleep("escaped", s);
  }
  if (fork() == 0) {  // deaf to the polite request
    signal(SIGTERM, SIG_IGN);
    announceAndSleep("escaped", s);
  }
  pid_t middle = fork();
  if (middle == 0) {  // double fork: orphaned at once
    if (fork() == 0) announceAndSleep("escaped", s);
    _exit(0);
  }
  waitpid(middle, nullptr, 0);
  middle = fork();
  if (middle == 0) {  // all of it together
    setsid();
    if (fork() == 0) {
      signal(SIGTERM, SIG_IGN);
      announceAndSleep("escaped", s);
    }
    _exit(0);
  }
  waitpid(middle, nullptr, 0);
#endif
}

int runWindow() {
  if (!SDL_Init(SDL_INIT_VIDEO)) {
    put(stdout, std::string("no window: ") + SDL_GetError() + "\n");
    return 2;
  }
  SDL_Window* w = SDL_CreateWindow("veyra child", 320, 200, 0);
  if (!w) {
    put(stdout, std::string("no window: ") + SDL_GetError() + "\n");
    SDL_Quit();
    return 2;
  }
  put(stdout, "window open\n");
  Uint64 deadline = SDL_GetTicks() + 60000;
  bool closed = false;
  while (!closed && SDL_GetTicks() < deadline) {
    SDL_Event e;
    if (!SDL_WaitEventTimeout(&e, 100)) continue;
    if (e.type == SDL_EVENT_QUIT || e.type == SDL_EVENT_WINDOW_CLOSE_REQUESTED) closed = true;
  }
  SDL_DestroyWindow(w);
  SDL_Quit();
  if (!closed) return 3;
  put(stdout, "closed\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  _setmode(_fileno(stdin), _O_BINARY);
#endif
  for (int i = 1; i < argc; i++) {
    std::string flag = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : "";
    if (flag == "--out") put(stdout, decode(value)), i++;
    else if (flag == "--err") put(stderr, decode(value)), i++;
    else if (flag == "--stdin") {
      size_t total = 0;
      char buf[4096];
      size_t n;
      while ((n = fread(buf, 1, sizeof buf, stdin)) > 0) total += n;
      put(stdout, "stdin " + std::to_string(total) + "\n");
    } else if (flag == "--pid") announce("pid");
    else if (flag == "--announce") announce(value), i++;
    else if (flag == "--sleep") sleepSeconds(atof(value)), i++;
    else if (flag == "--exit") return atoi(value);
    else if (flag == "--grandchild") startGrandchild(atof(value)), i++;
    else if (flag == "--escape") startEscapers(atof(value)), i++;
    else if (flag == "--window") {
      int code = runWindow();
      if (code) return code;
    } else if (flag == "--tag") i++;
    else if (flag == "--log") logPath = value, i++;
    else if (flag == "--echo") put(stdout, std::string(value) + "\n"), i++;
    else if (flag == "--cwd") put(stdout, plat::pathToUtf8(std::filesystem::current_path()) + "\n");
    else if (flag == "--capture") return runCaptured(rest(argc, argv, i + 1));
    else if (flag == "--plain") return runPlain(rest(argc, argv, i + 1));
    else {
      put(stderr, "unknown flag " + flag + "\n");
      return 99;
    }
  }
  return 0;
}
