// Child-process code shared by both backends: Windows command-line quoting
// and the reader's line splitting.
#include "plat/process.h"
#include "plat/process_internal.h"

#include <chrono>
#include <thread>

#include "plat/text.h"

namespace plat {

std::string quoteArg(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) return arg;
  std::string out = "\"";
  size_t i = 0;
  while (true) {
    size_t backslashes = 0;
    while (i < arg.size() && arg[i] == '\\') {
      backslashes++;
      i++;
    }
    if (i == arg.size()) {
      // The closing quote must not be escaped by the argument's own backslashes.
      out.append(backslashes * 2, '\\');
      break;
    }
    if (arg[i] == '"') {
      out.append(backslashes * 2 + 1, '\\');
      out.push_back('"');
    } else {
      out.append(backslashes, '\\');
      out.push_back(arg[i]);
    }
    i++;
  }
  out.push_back('"');
  return out;
}

std::string commandLine(const std::string& exePath, const std::vector<std::string>& args) {
  std::string line = quoteArg(exePath);
  for (const std::string& a : args) {
    line.push_back(' ');
    line += quoteArg(a);
  }
  return line;
}

void splitBlock(LineSplitter& splitter, const char* data, size_t size, std::mutex& lock,
                std::deque<std::string>& lines) {
  splitter.pending.append(data, size);
  std::vector<std::string> ready;
  size_t start = 0;
  while (true) {
    size_t lf = splitter.pending.find('\n', start);
    if (lf == std::string::npos) break;
    size_t end = lf;
    if (end > start && splitter.pending[end - 1] == '\r') end--;
    ready.emplace_back(splitter.pending, start, end - start);
    start = lf + 1;
  }
  splitter.pending.erase(0, start);
  if (ready.empty()) return;
  std::lock_guard guard(lock);
  for (std::string& l : ready) lines.push_back(std::move(l));
}

void finishLines(LineSplitter& splitter, std::mutex& lock, std::deque<std::string>& lines) {
  if (splitter.pending.empty()) return;
  std::lock_guard guard(lock);
  lines.push_back(std::move(splitter.pending));
  splitter.pending.clear();
}

std::vector<std::string> takeQueuedLines(ChildOutput& output) {
  std::vector<std::string> out;
  std::lock_guard guard(output.queueLock);
  out.reserve(output.lines.size());
  for (std::string& l : output.lines) out.push_back(std::move(l));
  output.lines.clear();
  return out;
}

void waitForOutputEnd(ChildOutput& output, int timeoutMs) {
  const double end = nowSeconds() + timeoutMs / 1000.0;
  while (!output.outputEnded && nowSeconds() < end) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

}  // namespace plat
