#include "config/first_round.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>

#include "tests/support/temp_dir.h"

namespace {

// Only the line the game writes counts (past the read's bound it is garbage),
// and a folder at the name is never taken for the file.
TEST(FirstRoundFile, OnlyTheWrittenLineCountsAsFinished) {
  testing_support::TempDir dir;
  ASSERT_TRUE(vtr::RememberFirstRoundFinished("FirstRound.vtr"));
  EXPECT_TRUE(vtr::FirstRoundFinished("FirstRound.vtr"));
  const std::pair<std::string, bool> cases[] = {{"FirstRoundFinished 1\r\n", true},
                                                {"FirstRoundFinished 0\n", false},
                                                {"FirstRoundFinished 1" + std::string(64, '\n'), false}};
  for (const auto& [text, finished] : cases) {
    dir.Write("FirstRound.vtr", text);
    EXPECT_EQ(vtr::FirstRoundFinished("FirstRound.vtr"), finished) << text.size();
  }
  std::filesystem::create_directory("Folder.vtr");
  EXPECT_FALSE(vtr::FirstRoundFinished("Folder.vtr"));
  EXPECT_FALSE(vtr::RememberFirstRoundFinished("Folder.vtr"));
}

}  // namespace
