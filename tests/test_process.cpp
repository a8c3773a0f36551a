// Child processes against the stand-in program: line splitting, exit codes,
// start failures, and what stop, restart and release do to the program and
// the processes it started. Every wait is bounded, and every process a test
// leaves running on purpose is ended before it returns.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "plat/process.h"
#include "test_support.h"

namespace {

const std::string childExe = standinPath("veyra_child");

struct Finished {
  bool started = false;
  std::string error;
  std::vector<std::string> lines;
  int code = -2;
};

void drain(plat::ChildProcess& c, std::vector<std::string>& into) {
  for (std::string& l : plat::takeLines(c)) into.push_back(std::move(l));
}

// Runs the stand-in captured to its end, as the build runner does.
Finished runCaptured(const std::vector<std::string>& args, const std::string& workDir = "") {
  Finished f;
  plat::ChildProcess c;
  f.started = plat::startProcess(c, childExe, args, workDir, true, f.error);
  if (!f.started) return f;
  EXPECT_TRUE(waitUntil([&] { drain(c, f.lines); return !plat::isRunning(c); }, 30)) << "still running";
  plat::waitOutputEnd(c, 2000);
  drain(c, f.lines);
  f.code = plat::exitCode(c);
  return f;
}

// Collects lines until one reads "<prefix> N"; returns N (0 on time-out).
uint32_t numberAfter(plat::ChildProcess& c, std::vector<std::string>& seen, const std::string& prefix) {
  uint32_t found = 0;
  size_t checked = 0;
  waitUntil(
      [&] {
        drain(c, seen);
        for (; checked < seen.size() && !found; checked++)
          if (seen[checked].rfind(prefix + " ", 0) == 0) found = uint32_t(std::stoul(seen[checked].substr(prefix.size() + 1)));
        return found != 0;
      },
      20);
  return found;
}

std::string scratchFile(const char* name) {
  auto p = std::filesystem::temp_directory_path() /
           ("veyra_proc_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" + name);
  std::filesystem::remove(p);
  return plat::pathToUtf8(p);
}

// The number after "<prefix> " in a stand-in's log file (0 on time-out).
uint32_t numberInFile(const std::string& path, const std::string& prefix) {
  uint32_t found = 0;
  waitUntil(
      [&] {
        std::ifstream in(plat::pathFromUtf8(path));
        std::string line;
        while (std::getline(in, line))
          if (line.rfind(prefix + " ", 0) == 0) found = uint32_t(std::stoul(line.substr(prefix.size() + 1)));
        return found != 0;
      },
      20);
  return found;
}

}  // namespace

TEST(ProcessQuote, FollowsWindowsArgumentRules) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"", "\"\""},
      {"plain", "plain"},
      {"C:\\Games\\Veyra\\kit", "C:\\Games\\Veyra\\kit"},
      {"two words", "\"two words\""},
      {"tab\there", "\"tab\there\""},
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"C:\\My Games\\", "\"C:\\My Games\\\\\""},
      {"ends\\\\ twice\\\\", "\"ends\\\\ twice\\\\\\\\\""},
      {"\\\"a b\\\" c", "\"\\\\\\\"a b\\\\\\\" c\""},
      {"a\\\\\"b", "\"a\\\\\\\\\\\"b\""},
      {"no\\blank\\", "no\\blank\\"},
  };
  for (const auto& c : cases) EXPECT_EQ(plat::quoteArg(c.in), c.out) << c.in;
}

TEST(Process, FreshHandleAnswersAtOnce) {
  plat::ChildProcess c;
  double t0 = plat::nowSeconds();
  EXPECT_FALSE(plat::isRunning(c));
  EXPECT_EQ(plat::exitCode(c), -1);
  EXPECT_EQ(plat::processId(c), 0u);
  EXPECT_TRUE(plat::takeLines(c).empty());
  plat::waitOutputEnd(c, 10000);
  plat::stopProcess(c);
  plat::closeProcessWindows(c);
  EXPECT_LT(plat::nowSeconds() - t0, 5.0);  // not the 10 s bound
}

TEST(Process, SplitsLinesFromBothStreams) {
  const struct {
    std::vector<std::string> args;
    std::vector<std::string> lines;
  } cases[] = {
      {{"--out", "x\\r\\ny\\n"}, {"x", "y"}},
      {{"--out", "x\\n\\nz"}, {"x", "", "z"}},
      {{"--err", "only on stderr\\r\\n"}, {"only on stderr"}},
      {{"--out", "1\\n", "--err", "2\\n", "--out", "3"}, {"1", "2", "3"}},
      {{"--out", "one CR kept\\r\\r\\n"}, {"one CR kept\r"}},
      {{"--out", "unfinished\\r"}, {"unfinished\r"}},
      {{"--out", "\\n"}, {""}},
      {{}, {}},
  };
  for (const auto& c : cases) {
    Finished f = runCaptured(c.args);
    ASSERT_TRUE(f.started) << f.error;
    EXPECT_EQ(f.lines, c.lines) << c.args.size() << " args, first " << (c.args.empty() ? "" : c.args[1]);
    EXPECT_EQ(f.code, 0);
  }
  // A block boundary in the middle of a line does not split it.
  std::string longLine(10000, 'a');
  Finished f = runCaptured({"--out", longLine + "\\n" + longLine});
  EXPECT_EQ(f.lines, (std::vector<std::string>{longLine, longLine}));
}

TEST(Process, ArgumentsInputAndFolderArriveIntact) {
  const std::vector<std::string> awkward = {"", "two words", "say \"hi\"", "C:\\My Games\\", "\\\"a b\\\" c",
                                            "tab\there", "é ü"};
  std::vector<std::string> args;
  for (const std::string& a : awkward) args.insert(args.end(), {"--echo", a});
  args.push_back("--stdin");
  args.push_back("--cwd");
  std::string dir = plat::pathToUtf8(std::filesystem::temp_directory_path());
  Finished f = runCaptured(args, dir);
  ASSERT_TRUE(f.started) << f.error;
  ASSERT_EQ(f.lines.size(), awkward.size() + 2);
  for (size_t i = 0; i < awkward.size(); i++) EXPECT_EQ(f.lines[i], awkward[i]);
  EXPECT_EQ(f.lines[awkward.size()], "stdin 0");  // an empty input, not the launcher's
  auto normal = [](const std::string& p) {
    std::string s = plat::pathToUtf8(plat::pathFromUtf8(p).lexically_normal().make_preferred());
    while (s.size() > 1 && (s.back() == '/' || s.back() == '\\')) s.pop_back();
    return s;
  };
  EXPECT_EQ(normal(f.lines.back()), normal(dir));
}

TEST(Process, ExitCodes) {
  for (int code : {0, 7, 255}) EXPECT_EQ(runCaptured({"--exit", std::to_string(code)}).code, code);
  for (bool captured : {true, false}) {
    plat::ChildProcess c;
    std::string error;
    ASSERT_TRUE(plat::startProcess(c, childExe, {"--sleep", "60"}, "", captured, error)) << error;
    EXPECT_NE(plat::processId(c), 0u);
    EXPECT_TRUE(plat::isRunning(c));
    EXPECT_EQ(plat::exitCode(c), -1);
    plat::stopProcess(c);
    EXPECT_TRUE(waitUntil([&] { return !plat::isRunning(c); }, 20)) << "captured " << captured;
    EXPECT_EQ(plat::exitCode(c), 1) << "captured " << captured;
  }
}

TEST(Process, StartFailureGivesSystemText) {
  for (bool captured : {true, false}) {
    plat::ChildProcess c;
    std::string error;
    EXPECT_FALSE(plat::startProcess(c, plat::exeDir() + "/no_such_program_here", {"x"}, "", captured, error));
    EXPECT_EQ(error, plat::errorTextFor(2)) << "captured " << captured;  // "file not found" on both systems
    EXPECT_FALSE(plat::isRunning(c));
    EXPECT_EQ(plat::exitCode(c), -1);
    EXPECT_EQ(plat::processId(c), 0u);
    EXPECT_TRUE(plat::takeLines(c).empty());
    double t0 = plat::nowSeconds();
    plat::waitOutputEnd(c, 10000);
    EXPECT_LT(plat::nowSeconds() - t0, 5.0);

    error.clear();
    EXPECT_FALSE(plat::startProcess(c, childExe, {}, plat::exeDir() + "/no_such_folder", captured, error));
    EXPECT_FALSE(error.empty());
  }
}

TEST(Process, RestartEndsTheOldProgram) {
  plat::ChildProcess c;
  std::string error;
  std::vector<std::string> seen;
  ASSERT_TRUE(plat::startProcess(c, childExe, {"--pid", "--sleep", "60"}, "", true, error)) << error;
  uint32_t old = numberAfter(c, seen, "pid");
  ASSERT_NE(old, 0u);
  ASSERT_TRUE(plat::startProcess(c, childExe, {"--out", "new\\n"}, "", true, error)) << error;
  EXPECT_FALSE(pidAlive(old));
  EXPECT_TRUE(waitUntil([&] { return !plat::isRunning(c); }, 20));
  plat::waitOutputEnd(c, 2000);
  EXPECT_EQ(plat::takeLines(c), std::vector<std::string>{"new"});  // nothing of the old program's
}

TEST(Process, StopEndsTheCapturedTreeButOnlyThePlainProgram) {
  uint32_t capturedGrandchild = 0, plainGrandchild = 0;
  {
    plat::ChildProcess c;
    std::string error;
    std::vector<std::string> seen;
    ASSERT_TRUE(plat::startProcess(c, childExe, {"--grandchild", "60", "--sleep", "60"}, "", true, error)) << error;
    capturedGrandchild = numberAfter(c, seen, "grandchild");
    ASSERT_NE(capturedGrandchild, 0u);
    plat::stopProcess(c);
    EXPECT_TRUE(waitUntil([&] { return !plat::isRunning(c); }, 20));
    EXPECT_EQ(plat::exitCode(c), 1);
    EXPECT_TRUE(waitUntil([&] { return !pidAlive(capturedGrandchild); }, 10));
  }
  {
    std::string log = scratchFile("plain_stop.log");
    plat::ChildProcess c;
    std::string error;
    ASSERT_TRUE(plat::startProcess(c, childExe, {"--log", log, "--grandchild", "60", "--sleep", "60"}, "", false,
                                   error))
        << error;
    plainGrandchild = numberInFile(log, "grandchild");
    plat::stopProcess(c);
    EXPECT_TRUE(waitUntil([&] { return !plat::isRunning(c); }, 20));
    EXPECT_EQ(plat::exitCode(c), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(pidAlive(plainGrandchild));
    killPid(plainGrandchild);
    std::filesystem::remove(plat::pathFromUtf8(log));
  }
  ASSERT_NE(plainGrandchild, 0u);
}

// Descendants that leave their group, session or console, or their parent.
TEST(Process, StopEndsDescendantsThatTryToEscape) {
  plat::ChildProcess c;
  std::string error;
  std::vector<std::string> seen;
  ASSERT_TRUE(plat::startProcess(c, childExe, {"--escape", "60", "--sleep", "60"}, "", true, error)) << error;
  uint32_t expected = numberAfter(c, seen, "escapers");
  std::vector<uint32_t> escaped;
  waitUntil(
      [&] {
        drain(c, seen);
        escaped.clear();
        for (const std::string& l : seen)
          if (l.rfind("escaped ", 0) == 0) escaped.push_back(uint32_t(std::stoul(l.substr(8))));
        return escaped.size() >= expected;
      },
      20);
  ASSERT_EQ(escaped.size(), expected);
  for (uint32_t pid : escaped) EXPECT_TRUE(pidAlive(pid));
  plat::stopProcess(c);
  EXPECT_TRUE(waitUntil([&] { return !plat::isRunning(c); }, 20));
  EXPECT_EQ(plat::exitCode(c), 1);
  for (uint32_t pid : escaped) {
    EXPECT_TRUE(waitUntil([&] { return !pidAlive(pid); }, 10)) << pid;
    killPid(pid);
  }
}

TEST(Process, ReleaseEndsTheCapturedTreeButNotAPlainProgram) {
  uint32_t grandchild = 0, program = 0, plainProgram = 0;
  {
    plat::ChildProcess c;
    std::string error;
    std::vector<std::string> seen;
    ASSERT_TRUE(plat::startProcess(c, childExe, {"--pid", "--grandchild", "60", "--sleep", "60"}, "", true, error))
        << error;
    program = numberAfter(c, seen, "pid");
    grandchild = numberAfter(c, seen, "grandchild");
  }
  ASSERT_NE(grandchild, 0u);
  EXPECT_TRUE(waitUntil([&] { return !pidAlive(program) && !pidAlive(grandchild); }, 10));
  {
    plat::ChildProcess c;
    std::string error;
    ASSERT_TRUE(plat::startProcess(c, childExe, {"--sleep", "60"}, "", false, error)) << error;
    plainProgram = plat::processId(c);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(pidAlive(plainProgram));
  killPid(plainProgram);
}

// The program has exited but its grandchild keeps the output open: the wait
// for the output's end gives up at its bound, and releasing the record does
// not hang on the reader.
TEST(Process, OutputHeldOpenByAGrandchild) {
  uint32_t grandchild = 0;
  double released = 0;
  {
    plat::ChildProcess c;
    std::string error;
    std::vector<std::string> seen;
    ASSERT_TRUE(plat::startProcess(c, childExe, {"--grandchild", "60", "--out", "bye\\n"}, "", true, error)) << error;
    grandchild = numberAfter(c, seen, "grandchild");
    ASSERT_TRUE(waitUntil([&] { return !plat::isRunning(c); }, 20));
    EXPECT_EQ(plat::exitCode(c), 0);
    double t0 = plat::nowSeconds();
    plat::waitOutputEnd(c, 300);
    EXPECT_LT(plat::nowSeconds() - t0, 5.0);
    drain(c, seen);
    EXPECT_NE(std::find(seen.begin(), seen.end(), "bye"), seen.end());
    EXPECT_TRUE(pidAlive(grandchild));  // the exit alone ends nothing else
    released = plat::nowSeconds();
  }
  released = plat::nowSeconds() - released;
  EXPECT_LT(released, 10.0);
  EXPECT_TRUE(waitUntil([&] { return !pidAlive(grandchild); }, 10));
  killPid(grandchild);
}

TEST(Process, CloseWindowsAsksAWindowProgramToQuit) {
  plat::ChildProcess c;
  std::string error;
  std::vector<std::string> seen;
  ASSERT_TRUE(plat::startProcess(c, childExe, {"--window"}, "", true, error)) << error;
  // The toolkit may say other things on stderr first.
  auto said = [&](const char* prefix) {
    return std::find_if(seen.begin(), seen.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }) !=
           seen.end();
  };
  ASSERT_TRUE(waitUntil(
      [&] {
        drain(c, seen);
        return said("window open") || said("no window") || !plat::isRunning(c);
      },
      30));
  if (said("no window")) GTEST_SKIP() << "no display";
  ASSERT_TRUE(said("window open"));
  // One request every few seconds, not every poll: a second one landing while
  // the program closes would end it by the signal's default action (POSIX)
  // instead of its own exit, the more likely the slower its shutdown.
  double nextAsk = 0;
  EXPECT_TRUE(waitUntil(
      [&] {
        if (plat::nowSeconds() >= nextAsk) {
          plat::closeProcessWindows(c);
          nextAsk = plat::nowSeconds() + 3;
        }
        return !plat::isRunning(c);
      },
      30));
  plat::waitOutputEnd(c, 2000);
  drain(c, seen);
  EXPECT_EQ(plat::exitCode(c), 0);
  EXPECT_EQ(seen.back(), "closed");
}
