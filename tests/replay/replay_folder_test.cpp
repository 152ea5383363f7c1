// The Replays folder: one file per entry, found by the entry's time and
// score, and bounded to the table's top entries plus the latest round.
#include "replay/replay_folder.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <utility>

#include "tests/support/hostile_files.h"
#include "tests/support/temp_dir.h"

namespace {

using Key = std::pair<std::int64_t, std::uint32_t>;

vtr::Replay SmallReplay(std::int32_t score, std::int64_t time) {
  vtr::Replay replay;
  replay.settings = vtr::CaptureSettings();
  replay.score = score;
  replay.entryTime = time;
  replay.frameCount = 1;
  replay.frames = {0x80};
  return replay;
}

std::set<Key> Stored(const std::string& folder) {
  std::set<Key> keys;
  for (const vtr::StoredReplay& stored : vtr::ListReplays(folder)) keys.insert({stored.time, stored.score});
  return keys;
}

}  // namespace

TEST(ReplayFolder, ThirtyRoundsLeaveOnlyTheTopEntriesAndTheLatestRound) {
  testing_support::TempDir dir;
  std::filesystem::create_directories("data");
  const std::string scoreFile = "data/Scores.vtr";
  const std::string folder = vtr::ReplayFolderFor(scoreFile);
  EXPECT_EQ(std::filesystem::path(folder), std::filesystem::path("data/Replays"));
  vtr::ScoreTable table;
  table.Enter(100, 1000);  // an entry from before replays, which has none

  for (int round = 0; round < 30; ++round) {
    // Scores that climb, fall back and repeat, some equal to earlier ones.
    const auto score = static_cast<std::int32_t>((round * 7919) % 23 * 50);
    const std::int64_t time = 2000 + round;
    table.Enter(score, time);
    ASSERT_TRUE(vtr::StoreReplay(scoreFile, SmallReplay(score, time), table.Entries()));

    std::set<Key> expected;
    const auto& entries = table.Entries();
    for (std::size_t i = 0; i < std::min(entries.size(), vtr::kKeptReplays); ++i) {
      if (entries[i].time >= 2000) expected.insert({entries[i].time, entries[i].score});
    }
    expected.insert({time, static_cast<std::uint32_t>(score)});
    ASSERT_EQ(Stored(folder), expected) << "after round " << round;
  }
  EXPECT_LE(vtr::ListReplays(folder).size(), vtr::kKeptReplays + 1);

  // Every entry on the page that has a replay finds it.
  for (std::size_t i = 0; i < vtr::kKeptReplays; ++i) {
    const vtr::ScoreEntry& entry = table.Entries()[i];
    EXPECT_EQ(vtr::FindReplay(scoreFile, entry).empty(), entry.time < 2000) << "entry " << i;
  }
}

TEST(ReplayFolder, OnlyFilesNamedLikeReplaysAreTouched) {
  testing_support::TempDir dir;
  std::filesystem::create_directories("Replays");
  for (const char* name : {"notes.txt", "12-abc.vtreplay", "-5.vtreplay", "7--5.vtreplay", "9-1.vtreplay.tmp"}) {
    std::ofstream(std::string("Replays/") + name) << "x";
  }
  std::filesystem::create_directories("Replays/3-300.vtreplay");  // a folder, not a replay
  vtr::ScoreTable table;
  table.Enter(10, 50);
  ASSERT_TRUE(vtr::StoreReplay("Scores.vtr", SmallReplay(10, 50), table.Entries()));
  table.Enter(5, 60);
  ASSERT_TRUE(vtr::StoreReplay("Scores.vtr", SmallReplay(5, 60), table.Entries()));
  for (const char* name : {"notes.txt", "12-abc.vtreplay", "-5.vtreplay", "7--5.vtreplay", "9-1.vtreplay.tmp",
                           "3-300.vtreplay", "50-10.vtreplay", "60-5.vtreplay"}) {
    EXPECT_TRUE(std::filesystem::exists(std::string("Replays/") + name)) << name;
  }
  EXPECT_EQ(vtr::ListReplays("Replays").size(), 2u);
}

// The Replays folder is made beside the score file, never the folders above
// it: a score file named in a folder that is not there makes no folder.
TEST(ReplayFolder, AScoreFileInAMissingFolderMakesNoFolder) {
  testing_support::TempDir dir;
  vtr::ScoreTable table;
  table.Enter(10, 50);
  EXPECT_FALSE(vtr::StoreReplay("missing/deeper/Scores.vtr", SmallReplay(10, 50), table.Entries()));
  EXPECT_FALSE(std::filesystem::exists("missing"));
}

// What an attacker or a crash leaves at the end-of-round save's temporary
// name: a FIFO must not hold the save for ever, a link must not send the
// replay into the file it names. The save goes on as if nothing were there.
TEST(ReplayFolder, AFifoOrALinkAtTheTemporaryNameNeitherStallsNorRedirectsTheSave) {
  testing_support::TempDir dir;
  dir.Write("victim", "keep me\n");
  std::filesystem::create_directories("Replays");
  testing_support::MakeFifo("Replays/50-10.vtreplay.tmp");
  std::filesystem::create_symlink(dir.path() / "victim", "Replays/60-20.vtreplay.tmp");
  const pid_t saver = ::fork();
  if (saver == 0) {
    ::alarm(5);  // a save that waits on the FIFO is killed, and the test fails
    vtr::ScoreTable table;
    table.Enter(10, 50);
    table.Enter(20, 60);
    const bool ok = vtr::StoreReplay("Scores.vtr", SmallReplay(10, 50), table.Entries()) &&
                    vtr::StoreReplay("Scores.vtr", SmallReplay(20, 60), table.Entries());
    ::_exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(saver, &status, 0), saver);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  EXPECT_EQ(dir.Read("victim"), "keep me\n");
  EXPECT_EQ(Stored("Replays"), (std::set<Key>{{50, 10}, {60, 20}}));
  for (const char* name : {"Replays/50-10.vtreplay", "Replays/60-20.vtreplay"}) {
    vtr::Replay read;
    std::string error;
    EXPECT_EQ(vtr::ReadReplayFile(name, &read, &error), vtr::ReplayError::None) << name << ": " << error;
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(std::string(name) + ".tmp"))) << name;
  }
}
