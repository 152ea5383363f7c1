// The benchmark's figures: per-frame samples to and from CSV, medians and
// 99th percentiles, the frame-time plot as a PNG, and the fit of the game's
// own work against the number of live particles.
#pragma once

#include <string>
#include <vector>

#include "bench/session.h"

namespace bench {

struct Spread {
  double median = 0.0;
  double p99 = 0.0;
};

// Median and 99th percentile (nearest rank) of values; zeros when empty.
Spread SpreadOf(std::vector<double> values);

// One run's samples and the backend they were measured on.
struct Run {
  std::string scenario;
  std::string backend;
  std::vector<FrameSample> frames;
};

bool WriteCsv(const std::string& path, const Run& run);
bool ReadCsv(const std::string& path, Run* run);

// Frame time over the run: full frame (white), the game's own work (orange),
// the limit replay (cyan) and live particles (grey, scaled to the plot's
// height); horizontal grid lines labelled in ms, a tick per second of game
// time and a longer one every ten seconds.
bool WritePlot(const std::string& path, const Run& run);

// The game's own work per frame against live particles: frames in buckets of
// equal width over the range of particle counts, with the cost per 1,000
// particles in each. Work that grows no faster than linearly costs no more
// per particle at high counts than at low ones.
struct ParticleFit {
  struct Bucket {
    double particles = 0.0;  // median of the bucket
    double ownMs = 0.0;      // median own work of the bucket
    std::size_t frames = 0;
  };
  std::vector<Bucket> buckets;
  double lowSlope = 0.0;   // ms per 1,000 particles, least squares over the lower half of the buckets
  double highSlope = 0.0;  // the same over the upper half
};
ParticleFit FitParticles(const std::vector<FrameSample>& frames, int bucketCount);

}  // namespace bench
