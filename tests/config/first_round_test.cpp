#include "config/first_round.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/temp_dir.h"

namespace {

// Only the line the game writes counts; anything else shows the hint again,
// and a folder at the name is never taken for the file.
TEST(FirstRoundFile, OnlyTheWrittenLineCountsAsFinished) {
  testing_support::TempDir dir;
  EXPECT_FALSE(vtr::FirstRoundFinished("FirstRound.vtr"));  // missing
  ASSERT_TRUE(vtr::RememberFirstRoundFinished("FirstRound.vtr"));
  EXPECT_TRUE(vtr::FirstRoundFinished("FirstRound.vtr"));
  const struct {
    std::string text;
    bool finished;
  } cases[] = {{"FirstRoundFinished 1\r\n", true}, {"FirstRoundFinished 1", true}, {"", false},
               {"FirstRoundFinished 0\n", false}, {"FirstRoundFinished 1\nmore\n", false},
               {"FirstRoundFinished 1" + std::string(64, '\n'), false}};
  for (const auto& c : cases) {
    dir.Write("FirstRound.vtr", c.text);
    EXPECT_EQ(vtr::FirstRoundFinished("FirstRound.vtr"), c.finished) << c.text.size();
  }
  std::filesystem::create_directory("Folder.vtr");
  EXPECT_FALSE(vtr::FirstRoundFinished("Folder.vtr"));
  EXPECT_FALSE(vtr::RememberFirstRoundFinished("Folder.vtr"));
}

}  // namespace
