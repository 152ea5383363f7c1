// The master limiter on the mixer's output.
//
// When a round ends every rocket in the sky bursts at once, and twenty or
// thirty explosion sounds start in the same buffer: their sum is many times
// louder than full scale. The mixer sums in floating point, so nothing is
// clipped yet; this limiter then scales the sum down so that no sample leaves
// at or above its ceiling, and leaves everything quieter untouched.
//
// It looks ahead: the output lags the input by Latency() frames, and the gain
// starts to fall that many frames before a peak arrives, so a burst is turned
// down smoothly instead of being chopped. After the peak the gain comes back
// slowly (a release of about a tenth of a second), so the loud tail of a mass
// burst is not pumped up and down with every wave. All channels of a frame
// share one gain, which keeps the stereo picture where it was.
//
// Process never allocates and never blocks: it runs on the audio thread.
#pragma once

#include <vector>

namespace audio {

class Limiter {
 public:
  // The level no output sample reaches: -0.5 dBFS.
  static constexpr float kCeiling = 0.944f;

  // A limiter for interleaved frames of `channels` samples at `sampleRate`
  // frames per second (both at least 1).
  Limiter(int sampleRate, int channels);

  // Limits `frames` interleaved frames in place. What comes out is the input
  // of Latency() frames earlier, times a gain in (0, 1]; a sample that is not
  // a finite number comes out as silence.
  void Process(float* samples, int frames);

  // Samples per frame.
  int Channels() const { return channels_; }

  // Frames between a sample going in and the same sample coming out.
  int Latency() const { return window_ - 1; }

  // The gain the last processed frame left with (1 when nothing is limited).
  float Gain() const { return lastGain_; }

 private:
  int channels_;
  int window_;          // look-ahead length in frames
  float releaseStep_;   // share of the distance back to 1 regained per frame
  int at_ = 0;          // ring position of the frame going out now
  std::vector<float> delay_;  // window_ frames of samples on their way out
  std::vector<float> need_;   // per frame: the gain that keeps it under the ceiling
  std::vector<float> env_;    // per frame: the held and released gain
  float held_ = 1.0f;         // minimum of need_
  double envSum_;             // sum of env_
  float envelope_ = 1.0f;
  float lastGain_ = 1.0f;
};

}  // namespace audio
