// The values of one round, as one value: a round starts from a fresh Round,
// and watching a recorded round sets the live one aside by swapping it whole.
// The scoring operations are the ones the game and its hit pass use.
//
// The round's phase is three flags, together with the splash (see game.h):
//   menu shown, no round running   the start menu
//   menu shown and round running   paused
//   round running, menu hidden     playing
//   round over, menu hidden        the last bursts play out
//   round over and menu shown      the results page
#pragma once

#include <cstdint>

namespace vtr {

struct Round {
  std::int32_t score = 0;  // signed, wraps at 32 bits
  std::uint32_t chain = 0;  // the chain link of the latest catch
  std::uint32_t highestCombo = 0;
  std::uint32_t catches = 0;  // rockets caught, for the results page; wraps, never read by a rule
  std::uint32_t shots = 0;    // the player's rockets fired
  float multiplier = 1.0f;
  float timeLeft = 0.0f;
  bool warningPlayed = false;  // the low-time warning has sounded
  bool menuShown = true;
  bool roundRunning = false;
  bool roundOver = false;
  bool scoreEntered = false;  // this round's score is in the table: it is entered once

  // Adds one catch: trunc(chain x points x multiplier), wrapping at 32 bits.
  void AddScore(std::int32_t points);
  // A catch at this chain link: the chain becomes link, the points are
  // scored, the multiplier rises and the highest combo follows.
  void ScoreCatch(std::uint32_t link, std::int32_t points);
  // What a shot in a frame of dt seconds costs the multiplier.
  void ChargeShot(float dt);
};

}  // namespace vtr
