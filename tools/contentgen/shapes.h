// Signed distances (negative inside) of the simple shapes the logos are
// built from, for FillShape in image.h.
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

namespace contentgen {

struct Point {
  float x, y;
};

inline float CircleDistance(float x, float y, Point c, float radius) { return std::hypot(x - c.x, y - c.y) - radius; }

// A band of the given width centred on a circle.
inline float RingDistance(float x, float y, Point c, float radius, float width) {
  return std::abs(std::hypot(x - c.x, y - c.y) - radius) - width * 0.5f;
}

// A line from a to b with round ends, width wide.
inline float SegmentDistance(float x, float y, Point a, Point b, float width) {
  const float vx = b.x - a.x, vy = b.y - a.y, wx = x - a.x, wy = y - a.y;
  const float len2 = vx * vx + vy * vy;
  const float t = len2 > 0 ? std::clamp((wx * vx + wy * vy) / len2, 0.0f, 1.0f) : 0.0f;
  return std::hypot(wx - vx * t, wy - vy * t) - width * 0.5f;
}

// A convex polygon given clockwise on screen (y down); close to the true
// distance near the edges, which is all the anti-aliasing needs.
inline float ConvexDistance(float x, float y, const std::vector<Point>& poly) {
  float d = -1e9f;
  for (size_t i = 0; i < poly.size(); ++i) {
    const Point a = poly[i], b = poly[(i + 1) % poly.size()];
    const float ex = b.x - a.x, ey = b.y - a.y, len = std::hypot(ex, ey);
    // The outward normal of a clockwise edge in y-down coordinates.
    d = std::max(d, ((x - a.x) * ey - (y - a.y) * ex) / len);
  }
  return d;
}

}  // namespace contentgen
