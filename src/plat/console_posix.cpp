// Terminal services on POSIX: the streams are already there; stop requests
// come as signals and only set a flag, the one thing a handler may safely do.
#include <signal.h>
#include <unistd.h>

#include "plat/console.h"

namespace plat {

namespace {
volatile sig_atomic_t stopFlag = 0;

void onStopSignal(int) { stopFlag = 1; }
}  // namespace

void attachConsole() {}

bool isTerminal(FILE* stream) { return isatty(fileno(stream)) == 1; }

void writeText(FILE* stream, const std::string& utf8) {
  std::fwrite(utf8.data(), 1, utf8.size(), stream);
  std::fflush(stream);
}

void installStopHandlers() {
  struct sigaction sa {};
  sa.sa_handler = onStopSignal;
  sigemptyset(&sa.sa_mask);
  // No SA_RESTART: a sleep in the command loop ends early and the stop is seen at once.
  sa.sa_flags = 0;
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &sa, nullptr);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, nullptr);
}

bool stopRequested() { return stopFlag != 0; }

void clearStopRequest() { stopFlag = 0; }

void stopHandled() {}

}  // namespace plat
