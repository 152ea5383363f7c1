#include "platform/process.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.h"

TEST(Process, WorkingDirectoryBecomesTheExecutablesFolder) {
  testing_support::TempDir dir;  // restores the old working directory
  ChangeToExecutableFolder();
  const auto executable = std::filesystem::read_symlink("/proc/self/exe");
  EXPECT_EQ(std::filesystem::current_path(), std::filesystem::canonical(executable.parent_path()));
}
