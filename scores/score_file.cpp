#include "scores/score_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <locale>
#include <sstream>
#include <string_view>
#include <thread>

#include "platform/atomic_file.h"
#include "platform/checked_file.h"

namespace vtr {
namespace {

std::string Reason(int error) { return std::strerror(error); }

}  // namespace

std::string FormatScoreFile(const std::vector<ScoreEntry>& entries) {
  std::string text = std::to_string(entries.size()) + "\n";
  for (const ScoreEntry& entry : entries) {
    text += std::to_string(entry.score);
    text += ' ';
    text += std::to_string(entry.time);
    text += '\n';
  }
  return text;
}

namespace {

// A pending file is held for the moment of one append or one merge.
constexpr double kPendingWaitSeconds = 0.2;
// As much as a score file is ever read.
constexpr std::size_t kMaxPendingBytes = 64u * 1024u * 1024u;
constexpr auto kLockPoll = std::chrono::milliseconds(5);

int OpenRetrying(const std::string& path, int flags, mode_t mode) {
  int fd = -1;
  do fd = ::open(path.c_str(), flags, mode);
  while (fd < 0 && errno == EINTR);
  return fd;
}

// Keeps fd only when it is a regular file (a FIFO or device never serves as
// a lock or a list of entries); otherwise closes it, with errno EINVAL.
int RegularOnly(int fd) {
  struct stat st {};
  if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
    ::close(fd);
    errno = EINVAL;
    return -1;
  }
  return fd;
}

// Takes the lock on fd, trying for up to waitSeconds (below 0: for ever).
// *busy tells that another process held it all that time.
bool LockWithin(int fd, double waitSeconds, bool* busy) {
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                            std::chrono::duration<double>(waitSeconds > 0.0 ? waitSeconds : 0.0));
  for (;;) {
    if (::flock(fd, waitSeconds < 0.0 ? LOCK_EX : LOCK_EX | LOCK_NB) == 0) return true;
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) return false;
    if (std::chrono::steady_clock::now() >= deadline) {
      *busy = true;
      return false;
    }
    std::this_thread::sleep_for(kLockPoll);
  }
}

// Opens the lock file: an existing one where it is (through a link the
// player made), a missing one made afresh with O_EXCL, which fails on a
// dangling link instead of creating its target. -1 with *problem on failure.
int OpenLockFile(const std::string& path, std::string* problem) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    int fd = OpenRetrying(path, O_WRONLY | O_NONBLOCK | O_CLOEXEC, 0);
    if (fd < 0 && errno == ENOENT) {
      fd = OpenRetrying(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
      // Made by another copy just now, or a link to nowhere: look again.
      if (fd < 0 && errno == EEXIST) continue;
    }
    fd = RegularOnly(fd);
    if (fd < 0) *problem = errno == EINVAL ? "not a regular file" : Reason(errno);
    return fd;
  }
  *problem = "a link to a missing file stands at its name";
  return -1;
}

// Opens and locks the pending file; -1 with *error when there is none (or
// it cannot be had: *busy when another process holds it).
int OpenPending(const std::string& path, bool create, bool* busy, int* error) {
  for (;;) {
    const int fd = RegularOnly(
        OpenRetrying(path, O_RDWR | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | (create ? O_CREAT : 0), 0666));
    if (fd < 0) {
      *error = errno;
      return -1;
    }
    if (!LockWithin(fd, kPendingWaitSeconds, busy)) {
      *error = *busy ? EWOULDBLOCK : errno;
      ::close(fd);
      return -1;
    }
    // Taken and removed by a save while this one waited: open it again.
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_nlink > 0) return fd;
    ::close(fd);
  }
}

std::vector<ScoreEntry> ReadPending(int fd) {
  std::string text;
  char buffer[4096];
  while (text.size() < kMaxPendingBytes) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    text.append(buffer, static_cast<std::size_t>(got));
  }
  if (text.size() > kMaxPendingBytes) text.resize(kMaxPendingBytes);
  std::istringstream in(text);
  in.imbue(std::locale::classic());
  std::vector<ScoreEntry> entries;
  ScoreEntry entry;
  while (in >> entry.score >> entry.time) entries.push_back(entry);
  return entries;
}

}  // namespace

ScoreFileLock::ScoreFileLock(const std::string& scoreFile, double waitSeconds) {
  const int fd = OpenLockFile(scoreFile + ".lock", &problem_);
  if (fd < 0) return;
  if (LockWithin(fd, waitSeconds, &busy_)) {
    fd_ = fd;
  } else {
    if (!busy_) problem_ = Reason(errno);
    ::close(fd);
  }
}

ScoreFileLock::~ScoreFileLock() {
  // Closing the descriptor gives the lock back.
  if (fd_ >= 0) ::close(fd_);
}

std::string PendingFileName(const std::string& scoreFile) { return scoreFile + ".pending"; }

bool AppendPending(const std::string& scoreFile, const std::vector<ScoreEntry>& entries, std::string* why) {
  bool busy = false;
  int error = 0;
  const int fd = OpenPending(PendingFileName(scoreFile), true, &busy, &error);
  if (fd < 0) {
    *why = Reason(error);
    return false;
  }
  // The entries are the score file's: as private as it is.
  struct stat scores {};
  if (::stat(scoreFile.c_str(), &scores) == 0) ::fchmod(fd, (scores.st_mode & 07777) | S_IRUSR | S_IWUSR);
  std::string text;
  for (const ScoreEntry& entry : entries) text += std::to_string(entry.score) + ' ' + std::to_string(entry.time) + '\n';
  std::string_view rest = text;
  bool ok = true;
  while (ok && !rest.empty()) {
    const ssize_t written = ::write(fd, rest.data(), rest.size());
    if (written < 0 && errno == EINTR) continue;
    ok = written > 0;
    if (ok) rest.remove_prefix(static_cast<std::size_t>(written));
  }
  if (ok) ok = ::fsync(fd) == 0 || errno == EINTR;
  if (!ok) *why = Reason(errno == 0 ? ENOSPC : errno);
  ::close(fd);
  return ok;
}

PendingEntries::PendingEntries(const std::string& scoreFile) : path_(PendingFileName(scoreFile)) {
  int error = 0;
  fd_ = OpenPending(path_, false, &busy_, &error);
  if (fd_ >= 0) entries_ = ReadPending(fd_);
}

PendingEntries::~PendingEntries() {
  if (fd_ >= 0) ::close(fd_);
}

void PendingEntries::Remove() {
  // Still under its lock: an append waiting for it finds it gone and makes
  // a new one.
  if (fd_ >= 0) ::unlink(path_.c_str());
}

std::vector<ScoreEntry> ReadPendingEntries(const std::string& scoreFile) {
  const PendingEntries pending(scoreFile);
  return pending.Entries();
}

bool ReplaceFileAtomically(const std::string& path, const std::string& text, bool keepAsBackup, std::string* why,
                           bool* folderClosed) {
  platform::AtomicWriteOptions options;
  options.keepBackup = keepAsBackup;
  const platform::AtomicWriteResult result = platform::WriteFileAtomically(path, text, options);
  if (folderClosed) *folderClosed = result.folderClosed;
  if (!result.ok) *why = result.why;
  return result.ok;
}

bool RewriteFileInPlace(const std::string& path, const std::string& text, std::string* why) {
  platform::CheckedFile file = platform::CheckedFile::OpenForWriting(path);
  if (!file.IsOpen()) {
    *why = file.Status() == platform::OpenStatus::NotRegular ? "not a regular file" : Reason(file.Error());
    return false;
  }
  if (!file.ReplaceContents(text, true)) {
    *why = Reason(errno);
    return false;
  }
  return true;
}

}  // namespace vtr
