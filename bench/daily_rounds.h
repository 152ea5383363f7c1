// Today's round played many times by the autopilot, each time with another
// seed (so other shots, another score), for the world table's load test: the
// valid replay files, and beside each a hostile one made from it, of one of
// a dozen kinds the table must refuse (cut short, a byte changed, its score
// or combo edited, another day's sky, other settings, frames too short, too
// big, ...). Each name carries the refusal's HTTP status:
//
//   OUT/valid/NNNNNN.vtreplay
//   OUT/hostile/NNNNNN-KIND-STATUS.vtreplay
//
// Files are written whole (a temporary renamed), so a run stopped midway
// leaves only whole files, and a later run with --first carries on.
#pragma once

#include <cstdint>
#include <string>

namespace bench {

struct DailyRoundsOptions {
  int first = 0;        // the first round's number (round n plays the autopilot's seed 16n + 1)
  int count = 1;
  std::string out;
  std::int64_t at = 0;  // the moment (seconds since 1970) whose day is played; 0: now
  int frameHz = 60;     // the recorded frames' rate
};

// Records the rounds; 0 when every one was written.
int RecordDailyRounds(const DailyRoundsOptions& options);

}  // namespace bench
