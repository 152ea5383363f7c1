// Small geometric pieces shared by the helper layer and the game. Every
// direction in the game is normalised with FastInvSqrt, so directions are
// close to, not exactly, unit length, and the zero vector stays zero.
#pragma once

// Approximate 1 / sqrt(x), within 0.2 per cent for positive x; a large finite
// value (about 2e19) for 0, so normalising the zero vector gives zero.
float FastInvSqrt(float x);

struct hgeVector2 {
  float x = 0.0f;
  float y = 0.0f;

  hgeVector2() = default;
  hgeVector2(float x_, float y_) : x(x_), y(y_) {}

  hgeVector2 operator+(const hgeVector2& v) const { return {x + v.x, y + v.y}; }
  hgeVector2 operator-(const hgeVector2& v) const { return {x - v.x, y - v.y}; }
  hgeVector2 operator*(float s) const { return {x * s, y * s}; }
  hgeVector2& operator+=(const hgeVector2& v) { x += v.x; y += v.y; return *this; }
  hgeVector2& operator-=(const hgeVector2& v) { x -= v.x; y -= v.y; return *this; }

  // Scales the vector in place by FastInvSqrt(x*x + y*y); returns itself.
  hgeVector2* Normalize();
  // atan2(y, x): from +x towards +y, clockwise on screen.
  float Angle() const;
};

struct hgeRectangle {
  float x1 = 0.0f, y1 = 0.0f, x2 = 0.0f, y2 = 0.0f;
  bool clean = true;  // no corner given yet

  hgeRectangle() = default;
  hgeRectangle(float x1_, float y1_, float x2_, float y2_)
      : x1(x1_), y1(y1_), x2(x2_), y2(y2_), clean(false) {}

  void Set(float x1_, float y1_, float x2_, float y2_) {
    x1 = x1_; y1 = y1_; x2 = x2_; y2 = y2_; clean = false;
  }
  // Left and top edges inside, right and bottom edges outside.
  bool TestPoint(float x, float y) const { return x >= x1 && x < x2 && y >= y1 && y < y2; }
};
