// Pieces of the child-process backends that do not depend on the operating
// system: the command line, the reader's line splitting and the bounded queue.
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "plat/process.h"

namespace plat {

// quoteArg(exePath), then each argument after one blank.
std::string commandLine(const std::string& exePath, const std::vector<std::string>& args);

// The part of a record both backends share: the program's id and what its
// reader thread fills and the frame loop drains; both backends' records begin
// with it. Lines the caller's KeepLine wants are
// never dropped; the others sit in a ring bounded in count and bytes, so a
// flood the frame loop cannot follow costs fixed memory. Sequence numbers put
// both back in output order when they are taken.
struct QueuedLine {
  uint64_t seq = 0;
  std::string text;
};
constexpr size_t kMaxQueuedLines = 1024;
constexpr size_t kMaxQueuedBytes = 4 * 1024 * 1024;
struct ChildOutput {
  uint32_t pid = 0;  // the program, as the launcher sees it; 0 before a start
  std::mutex queueLock;
  KeepLine keep;  // set before the reader starts; empty: every line may be dropped
  std::deque<QueuedLine> kept;
  std::vector<QueuedLine> ring;  // the other lines, oldest at ringHead
  size_t ringHead = 0, ringCount = 0, ringBytes = 0;
  uint64_t nextSeq = 0, dropped = 0;
  std::atomic<bool> outputEnded{true};
};

// How many bytes a reader asks for at once; the pipe holds four times that,
// so a program writing on while the reader waits for the processor seldom
// has to stop.
constexpr size_t kReadBlockBytes = 256 * 1024;
// The reader's pause after a short read.
constexpr std::chrono::milliseconds kReaderPause{2};

// Turns the blocks a reader gets into lines: split at LF, one CR before it
// dropped, empty lines kept; what is left at the end becomes one last line.
// No line is held beyond kMaxLineBytes: it is cut and the rest up to its LF
// skipped without being stored.
struct LineSplitter {
  std::string pending;
  bool skipping = false;  // inside the dropped tail of a cut line
};
// Takes the queue's lock once for the whole block.
void splitBlock(LineSplitter& splitter, const char* data, size_t size, ChildOutput& output);
void finishLines(LineSplitter& splitter, ChildOutput& output);

std::vector<std::string> takeQueuedLines(ChildOutput& output);
uint64_t droppedQueuedLines(ChildOutput& output);
void waitForOutputEnd(ChildOutput& output, int timeoutMs);

// Releasing a record gives its reader this long to take what the program
// wrote before it ended; after that the backend cuts the reader loose.
constexpr int kReleaseDrainMs = 2000;

// Each backend defines these two over its own record, so that the handle and
// the calls that need only ChildOutput are written once, in the shared file.
ChildRecord* newChildRecord();
ChildOutput& outputOf(ChildRecord& record);

}  // namespace plat

namespace plat {

// POSIX only: whether captured programs may get a namespace of their own.
// Tests turn it off to check the subreaper fallback.
void setNamespaceUse(bool allowed);

}  // namespace plat
