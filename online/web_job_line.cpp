// The browser's job line: the page has one thread, so a job starts when the
// one before it is done, and each runs on as its exchanges are answered.
#include <deque>

#include "online/job_line.h"

namespace vtr::online {

struct JobLine::State : std::enable_shared_from_this<State> {
  void Next();

  std::deque<Job> jobs;
  bool busy = false;
  bool stop = false;
};

void JobLine::State::Next() {
  if (busy || stop || jobs.empty()) return;
  Job job = std::move(jobs.front());
  jobs.pop_front();
  busy = true;
  job([state = shared_from_this()] {
    state->busy = false;
    state->Next();
  });
}

JobLine::JobLine() : state_(std::make_shared<State>()) {}

JobLine::~JobLine() { Stop(std::chrono::milliseconds(0)); }

void JobLine::Post(Job job, bool ahead) {
  if (state_->stop) return;
  if (ahead) {
    state_->jobs.push_front(std::move(job));
  } else {
    state_->jobs.push_back(std::move(job));
  }
  state_->Next();
}

void JobLine::Stop(std::chrono::milliseconds) {
  state_->stop = true;
  state_->jobs.clear();
}

bool JobLine::WaitIdle(std::chrono::milliseconds) const { return state_->jobs.empty() && !state_->busy; }

}  // namespace vtr::online
