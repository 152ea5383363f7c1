#include "scores/score_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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
