#include "bench/soak.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>

#include "bench/session.h"
#include "platform/hge_headless.h"

namespace bench {
namespace {

constexpr double kAllowedGrowth = 1.05;

// Resident memory of this process in KiB; 0 when unknown.
long ResidentKiB() {
  std::ifstream statm("/proc/self/statm");
  long size = 0;
  long resident = 0;
  if (!(statm >> size >> resident)) return 0;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

}  // namespace

int RunSoak(const SoakOptions& options) {
  const auto began = std::chrono::steady_clock::now();
  Session session(Scenario::kStress, true);
  if (!session.ok()) {
    std::fprintf(stderr, "soak: cannot start: %s\n", session.error().c_str());
    return 1;
  }
  const int warmUp = options.frames / 4;
  const int renderEvery = std::max(1, options.renderEvery);
  long baseline = 0;
  long highest = 0;
  int highestAt = 0;
  std::printf("soak: %d frames of the stress scenario on %s, drawing every %d, warm-up %d frames\n", options.frames,
              session.Backend().c_str(), renderEvery, warmUp);
  for (int frame = 1; frame <= options.frames; ++frame) {
    headless::SetRenderEnabled(session.engine(), frame % renderEvery == 0);
    const FrameSample sample = session.Frame(false);
    if (session.stopped()) {
      std::printf("soak: stopped at frame %d\n", frame);
      return 1;
    }
    const bool last = frame == options.frames;
    if (frame % options.sampleEvery != 0 && frame != warmUp && !last) continue;
    const long rss = ResidentKiB();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    std::printf("soak: frame %7d  rss %7ld KiB  actors %5d  particles %6d  (%.0f s)\n", frame, rss, sample.actors,
                sample.particles, seconds);
    std::fflush(stdout);
    if (frame == warmUp) baseline = rss;
    if (frame > warmUp && rss > highest) {
      highest = rss;
      highestAt = frame;
    }
  }
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  if (baseline <= 0) {
    std::printf("soak: FAILED: the resident memory could not be read\n");
    return 1;
  }
  const double growth = static_cast<double>(highest) / static_cast<double>(baseline);
  std::printf("soak: %d frames in %.0f s; rss after warm-up %ld KiB, highest after %ld KiB (frame %d), "
              "growth %+.2f %%\n",
              options.frames, elapsed, baseline, highest, highestAt, (growth - 1.0) * 100.0);
  if (!options.checkMemory) {
    std::printf("soak: passed (memory growth not checked)\n");
    return 0;
  }
  if (growth > kAllowedGrowth) {
    std::printf("soak: FAILED: resident memory grew by more than 5 %% after warm-up\n");
    return 1;
  }
  std::printf("soak: passed\n");
  return 0;
}

}  // namespace bench
