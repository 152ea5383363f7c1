#include "scores/score_table.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/hostile_files.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;
using vtr::ScoreEntry;
using vtr::ScoreLoad;
using vtr::ScoreTable;

constexpr std::int64_t kNow = 1700000000;

std::vector<std::uint32_t> Scores(const ScoreTable& table) {
  std::vector<std::uint32_t> scores;
  for (const ScoreEntry& entry : table.Entries()) scores.push_back(entry.score);
  return scores;
}

std::vector<std::int64_t> Times(const ScoreTable& table) {
  std::vector<std::int64_t> times;
  for (const ScoreEntry& entry : table.Entries()) times.push_back(entry.time);
  return times;
}

TEST(ScoreTable, MissingFileGivesTheStartingScoreWithoutCreatingTheFile) {
  TempDir dir;
  ScoreTable table;
  EXPECT_EQ(table.Load("Scores.vtr", kNow), ScoreLoad::Missing);
  ASSERT_EQ(table.Entries().size(), 1u);
  EXPECT_EQ(table.Entries()[0].score, 100u);
  EXPECT_EQ(table.Entries()[0].time, kNow);
  EXPECT_FALSE(table.Entries()[0].isNew);
  EXPECT_FALSE(fs::exists("Scores.vtr"));
}

TEST(ScoreTable, SavedTableLoadsBackHighestFirst) {
  TempDir dir;
  ScoreTable table;
  table.Load("Scores.vtr", 10);
  table.Enter(500, 20);
  table.Enter(0, 30);
  ASSERT_TRUE(table.Save("Scores.vtr"));
  EXPECT_EQ(dir.Read("Scores.vtr"), "3\n500 20\n100 10\n0 30\n");
  EXPECT_FALSE(fs::exists("Scores.vtr.tmp"));
  EXPECT_FALSE(fs::exists("Scores.vtr.bak"));

  ScoreTable again;
  EXPECT_EQ(again.Load("Scores.vtr", kNow), ScoreLoad::Read);
  EXPECT_EQ(Scores(again), (std::vector<std::uint32_t>{500, 100, 0}));
  EXPECT_EQ(Times(again), (std::vector<std::int64_t>{20, 10, 30}));
  for (const ScoreEntry& entry : again.Entries()) EXPECT_FALSE(entry.isNew);
}

TEST(ScoreTable, HandEditedFileIsSortedAndEqualScoresKeepTheirOrder) {
  TempDir dir;
  // Any whitespace separates the numbers.
  dir.Write("Scores.vtr", "5\n10 1\n300 2  700 3\n\n300 4\n10 5");
  ScoreTable table;
  EXPECT_EQ(table.Load("Scores.vtr", kNow), ScoreLoad::Read);
  EXPECT_EQ(Scores(table), (std::vector<std::uint32_t>{700, 300, 300, 10, 10}));
  EXPECT_EQ(Times(table), (std::vector<std::int64_t>{3, 2, 4, 1, 5}));
}

TEST(ScoreTable, ShortFileRepeatsItsLastEntryUpToTheCount) {
  TempDir dir;
  dir.Write("Scores.vtr", "3\n500 1\n200 2\n");
  ScoreTable table;
  EXPECT_EQ(table.Load("Scores.vtr", kNow), ScoreLoad::Read);
  EXPECT_EQ(Scores(table), (std::vector<std::uint32_t>{500, 200, 200}));
  EXPECT_EQ(Times(table), (std::vector<std::int64_t>{1, 2, 2}));
}

TEST(ScoreTable, CountOfZeroOrLessGivesAnEmptyTable) {
  TempDir dir;
  for (const char* text : {"0\n", "-4\n500 1\n"}) {
    dir.Write("Scores.vtr", text);
    ScoreTable table;
    EXPECT_EQ(table.Load("Scores.vtr", kNow), ScoreLoad::Read) << text;
    EXPECT_TRUE(table.Entries().empty()) << text;
  }
  ScoreTable table;
  table.Load("Scores.vtr", kNow);
  table.Enter(42, 7);
  ASSERT_TRUE(table.Save("Scores.vtr"));
  EXPECT_EQ(dir.Read("Scores.vtr"), "1\n42 7\n");
  EXPECT_FALSE(fs::exists("Scores.vtr.bak"));
}

TEST(ScoreTable, ValuesThatWereNeverReadMakeNoEntries) {
  TempDir dir;
  struct Case {
    const char* text;
    std::vector<std::uint32_t> scores;
  };
  const Case cases[] = {
      {"", {}},
      {"scores\n500 1\n", {}},
      {"99999999999\n500 1\n", {}},  // a count beyond 32 bits is no count
      {"3\nabc 1\n", {}},
      {"2\n700\n", {}},  // no time was ever read
      // A score without its time takes the time last read, and the count is
      // made up with that entry.
      {"3\n500 1\n700\n", {700, 700, 500}},
      {"3\n500 1\n700 x\n", {700, 700, 500}},
  };
  for (const Case& c : cases) {
    dir.Write("Scores.vtr", c.text);
    ScoreTable table;
    EXPECT_EQ(table.Load("Scores.vtr", kNow), ScoreLoad::Damaged) << c.text;
    EXPECT_EQ(Scores(table), c.scores) << c.text;
    for (const ScoreEntry& entry : table.Entries()) EXPECT_EQ(entry.time, 1) << c.text;
  }
}

TEST(ScoreTable, HugeCountIsPaddedOnlyToTheBoundButKeepsEveryRealEntry) {
  TempDir dir;
  dir.Write("Scores.vtr", "2000000000\n5 1\n7 2\n");
  ScoreTable table;
  EXPECT_EQ(table.Load("Scores.vtr", kNow), ScoreLoad::Read);
  ASSERT_EQ(table.Entries().size(), ScoreTable::kPadLimit);
  // The last entry read is the one repeated.
  EXPECT_EQ(table.Entries().front().score, 7u);
  EXPECT_EQ(table.Entries().front().time, 2);
  EXPECT_EQ(table.Entries().back().score, 5u);
  EXPECT_EQ(table.Entries().back().time, 1);
  EXPECT_EQ(table.Entries()[ScoreTable::kPadLimit - 2].score, 7u);

  // A file that really holds more entries than the bound keeps them all.
  const std::size_t held = ScoreTable::kPadLimit + 3;
  std::string text = std::to_string(held + 1000) + "\n";
  for (std::size_t i = 0; i < held; ++i) text += std::to_string(i) + " 1\n";
  dir.Write("Big.vtr", text);
  ScoreTable big;
  big.Load("Big.vtr", kNow);
  ASSERT_EQ(big.Entries().size(), held);
  EXPECT_EQ(big.Entries().front().score, held - 1);
  EXPECT_EQ(big.Entries().back().score, 0u);
}

TEST(ScoreTable, NewScoreGoesBelowEqualScoresAndAloneIsNew) {
  TempDir dir;
  ScoreTable table;
  // More than 32 entries, with a run of equal scores in the middle.
  for (int i = 0; i < 40; ++i) table.Enter(i % 4 == 0 ? 50 : i * 10 + 1, i);
  table.Enter(50, 1000);
  table.Enter(-1, 1001);  // the round's 32 bits taken as unsigned

  const auto& entries = table.Entries();
  for (std::size_t i = 1; i < entries.size(); ++i) {
    ASSERT_GE(entries[i - 1].score, entries[i].score);
  }
  EXPECT_EQ(entries.front().score, 4294967295u);
  std::vector<std::int64_t> fifties;
  for (const ScoreEntry& entry : entries) {
    if (entry.score == 50) fifties.push_back(entry.time);
  }
  EXPECT_EQ(fifties, (std::vector<std::int64_t>{0, 4, 8, 12, 16, 20, 24, 28, 32, 36, 1000}));
  for (const ScoreEntry& entry : entries) EXPECT_EQ(entry.isNew, entry.time == 1001);
}

TEST(ScoreTable, FailedSaveLeavesTheOldFileWholeAndNoTemporaryFile) {
  TempDir dir;
  dir.Write("Scores.vtr", "1\n300 5\n");
  ScoreTable table;
  table.Load("Scores.vtr", kNow);
  table.Enter(900, 6);

  // The temporary file cannot be made.
  fs::create_directories("Scores.vtr.tmp/busy");
  EXPECT_FALSE(table.Save("Scores.vtr"));
  EXPECT_EQ(dir.Read("Scores.vtr"), "1\n300 5\n");
  fs::remove_all("Scores.vtr.tmp");

  // The folder of the score file does not exist.
  EXPECT_FALSE(table.Save("nowhere/Scores.vtr"));
  EXPECT_FALSE(fs::exists("nowhere"));

  // The temporary file is written but cannot replace the score "file".
  fs::create_directories("Taken/inside");
  EXPECT_FALSE(table.Save("Taken"));
  EXPECT_TRUE(fs::exists("Taken/inside"));
  EXPECT_FALSE(fs::exists("Taken.tmp"));

  // The table is unchanged and the next save succeeds.
  EXPECT_EQ(Scores(table), (std::vector<std::uint32_t>{900, 300}));
  EXPECT_TRUE(table.Save("Scores.vtr"));
  EXPECT_EQ(dir.Read("Scores.vtr"), "2\n900 6\n300 5\n");
}

TEST(ScoreTable, DamagedFileIsKeptAsBackupOnceBeforeTheFirstSave) {
  TempDir dir;
  dir.Write("Scores.vtr", "not a score file");
  ScoreTable table;
  EXPECT_EQ(table.Load("Scores.vtr", kNow), ScoreLoad::Damaged);
  table.Enter(300, 9);
  ASSERT_TRUE(table.Save("Scores.vtr"));
  EXPECT_EQ(dir.Read("Scores.vtr.bak"), "not a score file");
  EXPECT_EQ(dir.Read("Scores.vtr"), "1\n300 9\n");

  table.Enter(400, 10);
  ASSERT_TRUE(table.Save("Scores.vtr"));
  EXPECT_EQ(dir.Read("Scores.vtr.bak"), "not a score file");
  EXPECT_EQ(dir.Read("Scores.vtr"), "2\n400 10\n300 9\n");
  EXPECT_FALSE(fs::exists("Scores.vtr.tmp"));
}

TEST(ScoreTable, NamesThatAreNoRegularFileAreNeverReadMovedOrReplaced) {
  TempDir dir;
  testing_support::LogCapture log;
  fs::create_directory("Content");
  dir.Write("Content/keep", "x");
  testing_support::MakeFifo("fifo");
  for (const std::string name : {".", "Content", "fifo", "/dev/null", "/dev/zero"}) {
    ScoreTable table;
    EXPECT_EQ(table.Load(name, kNow), ScoreLoad::Refused) << name;
    EXPECT_EQ(Scores(table), std::vector<std::uint32_t>{100}) << name;
    table.Enter(1, 2);
    EXPECT_FALSE(table.Save(name)) << name;
    EXPECT_EQ(table.LastError(), "not a regular file");
    EXPECT_EQ(log.Count("Cannot save the scores to " + name + ": not a regular file"), 1) << name;
  }
  EXPECT_EQ(dir.Read("Content/keep"), "x");
  EXPECT_TRUE(fs::is_fifo("fifo"));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  // Nothing was made beside them: no copy, no lock, no temporary file.
  std::vector<std::string> made;
  for (const auto& entry : fs::directory_iterator(dir.path())) made.push_back(entry.path().filename().string());
  std::sort(made.begin(), made.end());
  EXPECT_EQ(made, (std::vector<std::string>{"Content", "fifo", "test.log"}));
  EXPECT_FALSE(fs::exists(dir.path().string() + ".lock"));
}

TEST(ScoreTable, HugeScoreFileIsReadOnlyUpToItsBoundAndKeptAsBackup) {
  TempDir dir;
  testing_support::MakeSparseFile("Scores.vtr");
  ScoreTable table;
  EXPECT_EQ(table.Load("Scores.vtr", kNow), ScoreLoad::Damaged);
  EXPECT_TRUE(table.Entries().empty());
  EXPECT_EQ(fs::file_size("Scores.vtr"), testing_support::kSparseBytes);

  // A count, then blanks past the 64 MB bound: not read whole, so damaged.
  {
    std::ofstream blanks("Blanks.vtr");
    blanks << "1\n" << std::string(65u << 20, ' ');
  }
  ScoreTable other;
  EXPECT_EQ(other.Load("Blanks.vtr", kNow), ScoreLoad::Damaged);
  other.Enter(5, 6);
  ASSERT_TRUE(other.Save("Blanks.vtr"));
  EXPECT_EQ(fs::file_size("Blanks.vtr.bak"), (65u << 20) + 2);
  EXPECT_EQ(dir.Read("Blanks.vtr"), "1\n5 6\n");
}

TEST(ScoreTable, SaveKeepsTheFilesLinkAndPermissions) {
  TempDir dir;
  fs::create_directory("real");
  dir.Write("real/Scores.vtr", "1\n300 5\n");
  ::chmod("real/Scores.vtr", 0600);
  fs::create_symlink("real/Scores.vtr", "Scores.vtr");

  ScoreTable table;
  table.Load("Scores.vtr", kNow);
  table.Enter(900, 6);
  ASSERT_TRUE(table.Save("Scores.vtr"));
  EXPECT_TRUE(fs::is_symlink("Scores.vtr"));
  EXPECT_EQ(dir.Read("real/Scores.vtr"), "2\n900 6\n300 5\n");
  EXPECT_EQ(fs::status("real/Scores.vtr").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);

  // A damaged file kept as its backup: the new one stays private too, and
  // the owner's to read and write even when the old one was not.
  for (const mode_t mode : {0600, 0200}) {
    dir.Write("real/Damaged.vtr", "x");
    ::chmod("real/Damaged.vtr", mode);
    fs::create_symlink("real/Damaged.vtr", "Damaged.vtr");
    ScoreTable damaged;
    ASSERT_EQ(damaged.Load("Damaged.vtr", kNow), ScoreLoad::Damaged);
    damaged.Enter(900, 6);
    ASSERT_TRUE(damaged.Save("Damaged.vtr"));
    EXPECT_TRUE(fs::is_symlink("Damaged.vtr"));
    EXPECT_EQ(fs::status("real/Damaged.vtr").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    fs::remove("Damaged.vtr");
    fs::remove("real/Damaged.vtr.bak");
  }
}

TEST(ScoreTable, TwoCopiesSavingOneFileKeepEachOthersEntries) {
  TempDir dir;
  dir.Write("Scores.vtr", "1\n300 5\n");
  ScoreTable first;
  ScoreTable second;
  first.Load("Scores.vtr", kNow);
  second.Load("Scores.vtr", kNow);

  first.Enter(900, 6);
  ASSERT_TRUE(first.Save("Scores.vtr"));
  // The second copy's table is stale; its save adds to the file instead.
  second.Enter(50, 7);
  ASSERT_TRUE(second.Save("Scores.vtr"));
  EXPECT_EQ(dir.Read("Scores.vtr"), "3\n900 6\n300 5\n50 7\n");
  EXPECT_EQ(Scores(second), (std::vector<std::uint32_t>{900, 300, 50}));  // follows the file
  EXPECT_TRUE(second.Entries().back().isNew);
  EXPECT_FALSE(second.Entries().front().isNew);

  // An entry equal to the other copy's (same score, same second) is a round
  // of its own and kept; an entry already saved is not written twice.
  first.Enter(50, 7);
  ASSERT_TRUE(first.Save("Scores.vtr"));
  ASSERT_TRUE(first.Save("Scores.vtr"));
  EXPECT_EQ(dir.Read("Scores.vtr"), "4\n900 6\n300 5\n50 7\n50 7\n");
  EXPECT_TRUE(first.Entries().back().isNew);

  // A file removed meanwhile gets the whole table again.
  fs::remove("Scores.vtr");
  ASSERT_TRUE(second.Save("Scores.vtr"));
  EXPECT_EQ(dir.Read("Scores.vtr"), "3\n900 6\n300 5\n50 7\n");
}

TEST(ScoreTable, ChangedScoreFileGetsTheWholeTableMergedIn) {
  TempDir dir;
  dir.Write("Old.vtr", "2\n300 5\n200 4\n");
  dir.Write("New.vtr", "1\n250 3\n");
  ScoreTable table;
  table.Load("Old.vtr", kNow);
  table.Enter(100, 8);
  ASSERT_TRUE(table.Save("New.vtr"));
  EXPECT_EQ(dir.Read("New.vtr"), "4\n300 5\n250 3\n200 4\n100 8\n");
  EXPECT_EQ(dir.Read("Old.vtr"), "2\n300 5\n200 4\n");
}

TEST(ScoreTable, FailedSaveIsLoggedWithTheFileAndTheReason) {
  TempDir dir;
  testing_support::LogCapture log;
  ScoreTable table;
  table.Load("Scores.vtr", kNow);
  table.Enter(900, 6);
  EXPECT_FALSE(table.Save("nowhere/Scores.vtr"));
  EXPECT_EQ(table.LastError(), "No such file or directory");
  const std::string longName(300, 'n');
  EXPECT_FALSE(table.Save(longName));
  EXPECT_EQ(table.LastError(), "File name too long");
  EXPECT_EQ(log.Count("Cannot save the scores to nowhere/Scores.vtr: No such file or directory"), 1);
  EXPECT_EQ(log.Count("Cannot save the scores to " + longName + ": File name too long"), 1);
  EXPECT_EQ(log.Lines().size(), 2u);

  ASSERT_TRUE(table.Save("Scores.vtr"));
  EXPECT_TRUE(table.LastError().empty());
  EXPECT_EQ(log.Lines().size(), 2u);
}

}  // namespace
