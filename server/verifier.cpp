#include "server/verifier.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

#include "app/app.h"
#include "app/verify.h"
#include "game/game.h"
#include "replay/replay_file.h"

extern char** environ;

namespace vtr::server {

namespace {

// The worker's end of its channel.
constexpr int kChannel = 3;
constexpr char kReady = 'R';
constexpr int kStartSeconds = 60;  // a worker's game starts in well under a second

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

// The answer to one replay, as the worker sends it.
struct Answer {
  std::int64_t readable = 0;
  std::int64_t score = 0;
  std::int64_t combo = 0;
  std::int64_t recordedScore = 0;
  std::int64_t recordedCombo = 0;
  std::int64_t entered = 0;
  std::int64_t pauses = 0;
  std::int64_t played = 0;
};

using Deadline = std::chrono::steady_clock::time_point;

bool WriteAll(int fd, const void* data, std::size_t size) {
  const auto* at = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t sent = send(fd, at, size, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    at += sent;
    size -= static_cast<std::size_t>(sent);
  }
  return true;
}

// Reads exactly size bytes; false at the end of the stream, on an error or
// (when a deadline is given) once it has passed, with timedOut set.
bool ReadAll(int fd, void* data, std::size_t size, const Deadline* deadline = nullptr, bool* timedOut = nullptr) {
  auto* at = static_cast<char*>(data);
  while (size > 0) {
    if (deadline != nullptr) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) {
        if (timedOut) *timedOut = true;
        return false;
      }
      pollfd wait{fd, POLLIN, 0};
      const int ready = poll(&wait, 1, static_cast<int>(std::min<std::int64_t>(left.count(), 1000)));
      if (ready < 0 && errno != EINTR) return false;
      if (ready <= 0) continue;
    }
    const ssize_t got = read(fd, at, size);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    at += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

std::string Ended(int status) {
  if (WIFSIGNALED(status)) return "ended by signal " + std::to_string(WTERMSIG(status)) + " (" + strsignal(WTERMSIG(status)) + ")";
  if (WIFEXITED(status)) return "exited with status " + std::to_string(WEXITSTATUS(status));
  return "ended";
}

int CoreCount() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores > 0 ? static_cast<int>(cores) : 1;
}

// The worker's address space now, from /proc.
std::int64_t AddressSpaceBytes() {
  std::ifstream statm("/proc/self/statm");
  std::int64_t pages = 0;
  statm >> pages;
  return pages * sysconf(_SC_PAGESIZE);
}

double CpuSecondsUsed() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// VerifyReplay, also counting the entries into the pause menu while the
// round runs.
Answer Play(Game* game, const Replay& replay) {
  Answer answer;
  answer.readable = 1;
  answer.recordedScore = replay.score;
  answer.recordedCombo = replay.highestCombo;
  const ScoreTable table = game->scores;
  ReplayDriver driver(game, replay);
  driver.Start();
  bool paused = false;
  while (driver.Step()) {
    const Round& round = game->CurrentRound();
    const bool now = round.menuShown && round.roundRunning;
    if (now && !paused) ++answer.pauses;
    paused = now;
    if (game->ScoreEntered()) break;
  }
  answer.entered = game->ScoreEntered() && driver.Played() == driver.Frames();
  answer.score = game->CurrentRound().score;
  answer.combo = game->CurrentRound().highestCombo;
  answer.played = driver.Played();
  driver.Stop();
  game->scores = table;
  return answer;
}

}  // namespace

Verifier::Verifier(std::string program, std::string dataFolder, std::string contentFolder, PoolLimits limits)
    : program_(std::move(program)),
      dataFolder_(std::move(dataFolder)),
      contentFolder_(std::move(contentFolder)),
      limits_(limits) {
  if (limits_.workers <= 0) limits_.workers = CoreCount();
  if (limits_.queue <= 0) limits_.queue = 2 * limits_.workers;
  if (limits_.wallSeconds <= 0) limits_.wallSeconds = 4 * limits_.cpuSeconds + 5;
}

Verifier::~Verifier() {
  std::unique_lock lock(mutex_);
  // Requests still playing give their workers back first.
  freed_.wait(lock, [this] { return static_cast<int>(idle_.size()) == total_; });
  for (Worker& worker : idle_) End(&worker, false);
}

bool Verifier::Spawn(Worker* worker, std::string* error) {
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
    *error = std::string("no channel for a verifier: ") + std::strerror(errno);
    return false;
  }
  const std::string cpu = std::to_string(limits_.cpuSeconds);
  const std::string memory = std::to_string(limits_.memoryMegabytes);
  const char* argv[] = {program_.c_str(), "--worker", dataFolder_.c_str(), contentFolder_.c_str(), cpu.c_str(),
                        memory.c_str(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, ends[1], kChannel);  // the copy loses CLOEXEC
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // The server blocks its stop signals in every thread; a worker takes the
  // usual ones, in its own process group (a terminal's Ctrl-C is the
  // server's to handle).
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (int signal : {SIGINT, SIGTERM, SIGPIPE, SIGXCPU}) sigaddset(&defaults, signal);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
  pid_t pid = -1;
  const int failed = posix_spawn(&pid, program_.c_str(), &actions, &attributes, const_cast<char**>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(ends[1]);
  if (failed != 0) {
    close(ends[0]);
    *error = "cannot start the verifier " + program_ + ": " + std::strerror(failed);
    return false;
  }
  *worker = {pid, ends[0], false};
  return true;
}

void Verifier::End(Worker* worker, bool kill) {
  if (worker->pid <= 0) return;
  if (kill) ::kill(worker->pid, SIGKILL);
  close(worker->channel);  // a worker waiting for a replay ends on this
  int status = 0;
  while (waitpid(worker->pid, &status, 0) < 0 && errno == EINTR) {
  }
  *worker = {};
}

bool Verifier::AwaitReady(Worker* worker, std::string* error) {
  if (worker->ready) return true;
  const Deadline deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kStartSeconds);
  char said = 0;
  bool timedOut = false;
  if (!ReadAll(worker->channel, &said, 1, &deadline, &timedOut) || said != kReady) {
    *error = "the game does not start headless in a verifier (" + std::string(timedOut ? "no word in time" : "it ended") + ")";
    return false;
  }
  worker->ready = true;
  return true;
}

bool Verifier::Start(std::string* error) {
  std::vector<Worker> started(static_cast<std::size_t>(limits_.workers));
  bool ok = true;
  for (Worker& worker : started) {
    if (ok) ok = Spawn(&worker, error);
  }
  for (Worker& worker : started) {
    if (ok && worker.pid > 0) ok = AwaitReady(&worker, error);
  }
  if (!ok) {
    for (Worker& worker : started) End(&worker, true);
    return false;
  }
  std::lock_guard lock(mutex_);
  idle_ = std::move(started);
  total_ = limits_.workers;
  return true;
}

Verifier::Load Verifier::load() {
  std::lock_guard lock(mutex_);
  return {total_ - static_cast<int>(idle_.size()), waiting_};
}

Check Verifier::Verify(const std::vector<std::uint8_t>& bytes) {
  Check busy;
  busy.outcome = Check::Outcome::Busy;
  std::unique_lock lock(mutex_);
  if (idle_.empty() && waiting_ >= limits_.queue) {
    busy.reason = "every verifier is busy and " + std::to_string(limits_.queue) + " rounds wait: send it again later";
    return busy;
  }
  ++waiting_;
  const bool free = freed_.wait_for(lock, std::chrono::seconds(limits_.queueWaitSeconds), [this] { return !idle_.empty(); });
  --waiting_;
  if (!free) {
    busy.reason = "no verifier was free within " + std::to_string(limits_.queueWaitSeconds) + " s: send it again later";
    return busy;
  }
  Worker worker = idle_.back();
  idle_.pop_back();
  lock.unlock();
  Check check = RunOn(&worker, bytes);
  lock.lock();
  idle_.push_back(worker);
  lock.unlock();
  freed_.notify_all();
  return check;
}

Check Verifier::RunOn(Worker* worker, const std::vector<std::uint8_t>& bytes) {
  Check check;
  std::string error;
  // A worker that died while idle (or never started its game) is replaced
  // once before the round is given up.
  for (int attempt = 0;; ++attempt) {
    if (worker->pid > 0 && AwaitReady(worker, &error)) {
      const std::uint32_t size = static_cast<std::uint32_t>(bytes.size());
      if (WriteAll(worker->channel, &size, sizeof size) && WriteAll(worker->channel, bytes.data(), bytes.size())) break;
      error = "a verifier ended before it took the round";
    }
    End(worker, true);
    if (attempt == 1 || !Spawn(worker, &error)) {
      check.outcome = Check::Outcome::Unavailable;
      check.reason = error;
      return check;
    }
  }
  Answer answer;
  const Deadline deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limits_.wallSeconds);
  bool timedOut = false;
  if (ReadAll(worker->channel, &answer, sizeof answer, &deadline, &timedOut)) {
    if (answer.readable == 0) {
      check.outcome = Check::Outcome::Refused;
      check.reason = "the verifier could not read the round";
      return check;
    }
    check.outcome = Check::Outcome::Played;
    check.verdict.recordedScore = static_cast<std::int32_t>(answer.recordedScore);
    check.verdict.recordedCombo = static_cast<std::uint32_t>(answer.recordedCombo);
    check.verdict.score = static_cast<std::int32_t>(answer.score);
    check.verdict.highestCombo = static_cast<std::uint32_t>(answer.combo);
    check.verdict.entered = answer.entered != 0;
    check.pauses = static_cast<std::uint32_t>(answer.pauses);
    return check;
  }
  check.outcome = Check::Outcome::Refused;
  if (timedOut) {
    check.reason = "its check ran past " + std::to_string(limits_.wallSeconds) + " s and was stopped";
    End(worker, true);
  } else {
    const pid_t pid = worker->pid;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    close(worker->channel);
    *worker = {};
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGXCPU) {
      check.reason = "its check ran past its " + std::to_string(limits_.cpuSeconds) + " s of CPU and was stopped";
    } else {
      check.reason = "its check failed (the verifier " + Ended(status) + (limits_.memoryMegabytes > 0 ? ", perhaps past its " + std::to_string(limits_.memoryMegabytes) + " MB" : std::string()) + ")";
    }
  }
  // The next round finds a fresh worker starting its game.
  if (!Spawn(worker, &error)) *worker = {};
  return check;
}

int WorkerMain(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: vantor-server --worker DATA CONTENT CPU-SECONDS MEMORY-MB (started by the server)\n");
    return 2;
  }
  // Nothing of the server's but the channel; the worker ends with it.
  close_range(kChannel + 1, ~0u, 0);
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  signal(SIGPIPE, SIG_IGN);
  const int cpuSeconds = std::atoi(argv[4]);
  const std::int64_t memoryBytes = std::int64_t{std::atoi(argv[5])} * 1024 * 1024;
  const rlimit noCore{0, 0};
  setrlimit(RLIMIT_CORE, &noCore);

  StartOptions options = VerifyOptions();
  options.folder = argv[2];
  options.contentFolder = argv[3];
  options.loadSettings = false;  // each replay brings its own
  options.endOnSignal = false;   // the default actions end it
  App app(options);
  if (!app.Start()) {
    std::fprintf(stderr, "vantor-server --worker: the game does not start headless: %s\n", app.error().c_str());
    return 1;
  }
  // The started game's address space plus the budget, for the whole worker
  // (the address sanitizer's shadow memory would not fit any such limit).
  if (memoryBytes > 0 && !kAddressSanitizer) {
    const rlim_t limit = static_cast<rlim_t>(AddressSpaceBytes() + memoryBytes);
    const rlimit space{limit, limit};
    setrlimit(RLIMIT_AS, &space);
  }
  if (!WriteAll(kChannel, &kReady, 1)) return 0;
  std::vector<std::uint8_t> bytes;
  for (;;) {
    std::uint32_t size = 0;
    if (!ReadAll(kChannel, &size, sizeof size)) return 0;  // the server closed it
    if (size > kReplayMaxFileBytes) return 1;
    bytes.resize(size);
    if (!ReadAll(kChannel, bytes.data(), size)) return 0;
    // SIGXCPU (whose default action ends the process) once this replay has
    // cost the budget.
    const rlim_t soft = static_cast<rlim_t>(CpuSecondsUsed()) + 1 + static_cast<rlim_t>(cpuSeconds);
    const rlimit cpu{soft, RLIM_INFINITY};
    if (cpuSeconds > 0) setrlimit(RLIMIT_CPU, &cpu);
    Replay replay;
    std::string error;
    Answer answer;
    if (ParseReplay(bytes.data(), bytes.size(), &replay, &error) == ReplayError::None) answer = Play(app.game(), replay);
    if (!WriteAll(kChannel, &answer, sizeof answer)) return 0;
  }
}

}  // namespace vtr::server
