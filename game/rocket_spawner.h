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

#include <cstddef>
#include <cstdint>

#include "helpers/geometry.h"
#include "replay/spawner_clocks.h"

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

// No rocket, the spawner's or the player's, is launched while the sky holds
// this many actors (rockets, bursts and texts together). Only settings no
// player uses reach it (rockets that never leave the screen, launched every
// frame): the benchmarks' stress round (a rocket every 0.05 s, 20 times the
// default rate) holds about 200 actors (244 at its 99th percentile), a
// default round a few dozen. It bounds the memory and the work of a frame
// whatever the settings: a full sky costs about 2.5 ms a frame and 20 MB
// (most of both the rockets' trails, some 150,000 particles).
inline constexpr std::size_t kSkyCapacity = 512;

// True while the sky is at kSkyCapacity; logged once each time it fills.
bool SkyIsFull();

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
