// Pieces of the child-process backends that do not depend on the operating
// system: the command line and the reader's line splitting.
#pragma once
#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace plat {

// quoteArg(exePath), then each argument after one blank.
std::string commandLine(const std::string& exePath, const std::vector<std::string>& args);

// Turns the blocks a reader gets into lines: split at LF, one CR before it
// dropped, empty lines kept; what is left at the end becomes one last line.
struct LineSplitter {
  std::string pending;
};
void splitBlock(LineSplitter& splitter, const char* data, size_t size, std::mutex& lock,
                std::deque<std::string>& lines);
void finishLines(LineSplitter& splitter, std::mutex& lock, std::deque<std::string>& lines);

// The part of a record its reader thread fills and the frame loop drains;
// both backends' records begin with it.
struct ChildOutput {
  std::mutex queueLock;
  std::deque<std::string> lines;
  std::atomic<bool> outputEnded{true};
};
std::vector<std::string> takeQueuedLines(ChildOutput& output);
void waitForOutputEnd(ChildOutput& output, int timeoutMs);

}  // namespace plat

namespace plat {

// POSIX only: whether captured programs may get a namespace of their own.
// Tests turn it off to check the subreaper fallback.
void setNamespaceUse(bool allowed);

}  // namespace plat
