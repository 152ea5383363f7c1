// The online client's job line on the desktop: one job at a time, in order
// (a job posted ahead first), each until it calls done, even from another
// thread; stopping drops what has not started.
#include "online/job_line.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <string>
#include <thread>

namespace {

using vtr::online::JobLine;
using namespace std::chrono_literals;

class Log {
 public:
  JobLine::Job Note(std::string name) {
    return [this, name](const JobLine::Done& done) {
      {
        std::lock_guard lock(mutex_);
        text_ += name;
      }
      done();
    };
  }
  std::string Text() {
    std::lock_guard lock(mutex_);
    return text_;
  }

 private:
  std::mutex mutex_;
  std::string text_;
};

// A job that holds the line until released.
JobLine::Job Hold(std::shared_future<void> release) {
  return [release](const JobLine::Done& done) {
    release.wait();
    done();
  };
}

TEST(JobLine, RunsOneJobAtATimeInOrderUntilItsDoneAndStopDropsTheRest) {
  Log log;
  {
    JobLine line;
    std::promise<void> open;
    line.Post(Hold(open.get_future().share()));
    line.Post(log.Note("a"));
    line.Post(log.Note("b"));
    line.Post(log.Note("c"), true);
    EXPECT_FALSE(line.WaitIdle(50ms));
    open.set_value();
    ASSERT_TRUE(line.WaitIdle(5s));
    EXPECT_EQ(log.Text(), "cab");

    // A job whose end comes from another thread holds the line until then.
    std::atomic<bool> ended{false};
    line.Post([&ended](const JobLine::Done& done) {
      std::thread([&ended, done] {
        std::this_thread::sleep_for(100ms);
        ended = true;
        done();
      }).detach();
    });
    line.Post(log.Note("d"));
    ASSERT_TRUE(line.WaitIdle(5s));
    EXPECT_TRUE(ended);
    EXPECT_EQ(log.Text(), "cabd");

    std::promise<void> late;
    line.Post(Hold(late.get_future().share()));
    line.Post(log.Note("e"));
    line.Stop(10ms);
    line.Post(log.Note("f"));
    late.set_value();
  }
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(log.Text(), "cabd") << "nothing runs once the line is stopped";
}

}  // namespace
