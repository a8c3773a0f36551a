// Child processes on Windows. A captured program starts suspended, goes into a
// job object that kills everything in it when its last handle closes, and
// only then runs, so nothing it starts can slip out before the job holds it.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "plat/process.h"
#include "plat/process_internal.h"
#include "plat/text.h"
#include "plat/win32_text.h"

namespace plat {

struct ChildRecord : ChildOutput {
  HANDLE process = nullptr;
  HANDLE job = nullptr;
  HANDLE outputPipe = nullptr;
  HANDLE readerThread = nullptr;
};

namespace {

DWORD WINAPI readerMain(void* param) {
  ChildRecord* r = static_cast<ChildRecord*>(param);
  LineSplitter splitter;
  std::vector<char> buf(kReadBlockBytes);
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(r->outputPipe, buf.data(), DWORD(buf.size()), &got, nullptr) || got == 0) break;
    splitBlock(splitter, buf.data(), got, *r);
    // A short read means the program writes in small pieces: let them gather
    // in the pipe rather than wake for each (lines are taken once a frame).
    if (got < buf.size()) std::this_thread::sleep_for(kReaderPause);
  }
  finishLines(splitter, *r);
  r->outputEnded = true;
  return 0;
}

BOOL CALLBACK closeIfOwned(HWND window, LPARAM param) {
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == DWORD(param) && IsWindowVisible(window)) PostMessageW(window, WM_CLOSE, 0, 0);
  return TRUE;
}

}  // namespace

void setNamespaceUse(bool) {}

ChildRecord* newChildRecord() { return new ChildRecord; }

ChildOutput& outputOf(ChildRecord& record) { return record; }

void ChildRecordRelease::operator()(ChildRecord* r) const {
  if (!r) return;
  if (r->job) CloseHandle(r->job);
  if (r->readerThread) {
    waitForOutputEnd(*r, kReleaseDrainMs);
    // A descendant outside the job may still hold the pipe. The cancel only
    // reaches a read already in progress, so repeat it until the thread ends.
    if (!r->outputEnded) {
      while (WaitForSingleObject(r->readerThread, 0) == WAIT_TIMEOUT) {
        CancelSynchronousIo(r->readerThread);
        WaitForSingleObject(r->readerThread, 10);
      }
    }
    WaitForSingleObject(r->readerThread, INFINITE);
    CloseHandle(r->readerThread);
  }
  if (r->outputPipe) CloseHandle(r->outputPipe);
  if (r->process) CloseHandle(r->process);
  delete r;
}

bool startProcess(ChildProcess& child, const std::string& exePath, const std::vector<std::string>& args,
                  const std::string& workDir, bool captureOutput, std::string& error, KeepLine keep) {
  child.record.reset(new ChildRecord);
  ChildRecord& r = *child.record;
  r.keep = std::move(keep);
  std::wstring cmd = toWide(commandLine(exePath, args));
  const std::wstring dir = toWide(workDir);
  const wchar_t* dirArg = dir.empty() ? nullptr : dir.c_str();
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};

  if (!captureOutput) {
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT, nullptr, dirArg,
                        &si, &pi)) {
      error = lastErrorText();
      return false;
    }
    CloseHandle(pi.hThread);
    r.process = pi.hProcess;
    r.pid = pi.dwProcessId;
    return true;
  }

  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, DWORD(kReadBlockBytes) * 4)) {
    error = lastErrorText();
    return false;
  }
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  HANDLE nul = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                           nullptr);
  if (nul == INVALID_HANDLE_VALUE) nul = nullptr;
  // Created without security attributes, so the program does not inherit it.
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  if (job) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
  }
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = nul;
  si.hStdOutput = writeEnd;
  si.hStdError = writeEnd;
  BOOL ok = CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE,
                           CREATE_SUSPENDED | CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT, nullptr, dirArg, &si, &pi);
  DWORD startError = GetLastError();
  // Only the program may hold the writing end, so the pipe ends with it.
  CloseHandle(writeEnd);
  if (nul) CloseHandle(nul);
  if (!ok) {
    CloseHandle(readEnd);
    if (job) CloseHandle(job);
    error = errorTextFor(startError);
    return false;
  }
  r.process = pi.hProcess;
  r.pid = pi.dwProcessId;
  r.job = job;
  r.outputPipe = readEnd;
  if (job) AssignProcessToJobObject(job, pi.hProcess);
  ResumeThread(pi.hThread);
  r.outputEnded = false;
  r.readerThread = CreateThread(nullptr, 0, readerMain, &r, 0, nullptr);
  CloseHandle(pi.hThread);
  if (!r.readerThread) {
    // Unread, the program would block on a full pipe: end it and report that
    // it could not be started.
    const DWORD why = GetLastError();
    TerminateProcess(pi.hProcess, 1);
    r.outputEnded = true;
    child.record.reset(new ChildRecord);
    error = "the output reader could not start: " + errorTextFor(why);
    return false;
  }
  return true;
}

bool isRunning(ChildProcess& child) {
  ChildRecord& r = *child.record;
  return r.process && WaitForSingleObject(r.process, 0) == WAIT_TIMEOUT;
}

int exitCode(ChildProcess& child) {
  ChildRecord& r = *child.record;
  DWORD code = 0;
  if (!r.process || !GetExitCodeProcess(r.process, &code) || code == STILL_ACTIVE) return -1;
  return int(code);
}

void stopProcess(ChildProcess& child) {
  ChildRecord& r = *child.record;
  if (r.job) TerminateJobObject(r.job, 1);
  else if (r.process) TerminateProcess(r.process, 1);
}

void closeProcessWindows(ChildProcess& child) {
  ChildRecord& r = *child.record;
  if (r.pid) EnumWindows(closeIfOwned, LPARAM(r.pid));
}

}  // namespace plat
