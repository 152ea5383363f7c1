// The score file on the disk: the lock that lets two copies of the game
// share it, and writing it so that a crash or a power cut never leaves it
// half written.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "scores/score_table.h"

namespace vtr {

// The text of a table: the count, then one "score time" line per entry.
std::string FormatScoreFile(const std::vector<ScoreEntry>& entries);

// Holds an exclusive lock on "<score file>.lock" while it lives, so the
// saves of two copies of the game take turns. It waits for the lock at most
// waitSeconds (0: one try; below 0: as long as it takes), so a copy that
// holds the lock for long, or was stopped while holding it, never freezes
// this one: Busy() then tells. A lock file that cannot be opened (a
// read-only folder, a dangling link at its name) gives no lock; Held() is
// false, Problem() says why, and the save goes on without it.
//
// The lock file is opened where it is, following a link to an existing
// file, but it is only ever made with O_EXCL, which never creates a file
// through a link.
class ScoreFileLock {
 public:
  explicit ScoreFileLock(const std::string& scoreFile, double waitSeconds = -1.0);
  ~ScoreFileLock();
  ScoreFileLock(const ScoreFileLock&) = delete;
  ScoreFileLock& operator=(const ScoreFileLock&) = delete;

  bool Held() const { return fd_ >= 0; }
  // Another process held the lock for the whole wait.
  bool Busy() const { return busy_; }
  // Why the lock file could not be opened; empty when it could.
  const std::string& Problem() const { return problem_; }

 private:
  int fd_ = -1;
  bool busy_ = false;
  std::string problem_;
};

// "<score file>.pending": the entries of rounds whose save found the lock
// taken, one "score time" line each (the score file's lines without its
// count), so they outlive the game. The next save that gets the lock merges
// them into the score file and removes it. Appending and taking it both hold
// a lock on the pending file itself, for a moment only; it is never created
// through a link.
std::string PendingFileName(const std::string& scoreFile);

// Adds entries to the pending file. False, with the reason in *why, when it
// cannot (the entries are then only in memory).
bool AppendPending(const std::string& scoreFile, const std::vector<ScoreEntry>& entries, std::string* why);

// The pending file, opened and locked for a save that holds the score
// file's lock: its entries, and removing it once they are in the score file.
class PendingEntries {
 public:
  explicit PendingEntries(const std::string& scoreFile);
  ~PendingEntries();
  PendingEntries(const PendingEntries&) = delete;
  PendingEntries& operator=(const PendingEntries&) = delete;

  // Another process is writing to it this very moment: try again later.
  bool Busy() const { return busy_; }
  const std::vector<ScoreEntry>& Entries() const { return entries_; }
  // Removes the file, whose entries are now in the score file.
  void Remove();

 private:
  std::string path_;
  int fd_ = -1;
  bool busy_ = false;
  std::vector<ScoreEntry> entries_;
};

// Reads the entries of a pending file (for showing them before they are
// saved); none when there is no such file.
std::vector<ScoreEntry> ReadPendingEntries(const std::string& scoreFile);

// Replaces the file at path with text through the game's one durable write
// (platform/atomic_file.h); with keepAsBackup the old file is first renamed
// to "<path>.bak". False, with the reason in *why, when any step fails: the
// old file is then untouched.
// *folderClosed tells whether the folder refused the temporary file
// (permissions, a read-only file system).
bool ReplaceFileAtomically(const std::string& path, const std::string& text, bool keepAsBackup, std::string* why,
                           bool* folderClosed = nullptr);

// Rewrites the regular file at path in place (for a folder that is closed to
// new files), flushed and synced. False, with the reason in *why, on failure.
bool RewriteFileInPlace(const std::string& path, const std::string& text, std::string* why);

}  // namespace vtr
