#include "server/verifier.h"

#include <future>

#include "app/app.h"
#include "app/verify.h"
#include "game/game.h"

namespace vtr::server {

Verifier::Verifier(std::string dataFolder, std::string contentFolder)
    : dataFolder_(std::move(dataFolder)), contentFolder_(std::move(contentFolder)) {}

Verifier::~Verifier() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
}

bool Verifier::Start(std::string* error) {
  worker_ = std::thread([this] { Work(); });
  std::unique_lock lock(mutex_);
  wake_.wait(lock, [this] { return started_; });
  if (!ready_) *error = startError_;
  return ready_;
}

void Verifier::Work() {
  StartOptions options = VerifyOptions();
  options.folder = dataFolder_;
  options.contentFolder = contentFolder_;
  options.loadSettings = false;  // each replay brings its own
  options.endOnSignal = false;  // the server decides how it ends
  App app(options);
  const bool ready = app.Start();
  {
    std::lock_guard lock(mutex_);
    started_ = true;
    ready_ = ready;
    if (!ready) startError_ = "the game does not start headless: " + app.error();
  }
  wake_.notify_all();
  if (!ready) return;
  for (;;) {
    std::function<void()> job;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      if (jobs_.empty()) return;  // stopping, nothing left to play
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    job();
  }
}

Verdict Verifier::Verify(const Replay& replay) {
  std::packaged_task<Verdict()> task([&replay] { return VerifyReplay(g_game, replay); });
  std::future<Verdict> verdict = task.get_future();
  {
    std::lock_guard lock(mutex_);
    jobs_.emplace_back([&task] { task(); });
  }
  wake_.notify_all();
  return verdict.get();
}

}  // namespace vtr::server
