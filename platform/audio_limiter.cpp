// Why the output never reaches the ceiling: for every frame n going in, need
// is the gain that would just bring it down to the ceiling (1 when it is
// already below). The held gain is the smallest need of the last `window`
// frames, the envelope never rises above the held gain, and the gain applied
// is the mean of the last `window` envelope values. Every one of those values
// covers the frame that goes out now, the input of window - 1 frames ago, so
// their mean is at most that frame's need.
#include "platform/audio_limiter.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace audio {
namespace {

constexpr double kLookAheadSeconds = 0.0015;
constexpr double kReleaseSeconds = 0.1;

}  // namespace

Limiter::Limiter(int sampleRate, int channels) : channels_(channels) {
  assert(sampleRate >= 1 && channels >= 1 && "a limiter needs a rate and at least one channel");
  window_ = std::max(1, static_cast<int>(std::lround(sampleRate * kLookAheadSeconds)));
  releaseStep_ = static_cast<float>(1.0 - std::exp(-1.0 / (kReleaseSeconds * sampleRate)));
  delay_.assign(static_cast<size_t>(window_) * static_cast<size_t>(channels_), 0.0f);
  need_.assign(static_cast<size_t>(window_), 1.0f);
  env_.assign(static_cast<size_t>(window_), 1.0f);
  envSum_ = window_;
}

void Limiter::Process(float* samples, int frames) {
  const auto channels = static_cast<size_t>(channels_);
  for (int frame = 0; frame < frames; ++frame) {
    float* io = samples + static_cast<size_t>(frame) * channels;
    const auto at = static_cast<size_t>(at_);
    float* in = &delay_[at * channels];
    float peak = 0.0f;
    for (size_t c = 0; c < channels; ++c) {
      const float value = std::isfinite(io[c]) ? io[c] : 0.0f;
      in[c] = value;
      peak = std::max(peak, std::abs(value));
    }

    const float need = peak > kCeiling ? kCeiling / peak : 1.0f;
    const float leaving = need_[at];
    need_[at] = need;
    if (need <= held_) {
      held_ = need;
    } else if (leaving <= held_) {  // the smallest need has left the window
      held_ = *std::min_element(need_.begin(), need_.end());
    }

    envelope_ = std::min(held_, envelope_ + (1.0f - envelope_) * releaseStep_);
    envSum_ += envelope_ - env_[at];
    env_[at] = envelope_;
    if (at_ == window_ - 1) {  // once per lap, the running sum starts afresh
      envSum_ = 0.0;
      for (float e : env_) envSum_ += e;
    }
    const auto gain = static_cast<float>(std::min(1.0, envSum_ / window_));

    // The oldest frame of the ring goes out (with a window of one, the frame
    // that just came in).
    at_ = at_ + 1 == window_ ? 0 : at_ + 1;
    const float* out = &delay_[static_cast<size_t>(at_) * channels];
    for (size_t c = 0; c < channels; ++c) io[c] = out[c] * gain;
    lastGain_ = gain;
  }
}

}  // namespace audio
