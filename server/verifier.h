// Plays submitted rounds again with the game's own code, in a pool of worker
// processes. The game runs once per process, so each worker is this server's
// own executable started with --worker: it starts the game headless (no
// window, no sound, nothing drawn, no file written) and plays one replay at a
// time, each under a CPU limit (RLIMIT_CPU, raised by the budget before every
// replay) and, for the whole worker, an address-space limit (RLIMIT_AS) of
// the started game's size plus a budget. The server watches the wall clock
// too, and kills a worker that outlasts it. A worker that dies is replaced;
// the replay it was playing is refused with the reason.
//
// Requests wait for a free worker in a bounded queue: past it, or after a
// bounded wait, the answer is "busy" rather than a wait for ever.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "game/replay_driver.h"

namespace vtr::server {

struct PoolLimits {
  int workers = 0;  // 0: one per core
  int queue = 0;    // requests waiting for a worker at most; 0: twice the workers
  int queueWaitSeconds = 30;
  int cpuSeconds = 40;      // CPU time a replay may cost
  int wallSeconds = 0;      // wall time before the worker is killed; 0: 4 x cpuSeconds + 5
  int memoryMegabytes = 256;  // address space beyond the started game; 0: no limit
};

// What became of one replay sent to the pool.
struct Check {
  enum class Outcome {
    Played,     // verdict and pauses hold what the game made of it
    Refused,    // over a limit, or the worker died on it: reason says which
    Busy,       // every worker busy and the queue full (or the wait too long)
    Unavailable,  // no worker could start the game: reason says why
  };
  Outcome outcome = Outcome::Unavailable;
  Verdict verdict;
  std::uint32_t pauses = 0;  // entries into the pause menu during the round
  std::string reason;
};

class Verifier {
 public:
  // program: the executable started as `program --worker ...`;
  // dataFolder: the game's working folder (it reads no settings file there
  // and writes nothing); contentFolder: the folder holding Content/, empty
  // to find it from the executable as the game does.
  Verifier(std::string program, std::string dataFolder, std::string contentFolder, PoolLimits limits);
  // Ends every worker.
  ~Verifier();
  Verifier(const Verifier&) = delete;
  Verifier& operator=(const Verifier&) = delete;

  // Starts the workers and waits until each has started its game; false with
  // a message when one could not.
  bool Start(std::string* error);
  // Plays the replay file (already read and accepted by the caller) on a free
  // worker; the caller waits.
  Check Verify(const std::vector<std::uint8_t>& bytes);

  const PoolLimits& limits() const { return limits_; }
  // Workers playing a round now, and requests waiting for one.
  struct Load {
    int busy = 0;
    int waiting = 0;
  };
  Load load();

 private:
  struct Worker {
    pid_t pid = -1;
    int channel = -1;
    bool ready = false;  // its game has said it started
  };
  bool Spawn(Worker* worker, std::string* error);
  void End(Worker* worker, bool kill);
  bool AwaitReady(Worker* worker, std::string* error);
  Check RunOn(Worker* worker, const std::vector<std::uint8_t>& bytes);

  std::string program_;
  std::string dataFolder_;
  std::string contentFolder_;
  PoolLimits limits_;
  std::mutex mutex_;
  std::condition_variable freed_;
  std::vector<Worker> idle_;
  int waiting_ = 0;
  int total_ = 0;
};

// The worker's side, `vantor-server --worker DATA CONTENT CPU MEMORY`: starts
// the game, says so on descriptor 3 and answers replays there until the
// server closes it. Returns the process's exit status.
int WorkerMain(int argc, char** argv);

}  // namespace vtr::server
