// Terminal services on Windows. The launcher is a windowed program: started
// from cmd or PowerShell it has no console of its own, so it borrows its
// parent's. Console control events arrive on a thread of the system's; the
// handler only raises a flag, except for a closing console, where the process
// is ended as soon as the handler returns, so it waits for the command loop to
// bank the build's time first.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <atomic>
#include <cstdio>

#include "plat/console.h"
#include "plat/text.h"
#include "plat/win32_text.h"

namespace plat {

namespace {
std::atomic<bool> stopFlag{false};
HANDLE handledEvent = nullptr;
// Windows ends a process this long after its close handler was called.
constexpr DWORD kCloseGraceMs = 4500;

bool validHandle(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE && GetFileType(h) != FILE_TYPE_UNKNOWN; }

HANDLE handleOf(FILE* stream) { return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))); }

BOOL WINAPI onConsoleEvent(DWORD type) {
  stopFlag.store(true);
  if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT) {
    if (handledEvent) WaitForSingleObject(handledEvent, kCloseGraceMs);
  }
  return TRUE;
}
}  // namespace

void attachConsole() {
  const bool outOk = validHandle(GetStdHandle(STD_OUTPUT_HANDLE));
  const bool errOk = validHandle(GetStdHandle(STD_ERROR_HANDLE));
  // A pipe or file gets the same bytes as on Linux: JSON lines end in LF alone.
  if (outOk) _setmode(_fileno(stdout), _O_BINARY);
  if (errOk) _setmode(_fileno(stderr), _O_BINARY);
  if (outOk && errOk) return;
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
  // Only the streams without a handle of their own go to the console; a
  // redirected one keeps writing where the caller sent it.
  if (!outOk) {
    FILE* f = nullptr;
    freopen_s(&f, "CONOUT$", "w", stdout);
  }
  if (!errOk) {
    FILE* f = nullptr;
    freopen_s(&f, "CONOUT$", "w", stderr);
  }
}

bool isTerminal(FILE* stream) {
  DWORD mode = 0;
  return GetConsoleMode(handleOf(stream), &mode) != 0;
}

void writeText(FILE* stream, const std::string& utf8) {
  HANDLE h = handleOf(stream);
  DWORD mode = 0;
  if (GetConsoleMode(h, &mode)) {
    std::fflush(stream);
    const std::wstring w = toWide(utf8);
    DWORD written = 0;
    WriteConsoleW(h, w.data(), DWORD(w.size()), &written, nullptr);
    return;
  }
  std::fwrite(utf8.data(), 1, utf8.size(), stream);
  std::fflush(stream);
}

void installStopHandlers() {
  if (!handledEvent) handledEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  // A process started in a new process group begins with Ctrl+C ignored.
  SetConsoleCtrlHandler(nullptr, FALSE);
  SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

bool stopRequested() { return stopFlag.load(); }

void clearStopRequest() { stopFlag.store(false); }

void stopHandled() {
  if (handledEvent) SetEvent(handledEvent);
}

}  // namespace plat
