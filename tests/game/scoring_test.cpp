#include "game/scoring.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "config/settings.h"

namespace vtr {
namespace {

// Settings with the default multiplier rules, whatever an earlier test left.
Settings& Defaults() {
  Settings& settings = Settings::Instance();
  settings.MultiplierAddition = 0.1f;
  settings.MultiplierDecreasePerSecond = 0.05f;
  settings.MultiplierRocketFirePenalty = 0.2f;
  settings.MultiplierPenaltyMin = 0.01f;
  return settings;
}

TEST(Scoring, FiveShotsFromOneReachTheFloorWhichHoldsAndReadsZero) {
  const Settings& settings = Defaults();
  float multiplier = 1.0f;
  const std::uint32_t readouts[] = {80, 60, 40, 20, 0};
  for (std::uint32_t readout : readouts) {
    multiplier = MultiplierAfterShot(multiplier, 1.0f / 60.0f, settings);
    EXPECT_EQ(MultiplierReadout(multiplier), readout) << multiplier;
  }
  EXPECT_EQ(multiplier, 0.01f);
  for (int shot = 0; shot < 100; ++shot) multiplier = MultiplierAfterShot(multiplier, 0.1f, settings);
  EXPECT_EQ(multiplier, 0.01f);
  EXPECT_EQ(CatchPoints(1, 100, multiplier), 0u);  // never negative points
}

TEST(Scoring, OnlyAMultiplierAboveOneDecaysAndNeverByAllOfIt) {
  Settings& settings = Defaults();
  // 2.0 - 0.2 = 1.8, then 0.05 per second for a frame of half a second.
  EXPECT_FLOAT_EQ(MultiplierAfterShot(2.0f, 0.5f, settings), 1.775f);
  // 1.1 - 0.2 = 0.9 is not above 1: no decay.
  EXPECT_FLOAT_EQ(MultiplierAfterShot(1.1f, 0.5f, settings), 0.9f);
  // A decay as large as the multiplier is not applied at all.
  settings.MultiplierDecreasePerSecond = 10.0f;
  EXPECT_FLOAT_EQ(MultiplierAfterShot(2.0f, 0.5f, settings), 1.8f);
  EXPECT_FLOAT_EQ(MultiplierAfterShot(2.0f, 0.1f, settings), 0.8f);
}

TEST(Scoring, CatchTruncatesTheProductOfTheSinglePrecisionMultiplier) {
  const Settings& settings = Defaults();
  // A round's start: a shot, then links one and two.
  float multiplier = MultiplierAfterShot(1.0f, 1.0f / 60.0f, settings);
  EXPECT_EQ(CatchPoints(1, 100, multiplier), 80u);
  multiplier = MultiplierAfterCatch(multiplier, settings);
  EXPECT_EQ(CatchPoints(2, 200, multiplier), 360u);
  // 0.95f is 0.94999998...: 94.999998 scores 94 (95 in single precision).
  EXPECT_EQ(CatchPoints(1, 100, 0.95f), 94u);
  // A dual rocket at the floor: 9.9999998 scores 9.
  EXPECT_EQ(CatchPoints(1, 1000, 0.01f), 9u);
}

TEST(Scoring, CountsWrapAsUnsigned32BitNumbers) {
  // 3 x 10^9 does not fit a signed 32-bit number: half of it is 1.5 x 10^9.
  EXPECT_EQ(CatchPoints(3, 1000000000, 0.5f), 1500000000u);
  // Negative points are a large unsigned count: (2^32 - 100) x 0.5.
  EXPECT_EQ(CatchPoints(1, -100, 0.5f), 2147483598u);
  // A product that wraps past 2^32: 5 x 10^9 - 2^32.
  EXPECT_EQ(CatchPoints(5, 1000000000, 1.0f), 705032704u);
  // 2^32 - 100 at a multiplier of 1 is -100 as the score's signed number.
  EXPECT_EQ(static_cast<std::int32_t>(CatchPoints(1, -100, 1.0f)), -100);
}

TEST(Scoring, ProductsBeyond64BitsAndNaNCountAsZero) {
  const float huge = 3.0e38f;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  for (float multiplier : {huge, -huge, nan, inf, -inf}) {
    EXPECT_EQ(CatchPoints(4000000000u, 1000, multiplier), 0u) << multiplier;
    EXPECT_EQ(MultiplierReadout(multiplier), 0u) << multiplier;
  }
  // Inside the range the low 32 bits count: 10^10 - 2 x 2^32.
  EXPECT_EQ(CatchPoints(1, 1, 1.0e10f), 1410065408u);
}

}  // namespace
}  // namespace vtr
