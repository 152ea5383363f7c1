// The master limiter on buffers: what stays under the ceiling passes exactly,
// only later; nothing ever leaves at or above the ceiling; after a loud
// stretch the gain comes back.
#include "platform/audio_limiter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

namespace {

using audio::Limiter;

constexpr int kRate = 44100;

// Runs a whole signal through the limiter in blocks of random sizes, the way
// the mixer hands over buffers of whatever length the device asks for.
std::vector<float> Limit(Limiter& limiter, std::vector<float> signal, int channels, std::mt19937& random) {
  std::uniform_int_distribution<int> blockFrames(1, 700);
  const int frames = static_cast<int>(signal.size()) / channels;
  for (int done = 0; done < frames;) {
    const int block = std::min(blockFrames(random), frames - done);
    limiter.Process(signal.data() + static_cast<size_t>(done) * channels, block);
    done += block;
  }
  return signal;
}

// The largest magnitude among samples [from, to), or to the end.
float Peak(const std::vector<float>& samples, size_t from = 0, size_t to = SIZE_MAX) {
  float peak = 0;
  for (size_t i = from; i < std::min(to, samples.size()); ++i) peak = std::max(peak, std::abs(samples[i]));
  return peak;
}

TEST(AudioLimiter, QuietSignalPassesExactlyOnlyLater) {
  std::mt19937 random(7);
  for (int channels : {1, 2, 6}) {
    Limiter limiter(kRate, channels);
    EXPECT_GT(limiter.Latency(), 0) << "it looks ahead";
    EXPECT_LT(limiter.Latency(), kRate / 200) << "by less than 5 ms";
    std::uniform_real_distribution<float> level(-Limiter::kCeiling, Limiter::kCeiling);
    std::vector<float> input(static_cast<size_t>(kRate / 2 * channels));
    for (float& s : input) s = level(random);
    input[100] = Limiter::kCeiling;  // right at the ceiling still passes
    const std::vector<float> output = Limit(limiter, input, channels, random);

    const auto lag = static_cast<size_t>(limiter.Latency() * channels);
    for (size_t i = 0; i < lag; ++i) ASSERT_EQ(output[i], 0.0f) << "sample " << i << " before the first came out";
    for (size_t i = lag; i < output.size(); ++i) ASSERT_EQ(output[i], input[i - lag]) << channels << " channels, sample " << i;
    EXPECT_EQ(limiter.Gain(), 1.0f);
  }
}

TEST(AudioLimiter, NothingLeavesAtTheCeilingWhateverComesIn) {
  std::mt19937 random(11);
  constexpr int kChannels = 2;
  Limiter limiter(kRate, kChannels);
  // Thirty seconds of quiet passages, single loud clicks, and dense bursts up
  // to sixty times full scale that start on any sample.
  std::vector<float> input(static_cast<size_t>(30 * kRate * kChannels));
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  std::uniform_real_distribution<float> loudness(0.1f, 60.0f);
  std::uniform_int_distribution<int> length(1, kRate);
  for (size_t at = 0; at < input.size();) {
    const float level = loudness(random);
    const auto stretch = std::min(static_cast<size_t>(length(random)) * kChannels, input.size() - at);
    for (size_t i = 0; i < stretch; ++i) input[at + i] = level * unit(random);
    at += stretch;
  }
  const std::vector<float> output = Limit(limiter, input, kChannels, random);

  EXPECT_LT(Peak(output), Limiter::kCeiling * 1.0001f);
  // The limiter only ever turns a frame down, never up and never over.
  const auto lag = static_cast<size_t>(limiter.Latency() * kChannels);
  for (size_t i = lag; i < output.size(); ++i) {
    ASSERT_LE(std::abs(output[i]), std::abs(input[i - lag])) << "sample " << i;
    ASSERT_FALSE(output[i] * input[i - lag] < 0) << "sample " << i << " changed its sign";
  }
}

TEST(AudioLimiter, GainComesBackAfterALoudBurst) {
  std::mt19937 random(3);
  Limiter limiter(kRate, 1);
  // Half a second twenty times over full scale, then a tone at half scale.
  std::vector<float> input(static_cast<size_t>(2 * kRate));
  for (size_t i = 0; i < input.size(); ++i) {
    const float level = i < kRate / 2 ? 20.0f : 0.5f;
    input[i] = level * std::sin(static_cast<float>(i) * 0.0627f);  // about 440 Hz
  }
  const std::vector<float> output = Limit(limiter, input, 1, random);

  const auto burstEnd = static_cast<size_t>(kRate / 2 + limiter.Latency());
  EXPECT_GT(Peak(output, 0, burstEnd), Limiter::kCeiling * 0.98f) << "the burst comes out loud, just under the ceiling";
  // A tenth of a second after the burst the tone is on its way back, not
  // there at one leap; after a second it is whole again.
  const size_t tenthLater = burstEnd + kRate / 10;
  EXPECT_GT(Peak(output, tenthLater, tenthLater + kRate / 50), 0.5f * 0.5f);
  EXPECT_LT(Peak(output, tenthLater, tenthLater + kRate / 50), 0.5f * 0.95f);
  EXPECT_GT(Peak(output, burstEnd + kRate), 0.5f * 0.999f);
  EXPECT_GT(limiter.Gain(), 0.999f);
}

TEST(AudioLimiter, NotANumberComesOutAsSilenceAndLeavesNoTrace) {
  std::mt19937 random(5);
  Limiter limiter(kRate, 2);
  std::vector<float> input(static_cast<size_t>(kRate / 10 * 2), 0.25f);
  input[10] = std::numeric_limits<float>::quiet_NaN();
  input[11] = std::numeric_limits<float>::infinity();
  input[12] = -std::numeric_limits<float>::infinity();
  const std::vector<float> output = Limit(limiter, input, 2, random);

  const auto lag = static_cast<size_t>(limiter.Latency() * 2);
  for (size_t i = lag; i < output.size(); ++i) {
    const size_t from = i - lag;
    ASSERT_EQ(output[i], from >= 10 && from <= 12 ? 0.0f : 0.25f) << "sample " << i;
  }
  EXPECT_EQ(limiter.Gain(), 1.0f);
}

}  // namespace
