// One benchmark run of the real game on the real engine, headless: a fresh
// working folder with Content linked in, the settings file of the scenario,
// the same start-up as the entry point, the fixed frame time of 1/60 s, a
// round started by clicking "New Game", and an autopilot player that fires
// at the densest cluster of rising rockets about twice a second.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/app.h"
#include "platform/hge.h"
#include "tests/support/temp_dir.h"

namespace bench {

enum class Scenario { kDefault, kStress };

// What one frame cost and drew. Times in milliseconds.
struct FrameSample {
  int frame = 0;
  double update = 0.0;  // the game's frame function
  double submit = 0.0;  // the game's drawing up to the engine: quads built and handed over
  double flush = 0.0;   // the engine's flush, rasterising and present
  double replay = -1.0; // the limit replay of the same quads; -1 when not replayed
  int particles = 0;    // live particles of every actor
  int quads = 0;        // quads submitted
  int drawCalls = 0;
  int actors = 0;

  double Frame() const { return update + submit + flush; }
  double OwnWork() const { return update + submit; }
};

// Fires with real mouse events: a press in one frame, the release in the next.
// Seed 0 shoots every 30 frames at the led centre of the densest cluster; any
// other seed plays its own round from the same sky: its own rhythm (24 to 36
// frames), first shot and aim (up to 16 pixels off the centre, per shot).
class Autopilot {
 public:
  explicit Autopilot(std::uint32_t seed = 0);
  // Queues this frame's input; call before every frame of the round.
  void BeforeFrame();
  int shots() const { return shots_; }

 private:
  int frame_ = 0;
  int period_ = 30;
  int phase_ = 0;
  std::uint32_t jitter_ = 0;  // 0: no jitter; else an xorshift state
  bool releasePending_ = false;
  float x_ = 0.0f;
  float y_ = 0.0f;
  int shots_ = 0;
};

class Session {
 public:
  // Starts the engine and the game and clicks "New Game". With render off
  // the frames run without drawing (ok() tells whether start-up worked).
  Session(Scenario scenario, bool render);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  bool ok() const { return ok_; }
  // The engine was asked to stop (SIGINT, SIGTERM): the run should end.
  bool stopped() const { return stopped_; }
  const std::string& error() const { return error_; }
  std::string Backend() const;

  // One frame of the round with the autopilot; replays the frame's quads
  // through the engine's limit path when asked.
  FrameSample Frame(bool replay);

  HGE* engine() const { return engine_; }

 private:
  std::unique_ptr<testing_support::TempDir> dir_;
  std::unique_ptr<vtr::App> app_;
  HGE* engine_ = nullptr;
  bool ok_ = false;
  bool stopped_ = false;
  std::string error_;
  bool render_ = true;
  int frame_ = 0;
  Autopilot autopilot_;
  std::vector<hgeQuad> quads_;
};

// Live particles of every actor in the list.
int LiveParticles();

}  // namespace bench
