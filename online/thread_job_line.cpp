// The desktop's job line: one thread, which runs each job to its end.
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "online/job_line.h"

namespace vtr::online {

struct JobLine::State {
  void Run();

  std::mutex mutex;
  std::condition_variable changed;
  std::deque<Job> jobs;
  bool busy = false;
  bool stop = false;
  bool exited = false;
};

void JobLine::State::Run() {
  std::unique_lock lock(mutex);
  for (;;) {
    changed.wait(lock, [this] { return stop || !jobs.empty(); });
    if (stop) break;
    bool finished = false;
    {
      Job job = std::move(jobs.front());
      jobs.pop_front();
      busy = true;
      lock.unlock();
      job([this, &finished] {
        std::lock_guard done(mutex);
        finished = true;
        changed.notify_all();
      });
      // The job goes before the lock is taken again: what it held may be
      // the last share of the line's owner, whose end stops the line.
    }
    lock.lock();
    // A desktop job's exchanges block, so it has finished by now; one that
    // hands its end to another thread is waited for all the same.
    changed.wait(lock, [&finished] { return finished; });
    busy = false;
    changed.notify_all();
  }
  exited = true;
  changed.notify_all();
}

JobLine::JobLine() : state_(std::make_shared<State>()) {
  // The thread holds the state too: a thread left to finish an exchange at
  // the game's end never reaches freed memory.
  std::thread([state = state_] { state->Run(); }).detach();
}

JobLine::~JobLine() { Stop(std::chrono::milliseconds(0)); }

void JobLine::Post(Job job, bool ahead) {
  std::lock_guard lock(state_->mutex);
  if (state_->stop) return;
  if (ahead) {
    state_->jobs.push_front(std::move(job));
  } else {
    state_->jobs.push_back(std::move(job));
  }
  state_->changed.notify_all();
}

void JobLine::Stop(std::chrono::milliseconds wait) {
  std::unique_lock lock(state_->mutex);
  state_->stop = true;
  state_->jobs.clear();
  state_->changed.notify_all();
  state_->changed.wait_for(lock, wait, [this] { return state_->exited; });
}

bool JobLine::WaitIdle(std::chrono::milliseconds wait) const {
  std::unique_lock lock(state_->mutex);
  return state_->changed.wait_for(lock, wait, [this] { return state_->jobs.empty() && !state_->busy; });
}

}  // namespace vtr::online
