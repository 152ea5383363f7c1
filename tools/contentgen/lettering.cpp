// The title's lettering pieces, shared by the logos and the icon.
#include "lettering.h"

#include <algorithm>
#include <cmath>

namespace contentgen {

void PaintSparkle(Image& img, Point c, float size, Color tint) {
  const int r = static_cast<int>(std::ceil(size)) + 2;
  for (int y = static_cast<int>(c.y) - r; y <= static_cast<int>(c.y) + r; ++y)
    for (int x = static_cast<int>(c.x) - r; x <= static_cast<int>(c.x) + r; ++x) {
      const float dx = x + 0.5f - c.x, dy = y + 0.5f - c.y;
      const float d = std::hypot(dx, dy);
      const float arms = std::max(std::exp(-dy * dy / 1.8f) * std::max(0.0f, 1 - std::abs(dx) / size),
                                  std::exp(-dx * dx / 1.8f) * std::max(0.0f, 1 - std::abs(dy) / size));
      const float glow = std::exp(-d * d / (size * 0.09f * size)) * 0.9f + std::exp(-d * d / 4.0f);
      const float a = std::min(1.0f, arms * arms + glow);
      if (a > 0.003f) img.Blend(x, y, tint, a);
    }
}

float FitEm(const TrueTypeFont& font, const std::string& text, float tracking, float maxWidth, float maxHeight) {
  for (float em = 300; em > 8; em -= 0.5f) {
    const float scale = font.ScaleForEm(em);
    float top = 0, bottom = 0;
    font.LineBounds(text, scale, &top, &bottom);
    if (font.LineWidth(text, scale, tracking) <= maxWidth && bottom - top <= maxHeight) return em;
  }
  return 8;
}

Mask TextMask(const TrueTypeFont& font, const std::string& text, float em, float tracking, int width, int height,
              float centreX, float baseline) {
  Mask m(width, height);
  const float scale = font.ScaleForEm(em);
  const float w = font.LineWidth(text, scale, tracking);
  font.DrawLine(m, text, centreX - w * 0.5f, baseline, scale, tracking);
  return m;
}

Mask Glow(const Mask& shape, float grow, float sigma, float peak) {
  Mask g = Blur(Dilate(shape, grow), sigma);
  float top = 0;
  for (int y = 0; y < g.Height(); ++y)
    for (int x = 0; x < g.Width(); ++x) top = std::max(top, g.At(x, y));
  if (top > 0)
    for (int y = 0; y < g.Height(); ++y)
      for (int x = 0; x < g.Width(); ++x) g.At(x, y) = std::min(1.0f, g.At(x, y) / top) * peak;
  return g;
}

Color TitleFill(float t) {
  const Color upper{1.0f, 0.97f, 0.82f, 1}, middle{1.0f, 0.80f, 0.32f, 1}, lower{0.96f, 0.36f, 0.14f, 1};
  return t < 0.45f ? Mix(upper, middle, t / 0.45f) : Mix(middle, lower, (t - 0.45f) / 0.55f);
}

}  // namespace contentgen
