#include "helpers/geometry.h"

#include <bit>
#include <cmath>
#include <cstdint>

float FastInvSqrt(float x) {
  // One Newton step from the classic bit-level first guess. The halving
  // constant is 0.4999 (as bits, so it is exactly the float every direction
  // of the game was tuned with), and the products run in this order.
  constexpr float kAlmostHalf = std::bit_cast<float>(std::uint32_t{0x3EFFF2E5});

  const std::int32_t bits = std::bit_cast<std::int32_t>(x);
  // C++20 defines >> on a negative int as an arithmetic shift; the
  // subtraction wraps through unsigned so that negative inputs (sign bit set)
  // cannot overflow.
  const std::uint32_t guess =
      std::uint32_t{0x5F3759DF} - static_cast<std::uint32_t>(bits >> 1);
  const float y = std::bit_cast<float>(guess);
  return y * (1.5f - y * y * x * kAlmostHalf);
}

hgeVector2* hgeVector2::Normalize() {
  const float scale = FastInvSqrt(x * x + y * y);
  x *= scale;
  y *= scale;
  return this;
}

float hgeVector2::Angle() const { return std::atan2(y, x); }
