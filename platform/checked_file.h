// Opening the files the player can name (the settings and score files, and
// everything under Content/) without being fooled or stalled by what is
// really there.
//
// Every such file is opened without blocking and its type checked on the
// open descriptor before a byte is read: a folder, a FIFO, a device or a
// socket is refused with one line in the log, so a FIFO cannot hang the game
// waiting for a writer and /dev/zero cannot feed it for ever. Reads stop at a
// byte limit chosen by the caller, so a huge or endless file costs a moment
// and a small, fixed amount of memory, never a stalled frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <streambuf>
#include <string>

namespace platform {

// What an open found.
enum class OpenStatus {
  Opened,      // a regular file, open
  Missing,     // nothing of that name (or a folder on the way is missing)
  NotRegular,  // a folder, FIFO, device or socket: refused and logged
  Failed,      // there, but it could not be opened (permissions, ...)
};

// An open regular file; closes itself.
class CheckedFile {
 public:
  CheckedFile() = default;
  ~CheckedFile();
  CheckedFile(CheckedFile&& other) noexcept;
  CheckedFile& operator=(CheckedFile&& other) noexcept;
  CheckedFile(const CheckedFile&) = delete;
  CheckedFile& operator=(const CheckedFile&) = delete;

  // Opens name for reading. Anything but a regular file is refused with one
  // log line naming it and what it is (none when logRefusal is false, for a
  // caller that reports the refusal itself).
  static CheckedFile OpenForReading(const std::string& name, bool logRefusal = true);
  // Opens name for writing in place, creating it when missing but never
  // truncating it; the same refusal as for reading.
  static CheckedFile OpenForWriting(const std::string& name);

  bool IsOpen() const { return fd_ >= 0; }
  OpenStatus Status() const { return status_; }
  // errno of a failed open (0 otherwise).
  int Error() const { return error_; }
  int Descriptor() const { return fd_; }
  // Size of the file when it was opened.
  std::uint64_t Size() const { return size_; }

  // Reads from the current position up to limit bytes into text. False on a
  // read error; truncated tells whether the file held more than limit.
  bool ReadUpTo(std::size_t limit, std::string* text, bool* truncated);

  // Makes text the whole content of the file (opened for writing): cuts it
  // to nothing, writes text from the start and, when sync, waits until it is
  // on the disk. False on any failure.
  bool ReplaceContents(const std::string& text, bool sync);

  // Hands the descriptor over to the caller, who closes it.
  int Release();
  void Close();

 private:
  static CheckedFile Open(const std::string& name, int flags, bool logRefusal);

  int fd_ = -1;
  OpenStatus status_ = OpenStatus::Failed;
  int error_ = 0;
  std::uint64_t size_ = 0;
};

// A read-only stream buffer over a checked file that ends after limit bytes,
// for the text parsers of the settings and score files. Truncated() tells
// whether the file went on past the limit.
class BoundedFileBuffer : public std::streambuf {
 public:
  BoundedFileBuffer(CheckedFile& file, std::size_t limit) : file_(file), left_(limit) {}

  // True once the limit stopped the reading before the end of the file.
  bool Truncated() const { return truncated_; }
  // True when a read failed (not the end of the file).
  bool ReadFailed() const { return failed_; }

 protected:
  int_type underflow() override;

 private:
  CheckedFile& file_;
  std::size_t left_;
  bool truncated_ = false;
  bool failed_ = false;
  char buffer_[4096];
};

}  // namespace platform

struct SDL_RWops;

namespace platform {

// An SDL stream over the checked file name, for SDL's image and sound
// loaders (which close it); null when the file is refused or cannot be
// opened.
SDL_RWops* OpenCheckedRWops(const char* name);

// What kind of thing name is, for the log: "a folder", "a FIFO", ...
const char* DescribeFileType(unsigned mode);

}  // namespace platform
