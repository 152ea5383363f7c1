#include "helpers/geometry.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace {

TEST(Geometry, FastInvSqrtIsCloseButNotExact) {
  EXPECT_NE(FastInvSqrt(1.0f), 1.0f);
  EXPECT_NEAR(FastInvSqrt(1.0f), 1.0f, 0.002f);
  // The game's directions were tuned with this exact approximation.
  EXPECT_FLOAT_EQ(FastInvSqrt(1.0f), 0.99839735f);
  EXPECT_NEAR(FastInvSqrt(4.0f), 0.5f, 0.001f);
  EXPECT_NEAR(FastInvSqrt(0.25f), 2.0f, 0.004f);
}

TEST(Geometry, FastInvSqrtStaysWithinTwoTenthsOfAPerCent) {
  // A sweep through every binade of positive normal floats against the plain
  // 1 / sqrt in double precision.
  double worst = 0.0;
  for (std::uint32_t bits = std::bit_cast<std::uint32_t>(FLT_MIN); bits < 0x7F800000u;
       bits += 1009) {
    const float x = std::bit_cast<float>(bits);
    const double exact = 1.0 / std::sqrt(static_cast<double>(x));
    worst = std::fmax(worst, std::fabs(FastInvSqrt(x) / exact - 1.0));
  }
  EXPECT_LT(worst, 0.002);
}

TEST(Geometry, FastInvSqrtOfZeroIsLargeAndFinite) {
  const float r = FastInvSqrt(0.0f);
  EXPECT_TRUE(std::isfinite(r));
  EXPECT_GT(r, 1e19f);
  EXPECT_LT(r, 3e19f);
  // The sign bit makes the first guess's subtraction go past INT_MAX, which
  // must wrap rather than overflow.
  EXPECT_TRUE(std::isfinite(FastInvSqrt(-0.0f)));
  EXPECT_TRUE(std::isfinite(FastInvSqrt(-1e-30f)));
}

TEST(Geometry, NormalizeScalesToAboutUnitLength) {
  hgeVector2 v(3.0f, 4.0f);
  EXPECT_EQ(v.Normalize(), &v);
  EXPECT_NEAR(v.x, 0.6f, 0.002f);
  EXPECT_NEAR(v.y, 0.8f, 0.002f);

  hgeVector2 down(0.0f, 250.0f);
  down.Normalize();
  EXPECT_EQ(down.x, 0.0f);
  EXPECT_NEAR(down.y, 1.0f, 0.002f);

  hgeVector2 zero;
  zero.Normalize();
  EXPECT_EQ(zero.x, 0.0f);
  EXPECT_EQ(zero.y, 0.0f);
}

TEST(Geometry, AngleTurnsClockwiseOnScreen) {
  EXPECT_FLOAT_EQ(hgeVector2(0.0f, -1.0f).Angle(), -std::numbers::pi_v<float> / 2);
  EXPECT_FLOAT_EQ(hgeVector2(0.0f, 1.0f).Angle(), std::numbers::pi_v<float> / 2);
  EXPECT_FLOAT_EQ(hgeVector2(-1.0f, 0.0f).Angle(), std::numbers::pi_v<float>);
  EXPECT_EQ(hgeVector2(0.0f, 0.0f).Angle(), 0.0f);
  EXPECT_FLOAT_EQ(hgeVector2(5.0f, 5.0f).Angle(), std::numbers::pi_v<float> / 4);
}

TEST(Geometry, RectangleHoldsItsLeftAndTopEdgesOnly) {
  const hgeRectangle r(10.0f, 10.0f, 20.0f, 20.0f);
  EXPECT_TRUE(r.TestPoint(10.0f, 10.0f));
  EXPECT_TRUE(r.TestPoint(19.9f, 19.9f));
  EXPECT_FALSE(r.TestPoint(20.0f, 15.0f));
  EXPECT_FALSE(r.TestPoint(15.0f, 20.0f));
  EXPECT_FALSE(r.TestPoint(9.99f, 15.0f));
  EXPECT_FALSE(r.TestPoint(15.0f, 9.99f));

  hgeRectangle fresh;
  EXPECT_TRUE(fresh.clean);
  fresh.Set(0.0f, 0.0f, 1.0f, 1.0f);
  EXPECT_FALSE(fresh.clean);
}

}  // namespace
