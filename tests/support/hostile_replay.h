// The costliest replay we know how to build within the reader's bounds, from
// a real round (the golden round "chains") with its settings, clocks and
// frames changed: spawn delays below 0 and rockets of speed 0 (a player may
// set these in the settings file; every frame then launches three rockets
// that never leave, until the sky is full), a round of a day, and as many
// frames as the reader takes, with no input. At 60 frames a second the
// rockets' trails grow to their full length (about 300 particles each) in two
// seconds of the round, and the round outlasts the frames. The tests check
// what the game makes of it; the benchmark plays it to its end.
#pragma once

#include <cstdint>

#include "replay/replay_file.h"

namespace testing_support {

// A recorded round of the source tree's tests/golden folder, by name.
vtr::Replay GoldenReplay(const char* name);
// The settings and clocks above, on a replay of 32 settings values.
void MakeSettingsAbsurd(vtr::Replay& replay);
// count frames of the given length (whole microseconds) with no input.
void MakeQuietFrames(vtr::Replay& replay, std::uint32_t count, std::uint32_t micros);
// Both, on the golden round "chains".
vtr::Replay CostliestReplay(std::uint32_t frames, std::uint32_t micros = 16667);

}  // namespace testing_support
