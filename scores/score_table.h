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
// kPadLimit entries in all.
//
// Saving never loses scores: the table goes to a temporary file beside the
// score file, which replaces the old one only once it is completely written.
// A score file that exists but could not be read is kept as "<file>.bak" the
// first time it is saved over.
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

// What Load found.
enum class ScoreLoad {
  Read,        // the file was read (perhaps short, or with a count of 0 or less)
  Missing,     // no file: the starting entry was added
  Damaged,     // the file exists but could not be opened or not all of it
               // could be read; it is kept as .bak before it is saved over
};

class ScoreTable {
 public:
  // A short file is padded with repeats of its last entry up to its count,
  // but never beyond this many entries from one load. Entries the file really
  // holds are always all kept, however many there are.
  static constexpr std::size_t kPadLimit = 100000;

  // Appends the entries of the file (or the starting entry, score 100 at now,
  // when there is no file to read) and sorts the table.
  ScoreLoad Load(const std::string& fileName, std::int64_t now);

  // Clears every isNew flag, adds score (its 32 bits taken as unsigned) made
  // at now and marked new, and sorts the table.
  void Enter(std::int32_t score, std::int64_t now);

  // Writes the whole table to fileName, replacing the old file only when the
  // new one is complete. False (and the old file untouched) on failure.
  bool Save(const std::string& fileName);

  // The entries, highest score first.
  const std::vector<ScoreEntry>& Entries() const { return entries_; }

 private:
  std::vector<ScoreEntry> entries_;
  // A score file found damaged at load: kept as .bak before the first save
  // over it. Empty when there is none.
  std::string backupBeforeSave_;
};

// Sorts highest score first, keeping the order of equal scores.
void SortScores(std::vector<ScoreEntry>& entries);

}  // namespace vtr
