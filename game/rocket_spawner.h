// Three independent clocks fill the sky: ordinary, bonus and dual rockets,
// each on its own period, from a random point of the bottom edge towards a
// random point of the top edge. A clock fires when it has run strictly past
// its delay and then restarts from 0 (the overshoot is dropped), so at a
// steady frame time a kind's period is the smallest number of frames whose
// summed times exceed its delay. Each kind launches at most one rocket per
// frame; kinds that launch in the same frame do so, and draw their random
// numbers, in the order ordinary, bonus, dual.
//
// Launch points come from a generator of the game's own, a 32-bit linear
// congruential generator that nothing else draws from.
#pragma once

#include <cstdint>

#include "helpers/geometry.h"

namespace vtr {

class Stage;

// Sets the launch generator's state (the game seeds it with the clock).
void SeedLaunchGenerator(std::uint32_t state);
// The launch generator's state, as SeedLaunchGenerator would set it back.
std::uint32_t LaunchGeneratorState();
// Next draw of the launch generator: a whole number 0..32767.
std::uint32_t DrawLaunchNumber();

struct Launch {
  hgeVector2 start;      // (x1, 768) with x1 in 1..1025
  hgeVector2 direction;  // towards (x2, 0), close to unit length
};

// Draws two numbers and turns them into a start point on the bottom edge of
// the 1024 x 768 field and a direction towards a point of its top edge.
Launch RandomLaunch();

// The spawner's three clocks with their delays: all the state it has, copied
// whole when a recorded round starts from where its clocks stood.
struct SpawnerClocks {
  float ordinaryTimer = 0.0f;
  float ordinaryDelay = 0.0f;
  float bonusTimer = 0.0f;
  float bonusDelay = 0.0f;
  float dualTimer = 0.0f;
  float dualDelay = 0.0f;

  bool operator==(const SpawnerClocks&) const = default;
};

class RocketSpawner {
 public:
  // Timers start at 0; the delays are kept for the whole run.
  RocketSpawner(Stage* stage, float ordinaryDelay, float bonusDelay, float dualDelay);

  // Advances the three clocks by dt and launches whatever is due.
  void Update(float dt);

  const SpawnerClocks& Clocks() const { return clocks_; }
  void SetClocks(const SpawnerClocks& clocks) { clocks_ = clocks; }

  Stage* stage;  // back reference, handed to every rocket

 private:
  SpawnerClocks clocks_;
};

}  // namespace vtr
