#include "helpers/color.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(PackColor, TruncatesEachChannelIntoItsByte) {
  EXPECT_EQ(vtr::PackColor({1.0f, 1.0f, 1.0f, 1.0f}), 0xFFFFFFFFu);
  EXPECT_EQ(vtr::PackColor({0.0f, 0.0f, 0.0f, 0.0f}), 0x00000000u);
  // 0.5 x 255 = 127.5 and 0.7 x 255 = 178.5 are truncated, not rounded.
  EXPECT_EQ(vtr::PackColor({1.0f, 1.0f, 0.7f, 0.5f}), 0x7FFFFFB2u);
  EXPECT_EQ(vtr::PackColor({0.2f, 0.5f, 0.0f, 1.0f}), 0xFF337F00u);
  // Just under one step stays in the lower value.
  EXPECT_EQ(vtr::PackColor({0.0f, 0.0f, std::nextafter(1.0f / 255.0f, 0.0f), 0.0f}), 0u);
}

TEST(PackColor, OutOfRangeChannelsStayInTheirOwnByte) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  // Above 1 is full, below 0 and not-a-number are empty; neighbours untouched.
  EXPECT_EQ(vtr::PackColor({0.0f, 2.0f, 0.0f, 1.004f}), 0xFF00FF00u);
  EXPECT_EQ(vtr::PackColor({1.0f, -0.5f, 1.0f, -0.001f}), 0x00FF00FFu);
  EXPECT_EQ(vtr::PackColor({nan, 1.0f, nan, nan}), 0x0000FF00u);
  EXPECT_EQ(vtr::PackColor({inf, -inf, 1e30f, -1e30f}), 0x00FF00FFu);
}

}  // namespace
