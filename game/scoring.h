// The round's scoring rules in one place: what a catch scores and how it
// raises the multiplier, what a shot costs and how a high multiplier decays,
// and how the multiplier reads on the HUD. (Entering a finished round's score
// into the table is the round's business, in game_round.cpp.)
//
// The multiplier is a float and steps in single precision. Products with it
// are taken in double precision from that float and truncated towards zero:
// the floor 0.01 is a little below 0.01 as a float, so it reads 0 % and a
// chain-1 dual rocket (1000 points) caught at it scores 9; a product of
// 94.99999 scores 94. A product beyond the 64-bit range counts as 0, as NaN
// does (only absurd settings reach it).
#pragma once

#include <cstdint>

namespace vtr {

class Settings;

// Points one catch adds to the score: trunc(chain x points x multiplier).
// chain x points is a 32-bit unsigned product (it wraps, and negative points
// are large numbers); the result's low 32 bits are added, wrapping.
std::uint32_t CatchPoints(std::uint32_t chain, std::int32_t points, float multiplier);

// The multiplier after a shot in a frame of dt seconds: less the fire
// penalty, held at the penalty minimum; then, above 1, less the decay per
// second x dt unless that would take all of it. Only shots decay it.
float MultiplierAfterShot(float multiplier, float dt, const Settings& settings);

// The multiplier after a catch: plus the multiplier addition, no upper limit.
float MultiplierAfterCatch(float multiplier, const Settings& settings);

// The HUD's multiplier readout: multiplier x 100, truncated (0.8 reads 80).
std::uint32_t MultiplierReadout(float multiplier);

}  // namespace vtr
