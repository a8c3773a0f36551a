// Shell services that need no user: free space and the executable's own path.
#include <gtest/gtest.h>

#include <filesystem>

#include "plat/shell.h"
#include "plat/text.h"

TEST(Shell, FreeDiskBytes) {
  EXPECT_GT(plat::freeDiskBytes(plat::pathToUtf8(std::filesystem::temp_directory_path())), 0u);
  EXPECT_EQ(plat::freeDiskBytes(""), 0u);
  EXPECT_EQ(plat::freeDiskBytes(plat::exeDir() + "/no_such_folder/below"), 0u);
}

TEST(Shell, ExePathIsThisProgram) {
  std::filesystem::path self = plat::pathFromUtf8(plat::exePath());
  EXPECT_EQ(self.stem().string(), "veyra_tests");
  EXPECT_EQ(self.parent_path().lexically_normal().make_preferred(),
            plat::pathFromUtf8(plat::exeDir()).lexically_normal().make_preferred());
}
