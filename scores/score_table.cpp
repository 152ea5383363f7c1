#include "scores/score_table.h"

#include <algorithm>
#include <filesystem>
#include <istream>
#include <iterator>
#include <locale>
#include <map>
#include <utility>

#include "platform/checked_file.h"
#include "platform/log.h"
#include "scores/score_file.h"

namespace vtr {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kStartingScore = 100;

// Over two million entries, decades of rounds; what lies beyond is never
// read, so no file can stall the load or fill memory.
constexpr std::size_t kMaxFileBytes = 64u * 1024u * 1024u;

// Reads the file at path, appending its entries; *opened tells whether it
// could be opened at all.
ScoreLoad ReadFile(const std::string& path, std::vector<ScoreEntry>& entries, bool* opened);

// Reads the count and the entries that follow it, appending them to entries.
// The numbers are separated by any whitespace; the lines play no part.
ScoreLoad ReadEntries(std::istream& in, std::vector<ScoreEntry>& entries) {
  std::int32_t count = 0;
  if (!(in >> count)) return ScoreLoad::Damaged;
  if (count <= 0) return ScoreLoad::Read;

  const auto wanted = static_cast<std::size_t>(count);
  std::size_t read = 0;
  bool damaged = false;
  while (read < wanted) {
    // Running out of file is a short file, which the count makes up for;
    // anything else that stops the reading is damage.
    in >> std::ws;
    if (in.eof()) break;
    ScoreEntry entry;
    if (!(in >> entry.score)) {
      damaged = true;
      break;
    }
    if (!(in >> entry.time)) {
      // A score without its time still counts: it keeps the time last read,
      // as the entries after it keep both. Without an earlier entry there is
      // no time to keep, and no entry.
      damaged = true;
      if (read > 0) {
        entry.time = entries.back().time;
        entries.push_back(entry);
        ++read;
      }
      break;
    }
    entries.push_back(entry);
    ++read;
  }

  // A short file repeats its last entry up to its count. An entry is never
  // made from values that were not read, and a huge count cannot fill
  // memory with copies.
  if (read > 0) {
    const std::size_t total = std::min(wanted, std::max(read, ScoreTable::kPadLimit));
    const ScoreEntry last = entries.back();
    entries.insert(entries.end(), total - read, last);
  }
  return damaged ? ScoreLoad::Damaged : ScoreLoad::Read;
}

}  // namespace

void SortScores(std::vector<ScoreEntry>& entries) {
  std::stable_sort(entries.begin(), entries.end(),
                   [](const ScoreEntry& a, const ScoreEntry& b) { return a.score > b.score; });
}

ScoreLoad ReadScoreFile(const std::string& path, std::vector<ScoreEntry>& entries) {
  bool opened = false;
  return ReadFile(path, entries, &opened);
}

namespace {

ScoreLoad ReadFile(const std::string& path, std::vector<ScoreEntry>& entries, bool* opened) {
  *opened = false;
  platform::CheckedFile file = platform::CheckedFile::OpenForReading(path);
  switch (file.Status()) {
    case platform::OpenStatus::Opened: break;
    case platform::OpenStatus::Missing: return ScoreLoad::Missing;
    case platform::OpenStatus::NotRegular: return ScoreLoad::Refused;
    case platform::OpenStatus::Failed: return ScoreLoad::Damaged;  // there, but closed to us
  }
  *opened = true;
  platform::BoundedFileBuffer buffer(file, kMaxFileBytes);
  std::istream in(&buffer);
  in.imbue(std::locale::classic());
  const ScoreLoad result = ReadEntries(in, entries);
  // A file cut off by the bound was not read whole.
  return buffer.Truncated() || buffer.ReadFailed() ? ScoreLoad::Damaged : result;
}

bool SameEntry(const ScoreEntry& a, const ScoreEntry& b) { return a.score == b.score && a.time == b.time; }

// The file a save really writes: the target of a symbolic link, so the
// final rename replaces the file and not the link.
std::string ResolvedPath(const std::string& fileName) {
  std::error_code error;
  const fs::path target = fs::weakly_canonical(fileName, error);
  return error ? fileName : target.string();
}

}  // namespace

ScoreLoad ScoreTable::Load(const std::string& fileName, std::int64_t now) {
  bool opened = false;
  const ScoreLoad result = ReadFile(fileName, entries_, &opened);
  // Not there, closed to us, or not a file at all: either way the player
  // starts with one score to beat.
  if (!opened) entries_.push_back({kStartingScore, now, false});
  // Rounds whose save found the lock taken, perhaps in a run that ended
  // before it could save them.
  for (const ScoreEntry& entry : ReadPendingEntries(ResolvedPath(fileName))) {
    entries_.push_back(entry);
    parked_.push_back(entry);
  }
  source_ = fileName;
  SortScores(entries_);
  return result;
}

void ScoreTable::Enter(std::int32_t score, std::int64_t now) {
  for (ScoreEntry& entry : entries_) entry.isNew = false;
  const ScoreEntry entry{static_cast<std::uint32_t>(score), now, true};
  entries_.push_back(entry);
  unsaved_.push_back(entry);
  SortScores(entries_);
}

bool ScoreTable::Remove(std::uint32_t score, std::int64_t time) {
  // Of equal entries the one that arrived last stands lowest.
  const auto found = std::find_if(entries_.rbegin(), entries_.rend(),
                                  [&](const ScoreEntry& e) { return e.score == score && e.time == time; });
  if (found == entries_.rend()) return false;
  entries_.erase(std::next(found).base());
  return true;
}

std::vector<ScoreEntry> ScoreTable::Merge(const std::string& fileName, ScoreLoad found,
                                          std::vector<ScoreEntry> onDisk,
                                          const std::vector<ScoreEntry>& pending) const {
  using Key = std::pair<std::uint32_t, std::int64_t>;
  // The pending file's entries: this run's parked ones still there, then
  // those of other runs, which go in as they are.
  std::map<Key, std::size_t> waiting;
  for (const ScoreEntry& entry : pending) ++waiting[{entry.score, entry.time}];
  std::vector<ScoreEntry> parkedThere, parkedTaken;
  for (const ScoreEntry& entry : parked_) {
    std::size_t& count = waiting[{entry.score, entry.time}];
    if (count > 0) {
      --count;
      parkedThere.push_back(entry);
    } else {
      parkedTaken.push_back(entry);
    }
  }
  std::vector<ScoreEntry> others;
  for (const ScoreEntry& entry : pending) {
    std::size_t& count = waiting[{entry.score, entry.time}];
    if (count > 0) {
      --count;
      others.push_back({entry.score, entry.time, false});
    }
  }

  // No file yet, or one that could not be read (it goes to .bak): the table
  // in memory is the best there is.
  if (found != ScoreLoad::Read) {
    std::vector<ScoreEntry> table = entries_;
    table.insert(table.end(), others.begin(), others.end());
    SortScores(table);
    return table;
  }

  std::map<Key, std::size_t> held;
  for (const ScoreEntry& entry : onDisk) ++held[{entry.score, entry.time}];
  const auto keep = [&](ScoreEntry entry, bool unlessHeld) {
    if (unlessHeld) {
      std::size_t& count = held[{entry.score, entry.time}];
      if (count > 0) {
        --count;
        return;
      }
    }
    entry.isNew = false;
    onDisk.push_back(entry);
  };

  // The file must hold this run's saved entries, or, when the table came
  // from another file (the ScoreFile setting changed), the whole table.
  if (source_ == fileName) {
    for (const ScoreEntry& entry : saved_) keep(entry, true);
  } else {
    std::vector<ScoreEntry> rest = entries_;
    for (const std::vector<ScoreEntry>* mine : {&unsaved_, &parked_}) {
      for (const ScoreEntry& entry : *mine) {
        const auto same =
            std::find_if(rest.begin(), rest.end(), [&](const ScoreEntry& e) { return SameEntry(e, entry); });
        if (same != rest.end()) rest.erase(same);
      }
    }
    for (const ScoreEntry& entry : rest) keep(entry, true);
  }
  for (const ScoreEntry& entry : parkedTaken) keep(entry, true);
  for (const ScoreEntry& entry : parkedThere) keep(entry, false);
  for (const ScoreEntry& entry : others) keep(entry, false);
  for (const ScoreEntry& entry : unsaved_) keep(entry, false);
  SortScores(onDisk);

  // The latest round stays the highlighted one: the last of its equals.
  const auto latest = std::find_if(entries_.begin(), entries_.end(), [](const ScoreEntry& e) { return e.isNew; });
  if (latest != entries_.end()) {
    const auto mark = std::find_if(onDisk.rbegin(), onDisk.rend(), [&](const ScoreEntry& e) { return SameEntry(e, *latest); });
    if (mark != onDisk.rend()) mark->isNew = true;
  }
  return onDisk;
}

bool ScoreTable::Fail(const std::string& fileName, const std::string& why) {
  lastError_ = why;
  platform::Log("Cannot save the scores to %s: %s", fileName.c_str(), why.c_str());
  return false;
}

SaveOutcome ScoreTable::Park(const std::string& target) {
  lastError_ = "the score file is locked by another process";
  if (unsaved_.empty()) return SaveOutcome::Busy;
  std::string why;
  if (AppendPending(target, unsaved_, &why)) {
    platform::Log("%s.lock is held by another process: the new score waits in %s", target.c_str(),
                  PendingFileName(target).c_str());
    parked_.insert(parked_.end(), unsaved_.begin(), unsaved_.end());
    unsaved_.clear();
  } else {
    platform::Log("%s.lock is held by another process, and %s cannot be written (%s): the new score waits in "
                  "memory",
                  target.c_str(), PendingFileName(target).c_str(), why.c_str());
  }
  return SaveOutcome::Busy;
}

SaveOutcome ScoreTable::Save(const std::string& fileName, double lockWaitSeconds) {
  if (fileName.empty()) {
    Fail(fileName, "no file name");
    return SaveOutcome::Failed;
  }
  const std::string target = ResolvedPath(fileName);
  const auto failed = [&](const std::string& why) {
    Fail(fileName, why);
    return SaveOutcome::Failed;
  };

  // A folder, FIFO or device of that name is refused before anything, the
  // lock file included, is made beside it.
  if (platform::CheckedFile::OpenForReading(target, false).Status() == platform::OpenStatus::NotRegular) {
    return failed("not a regular file");
  }
  const ScoreFileLock lock(target, lockWaitSeconds);
  if (lock.Busy()) return Park(target);
  PendingEntries pending(target);
  if (pending.Busy()) return Park(target);
  std::vector<ScoreEntry> onDisk;
  bool opened = false;
  const ScoreLoad found = ReadFile(target, onDisk, &opened);
  if (found == ScoreLoad::Refused) return failed("not a regular file");

  std::vector<ScoreEntry> merged = Merge(fileName, found, std::move(onDisk), pending.Entries());
  const std::string text = FormatScoreFile(merged);
  const bool damaged = found == ScoreLoad::Damaged;
  std::string why;
  bool folderClosed = false;
  if (!ReplaceFileAtomically(target, text, damaged, &why, &folderClosed)) {
    // A folder closed to new files, with the score file itself writable:
    // rewritten in place, as saves worked before they became atomic. A
    // damaged file is not written over without its copy.
    std::string inPlaceWhy;
    if (!folderClosed || found != ScoreLoad::Read || !RewriteFileInPlace(target, text, &inPlaceWhy)) {
      return failed(why);
    }
  }
  // Saved without the lock, which another copy sharing the file relies on
  // (a failed save says enough in its own line).
  if (!lock.Held()) {
    platform::Log("Cannot open %s.lock for writing (%s): the scores were saved without the lock", target.c_str(),
                  lock.Problem().c_str());
  }
  pending.Remove();
  entries_ = std::move(merged);
  saved_.insert(saved_.end(), unsaved_.begin(), unsaved_.end());
  saved_.insert(saved_.end(), parked_.begin(), parked_.end());
  unsaved_.clear();
  parked_.clear();
  source_ = fileName;
  lastError_.clear();
  return SaveOutcome::Saved;
}

}  // namespace vtr
