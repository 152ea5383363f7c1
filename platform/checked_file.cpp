#include "platform/checked_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/log.h"

namespace platform {

const char* DescribeFileType(unsigned mode) {
  switch (mode & S_IFMT) {
    case S_IFDIR: return "a folder";
    case S_IFIFO: return "a FIFO";
    case S_IFCHR: return "a character device";
    case S_IFBLK: return "a block device";
    case S_IFSOCK: return "a socket";
    case S_IFREG: return "a regular file";
    default: return "not a regular file";
  }
}

CheckedFile::~CheckedFile() { Close(); }

CheckedFile::CheckedFile(CheckedFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), status_(other.status_), error_(other.error_), size_(other.size_) {}

CheckedFile& CheckedFile::operator=(CheckedFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    status_ = other.status_;
    error_ = other.error_;
    size_ = other.size_;
  }
  return *this;
}

CheckedFile CheckedFile::OpenForReading(const std::string& name, bool logRefusal) {
  return Open(name, O_RDONLY, logRefusal);
}

CheckedFile CheckedFile::OpenForWriting(const std::string& name) { return Open(name, O_WRONLY | O_CREAT, true); }

// O_NONBLOCK keeps the open of a FIFO from waiting for its other end; the
// type is then checked on the descriptor itself, so nothing can be swapped in
// between the check and the use.
CheckedFile CheckedFile::Open(const std::string& name, int flags, bool logRefusal) {
  CheckedFile file;
  if (name.empty()) {
    file.status_ = OpenStatus::Missing;
    file.error_ = ENOENT;
    return file;
  }
  const int fd = ::open(name.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) {
    file.error_ = errno;
    struct stat st {};
    if (file.error_ == ENOENT || file.error_ == ENOTDIR) {
      file.status_ = OpenStatus::Missing;
    } else if (::stat(name.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
      // A folder opened for writing, or a FIFO without a reader.
      if (logRefusal) Log("Refused %s: it is %s, not a regular file", name.c_str(), DescribeFileType(st.st_mode));
      file.status_ = OpenStatus::NotRegular;
    } else {
      file.status_ = OpenStatus::Failed;
    }
    return file;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    file.error_ = errno;
    ::close(fd);
    return file;
  }
  if (!S_ISREG(st.st_mode)) {
    if (logRefusal) Log("Refused %s: it is %s, not a regular file", name.c_str(), DescribeFileType(st.st_mode));
    ::close(fd);
    file.status_ = OpenStatus::NotRegular;
    file.error_ = EINVAL;
    return file;
  }
  // Reads of a regular file never block; the flag goes all the same, so a
  // descriptor handed on behaves like any other.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  file.fd_ = fd;
  file.status_ = OpenStatus::Opened;
  file.size_ = static_cast<std::uint64_t>(st.st_size);
  return file;
}

bool CheckedFile::ReadUpTo(std::size_t limit, std::string* text, bool* truncated) {
  text->clear();
  *truncated = false;
  if (fd_ < 0) return false;
  char chunk[16384];
  while (text->size() < limit) {
    const std::size_t want = std::min(sizeof chunk, limit - text->size());
    const ssize_t got = ::read(fd_, chunk, want);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (got == 0) return true;
    text->append(chunk, static_cast<std::size_t>(got));
  }
  // At the limit: one more byte tells a file of exactly that size from a
  // longer one.
  char extra = 0;
  ssize_t got = 0;
  do got = ::read(fd_, &extra, 1);
  while (got < 0 && errno == EINTR);
  *truncated = got > 0;
  return got >= 0;
}

bool CheckedFile::ReplaceContents(const std::string& text, bool sync) {
  if (fd_ < 0 || ::ftruncate(fd_, 0) != 0) return false;
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t written = ::pwrite(fd_, text.data() + done, text.size() - done, static_cast<off_t>(done));
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(written);
  }
  return !sync || ::fsync(fd_) == 0;
}

int CheckedFile::Release() { return std::exchange(fd_, -1); }

void CheckedFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

BoundedFileBuffer::int_type BoundedFileBuffer::underflow() {
  if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
  if (failed_ || !file_.IsOpen()) return traits_type::eof();
  if (left_ == 0) {
    // Only a byte past the limit makes the file too long.
    char extra = 0;
    ssize_t got = 0;
    do got = ::read(file_.Descriptor(), &extra, 1);
    while (got < 0 && errno == EINTR);
    truncated_ = got > 0;
    failed_ = got < 0;
    return traits_type::eof();
  }
  ssize_t got = 0;
  do got = ::read(file_.Descriptor(), buffer_, std::min(sizeof buffer_, left_));
  while (got < 0 && errno == EINTR);
  if (got <= 0) {
    failed_ = got < 0;
    return traits_type::eof();
  }
  left_ -= static_cast<std::size_t>(got);
  setg(buffer_, buffer_, buffer_ + got);
  return traits_type::to_int_type(*gptr());
}

}  // namespace platform
