// The costliest replay we know how to build within the reader's bounds,
// played to its end as `vantor --verify` plays it: settings a player may set
// but none would (spawn delays below 0, rockets of speed 0, a round of a
// day), so that every frame launches rockets that never leave until the sky
// is full, and as many frames of 1/60 s as the reader takes. It measures what a replay from a
// stranger can cost at most: CPU time and the resident memory at its peak.
#pragma once

#include <cstdint>
#include <string>

namespace bench {

struct HostileOptions {
  std::uint32_t frames = 0;  // 0: as many as the reader allows
  std::uint32_t micros = 16667;  // each frame's time
  bool defaults = false;         // the default settings instead of the absurd ones
  std::uint32_t pauseAt = 0;     // above 0: Escape pauses the round at this frame, for good
  std::string write;         // also write the file here, for `vantor --verify`
  std::uint32_t sampleEvery = 65536;
};

// Builds the file, reads it back through the reader, plays it headless and
// prints the figures. 0 when the file was taken and played to its end.
int RunHostile(const HostileOptions& options);

}  // namespace bench
