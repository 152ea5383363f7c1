// Sound building blocks for the effects and the music: a stereo buffer,
// a few filters, a reverb, and the writers for WAV and MP3 files. All
// signal work is done in floating point at 44.1 kHz; only the writers turn
// it into 16-bit samples or MP3 frames.
#pragma once

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

namespace contentgen {

inline constexpr int kSampleRate = 44100;
inline constexpr double kTwoPi = 2 * std::numbers::pi;

struct Stereo {
  std::vector<float> left, right;

  explicit Stereo(size_t frames = 0) : left(frames, 0.0f), right(frames, 0.0f) {}
  size_t Frames() const { return left.size(); }
  // Adds a sample at frame i with a constant-power pan (0 left, 1 right);
  // frames past the end are dropped.
  void Add(size_t i, float value, float pan = 0.5f) {
    if (i >= left.size()) return;
    const float angle = pan * static_cast<float>(std::numbers::pi / 2);
    left[i] += value * std::cos(angle) * static_cast<float>(std::numbers::sqrt2);
    right[i] += value * std::sin(angle) * static_cast<float>(std::numbers::sqrt2);
  }
};

inline size_t Frames(double seconds) { return static_cast<size_t>(std::lround(seconds * kSampleRate)); }
inline double MidiToHz(double note) { return 440.0 * std::pow(2.0, (note - 69.0) / 12.0); }

// Highest absolute sample of either channel.
float Peak(const Stereo& s);
// Root mean square over both channels.
float Rms(const Stereo& s);
// Scales the whole buffer so its peak sits at the given level in dBFS.
void NormalisePeak(Stereo& s, float dbfs);

// State-variable filter (trapezoidal, stable under fast cutoff changes).
class Svf {
 public:
  struct Out {
    float low, band, high;
  };
  void Set(double cutoffHz, double q);
  Out Process(float in);

 private:
  double a1_ = 0, a2_ = 0, a3_ = 0, k_ = 1;
  double ic1_ = 0, ic2_ = 0;
};

// A stereo room reverb: eight damped combs and four all-passes per side,
// the right side slightly detuned for width.
class Reverb {
 public:
  Reverb(float roomSize, float damping);
  // Returns the wet signal only.
  void Process(float inLeft, float inRight, float* outLeft, float* outRight);

 private:
  struct Comb {
    std::vector<float> buffer;
    size_t pos = 0;
    float store = 0;
  };
  struct AllPass {
    std::vector<float> buffer;
    size_t pos = 0;
  };
  float Run(std::vector<Comb>& combs, std::vector<AllPass>& passes, float in);
  std::vector<Comb> combsL_, combsR_;
  std::vector<AllPass> passesL_, passesR_;
  float feedback_, damping_;
};

// 16-bit PCM WAV at 44.1 kHz; one channel (the mean of both) or two.
bool WriteWav(const std::string& path, const Stereo& s, int channels);
// Stereo MP3 at a constant bit rate, with the encoder's delay and padding
// recorded in its header frame so that players can loop it without a gap.
bool WriteMp3(const std::string& path, const Stereo& s, int kbps);

}  // namespace contentgen
