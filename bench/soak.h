// The soak: the stress scenario run for a long stretch of game time with the
// resident memory sampled. After a warm-up (the first quarter of the frames)
// the resident set must not grow by more than 5 %: a steady game that leaks
// a little per frame shows it here long before a player would.
#pragma once

namespace bench {

struct SoakOptions {
  int frames = 216000;     // one hour at 60 frames per second
  int sampleEvery = 3000;  // frames between samples of the resident memory
  int renderEvery = 1;     // draw every n-th frame (headless rasterising is slow)
  // Off under AddressSanitizer, whose quarantine of freed memory grows the
  // resident set by design; the run then only looks for sanitizer reports.
  bool checkMemory = true;
};

// Runs the soak and prints the samples; 0 when memory stayed flat.
int RunSoak(const SoakOptions& options);

}  // namespace bench
