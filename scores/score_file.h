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
// saves of two copies of the game take turns. A lock file that cannot be
// made (a read-only folder) gives no lock; Held() tells.
class ScoreFileLock {
 public:
  explicit ScoreFileLock(const std::string& scoreFile);
  ~ScoreFileLock();
  ScoreFileLock(const ScoreFileLock&) = delete;
  ScoreFileLock& operator=(const ScoreFileLock&) = delete;

  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

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
