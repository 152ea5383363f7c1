#include "scores/score_table.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <locale>

namespace vtr {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kStartingScore = 100;

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

std::string FormatTable(const std::vector<ScoreEntry>& entries) {
  std::string text = std::to_string(entries.size()) + "\n";
  for (const ScoreEntry& entry : entries) {
    text += std::to_string(entry.score);
    text += ' ';
    text += std::to_string(entry.time);
    text += '\n';
  }
  return text;
}

bool WriteAll(int fd, const std::string& text) {
  const char* data = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    const ssize_t written = ::write(fd, data, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  return true;
}

// Writes text to a new file at path and makes sure it is on the disk. The file
// takes the permissions of keepModeOf when that file exists. On failure no
// file is left at path.
bool WriteFileDurably(const fs::path& path, const std::string& text, const fs::path* keepModeOf) {
  // A stale temporary file from an interrupted save is replaced; a symbolic
  // link in its place is removed rather than followed.
  ::unlink(path.c_str());
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return false;

  struct stat old {};
  if (keepModeOf && ::stat(keepModeOf->c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
    ::fchmod(fd, old.st_mode & 07777);
  }
  const bool written = WriteAll(fd, text) && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (written && closed) return true;
  ::unlink(path.c_str());
  return false;
}

// Makes a finished rename survive a power cut; a failure here loses nothing
// that was not already at risk, so it is ignored.
void SyncDirectory(const fs::path& directory) {
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

void SortScores(std::vector<ScoreEntry>& entries) {
  std::stable_sort(entries.begin(), entries.end(),
                   [](const ScoreEntry& a, const ScoreEntry& b) { return a.score > b.score; });
}

ScoreLoad ScoreTable::Load(const std::string& fileName, std::int64_t now) {
  ScoreLoad result = ScoreLoad::Missing;
  std::ifstream in(fileName);
  if (in) {
    in.imbue(std::locale::classic());
    result = ReadEntries(in, entries_);
  } else {
    // Not there, or there but closed to us: either way the player starts
    // with one score to beat.
    std::error_code ignored;
    if (!fileName.empty() && fs::exists(fileName, ignored)) result = ScoreLoad::Damaged;
    entries_.push_back({kStartingScore, now, false});
  }
  if (result == ScoreLoad::Damaged) backupBeforeSave_ = fileName;
  SortScores(entries_);
  return result;
}

void ScoreTable::Enter(std::int32_t score, std::int64_t now) {
  for (ScoreEntry& entry : entries_) entry.isNew = false;
  entries_.push_back({static_cast<std::uint32_t>(score), now, true});
  SortScores(entries_);
}

bool ScoreTable::Save(const std::string& fileName) {
  if (fileName.empty()) return false;

  // Save beside the real file when the score file is a symbolic link, so the
  // final rename replaces the file and not the link.
  std::error_code error;
  fs::path target = fs::weakly_canonical(fileName, error);
  if (error) target = fileName;
  fs::path temporary = target;
  temporary += ".tmp";
  fs::path backup = target;
  backup += ".bak";

  const bool keepDamaged = backupBeforeSave_ == fileName;
  // A damaged file may be damaged in its permissions too: the new file then
  // gets the usual ones.
  if (!WriteFileDurably(temporary, FormatTable(entries_), keepDamaged ? nullptr : &target)) {
    return false;
  }

  bool movedAside = false;
  if (keepDamaged && fs::exists(fs::symlink_status(target, error))) {
    if (::rename(target.c_str(), backup.c_str()) != 0) {
      ::unlink(temporary.c_str());
      return false;
    }
    movedAside = true;
  }
  if (::rename(temporary.c_str(), target.c_str()) != 0) {
    if (movedAside) ::rename(backup.c_str(), target.c_str());
    ::unlink(temporary.c_str());
    return false;
  }
  SyncDirectory(target.parent_path().empty() ? fs::path(".") : target.parent_path());
  if (keepDamaged) backupBeforeSave_.clear();
  return true;
}

}  // namespace vtr
