// The score file shared by real processes: copies of the game saving at the
// same moment, and a folder that takes no new file.
#include "scores/score_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "scores/score_table.h"
#include "tests/support/hostile_files.h"
#include "tests/support/lock_holder.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::TempDir;
using vtr::SaveOutcome;
using vtr::ScoreLoad;
using vtr::ScoreTable;

// Runs body in a child process; its result becomes the exit status.
pid_t Spawn(const std::function<bool()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(body() ? 0 : 1);
  return pid;
}

bool Succeeded(pid_t pid) {
  int status = 0;
  return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Each process plays `rounds` rounds, saving after each, as the game does.
bool PlayAndSave(std::uint32_t firstScore, int rounds) {
  ScoreTable table;
  table.Load("Scores.vtr", 0);
  for (int i = 0; i < rounds; ++i) {
    table.Enter(static_cast<std::int32_t>(firstScore + static_cast<std::uint32_t>(i)), 1700000000 + i);
    if (!table.Save("Scores.vtr")) return false;
  }
  return true;
}

TEST(ScoreFile, AThousandSavesRacingFromTwoProcessesLoseNoEntry) {
  TempDir dir;
  dir.Write("Scores.vtr", "1\n7 7\n");
  const pid_t a = Spawn([] { return PlayAndSave(1000000, 500); });
  const pid_t b = Spawn([] { return PlayAndSave(2000000, 500); });
  ASSERT_TRUE(Succeeded(a));
  ASSERT_TRUE(Succeeded(b));

  ScoreTable merged;
  ASSERT_EQ(merged.Load("Scores.vtr", 0), ScoreLoad::Read);
  std::vector<std::uint32_t> scores;
  for (const auto& entry : merged.Entries()) scores.push_back(entry.score);
  std::sort(scores.begin(), scores.end());
  std::vector<std::uint32_t> expected{7};
  for (std::uint32_t i = 0; i < 500; ++i) {
    expected.push_back(1000000 + i);
    expected.push_back(2000000 + i);
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(scores, expected);
  EXPECT_TRUE(std::filesystem::exists("Scores.vtr.lock"));
  EXPECT_FALSE(std::filesystem::exists("Scores.vtr.tmp"));
}

// In a folder that takes no new file the save rewrites a writable score file
// in place, and fails, with its reason, when the file is not writable either.
// Root passes every permission check, so a root run saves as "nobody".
TEST(ScoreFile, ReadOnlyFolderFallsBackToRewritingTheFileInPlace) {
  TempDir dir;
  dir.Write("Scores.vtr", "1\n300 5\n");
  dir.Write("Locked.vtr", "1\n400 5\n");
  ::chmod("Scores.vtr", 0666);
  ::chmod("Locked.vtr", 0444);
  const bool root = ::geteuid() == 0;
  ::chmod(dir.path().c_str(), root ? 0755 : 0555);

  const pid_t saver = Spawn([root] {
    if (root && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return false;
    ScoreTable table;
    table.Load("Scores.vtr", 0);
    table.Enter(900, 6);
    if (!table.Save("Scores.vtr") || !table.LastError().empty()) return false;
    ScoreTable locked;
    locked.Load("Locked.vtr", 0);
    locked.Enter(1, 2);
    return !locked.Save("Locked.vtr") && locked.LastError() == "Permission denied";
  });
  const bool saved = Succeeded(saver);
  ::chmod(dir.path().c_str(), 0755);
  EXPECT_TRUE(saved);
  EXPECT_EQ(dir.Read("Scores.vtr"), "2\n900 6\n300 5\n");
  EXPECT_EQ(dir.Read("Locked.vtr"), "1\n400 5\n");
  EXPECT_FALSE(std::filesystem::exists("Scores.vtr.tmp"));
}

double SecondsOf(const std::function<void()>& body) {
  const auto start = std::chrono::steady_clock::now();
  body();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A save that finds the lock taken returns within its bound, the entry
// waits in the pending file (once, however often the save is tried), a run
// starting meanwhile shows it, and the first save after the lock is free
// puts it in the file, once, whichever run makes it.
TEST(ScoreFile, ALockHeldElsewhereMakesTheEntryWaitNeverFreezeOrGetLost) {
  struct Case {
    const char* name;
    bool stopped;     // the holder was stopped with SIGSTOP
    bool nextStart;   // a later run saves it (this one ended first)
  };
  for (const Case& c : {Case{"running holder, saved by this run", false, false},
                        Case{"stopped holder, saved by this run", true, false},
                        Case{"running holder, saved by the next start", false, true},
                        Case{"stopped holder, saved by the next start", true, true}}) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    dir.Write("Scores.vtr", "1\n300 5\n");
    ::chmod("Scores.vtr", 0600);
    testing_support::LockHolder holder("Scores.vtr.lock", c.stopped);
    ScoreTable table;
    table.Load("Scores.vtr", 0);
    table.Enter(900, 6);
    SaveOutcome outcome = SaveOutcome::Saved;
    EXPECT_LT(SecondsOf([&] { outcome = table.Save("Scores.vtr", 0.2); }), 1.0);
    EXPECT_EQ(outcome, SaveOutcome::Busy);
    EXPECT_EQ(table.Save("Scores.vtr", 0.0), SaveOutcome::Busy);
    EXPECT_EQ(dir.Read("Scores.vtr"), "1\n300 5\n");
    EXPECT_EQ(dir.Read("Scores.vtr.pending"), "900 6\n");
    EXPECT_EQ(std::filesystem::status("Scores.vtr.pending").permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_TRUE(table.HasUnsaved());

    ScoreTable later;  // the next start
    later.Load("Scores.vtr", 0);
    ASSERT_EQ(later.Entries().size(), 2u);
    EXPECT_EQ(later.Entries()[0].score, 900u);
    EXPECT_TRUE(later.HasUnsaved());

    holder.Release();
    ScoreTable& saver = c.nextStart ? later : table;
    ScoreTable& other = c.nextStart ? table : later;
    EXPECT_EQ(saver.Save("Scores.vtr", 0.0), SaveOutcome::Saved);
    EXPECT_EQ(dir.Read("Scores.vtr"), "2\n900 6\n300 5\n");
    EXPECT_FALSE(std::filesystem::exists("Scores.vtr.pending"));
    // The other run's save finds the entry in the file, not waiting, and
    // adds it no second time.
    EXPECT_EQ(other.Save("Scores.vtr", 0.0), SaveOutcome::Saved);
    EXPECT_EQ(dir.Read("Scores.vtr"), "2\n900 6\n300 5\n");
    EXPECT_FALSE(saver.HasUnsaved() || other.HasUnsaved());
  }
}

// The lock file is never made through a link to a missing file (the save
// goes on without the lock and says so); a link the player made to an
// existing lock file is used.
TEST(ScoreFile, TheLockFileIsNeverCreatedThroughADanglingLink) {
  TempDir dir;
  dir.Write("Scores.vtr", "1\n300 5\n");
  std::filesystem::create_symlink(dir.path() / "victim", "Scores.vtr.lock");
  const testing_support::LogCapture log;
  ScoreTable table;
  table.Load("Scores.vtr", 0);
  table.Enter(900, 6);
  EXPECT_EQ(table.Save("Scores.vtr", 0.2), SaveOutcome::Saved);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "victim"));
  EXPECT_TRUE(std::filesystem::is_symlink("Scores.vtr.lock"));
  EXPECT_EQ(log.Count("Scores.vtr.lock for writing (a link to a missing file stands at its name)"), 1);

  dir.Write("kept.lock", "");
  std::filesystem::remove("Scores.vtr.lock");
  std::filesystem::create_symlink("kept.lock", "Scores.vtr.lock");
  const vtr::ScoreFileLock lock("Scores.vtr", 0.0);
  EXPECT_TRUE(lock.Held());
  const int fd = ::open("kept.lock", O_RDONLY);
  EXPECT_NE(::flock(fd, LOCK_EX | LOCK_NB), 0);  // the link's target is what is locked
  ::close(fd);
}

}  // namespace
