#include "platform/viewport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using hge_sdl::FitWithAspect;
using hge_sdl::Size;
using hge_sdl::Viewport;

struct Case {
  Size logical, window, drawable;
};

// Windows wider, taller and of the same shape as the picture, smaller and
// larger, at HiDPI scales 1, 1.5 and 2, and a logical size that is not 4:3.
const Case kCases[] = {
    {{1024, 768}, {1024, 768}, {1024, 768}},   {{1024, 768}, {1366, 768}, {1366, 768}},
    {{1024, 768}, {800, 900}, {800, 900}},     {{1024, 768}, {2048, 1536}, {2048, 1536}},
    {{1024, 768}, {640, 480}, {640, 480}},     {{1024, 768}, {1366, 768}, {2732, 1536}},
    {{1024, 768}, {1000, 700}, {1500, 1050}},  {{1024, 768}, {333, 1000}, {333, 1000}},
    {{800, 600}, {1920, 1080}, {3840, 2160}},  {{640, 200}, {1024, 768}, {1024, 768}},
};

TEST(Viewport, PictureKeepsItsAspectIsCentredAndFillsOneSide) {
  for (const Case& c : kCases) {
    const Viewport v(c.logical, c.window, c.drawable);
    SCOPED_TRACE(::testing::Message() << c.window.width << "x" << c.window.height << " drawable "
                                      << c.drawable.width << "x" << c.drawable.height);
    EXPECT_TRUE(v.Width() == c.drawable.width || v.Height() == c.drawable.height);
    EXPECT_LE(v.Width(), c.drawable.width);
    EXPECT_LE(v.Height(), c.drawable.height);
    // Within a pixel of the exact aspect.
    EXPECT_NEAR(static_cast<double>(v.Width()) * c.logical.height / c.logical.width, v.Height(), 1.0);
    // The bars on both sides differ by at most a pixel.
    EXPECT_LE(std::abs((c.drawable.width - v.Width() - v.X()) - v.X()), 1);
    EXPECT_LE(std::abs((c.drawable.height - v.Height() - v.Y()) - v.Y()), 1);
  }
}

TEST(Viewport, UnscaledWindowMapsEveryPointToItself) {
  const Viewport v({1024, 768}, {1024, 768}, {1024, 768});
  float x = -1.0f, y = -1.0f;
  for (int p : {0, 1, 511, 512, 767}) {
    v.WindowToLogical(p, p, &x, &y);
    EXPECT_EQ(x, static_cast<float>(p));
    EXPECT_EQ(y, static_cast<float>(p));
  }
}

TEST(Viewport, EveryLogicalPixelCentreRoundTripsExactly) {
  for (const Case& c : kCases) {
    const Viewport v(c.logical, c.window, c.drawable);
    SCOPED_TRACE(::testing::Message() << c.window.width << "x" << c.window.height);
    for (int px = 0; px < c.logical.width; ++px) {
      const float centre = px + 0.5f;
      double wx = 0.0, wy = 0.0;
      float lx = 0.0f, ly = 0.0f;
      v.LogicalToWindow(centre, centre < c.logical.height ? centre : 0.5f, &wx, &wy);
      v.WindowToLogical(wx, wy, &lx, &ly);
      ASSERT_EQ(lx, centre) << "column " << px;
      if (px < c.logical.height) {
        ASSERT_EQ(ly, centre) << "row " << px;
      }
    }
  }
}

// Where the picture is at least as large as the logical screen, the window
// point a player clicks to hit a logical pixel maps into that very pixel.
TEST(Viewport, ClickOnAPixelsCentreHitsThatPixelWhenEnlarged) {
  for (const Case& c : kCases) {
    const Viewport v(c.logical, c.window, c.drawable);
    if (v.ScaleX() / (static_cast<double>(c.drawable.width) / c.window.width) < 1.0) continue;
    for (int px = 0; px < c.logical.width; ++px) {
      double wx = 0.0, wy = 0.0;
      v.LogicalToWindow(px + 0.5f, 0.5f, &wx, &wy);
      float lx = 0.0f;
      v.WindowToLogical(std::floor(wx), wy, &lx, nullptr);
      ASSERT_EQ(std::floor(lx), px) << c.window.width << "x" << c.window.height;
    }
  }
}

TEST(Viewport, PointsInTheBarsLandOnTheNearestEdge) {
  // 1366x768: bars of 171 pixels left and right; 800x900: bars above and below.
  const Viewport wide({1024, 768}, {1366, 768}, {1366, 768});
  float x = -1.0f, y = -1.0f;
  wide.WindowToLogical(10, 300, &x, &y);
  EXPECT_EQ(x, 0.0f);
  EXPECT_EQ(y, 300.0f);
  wide.WindowToLogical(1360, 767, &x, &y);
  EXPECT_EQ(x, 1023.0f);
  EXPECT_EQ(y, 767.0f);
  wide.WindowToLogical(171 + 512, 415, &x, &y);
  EXPECT_EQ(x, 512.0f);

  const Viewport tall({1024, 768}, {800, 900}, {800, 900});
  tall.WindowToLogical(400, 5, &x, &y);
  EXPECT_EQ(x, 512.0f);
  EXPECT_EQ(y, 0.0f);
  tall.WindowToLogical(-50, 899, &x, &y);
  EXPECT_EQ(x, 0.0f);
  EXPECT_EQ(y, 767.0f);
  tall.WindowToLogical(NAN, INFINITY, &x, &y);
  EXPECT_EQ(x, 0.0f);
  EXPECT_EQ(y, 0.0f);
}

TEST(Viewport, HiDpiWindowPointsCoverTheSamePictureAsPixels) {
  // Window in points, drawable at twice the density: a point maps like two pixels.
  const Viewport dense({1024, 768}, {1366, 768}, {2732, 1536});
  const Viewport plain({1024, 768}, {1366, 768}, {1366, 768});
  EXPECT_EQ(dense.Width(), 2048);
  EXPECT_EQ(dense.X(), 342);
  for (double p : {0.0, 171.0, 400.5, 683.0, 1194.75, 1365.0}) {
    float a = 0.0f, b = 0.0f;
    dense.WindowToLogical(p, 384.0, &a, nullptr);
    plain.WindowToLogical(p, 384.0, &b, nullptr);
    EXPECT_NEAR(a, b, 0.5f) << p;
  }
}

// The exact picture rectangle and the points on both sides of each of its
// edges: the last point of a bar, the picture's first and last pixel, the
// first point of the next bar. The third window has a drawable twice as
// dense across as down (2 and 1.5 pixels per point), so an axis that takes
// the other's density lands far off. A bar of one pixel, a picture side that
// must be rounded (934.67 pixels wide: 935; 750.75 high: 751) and a flush fit
// complete it.
TEST(Viewport, EdgesOfThePictureAndItsBarsMapExactly) {
  struct Point {
    double wx, wy;
    float lx, ly;
  };
  const struct {
    Size logical, window, drawable;
    int x, y, width, height;
    std::vector<Point> points;
  } cases[] = {
      {{1024, 768}, {1366, 768}, {1366, 768}, 171, 0, 1024, 768,
       {{170, 0, 0, 0}, {171, 767, 0, 767}, {1194, 384, 1023, 384}, {1195, 768, 1023, 767}}},
      {{1024, 768}, {800, 900}, {800, 900}, 0, 150, 800, 600,
       {{0, 149, 0, 0}, {0, 150, 0, 0}, {799, 749, 1022.72f, 766.72f}, {800, 750, 1023, 767}}},
      {{1024, 768}, {1000, 750}, {2000, 1125}, 250, 0, 1500, 1125,
       {{124.5, 0, 0, 0}, {125, 500, 0, 512}, {874.5, 749.5, 1023.3173f, 767.488f}, {875, 750, 1023, 767}}},
      {{1024, 768}, {1025, 768}, {1025, 768}, 0, 0, 1024, 768, {{0, 0, 0, 0}, {1023, 767, 1023, 767}, {1024, 768, 1023, 767}}},
      {{1024, 768}, {1000, 701}, {1000, 701}, 32, 0, 935, 701, {{31, 0, 0, 0}, {32, 700, 0, 766.9044f}, {967, 701, 1023, 767}}},
      {{1024, 768}, {1001, 900}, {1001, 900}, 0, 74, 1001, 751, {{0, 73, 0, 0}, {1000, 824, 1022.977f, 766.977f}, {1001, 825, 1023, 767}}},
  };
  for (const auto& c : cases) {
    const Viewport v(c.logical, c.window, c.drawable);
    SCOPED_TRACE(::testing::Message() << c.window.width << "x" << c.window.height << " drawable "
                                      << c.drawable.width << "x" << c.drawable.height);
    EXPECT_EQ((std::vector<int>{v.X(), v.Y(), v.Width(), v.Height()}),
              (std::vector<int>{c.x, c.y, c.width, c.height}));
    for (const Point& p : c.points) {
      float lx = -1.0f, ly = -1.0f;
      v.WindowToLogical(p.wx, p.wy, &lx, &ly);
      EXPECT_NEAR(lx, p.lx, 1e-3) << "at " << p.wx << "," << p.wy;
      EXPECT_NEAR(ly, p.ly, 1e-3) << "at " << p.wx << "," << p.wy;
    }
    // The picture's corners, in window points.
    const double scaleX = static_cast<double>(c.drawable.width) / c.window.width;
    const double scaleY = static_cast<double>(c.drawable.height) / c.window.height;
    double wx = 0.0, wy = 0.0;
    v.LogicalToWindow(0.0f, 0.0f, &wx, &wy);
    EXPECT_DOUBLE_EQ(wx, c.x / scaleX);
    EXPECT_DOUBLE_EQ(wy, c.y / scaleY);
    v.LogicalToWindow(static_cast<float>(c.logical.width), static_cast<float>(c.logical.height), &wx, &wy);
    EXPECT_DOUBLE_EQ(wx, (c.x + c.width) / scaleX);
    EXPECT_DOUBLE_EQ(wy, (c.y + c.height) / scaleY);
  }
}

TEST(Viewport, FitKeepsTheLogicalSizeWhenItFitsAndShrinksWithAspectOtherwise) {
  EXPECT_EQ(FitWithAspect({1024, 768}, {1366, 768}), (Size{1024, 768}));
  EXPECT_EQ(FitWithAspect({1024, 768}, {1366, 705}), (Size{940, 705}));
  EXPECT_EQ(FitWithAspect({1024, 768}, {800, 1280}), (Size{800, 600}));
  EXPECT_EQ(FitWithAspect({1024, 768}, {0, -5}), (Size{1, 1}));
  EXPECT_EQ(FitWithAspect({16384, 16384}, {1920, 1080}), (Size{1080, 1080}));
}

}  // namespace
