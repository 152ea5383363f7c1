#include "scores/score_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/checked_file.h"

namespace vtr {
namespace {

std::string Reason(int error) { return std::strerror(error); }

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
bool WriteFileDurably(const std::string& path, const std::string& text, const std::string* keepModeOf,
                      std::string* why) {
  // A stale temporary file from an interrupted save is replaced; a symbolic
  // link in its place is removed rather than followed.
  ::unlink(path.c_str());
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    const int error = errno;
    *why = Reason(error);
    errno = error;
    return false;
  }
  struct stat old {};
  if (keepModeOf && ::stat(keepModeOf->c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
    ::fchmod(fd, old.st_mode & 07777);
  }
  const bool written = WriteAll(fd, text) && ::fsync(fd) == 0;
  const int writeError = errno;
  const bool closed = ::close(fd) == 0;
  if (written && closed) return true;
  *why = Reason(written ? errno : writeError);
  ::unlink(path.c_str());
  return false;
}

// Makes a finished rename survive a power cut; a failure here loses nothing
// that was not already at risk, so it is ignored.
void SyncDirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string directory = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

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

ScoreFileLock::ScoreFileLock(const std::string& scoreFile) {
  platform::CheckedFile file = platform::CheckedFile::OpenForWriting(scoreFile + ".lock");
  if (!file.IsOpen()) return;
  int result = 0;
  do result = ::flock(file.Descriptor(), LOCK_EX);
  while (result != 0 && errno == EINTR);
  if (result == 0) fd_ = file.Release();
}

ScoreFileLock::~ScoreFileLock() {
  // Closing the descriptor gives the lock back.
  if (fd_ >= 0) ::close(fd_);
}

bool ReplaceFileAtomically(const std::string& path, const std::string& text, bool keepAsBackup, std::string* why,
                           bool* folderClosed) {
  const std::string temporary = path + ".tmp";
  const std::string backup = path + ".bak";
  if (folderClosed) *folderClosed = false;
  // A damaged file may be damaged in its permissions too: the new file then
  // gets the usual ones.
  if (!WriteFileDurably(temporary, text, keepAsBackup ? nullptr : &path, why)) {
    const int error = errno;
    if (folderClosed) *folderClosed = error == EACCES || error == EPERM || error == EROFS;
    return false;
  }

  bool movedAside = false;
  struct stat st {};
  if (keepAsBackup && ::lstat(path.c_str(), &st) == 0) {
    if (::rename(path.c_str(), backup.c_str()) != 0) {
      *why = Reason(errno);
      ::unlink(temporary.c_str());
      return false;
    }
    movedAside = true;
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    *why = Reason(errno);
    if (movedAside) ::rename(backup.c_str(), path.c_str());
    ::unlink(temporary.c_str());
    return false;
  }
  SyncDirectoryOf(path);
  return true;
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
