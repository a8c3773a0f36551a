// Containment of captured programs on Linux, with the stand-in's descendants
// that leave their session, their group or their parent, or ignore SIGTERM:
// with the namespace and with the subreaper fallback, after a stop, after a
// release, and after the launcher itself is killed outright.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "plat/process.h"
#include "plat/process_internal.h"
#include "test_support.h"

namespace {

const std::string childExe = standinPath("veyra_child");
constexpr int kEscapers = 5;

std::string uniqueTag(const char* what) {
  static int serial = 0;
  return std::string("veyra-tag-") + what + "-" + std::to_string(getpid()) + "-" + std::to_string(serial++);
}

// Living processes whose command line holds `tag` as one argument.
int aliveWithTag(const std::string& tag) {
  int count = 0;
  DIR* d = opendir("/proc");
  while (dirent* e = d ? readdir(d) : nullptr) {
    uint32_t pid = uint32_t(strtoul(e->d_name, nullptr, 10));
    if (!pid) continue;
    std::ifstream in("/proc/" + std::string(e->d_name) + "/cmdline", std::ios::binary);
    std::string arg;
    bool tagged = false;
    while (std::getline(in, arg, '\0')) tagged = tagged || arg == tag;
    if (tagged && pidAlive(pid)) count++;
  }
  if (d) closedir(d);
  return count;
}

int openDescriptors() {
  int count = 0;
  DIR* d = opendir("/proc/self/fd");
  while (d && readdir(d)) count++;
  if (d) closedir(d);
  return count;
}

// Zombies whose parent is this test process.
int ourZombies() {
  int count = 0;
  DIR* d = opendir("/proc");
  while (dirent* e = d ? readdir(d) : nullptr) {
    if (!strtoul(e->d_name, nullptr, 10)) continue;
    std::ifstream in("/proc/" + std::string(e->d_name) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), {});
    size_t close = stat.rfind(')');
    if (close == std::string::npos) continue;
    char state = 0;
    long ppid = 0;
    if (sscanf(stat.c_str() + close + 1, " %c %ld", &state, &ppid) == 2 && state == 'Z' && ppid == getpid()) count++;
  }
  if (d) closedir(d);
  return count;
}

int countEscaped(const std::vector<std::string>& lines) {
  return int(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.rfind("escaped ", 0) == 0; }));
}

bool startEscapers(plat::ChildProcess& c, const std::string& tag, std::vector<std::string>& seen) {
  std::string error;
  if (!plat::startProcess(c, childExe, {"--tag", tag, "--escape", "60", "--sleep", "60"}, "", true, error)) {
    ADD_FAILURE() << error;
    return false;
  }
  return waitUntil(
      [&] {
        for (std::string& l : plat::takeLines(c)) seen.push_back(l);
        return countEscaped(seen) == kEscapers;
      },
      20);
}

class Containment : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { plat::setNamespaceUse(GetParam()); }
  void TearDown() override { plat::setNamespaceUse(true); }
};

}  // namespace

TEST_P(Containment, StopEndsEveryDescendant) {
  std::string tag = uniqueTag("stop");
  plat::ChildProcess c;
  std::vector<std::string> seen;
  ASSERT_TRUE(startEscapers(c, tag, seen));
  EXPECT_EQ(aliveWithTag(tag), kEscapers + 1);
  plat::stopProcess(c);
  EXPECT_TRUE(waitUntil([&] { return aliveWithTag(tag) == 0; }, 10)) << aliveWithTag(tag) << " alive";
  EXPECT_TRUE(waitUntil([&] { return !plat::isRunning(c); }, 10));
  EXPECT_EQ(plat::exitCode(c), 1);
}

TEST_P(Containment, HundredCyclesLeaveNothing) {
  std::string tag = uniqueTag("release");
  int fdsBefore = openDescriptors();
  for (int i = 0; i < 100; i++) {
    plat::ChildProcess c;
    std::vector<std::string> seen;
    ASSERT_TRUE(startEscapers(c, tag, seen));
    if (i % 2) plat::stopProcess(c);  // half stopped first, half only released
  }
  EXPECT_TRUE(waitUntil([&] { return aliveWithTag(tag) == 0; }, 10)) << aliveWithTag(tag) << " alive";
  EXPECT_EQ(openDescriptors(), fdsBefore);
  EXPECT_EQ(ourZombies(), 0);
}

INSTANTIATE_TEST_SUITE_P(Process, Containment, ::testing::Values(true, false),
                         [](const auto& test) { return test.param ? "Namespace" : "Subreaper"; });

// A launcher killed with SIGKILL: a stand-in holds the escapers captured and
// is killed itself. Only the namespace can promise this.
TEST(ProcessPosix, LauncherKilledTakesTheTreeAlong) {
  std::string tag = uniqueTag("killed");
  plat::ChildProcess holder;
  std::string error;
  std::vector<std::string> seen;
  ASSERT_TRUE(plat::startProcess(holder, childExe,
                                 {"--capture", "--tag", tag, "--escape", "60", "--sleep", "60"}, "", true, error))
      << error;
  ASSERT_TRUE(waitUntil(
      [&] {
        for (std::string& l : plat::takeLines(holder)) seen.push_back(l);
        return countEscaped(seen) == kEscapers;
      },
      20));
  // The holder, its keeper (a copy of the holder), its program and the escapers.
  ASSERT_EQ(aliveWithTag(tag), kEscapers + 3);
  kill(pid_t(plat::processId(holder)), SIGKILL);
  EXPECT_TRUE(waitUntil([&] { return aliveWithTag(tag) == 0; }, 10)) << aliveWithTag(tag) << " alive";
  EXPECT_TRUE(waitUntil([&] { return !plat::isRunning(holder); }, 10));
  EXPECT_EQ(plat::exitCode(holder), 128 + SIGKILL);
}

// A plain program outlives the one that started it and holds nothing of it:
// its three standard descriptors are the null device and there is no other.
TEST(ProcessPosix, PlainProgramOutlivesItsStarterWithNoneOfItsFiles) {
  std::string log = "/tmp/" + uniqueTag("plain") + ".log";
  plat::ChildProcess starter;
  std::string error;
  ASSERT_TRUE(plat::startProcess(starter, childExe, {"--log", log, "--plain", "--sleep", "60"}, "", false, error))
      << error;
  ASSERT_TRUE(waitUntil([&] { return !plat::isRunning(starter); }, 20));
  EXPECT_EQ(plat::exitCode(starter), 0);
  uint32_t plain = 0;
  {
    std::ifstream in(log);
    std::string word;
    in >> word >> plain;
    EXPECT_EQ(word, "started");
  }
  unlink(log.c_str());
  ASSERT_NE(plain, 0u);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_TRUE(pidAlive(plain));
  std::vector<std::string> fds;
  std::string dir = "/proc/" + std::to_string(plain) + "/fd";
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      if (e->d_name[0] == '.') continue;
      char target[256] = {};
      ssize_t n = readlink((dir + "/" + e->d_name).c_str(), target, sizeof target - 1);
      fds.push_back(std::string(e->d_name) + " " + (n > 0 ? target : "?"));
    }
    closedir(d);
  }
  std::sort(fds.begin(), fds.end());
  EXPECT_EQ(fds, (std::vector<std::string>{"0 /dev/null", "1 /dev/null", "2 /dev/null"}));
  killPid(plain);
}

// Something outside the tree holds the output open (here the test itself,
// through /proc): releasing the record ends the tree, gives the reader its
// grace and then wakes it, instead of waiting for an end of file that never
// comes.
TEST(ProcessPosix, ReleaseCancelsAReaderHeldByAnOutsider) {
  int outsider = -1;
  double took = 0;
  {
    plat::ChildProcess c;
    std::string error;
    std::vector<std::string> seen;
    ASSERT_TRUE(plat::startProcess(c, childExe, {"--pid", "--out", "partial", "--sleep", "60"}, "", true, error))
        << error;
    ASSERT_TRUE(waitUntil(
        [&] {
          for (std::string& l : plat::takeLines(c)) seen.push_back(l);
          return !seen.empty();
        },
        20));
    std::string out = "/proc/" + std::to_string(plat::processId(c)) + "/fd/1";
    outsider = open(out.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(outsider, 0) << out;
    took = plat::nowSeconds();
  }
  took = plat::nowSeconds() - took;
  EXPECT_LT(took, 10.0);
  close(outsider);
}
