// The output reader's line queue without a program behind it: over-long lines
// are cut and marked, and a flood nobody drains keeps the lines the caller
// needs and the newest of the rest, in fixed memory.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plat/process_internal.h"
#include "prepare/progress.h"

namespace {

// Hands `bytes` to the splitter in blocks of `block` bytes, then ends the output.
std::vector<std::string> split(const std::string& bytes, size_t block, plat::ChildOutput& output) {
  plat::LineSplitter splitter;
  for (size_t at = 0; at < bytes.size(); at += block)
    plat::splitBlock(splitter, bytes.data() + at, std::min(block, bytes.size() - at), output);
  plat::finishLines(splitter, output);
  return plat::takeQueuedLines(output);
}

std::string cut(const std::string& kept) { return kept + std::string(plat::kCutMark); }

TEST(OutputQueue, LongLinesAreCutAndTheirRestSkipped) {
  const size_t max = plat::kMaxLineBytes;
  const std::string a(max, 'a'), b(3 * max, 'b');
  std::string accents = "x";
  while (accents.size() < max + 10) accents += "\xC3\xA9";  // é straddles the cut
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"exactly the limit", a + "\nnext\n", {a, "next"}},
      {"one byte over", a + "a\r\nnext\n", {cut(a), "next"}},
      {"three times over, then more", b + "\nnext\n", {cut(b.substr(0, max)), "next"}},
      {"over and never ended", b, {cut(b.substr(0, max))}},
      {"cut before a split character", accents + "\nnext", {cut(accents.substr(0, max - 1)), "next"}},
      {"short lines around", "x\r\n\n" + b + "\ny\r", {"x", "", cut(b.substr(0, max)), "y\r"}},
  };
  for (const Case& c : cases) {
    for (size_t block : {size_t(4093), size_t(1) << 20}) {
      plat::ChildOutput output;
      EXPECT_EQ(split(c.bytes, block, output), c.lines) << c.name << ", blocks of " << block;
    }
  }
}

TEST(OutputQueue, FloodKeepsProgressLinesAndTheNewestInFixedMemory) {
  plat::ChildOutput output;
  output.keep = isProgressLine;
  std::string bytes;
  std::vector<std::string> progressLines;
  for (int i = 0; i < 300000; ++i) {
    bytes += "g++ -c src/unit" + std::to_string(i) + ".cpp -o obj/unit" + std::to_string(i) + ".o\n";
    if (i % 1000 == 0) {
      progressLines.push_back("PERCENT compile " + std::to_string(i / 3000));
      bytes += progressLines.back() + "\n";
    }
  }
  for (int i = 0; i < 70; ++i) bytes += "tail " + std::to_string(i) + "\n";
  bytes += "RESULT ok\n";

  plat::LineSplitter splitter;
  for (size_t at = 0; at < bytes.size(); at += plat::kReadBlockBytes) {
    plat::splitBlock(splitter, bytes.data() + at, std::min(plat::kReadBlockBytes, bytes.size() - at), output);
    ASSERT_LE(output.ringCount, plat::kMaxQueuedLines);
    ASSERT_LE(output.ringBytes, plat::kMaxQueuedBytes);
  }
  plat::finishLines(splitter, output);
  const std::vector<std::string> lines = plat::takeQueuedLines(output);
  EXPECT_EQ(lines.size() + output.dropped, 300000 + progressLines.size() + 71);

  std::vector<std::string> progressSeen;
  for (const std::string& l : lines)
    if (isProgressLine(l) && l != "RESULT ok") progressSeen.push_back(l);
  EXPECT_EQ(progressSeen, progressLines);
  ASSERT_GE(lines.size(), 71u);
  for (int i = 0; i < 70; ++i) EXPECT_EQ(lines[lines.size() - 71 + i], "tail " + std::to_string(i));
  EXPECT_EQ(lines.back(), "RESULT ok");
  // The newest chatter comes right before the tail, in output order.
  EXPECT_EQ(lines[lines.size() - 72], "g++ -c src/unit299999.cpp -o obj/unit299999.o");
}

TEST(OutputQueue, ProgressLineKeywords) {
  for (const char* line : {"PROGRESS compile", "  PERCENT compile 5", "SKIP packs", "DONE x 1", "ERROR verify no",
                           "RESULT", "RESULT\tok"})
    EXPECT_TRUE(isProgressLine(line)) << line;
  for (const char* line : {"", "progress compile", "PROGRESSING", "INFO PROGRESS", "OK"})
    EXPECT_FALSE(isProgressLine(line)) << line;
}

}  // namespace
