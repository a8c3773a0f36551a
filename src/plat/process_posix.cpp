// Child processes on Linux. A captured program runs under a keeper process of
// our own, the first process of a new user and PID namespace: the kernel ends
// the whole namespace when the keeper ends, and the keeper ends with the
// launcher (parent-death signal), so nothing a build starts can outlive it,
// whatever session or process group it moves to. Where unprivileged namespaces
// are refused the keeper is a child subreaper instead and its descendants are
// swept from /proc on stop and release; that cannot cover the launcher being
// killed outright, as the sweep needs the launcher to run.
// Everything between the fork and the exec uses system calls only: the
// launcher has other threads, whose locks the child inherits held.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

#include "plat/process.h"
#include "plat/process_internal.h"
#include "plat/text.h"

namespace plat {

struct ChildRecord : ChildOutput {
  pid_t direct = 0;          // our own child: the keeper, or the plain program itself
  bool directReaped = false;
  bool captured = false;
  bool ownNamespace = false;
  int outputFd = -1;
  int statusFd = -1;         // keeper -> launcher: the program's wait status
  int wakeRead = -1, wakeWrite = -1;
  std::thread reader;
  bool exited = false;
  int code = -1;
  bool stoppedByUs = false;
};

namespace {

std::atomic<bool> namespacesAllowed{true};

enum : int32_t { kProgramPid = 1, kStartError = 2 };
struct StartMessage {
  int32_t kind;
  int32_t value;
};

// Everything the forked side needs, prepared before the fork.
struct ForkPlan {
  const char* path = nullptr;
  char* const* argv = nullptr;
  char* const* envp = nullptr;
  const char* workDir = nullptr;
  int devNull = -1, outputWrite = -1, messageWrite = -1, statusWrite = -1;
  pid_t launcher = 0;       // as getpid() and getppid() see it
  long launcherInProc = 0;  // as /proc sees it, which may be an outer namespace's view
  int launcherLevels = 0;   // how many pid levels /proc lists for the launcher
  bool ownNamespace = false;
  bool captured = false;
  char uidMap[48] = {}, gidMap[48] = {};
  int keep[4] = {};
  int keepCount = 0;
  long maxFd = 1024;
};

long rawFork(unsigned long flags) {
  // A bare clone: no fork handlers run, so no library lock is taken on the way.
  return syscall(SYS_clone, flags | SIGCHLD, 0, 0, 0, 0);
}

void writeAll(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    p += n;
    size -= size_t(n);
  }
}

void sendMessage(int fd, int32_t kind, int32_t value) {
  StartMessage m{kind, value};
  writeAll(fd, &m, sizeof m);
}

void writeSmallFile(const char* path, const char* text) {
  int fd = open(path, O_WRONLY | O_CLOEXEC);
  if (fd < 0) return;
  writeAll(fd, text, strlen(text));
  close(fd);
}

long parseNumber(const char* p) {
  long v = -1;
  while (*p == ' ' || *p == '\t') p++;
  if (*p < '0' || *p > '9') return -1;
  v = 0;
  while (*p >= '0' && *p <= '9') v = v * 10 + (*p++ - '0');
  return v;
}

// The parent as /proc sees it: getppid() answers 0 inside a PID namespace
// whose parent lives outside it.
long parentPidFromProc() {
  int fd = open("/proc/self/status", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  char buf[4096];
  ssize_t n = read(fd, buf, sizeof buf - 1);
  close(fd);
  if (n <= 0) return -1;
  buf[n] = 0;
  const char* p = strstr(buf, "\nPPid:");
  return p ? parseNumber(p + 6) : -1;
}

// The pid levels /proc lists for us, outermost first (NSpid). Returns how
// many were found; the launcher's own count tells which one it uses.
int pidLevels(long* levels, int most) {
  int fd = open("/proc/self/status", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  char buf[4096];
  ssize_t n = read(fd, buf, sizeof buf - 1);
  close(fd);
  if (n <= 0) return 0;
  buf[n] = 0;
  const char* p = strstr(buf, "\nNSpid:");
  if (!p) return 0;
  p += 7;
  int count = 0;
  while (count < most) {
    while (*p == ' ' || *p == '\t') p++;
    if (*p < '0' || *p > '9') break;
    levels[count++] = parseNumber(p);
    while (*p >= '0' && *p <= '9') p++;
  }
  return count;
}

// Our pid as the launcher's namespace numbers it (the launcher sits at
// `launcherLevels` levels below the /proc it reads).
long pidForLauncher(int launcherLevels) {
  long levels[40];
  int n = pidLevels(levels, 40);
  if (launcherLevels > 0 && n >= launcherLevels) return levels[launcherLevels - 1];
  return getpid();
}

// Our own pid as /proc numbers it.
long outerPid() {
  long levels[40];
  return pidLevels(levels, 40) > 0 ? levels[0] : getpid();
}

void closeAllBut(const ForkPlan& plan) {
  int low = 3;
  for (int i = 0; i <= plan.keepCount; i++) {
    long high = i < plan.keepCount ? plan.keep[i] - 1 : plan.maxFd;
    if (high >= low) {
#ifdef SYS_close_range
      if (syscall(SYS_close_range, (unsigned)low, (unsigned)(i < plan.keepCount ? high : ~0U), 0) == 0) {
        if (i < plan.keepCount) low = plan.keep[i] + 1;
        continue;
      }
#endif
      for (long fd = low; fd <= high; fd++) close(int(fd));
    }
    if (i < plan.keepCount) low = plan.keep[i] + 1;
  }
}

void resetSignals() {
  struct sigaction sa;
  memset(&sa, 0, sizeof sa);
  sa.sa_handler = SIG_DFL;
  for (int s = 1; s < NSIG; s++) sigaction(s, &sa, nullptr);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
}

void moveTo(int fd, int target) {
  if (fd == target) fcntl(fd, F_SETFD, 0);
  else dup2(fd, target);
}

[[noreturn]] void runProgram(const ForkPlan& plan) {
  // Inside a namespace the keeper's end takes the program with it; without
  // one the program at least goes with the keeper.
  if (plan.captured && !plan.ownNamespace) prctl(PR_SET_PDEATHSIG, SIGKILL);
  setsid();
  sendMessage(plan.messageWrite, kProgramPid, int32_t(pidForLauncher(plan.launcherLevels)));
  moveTo(plan.devNull, 0);
  if (plan.captured) {
    moveTo(plan.outputWrite, 1);
    moveTo(plan.outputWrite, 2);
  } else {
    moveTo(plan.devNull, 1);
    moveTo(plan.devNull, 2);
  }
  if (plan.workDir && chdir(plan.workDir) != 0) {
    sendMessage(plan.messageWrite, kStartError, errno);
    _exit(127);
  }
  execve(plan.path, plan.argv, plan.envp);
  sendMessage(plan.messageWrite, kStartError, errno);
  _exit(127);
}

[[noreturn]] void runKeeper(const ForkPlan& plan) {
  if (plan.ownNamespace) {
    // Map our own ids so the program sees its user rather than "nobody".
    writeSmallFile("/proc/self/setgroups", "deny");
    writeSmallFile("/proc/self/uid_map", plan.uidMap);
    writeSmallFile("/proc/self/gid_map", plan.gidMap);
  } else {
    prctl(PR_SET_CHILD_SUBREAPER, 1);
  }
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  // The launcher may have died before the death signal was armed.
  if (plan.ownNamespace) {
    long parent = parentPidFromProc();
    if (parent >= 0 && parent != plan.launcherInProc) _exit(127);
  } else if (getppid() != plan.launcher) {
    _exit(127);
  }
  closeAllBut(plan);
  // Nor does the keeper hold on to the launcher's standard streams.
  for (int fd = 0; fd < 3; fd++) dup2(plan.devNull, fd);
  resetSignals();
  long program = rawFork(0);
  if (program < 0) {
    sendMessage(plan.messageWrite, kStartError, errno);
    _exit(127);
  }
  if (program == 0) runProgram(plan);
  close(plan.devNull);
  close(plan.outputWrite);
  close(plan.messageWrite);
  int programStatus = 0;
  bool reported = false;
  // Reap everything that ends up with us until nothing is left; leaving
  // earlier would end the namespace under the program's descendants.
  for (;;) {
    int status = 0;
    pid_t w = waitpid(-1, &status, 0);
    if (w < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (w == program) {
      programStatus = status;
      reported = true;
      writeAll(plan.statusWrite, &status, sizeof status);
    }
  }
  if (!reported) _exit(127);
  if (WIFEXITED(programStatus)) _exit(WEXITSTATUS(programStatus));
  _exit(128 + WTERMSIG(programStatus));
}

[[noreturn]] void runPlain(const ForkPlan& plan) {
  closeAllBut(plan);
  resetSignals();
  runProgram(plan);
}

// Descriptors of ours are kept above the standard three so that the moves
// onto 0, 1 and 2 in the child never overwrite one another.
int highFd(int fd) {
  if (fd < 0 || fd > 2) return fd;
  int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
  close(fd);
  return moved;
}

bool makePipe(int fds[2]) {
  if (pipe2(fds, O_CLOEXEC) != 0) return false;
  fds[0] = highFd(fds[0]);
  fds[1] = highFd(fds[1]);
  return fds[0] >= 0 && fds[1] >= 0;
}

void closeFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

// CreateProcess takes a bare name from the search path and a relative path
// from the launcher's folder (not the program's working folder).
std::string resolveProgram(const std::string& exe) {
  if (exe.empty()) return exe;
  if (exe.find('/') != std::string::npos) {
    if (exe[0] == '/') return exe;
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd)) return exe;
    return joinPath(cwd, exe);
  }
  std::string path = getEnv("PATH");
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    const std::string candidate = joinPath(end > start ? path.substr(start, end - start) : std::string("."), exe);
    struct stat st;
    if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0)
      return candidate;
    start = end + 1;
  }
  return exe;
}

int decodeStatus(int status, bool stoppedByUs) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return stoppedByUs ? 1 : 128 + WTERMSIG(status);
  return -1;
}

// Every living process below `root`, found through the parent links in /proc.
std::vector<pid_t> descendantsOf(pid_t root) {
  std::map<pid_t, std::vector<pid_t>> children;
  DIR* d = opendir("/proc");
  if (!d) return {};
  while (dirent* e = readdir(d)) {
    long pid = parseNumber(e->d_name);
    if (pid <= 0) continue;
    char path[64];
    snprintf(path, sizeof path, "/proc/%ld/stat", pid);
    FILE* f = fopen(path, "re");
    if (!f) continue;
    char buf[512];
    size_t n = fread(buf, 1, sizeof buf - 1, f);
    fclose(f);
    buf[n] = 0;
    const char* close = strrchr(buf, ')');  // the name may hold blanks and brackets
    if (!close) continue;
    char state = 0;
    long ppid = 0;
    if (sscanf(close + 1, " %c %ld", &state, &ppid) != 2) continue;
    if (state == 'Z' || state == 'X') continue;
    children[pid_t(ppid)].push_back(pid_t(pid));
  }
  closedir(d);
  std::vector<pid_t> out;
  std::vector<pid_t> todo{root};
  while (!todo.empty()) {
    pid_t p = todo.back();
    todo.pop_back();
    auto it = children.find(p);
    if (it == children.end()) continue;
    for (pid_t c : it->second) {
      out.push_back(c);
      todo.push_back(c);
    }
  }
  return out;
}

// `mayWait`: the caller is releasing the record and waits anyway, so the
// keeper may first collect what the sweep killed (it leaves by itself once
// nothing is left) rather than hand those remains to init.
void endTree(ChildRecord& r, bool mayWait) {
  if (!r.direct || r.directReaped) return;
  if (!r.ownNamespace) {
    // Orphans come back to the keeper, so repeat until a pass finds nobody.
    for (int pass = 0; pass < 50; pass++) {
      std::vector<pid_t> rest = descendantsOf(r.direct);
      if (rest.empty()) break;
      for (pid_t p : rest) kill(p, SIGKILL);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    for (int i = 0; mayWait && i < 20; i++) {
      int status;
      if (waitpid(r.direct, &status, WNOHANG) == r.direct) {
        r.directReaped = true;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  kill(r.direct, SIGKILL);
}

void readerMain(ChildRecord* r) {
  LineSplitter splitter;
  std::vector<char> buf(kReadBlockBytes);
  for (;;) {
    pollfd fds[2] = {{r->outputFd, POLLIN, 0}, {r->wakeRead, POLLIN, 0}};
    int n = poll(fds, 2, -1);
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[1].revents) break;
    if (fds[0].revents) {
      ssize_t got = read(r->outputFd, buf.data(), buf.size());
      if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (got <= 0) break;
      splitBlock(splitter, buf.data(), size_t(got), *r);
      // A short read means the program writes in small pieces: let them
      // gather in the pipe rather than wake for each (lines are taken at most
      // once a frame anyway).
      if (size_t(got) < buf.size()) std::this_thread::sleep_for(kReaderPause);
    }
  }
  finishLines(splitter, *r);
  r->outputEnded = true;
}

// Reads the start messages until both the keeper and the program have closed
// their ends: a clean end of file means the exec went through.
bool readStartMessages(int fd, uint32_t& programPid, int& startErrno) {
  startErrno = 0;
  StartMessage m;
  size_t have = 0;
  for (;;) {
    ssize_t n = read(fd, reinterpret_cast<char*>(&m) + have, sizeof m - have);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    have += size_t(n);
    if (have < sizeof m) continue;
    have = 0;
    if (m.kind == kProgramPid) programPid = uint32_t(m.value);
    if (m.kind == kStartError && !startErrno) startErrno = m.value;
  }
  return startErrno == 0 && programPid != 0;
}

void reapDirect(ChildRecord& r, bool block) {
  if (!r.direct || r.directReaped) return;
  int status = 0;
  pid_t w;
  do w = waitpid(r.direct, &status, block ? 0 : WNOHANG);
  while (w < 0 && errno == EINTR);
  if (w == r.direct || (w < 0 && errno == ECHILD)) {
    r.directReaped = true;
    if (!r.exited && w == r.direct) {
      r.exited = true;
      r.code = decodeStatus(status, r.stoppedByUs);
    }
  }
}

void refresh(ChildRecord& r) {
  // A keeper that left by itself is collected as soon as it can be, so a
  // finished record kept for a while holds no zombie.
  if (r.captured && r.exited && !r.directReaped) reapDirect(r, false);
  if (!r.direct || r.exited) return;
  if (!r.captured) {
    reapDirect(r, false);
    return;
  }
  int status = 0;
  ssize_t n;
  do n = read(r.statusFd, &status, sizeof status);
  while (n < 0 && errno == EINTR);
  if (n == ssize_t(sizeof status)) {
    r.exited = true;
    r.code = decodeStatus(status, r.stoppedByUs);
  } else if (n == 0) {
    // The keeper went without a word (ended from outside): it has closed
    // its files, so it is about to be reapable.
    reapDirect(r, true);
    if (!r.exited) {
      r.exited = true;
      r.code = -1;
    }
  }
}

}  // namespace

void setNamespaceUse(bool allowed) { namespacesAllowed = allowed; }

ChildRecord* newChildRecord() { return new ChildRecord; }

ChildOutput& outputOf(ChildRecord& record) { return record; }

void ChildRecordRelease::operator()(ChildRecord* r) const {
  if (!r) return;
  if (r->captured) endTree(*r, true);
  if (r->reader.joinable()) {
    waitForOutputEnd(*r, kReleaseDrainMs);
    if (!r->outputEnded) writeAll(r->wakeWrite, "x", 1);
    r->reader.join();
  }
  closeFd(r->outputFd);
  closeFd(r->statusFd);
  closeFd(r->wakeRead);
  closeFd(r->wakeWrite);
  if (r->captured) {
    reapDirect(*r, true);
  } else if (r->direct && !r->directReaped) {
    reapDirect(*r, false);
    if (!r->directReaped) {
      // The plain program outlives this record; someone still has to collect it.
      pid_t p = r->direct;
      try {
        std::thread([p] {
          int status;
          while (waitpid(p, &status, 0) < 0 && errno == EINTR) {
          }
        }).detach();
      } catch (const std::system_error&) {
        // No thread to spare: it stays a zombie until the launcher ends.
      }
    }
  }
  delete r;
}

bool startProcess(ChildProcess& child, const std::string& exePath, const std::vector<std::string>& args,
                  const std::string& workDir, bool captureOutput, std::string& error, KeepLine keep) {
  child.record.reset(new ChildRecord);
  ChildRecord& r = *child.record;
  r.keep = std::move(keep);

  std::string path = resolveProgram(exePath);
  std::vector<std::string> argStore;
  argStore.push_back(exePath);
  argStore.insert(argStore.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argStore) argv.push_back(a.data());
  argv.push_back(nullptr);

  int out[2] = {-1, -1}, msg[2] = {-1, -1}, status[2] = {-1, -1}, wake[2] = {-1, -1};
  auto closeAll = [&] {
    for (int* p : {out, msg, status, wake}) {
      closeFd(p[0]);
      closeFd(p[1]);
    }
  };
  if (!makePipe(msg) || (captureOutput && (!makePipe(out) || !makePipe(status) || !makePipe(wake)))) {
    error = lastErrorText();
    closeAll();
    return false;
  }
  int devNull = highFd(open("/dev/null", O_RDWR | O_CLOEXEC));
  if (devNull < 0) {
    error = lastErrorText();
    closeAll();
    return false;
  }

  ForkPlan plan;
  plan.path = path.c_str();
  plan.argv = argv.data();
  plan.envp = environ;
  plan.workDir = workDir.empty() ? nullptr : workDir.c_str();
  plan.devNull = devNull;
  plan.outputWrite = out[1];
  plan.messageWrite = msg[1];
  plan.statusWrite = status[1];
  plan.launcher = getpid();
  plan.launcherInProc = outerPid();
  {
    long levels[40];
    plan.launcherLevels = pidLevels(levels, 40);
  }
  plan.captured = captureOutput;
  snprintf(plan.uidMap, sizeof plan.uidMap, "%u %u 1", unsigned(geteuid()), unsigned(geteuid()));
  snprintf(plan.gidMap, sizeof plan.gidMap, "%u %u 1", unsigned(getegid()), unsigned(getegid()));
  for (int fd : {devNull, out[1], msg[1], status[1]})
    if (fd >= 0) plan.keep[plan.keepCount++] = fd;
  std::sort(plan.keep, plan.keep + plan.keepCount);
  rlimit lim;
  if (getrlimit(RLIMIT_NOFILE, &lim) == 0 && lim.rlim_cur != RLIM_INFINITY) plan.maxFd = long(lim.rlim_cur);

  long pid = -1;
  if (captureOutput) {
    if (namespacesAllowed) {
      plan.ownNamespace = true;
      pid = rawFork(CLONE_NEWUSER | CLONE_NEWPID);
      if (pid == 0) runKeeper(plan);
      if (pid < 0) namespacesAllowed = false;  // not allowed here: the subreaper from now on
    }
    if (pid < 0) {
      plan.ownNamespace = false;
      pid = rawFork(0);
      if (pid == 0) runKeeper(plan);
    }
  } else {
    pid = rawFork(0);
    if (pid == 0) runPlain(plan);
  }
  int forkErrno = errno;
  close(devNull);
  closeFd(out[1]);
  closeFd(msg[1]);
  closeFd(status[1]);
  if (pid < 0) {
    error = errorTextFor(unsigned(forkErrno));
    closeAll();
    return false;
  }

  uint32_t programPid = 0;
  int startErrno = 0;
  bool started = readStartMessages(msg[0], programPid, startErrno);
  closeFd(msg[0]);
  r.direct = pid_t(pid);
  r.captured = captureOutput;
  r.ownNamespace = plan.ownNamespace;
  if (!started) {
    error = startErrno ? errorTextFor(unsigned(startErrno)) : std::string("the program ended before it started");
    reapDirect(r, true);
    r.direct = 0;
    r.captured = false;
    r.exited = false;
    r.code = -1;
    closeAll();
    return false;
  }
  r.pid = programPid;
  if (captureOutput) {
    fcntl(status[0], F_SETFL, O_NONBLOCK);
    // A roomier pipe lets a chatty program write on while the reader is
    // asleep, so a flood costs fewer wake-ups on both sides.
    fcntl(out[0], F_SETPIPE_SZ, int(kReadBlockBytes) * 4);
    r.outputFd = out[0];
    r.statusFd = status[0];
    r.wakeRead = wake[0];
    r.wakeWrite = wake[1];
    r.outputEnded = false;
    try {
      r.reader = std::thread(readerMain, &r);
    } catch (const std::system_error& e) {
      // Unread, the program would block on a full pipe: end it (releasing
      // the record ends its tree) and report that it could not be started.
      child.record.reset(new ChildRecord);
      error = std::string("the output reader could not start: ") + e.what();
      return false;
    }
  }
  return true;
}

bool isRunning(ChildProcess& child) {
  ChildRecord& r = *child.record;
  refresh(r);
  return r.direct && !r.exited;
}

int exitCode(ChildProcess& child) {
  ChildRecord& r = *child.record;
  refresh(r);
  return r.exited ? r.code : -1;
}

void stopProcess(ChildProcess& child) {
  ChildRecord& r = *child.record;
  if (!r.direct || r.directReaped) return;
  refresh(r);
  if (!r.exited) r.stoppedByUs = true;
  if (r.captured) {
    endTree(r, false);
  } else if (!r.exited) {
    kill(r.direct, SIGKILL);
  }
}

void closeProcessWindows(ChildProcess& child) {
  ChildRecord& r = *child.record;
  refresh(r);
  if (r.direct && !r.exited && r.pid) kill(pid_t(r.pid), SIGTERM);
}

}  // namespace plat
