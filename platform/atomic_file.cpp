#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/checked_file.h"

namespace platform {
namespace {

int SystemOpen(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }

// The folder a file is in, for syncing the rename.
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// A link at path is followed to the file it names, so the link survives the
// replacement; anything else is written where it is.
std::string Destination(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  std::error_code error;
  const std::filesystem::path target = std::filesystem::weakly_canonical(path, error);
  return error ? path : target.string();
}

// The failing step's errno in result; false, for returning.
bool Failed(AtomicWriteResult* result, int error) {
  result->error = error;
  result->why = std::strerror(error);
  return false;
}

bool WriteAll(const FileCalls& sys, int fd, std::string_view bytes, AtomicWriteResult* result) {
  while (!bytes.empty()) {
    const ssize_t written = sys.write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    // Nothing written without an error would loop for ever: the disk is full.
    if (written <= 0) return Failed(result, written < 0 ? errno : ENOSPC);
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

bool Sync(const FileCalls& sys, int fd) {
  int synced = 0;
  do synced = sys.fsync(fd);
  while (synced != 0 && errno == EINTR);
  return synced == 0;
}

// Writes bytes into a new temporary and syncs it; on failure none is left.
bool WriteTemporary(const FileCalls& sys, const std::string& temporary, std::string_view bytes,
                    const struct stat* keepModeOf, AtomicWriteResult* result) {
  // A stale temporary from an interrupted save, or a link or FIFO put there,
  // goes first; O_EXCL then refuses whatever may have been put back since.
  sys.unlink(temporary.c_str());
  int fd = -1;
  do fd = sys.open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    const int error = errno;
    result->folderClosed = error == EACCES || error == EPERM || error == EROFS;
    return Failed(result, error);
  }
  if (keepModeOf) ::fchmod(fd, keepModeOf->st_mode & 07777);
  bool ok = WriteAll(sys, fd, bytes, result) && (Sync(sys, fd) || Failed(result, errno));
  // After a good sync a failing close loses nothing; EINTR still closed it.
  if (sys.close(fd) != 0 && errno != EINTR && ok) ok = Failed(result, errno);
  if (!ok) sys.unlink(temporary.c_str());
  return ok;
}

// Makes a finished rename survive a power cut. A failure here loses nothing
// that was not already at risk, and the new file is in place: not reported.
void SyncFolder(const FileCalls& sys, const std::string& folder) {
  const int fd = sys.open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
  if (fd < 0) return;
  Sync(sys, fd);
  sys.close(fd);
}

}  // namespace

FileCalls SystemFileCalls() { return {SystemOpen, ::write, ::fsync, ::rename, ::unlink, ::close}; }

FileCalls& ActiveFileCalls() {
  static FileCalls calls = SystemFileCalls();
  return calls;
}

AtomicWriteResult WriteFileAtomically(const std::string& path, std::string_view bytes,
                                      const AtomicWriteOptions& options) {
  const FileCalls& sys = ActiveFileCalls();
  AtomicWriteResult result;
  const std::string target = Destination(path);
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists && !S_ISREG(old.st_mode)) {
    result.notRegular = true;
    result.error = EINVAL;
    result.why = "not a regular file";
    return result;
  }
  const std::string temporary = target + ".tmp";
  // A damaged file may be damaged in its permissions too: with its backup
  // kept, the new file gets the usual ones.
  const bool keepMode = exists && options.keepMode && !options.keepBackup;
  if (!WriteTemporary(sys, temporary, bytes, keepMode ? &old : nullptr, &result)) {
    if (result.folderClosed && exists && options.inPlaceWhenFolderClosed) {
      CheckedFile file = CheckedFile::OpenForWriting(target);
      result.ok = file.IsOpen() && file.ReplaceContents(std::string(bytes), true);
    }
    return result;
  }

  const std::string backup = target + ".bak";
  const bool moveAside = exists && options.keepBackup;
  if (moveAside && sys.rename(target.c_str(), backup.c_str()) != 0) {
    Failed(&result, errno);
    sys.unlink(temporary.c_str());
    return result;
  }
  if (sys.rename(temporary.c_str(), target.c_str()) != 0) {
    Failed(&result, errno);
    if (moveAside) sys.rename(backup.c_str(), target.c_str());
    sys.unlink(temporary.c_str());
    return result;
  }
  SyncFolder(sys, FolderOf(target));
  result.ok = true;
  return result;
}

}  // namespace platform
