// A thread the system refuses to create becomes the failure each caller
// already handles, instead of an exception out of a click. The test runs
// itself again in a child with thread creation failing.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "app/app.h"
#include "plat/process.h"
#include "plat/shell.h"
#include "test_files.h"
#include "test_support.h"

TEST(ThreadFailure, EveryStartReportsIt) {
  if (!std::getenv("VEYRA_FAIL_THREADS")) {
    pid_t pid = fork();
    if (pid == 0) {
      setenv("VEYRA_FAIL_THREADS", "1", 1);
      setenv("LD_PRELOAD", (plat::exeDir() + "/fail_write_preload.so").c_str(), 1);
      const std::string self = plat::exePath();
      execl(self.c_str(), self.c_str(), "--gtest_filter=ThreadFailure.EveryStartReportsIt", nullptr);
      _exit(127);
    }
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(waitUntil([&] {
      int status = 0;
      pid_t w = waitpid(pid, &status, WNOHANG);
      if (w == pid) {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child run failed";
      }
      return w == pid;
    }, 60)) << "the child run hung";
    return;
  }

  // The release check ends as a failure, not "Checking" for good.
  auto check = std::make_shared<UpdateCheck>();
  check->start("http://127.0.0.1:9/latest", true);
  EXPECT_EQ(check->state, UpdateFailed);
  EXPECT_NE(check->error.find("could not start"), std::string::npos) << check->error;

  // The download fails the update with its reason.
  TempDir dir;
  App app;
  app.userDir = dir.path.string();
  app.startUpdate("v0.2.0", "0.2.0");
  EXPECT_EQ(app.updateStage, UpdateStageFailed);
  EXPECT_NE(app.updateMessage.find("The download failed: "), std::string::npos) << app.updateMessage;

  // A captured program without its reader is not left running.
  plat::ChildProcess child;
  std::string error;
  EXPECT_FALSE(plat::startProcess(child, standinPath("veyra_child"), {"--sleep", "30"}, dir.path.string(), true, error));
  EXPECT_NE(error.find("output reader"), std::string::npos) << error;
  EXPECT_FALSE(plat::isRunning(child));
}
