// Child processes: captured programs (no window, empty input, stdout and stderr
// merged into a queue of lines, ended with everything they started) and plain
// programs (independent, outlive the launcher). The caller never blocks except
// in waitOutputEnd and in releasing a record whose reader is still busy.
// Start programs from a thread that lives as long as the launcher (the frame
// loop's): on Linux a captured program is tied to the thread that started it.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
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

// Says which output lines the caller cannot do without (a script's progress
// protocol). The queue of a captured program is bounded: when the frame loop
// falls behind a flood, the oldest of the other lines are dropped and counted,
// and the newest are kept. Lines longer than kMaxLineBytes are cut there and
// marked with kCutMark. Called on the reader thread, in output order, once per
// line; it may keep state of its own.
using KeepLine = std::function<bool(std::string_view line)>;
constexpr size_t kMaxLineBytes = 64 * 1024;
constexpr std::string_view kCutMark = " [line cut]";

bool startProcess(ChildProcess& child, const std::string& exePath, const std::vector<std::string>& args,
                  const std::string& workDir, bool captureOutput, std::string& error, KeepLine keep = nullptr);
bool isRunning(ChildProcess& child);
int exitCode(ChildProcess& child);            // -1 while running, never started or unreadable
uint32_t processId(ChildProcess& child);      // 0 when nothing was started
std::vector<std::string> takeLines(ChildProcess& child);
uint64_t droppedLines(ChildProcess& child);   // lines the bounded queue had to let go
void waitOutputEnd(ChildProcess& child, int timeoutMs);
void stopProcess(ChildProcess& child);        // exit code 1, whole tree when captured; no wait
void closeProcessWindows(ChildProcess& child);  // polite close request; no wait

// Windows command-line quoting (CommandLineToArgvW rules). Shared by both
// backends so the command line a test sees is the one Windows would get.
std::string quoteArg(const std::string& arg);

}  // namespace plat
