// Child processes: captured programs (no window, empty input, stdout and stderr
// merged into a queue of lines, ended with everything they started) and plain
// programs (independent, outlive the launcher). The caller never blocks except
// in waitOutputEnd and in releasing a record whose reader is still busy.
// Start programs from a thread that lives as long as the launcher (the frame
// loop's): on Linux a captured program is tied to the thread that started it.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace plat {

struct ChildRecord;  // defined by each backend
struct ChildRecordRelease { void operator()(ChildRecord* record) const; };

// The owning handle. A fresh handle holds an empty record: not running, exit
// code -1, no lines, output ended. Destroying or restarting it releases the
// record (a captured program still running ends with its whole tree).
struct ChildProcess {
  std::unique_ptr<ChildRecord, ChildRecordRelease> record;
  ChildProcess();
};

bool startProcess(ChildProcess& child, const std::string& exePath, const std::vector<std::string>& args,
                  const std::string& workDir, bool captureOutput, std::string& error);
bool isRunning(ChildProcess& child);
int exitCode(ChildProcess& child);            // -1 while running, never started or unreadable
uint32_t processId(ChildProcess& child);      // 0 when nothing was started
std::vector<std::string> takeLines(ChildProcess& child);
void waitOutputEnd(ChildProcess& child, int timeoutMs);
void stopProcess(ChildProcess& child);        // exit code 1, whole tree when captured; no wait
void closeProcessWindows(ChildProcess& child);  // polite close request; no wait

// Windows command-line quoting (CommandLineToArgvW rules). Shared by both
// backends so the command line a test sees is the one Windows would get.
std::string quoteArg(const std::string& arg);

}  // namespace plat
