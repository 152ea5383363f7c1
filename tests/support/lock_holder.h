// Another process holding a file's lock, as `flock FILE sleep` would, or
// stopped with SIGSTOP while it holds it. Ends with SIGKILL.
#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <string>
#include <thread>

namespace testing_support {

class LockHolder {
 public:
  explicit LockHolder(const std::string& lockFile, bool stopped = false) {
    pid_ = ::fork();
    if (pid_ == 0) {
      const int fd = ::open(lockFile.c_str(), O_WRONLY | O_CREAT, 0666);
      if (fd < 0 || ::flock(fd, LOCK_EX) != 0) ::_exit(1);
      if (stopped) ::raise(SIGSTOP);
      for (;;) ::pause();
    }
    // Held once a try of our own fails.
    const int fd = ::open(lockFile.c_str(), O_WRONLY | O_CREAT, 0666);
    for (int i = 0; i < 5000 && ::flock(fd, LOCK_EX | LOCK_NB) == 0; ++i) {
      ::flock(fd, LOCK_UN);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ::close(fd);
  }
  ~LockHolder() { Release(); }
  LockHolder(const LockHolder&) = delete;
  LockHolder& operator=(const LockHolder&) = delete;

  void Release() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = 0;
  }

 private:
  pid_t pid_ = 0;
};

}  // namespace testing_support
