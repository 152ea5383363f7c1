// Today's challenge: one round a day, the same sky for everyone who plays it
// that day, offline too. A day is a UTC calendar day. Its round is played
// with the default settings, whatever the settings file says (the volumes and
// file names stay the player's: they decide nothing), and starts from a state
// fixed by its date alone:
//
//   key   = YYYYMMDD as a number (20261208 for 8 December 2026),
//           exclusive-or 0x5654524441494C59 (the letters "VTRDAILY")
//   a, b  = the first two outputs of SplitMix64 started at key
//   launch generator   = the low 32 bits of a
//   engine generator   = b
//   spawner clocks     = each at 0 with the default delay (1, 3 and 9 s)
//
// A daily round's replay carries a flag saying so; with its seeds, that names
// its day.
#pragma once

#include <cstdint>
#include <string>

#include "replay/replay_file.h"

namespace vtr {

struct DailyDate {
  std::int32_t year = 1970;
  std::uint32_t month = 1;  // 1..12
  std::uint32_t day = 1;    // 1..31

  bool operator==(const DailyDate&) const = default;
};

// The UTC day a moment (seconds since 1970) falls on.
DailyDate DailyDateAt(std::int64_t unixSeconds);
// "YYYY-MM-DD".
std::string DailyDateText(const DailyDate& date);
// The day's start: generators and clocks as above, the daily flag set (the
// Escape and menu fields are the live game's, left at their defaults here).
RoundStart DailyRoundStart(const DailyDate& date);
// Whether a recorded round is the given day's challenge: marked daily, from
// that day's start, with the default settings.
bool IsDailyRoundOf(const Replay& replay, const DailyDate& date);

}  // namespace vtr
