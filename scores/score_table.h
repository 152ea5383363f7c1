// The high-score table and the file that keeps it between runs.
//
// Every finished round adds one entry; none is ever removed. The table is
// always sorted highest score first; entries of equal score keep the order in
// which they arrived (a new score equal to old ones goes below them).
//
// The score file is plain text: the number of entries on the first line, then
// one "score time" line per entry, highest first. Loading is forgiving: a
// missing file gives the single starting entry of 100 points, a count of 0 or
// less gives an empty table, and a file shorter than its count repeats its last
// entry up to the count. Loading never invents entries from values it could not
// read, and a count far beyond what the file holds is padded no further than
// kPadLimit entries in all. Only a regular file is read, and only its first
// 64 MB; a folder, FIFO or device of that name is refused and logged.
//
// Saving never loses scores, not even those of another copy of the game
// sharing the file: under a lock on "<file>.lock" the save reads the file
// again, adds the entries of this run that it does not hold yet, and the
// merged table goes to a temporary file beside the score file, which replaces
// the old one only once it is completely written; the table in memory then
// is the merged one. Where the folder takes no new file but the score file is
// writable, the file is rewritten in place instead. A regular score file that
// could not be read is kept as "<file>.bak" before it is saved over; anything
// else of that name is never touched. A failed save is logged with its reason.
//
// The lock is waited for only a moment: while another process holds it, the
// entries of this run wait in "<file>.pending" (scores/score_file.h), which
// the next save that gets the lock merges into the file, whichever copy of
// the game makes it, in this run or a later one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vtr {

// One row of the table. isNew marks the entry of this run's latest finished
// round; it is never stored in the file.
struct ScoreEntry {
  std::uint32_t score = 0;
  std::int64_t time = 0;
  bool isNew = false;
};

// What a save came to.
enum class SaveOutcome {
  Saved,
  Busy,    // another process held the lock: this run's new entries wait in
           // the pending file (or in memory, when that cannot be written)
  Failed,  // logged, with LastError()
};

// What Load found.
enum class ScoreLoad {
  Read,        // the file was read (perhaps short, or with a count of 0 or less)
  Missing,     // no file: the starting entry was added
  Damaged,     // a regular file that could not be opened or not all of it
               // could be read; it is kept as .bak before it is saved over
  Refused,     // a folder, FIFO, device or socket: the starting entry was
               // added, and nothing of that name is ever read or replaced
};

class ScoreTable {
 public:
  // A short file is padded with repeats of its last entry up to its count,
  // but never beyond this many entries from one load. Entries the file really
  // holds are always all kept, however many there are.
  static constexpr std::size_t kPadLimit = 100000;

  // Appends the entries of the file (or the starting entry, score 100 at now,
  // when there is no file to read) and those waiting in its pending file,
  // which the next save stores, and sorts the table.
  ScoreLoad Load(const std::string& fileName, std::int64_t now);

  // Clears every isNew flag, adds score (its 32 bits taken as unsigned) made
  // at now and marked new, and sorts the table.
  void Enter(std::int32_t score, std::int64_t now);

  // Takes out the entry of that score and time that arrived last (a watched
  // round is shown with the table as it was before its own entry); false
  // when there is none.
  bool Remove(std::uint32_t score, std::int64_t time);

  // Merges this run's entries into the file and writes it (see the top of
  // this file); the table becomes the merged one. False on failure, with one
  // log line naming the file and the reason (LastError()); the table is then
  // unchanged and the next save tries again.
  // Waits for the lock as long as it takes.
  bool Save(const std::string& fileName) { return Save(fileName, -1.0) == SaveOutcome::Saved; }
  // Waits for the lock at most lockWaitSeconds (0: one try); Busy when
  // another process held it all that time.
  SaveOutcome Save(const std::string& fileName, double lockWaitSeconds);
  // Entries that are not in the score file yet (this run's, or found in the
  // pending file by Load): a save is owed.
  bool HasUnsaved() const { return !unsaved_.empty() || !parked_.empty(); }

  // Why the last save failed; empty after a successful one.
  const std::string& LastError() const { return lastError_; }

  // The entries, highest score first.
  const std::vector<ScoreEntry>& Entries() const { return entries_; }

 private:
  // The table to write for a file that now reads as `found` with entries
  // `onDisk`.
  std::vector<ScoreEntry> Merge(const std::string& fileName, ScoreLoad found, std::vector<ScoreEntry> onDisk,
                                const std::vector<ScoreEntry>& pending) const;
  bool Fail(const std::string& fileName, const std::string& why);
  // The lock is taken: the new entries go to the pending file.
  SaveOutcome Park(const std::string& target);

  std::vector<ScoreEntry> entries_;
  // Entries this run made (its rounds): the ones not yet saved go into the
  // file whatever it holds (another copy may have made an equal entry); the
  // saved ones only when the file no longer holds them.
  std::vector<ScoreEntry> unsaved_;
  std::vector<ScoreEntry> saved_;
  // Entries in the pending file, put there by this run or found there by
  // Load: the file must hold them after the next save. One still in the
  // pending file goes in whatever the file holds; one gone from it was
  // merged by another copy, and goes in only when the file lacks it.
  std::vector<ScoreEntry> parked_;
  // The file the table was loaded from or last saved to.
  std::string source_;
  std::string lastError_;
};

// Sorts highest score first, keeping the order of equal scores.
void SortScores(std::vector<ScoreEntry>& entries);

// Appends the entries of the score file at path (never a starting entry) to
// entries, reading only a regular file and only its first 64 MB.
ScoreLoad ReadScoreFile(const std::string& path, std::vector<ScoreEntry>& entries);

}  // namespace vtr
