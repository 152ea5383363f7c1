// Runs the online client's jobs one after another, away from the frames.
// A job is handed `done` and calls it once, when it has finished. On the
// desktop the jobs run on a thread of the line's own, whose exchanges block;
// in the browser a job starts on the page's one thread and goes on as its
// exchanges are answered between frames, and the next starts once it is
// done. Either way a frame only posts jobs and never waits for one.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace vtr::online {

class JobLine {
 public:
  using Done = std::function<void()>;
  using Job = std::function<void(Done done)>;

  JobLine();
  // Stops the line without waiting (see Stop).
  ~JobLine();
  JobLine(const JobLine&) = delete;
  JobLine& operator=(const JobLine&) = delete;

  // Queues a job, at the front when ahead.
  void Post(Job job, bool ahead = false);
  // Takes no more jobs and drops those not started; waits at most wait for
  // the one under way (the browser never waits). A job left under way holds
  // its own share of what it uses and ends on its own.
  void Stop(std::chrono::milliseconds wait);
  // Whether every job posted so far is done, waiting at most wait for it
  // (the browser only says whether it is).
  bool WaitIdle(std::chrono::milliseconds wait) const;

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace vtr::online
