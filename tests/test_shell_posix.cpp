// Opening something with its default application goes through the desktop's
// opener program; a stand-in opener on PATH records what it was given.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "plat/shell.h"
#include "plat/text.h"
#include "test_files.h"
#include "test_support.h"

TEST(Shell, OpenHandsTheTargetWholeToTheOpener) {
  TempDir dir;
  const std::string answer = dir / "opened";
  const std::string opener = dir / "xdg-open";
  // The count first, so a target split at its spaces shows as more than one.
  writeFile(opener, "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > \"" + answer + ".part\"\nmv \"" + answer + ".part\" \"" +
                        answer + "\"\n");
  ASSERT_EQ(chmod(opener.c_str(), 0755), 0);
  const std::string savedPath = plat::getEnv("PATH");
  plat::setEnv("PATH", dir.str() + ":" + savedPath);

  // Nothing there to open: the opener decides what to say, not the launcher.
  const std::string target = dir / "no such folder/Émberfall été.iso";
  plat::shellOpen(target);
  plat::setEnv("PATH", savedPath);

  ASSERT_TRUE(waitUntil([&] { return entryExists(answer); }, 20)) << "the opener never ran";
  EXPECT_EQ(readFile(answer), "1\n" + target + "\n");
}
