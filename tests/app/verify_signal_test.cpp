// `vantor --verify` writes nothing, so a stop signal ends it at once, even in
// the middle of the costliest replay the reader takes (minutes of checking):
// the real executable, stopped with SIGTERM once it is busy re-simulating.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "replay/replay_file.h"
#include "tests/support/hostile_replay.h"
#include "tests/support/temp_dir.h"

namespace {

// CPU time a process has used, in clock ticks (utime + stime of /proc/PID/stat).
long CpuTicks(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const std::size_t end = text.rfind(')');  // the name may hold spaces
  if (end == std::string::npos) return 0;
  std::istringstream fields(text.substr(end + 2));
  std::string skip;
  for (int i = 0; i < 11; ++i) fields >> skip;  // state .. cmajflt
  long user = 0;
  long system = 0;
  fields >> user >> system;
  return user + system;
}

// Waits for the child to end, at most the given time; -1 when it did not.
int WaitFor(pid_t pid, std::chrono::seconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return status;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return -1;
}

}  // namespace

TEST(VerifyCommand, EndsAtTheFirstStopSignal) {
  testing_support::TempDir dir;
  const std::string file = (dir.path() / "costly.vtreplay").string();
  ASSERT_TRUE(vtr::WriteReplayFile(file, testing_support::CostliestReplay(vtr::kReplayMaxFrames)));

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    execl(VANTOR_EXECUTABLE, VANTOR_EXECUTABLE, "--verify", file.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  // Busy re-simulating: past its start-up, a second of CPU into the round.
  const long tick = sysconf(_SC_CLK_TCK);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  int early = 0;
  while (CpuTicks(child) < tick && std::chrono::steady_clock::now() < deadline) {
    if (waitpid(child, &early, WNOHANG) == child) FAIL() << "ended before the signal, status " << early;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(child, SIGTERM);
  const int status = WaitFor(child, std::chrono::seconds(20));
  if (status == -1) {
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    FAIL() << "still checking 20 s after SIGTERM";
  }
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << "status " << status;
}
