// Plays submitted rounds again with the game's own code. The game runs once
// per process, so one worker thread owns it: it starts the game headless
// (no window, no sound, nothing drawn, no file written) and plays one replay
// after another, in the order they were handed in.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "game/replay_driver.h"
#include "replay/replay_file.h"

namespace vtr::server {

class Verifier {
 public:
  // dataFolder: the game's working folder (it reads no settings file there
  // and writes nothing); contentFolder: the folder holding Content/, empty
  // to find it from the executable as the game does.
  Verifier(std::string dataFolder, std::string contentFolder);
  // Ends the worker and the game.
  ~Verifier();
  Verifier(const Verifier&) = delete;
  Verifier& operator=(const Verifier&) = delete;

  // Starts the worker and the game in it; false with a message when the
  // game could not start.
  bool Start(std::string* error);
  // Plays the replay to its end on the worker; the caller waits.
  Verdict Verify(const Replay& replay);

 private:
  void Work();

  std::string dataFolder_;
  std::string contentFolder_;
  std::thread worker_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> jobs_;
  bool stopping_ = false;
  // Set by the worker once the game has started (or failed to).
  bool started_ = false;
  bool ready_ = false;
  std::string startError_;
};

}  // namespace vtr::server
