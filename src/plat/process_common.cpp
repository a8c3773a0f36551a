// Child-process code shared by both backends: Windows command-line quoting,
// the reader's line splitting, the bounded line queue and the calls that need
// only the shared part of a record.
#include "plat/process.h"
#include "plat/process_internal.h"

#include <chrono>
#include <cstring>
#include <string_view>
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

namespace {

// A cut must not leave half a UTF-8 sequence at the end of the kept text.
void dropPartialUtf8Tail(std::string& s) {
  size_t i = s.size(), continuation = 0;
  while (i > 0 && continuation < 4 && (static_cast<unsigned char>(s[i - 1]) & 0xC0) == 0x80) i--, continuation++;
  if (i == 0) return;
  const unsigned char lead = static_cast<unsigned char>(s[i - 1]);
  const size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  if (need > continuation + 1) s.resize(i - 1);
}

// Slots above this keep no room for the next, shorter line.
constexpr size_t kSlotRoom = 1024;

void freeRoom(std::string& text) {
  if (text.capacity() > kSlotRoom) std::string().swap(text);
}

// With the queue's lock held.
void enqueue(ChildOutput& out, std::string_view line) {
  const uint64_t seq = out.nextSeq++;
  if (out.keep && out.keep(line)) {
    out.kept.push_back({seq, std::string(line)});
    return;
  }
  if (out.ring.empty()) out.ring.resize(kMaxQueuedLines);
  while (out.ringCount > 0 && (out.ringCount == kMaxQueuedLines || out.ringBytes + line.size() > kMaxQueuedBytes)) {
    QueuedLine& old = out.ring[out.ringHead];
    out.ringBytes -= old.text.size();
    freeRoom(old.text);
    out.ringHead = (out.ringHead + 1) % kMaxQueuedLines;
    out.ringCount--;
    out.dropped++;
  }
  QueuedLine& slot = out.ring[(out.ringHead + out.ringCount) % kMaxQueuedLines];
  if (slot.text.capacity() > kSlotRoom && slot.text.capacity() > 2 * line.size()) std::string().swap(slot.text);
  slot.text.assign(line);  // reuses the slot's room: no allocation per line in a flood
  slot.seq = seq;
  out.ringCount++;
  out.ringBytes += line.size();
}

}  // namespace

void splitBlock(LineSplitter& splitter, const char* data, size_t size, ChildOutput& output) {
  std::lock_guard guard(output.queueLock);
  std::string& pending = splitter.pending;
  size_t pos = 0;
  while (pos < size) {
    const char* lf = static_cast<const char*>(std::memchr(data + pos, '\n', size - pos));
    const size_t end = lf ? size_t(lf - data) : size;
    std::string_view piece(data + pos, end - pos);
    pos = end + 1;
    if (splitter.skipping) {
      splitter.skipping = !lf;
      continue;
    }
    if (pending.size() + piece.size() > kMaxLineBytes) {
      pending.append(piece.substr(0, kMaxLineBytes - pending.size()));
      dropPartialUtf8Tail(pending);
      pending += kCutMark;
      enqueue(output, pending);
      std::string().swap(pending);  // the long line's room goes back at once
      splitter.skipping = !lf;
      continue;
    }
    if (!lf) {
      pending.append(piece);
      break;
    }
    std::string_view line = piece;
    if (!pending.empty()) {
      pending.append(piece);
      line = pending;
    }
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    enqueue(output, line);
    pending.clear();
  }
}

void finishLines(LineSplitter& splitter, ChildOutput& output) {
  if (splitter.skipping || splitter.pending.empty()) return;
  std::lock_guard guard(output.queueLock);
  enqueue(output, splitter.pending);
  std::string().swap(splitter.pending);
}

std::vector<std::string> takeQueuedLines(ChildOutput& output) {
  std::vector<std::string> out;
  std::lock_guard guard(output.queueLock);
  out.reserve(output.kept.size() + output.ringCount);
  size_t k = 0;
  while (k < output.kept.size() || output.ringCount > 0) {
    const bool fromRing = output.ringCount > 0 &&
                          (k == output.kept.size() || output.ring[output.ringHead].seq < output.kept[k].seq);
    if (!fromRing) {
      out.push_back(std::move(output.kept[k++].text));
      continue;
    }
    out.push_back(std::move(output.ring[output.ringHead].text));
    output.ringHead = (output.ringHead + 1) % kMaxQueuedLines;
    output.ringCount--;
  }
  output.kept.clear();
  output.ringBytes = 0;
  return out;
}

uint64_t droppedQueuedLines(ChildOutput& output) {
  std::lock_guard guard(output.queueLock);
  return output.dropped;
}

void waitForOutputEnd(ChildOutput& output, int timeoutMs) {
  const double end = nowSeconds() + timeoutMs / 1000.0;
  while (!output.outputEnded && nowSeconds() < end) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

ChildProcess::ChildProcess() : record(newChildRecord()) {}

uint32_t processId(ChildProcess& child) { return outputOf(*child.record).pid; }

std::vector<std::string> takeLines(ChildProcess& child) { return takeQueuedLines(outputOf(*child.record)); }

uint64_t droppedLines(ChildProcess& child) { return droppedQueuedLines(outputOf(*child.record)); }

void waitOutputEnd(ChildProcess& child, int timeoutMs) { waitForOutputEnd(outputOf(*child.record), timeoutMs); }

}  // namespace plat
