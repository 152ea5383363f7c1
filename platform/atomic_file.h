// Replacing a file the game keeps (the scores, a replay, Window.vtr, the
// settings file) so that a crash, a power cut or a hostile name beside it
// never leaves it half written, never stalls the game, and never writes
// through a link into some other file.
//
// The new content goes to "<file>.tmp" first. Whatever stands at that name
// (a stale temporary, a link, a FIFO) is removed, and the temporary is made
// afresh with O_EXCL, which neither follows a link nor opens what is there.
// Writes retry on EINTR and short counts; the temporary is synced before it
// is renamed over the file, and the folder is synced after, so the rename
// itself is on the disk. Any failure removes the temporary and leaves the old
// file as it was.
//
// The file itself may be a link the player made (a score file kept in a
// synced folder): the link's target is replaced, so the link stays a link.
// A folder, FIFO or device standing at the file's own name is refused.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

namespace platform {

struct AtomicWriteOptions {
  // The old file is first renamed to "<file>.bak" (a damaged file is kept
  // for the player to rescue); put back when the rename of the new one fails.
  bool keepBackup = false;
  // The new file takes the old one's permissions (otherwise 0666 less umask).
  bool keepMode = true;
  // In a folder that takes no new file, an existing regular file is
  // rewritten in place instead (synced, but no longer all or nothing).
  bool inPlaceWhenFolderClosed = false;
};

// What became of a write.
struct AtomicWriteResult {
  bool ok = false;
  int error = 0;            // errno of the step that failed
  std::string why;          // that step and its reason, for one log line
  bool folderClosed = false;  // the folder refused the temporary (permissions, read-only)
  bool notRegular = false;    // a folder, FIFO or device has the file's name
};

// Makes bytes the whole content of path, as described above.
AtomicWriteResult WriteFileAtomically(const std::string& path, std::string_view bytes,
                                      const AtomicWriteOptions& options = {});

// The system calls the writer makes. A test swaps them (ScopedFileCalls) to
// make one fail, return EINTR, or record the order they come in.
struct FileCalls {
  int (*open)(const char* path, int flags, mode_t mode);
  ssize_t (*write)(int fd, const void* data, size_t size);
  int (*fsync)(int fd);
  int (*rename)(const char* from, const char* to);
  int (*unlink)(const char* path);
  int (*close)(int fd);
};
FileCalls& ActiveFileCalls();

// Puts calls in place while it lives, and the real ones back after.
class ScopedFileCalls {
 public:
  explicit ScopedFileCalls(const FileCalls& calls) : saved_(ActiveFileCalls()) { ActiveFileCalls() = calls; }
  ~ScopedFileCalls() { ActiveFileCalls() = saved_; }
  ScopedFileCalls(const ScopedFileCalls&) = delete;
  ScopedFileCalls& operator=(const ScopedFileCalls&) = delete;

 private:
  FileCalls saved_;
};

// The real system calls.
FileCalls SystemFileCalls();

}  // namespace platform
