// The game's icon, at every size the desktop asks for: the title's "V" in
// its fire gradient, dark rim and orange glow, in front of a golden burst on
// a rounded tile of night sky, with a sparkle above.
//
// Each size is painted on its own, at four (or, for the large ones, two)
// times its size and averaged down, and leaves out what it is too small to
// show: the 16 px icon is the tile, a warm glow and the letter; the burst's
// rays come at 32 px, the stars and a second sparkle at 48 and 64 px.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <string>
#include <system_error>

#include "content.h"
#include "image.h"
#include "lettering.h"
#include "rng.h"
#include "shapes.h"
#include "text.h"

namespace contentgen {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;
constexpr int kSizes[] = {16, 32, 48, 64, 128, 256};

// A square with rounded corners, inset by `margin` on every side.
float RoundedSquareDistance(float x, float y, float size, float margin, float corner) {
  const float half = size * 0.5f - margin - corner;
  const float qx = std::abs(x - size * 0.5f) - half, qy = std::abs(y - size * 0.5f) - half;
  return std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f)) + std::min(std::max(qx, qy), 0.0f) - corner;
}

// Averages factor x factor blocks, weighting colour by alpha so that clear
// pixels add no colour to the edges.
Image Shrink(const Image& big, int factor) {
  Image small(big.Width() / factor, big.Height() / factor);
  const float n = static_cast<float>(factor * factor);
  for (int y = 0; y < small.Height(); ++y)
    for (int x = 0; x < small.Width(); ++x) {
      float r = 0, g = 0, b = 0, a = 0;
      for (int sy = 0; sy < factor; ++sy)
        for (int sx = 0; sx < factor; ++sx) {
          const Color& c = big.At(x * factor + sx, y * factor + sy);
          r += c.r * c.a;
          g += c.g * c.a;
          b += c.b * c.a;
          a += c.a;
        }
      small.At(x, y) = a > 0 ? Color{r / a, g / a, b / a, a / n} : Color{};
    }
  return small;
}

// The tile: night blue, darker towards the bottom, warmed around the burst.
void PaintTile(Image& img, const Mask& tile, Point burst) {
  const float w = static_cast<float>(img.Width());
  for (int y = 0; y < img.Height(); ++y)
    for (int x = 0; x < img.Width(); ++x) {
      const float a = tile.Get(x, y);
      if (a <= 0) continue;
      const float t = (y + 0.5f) / w;
      img.Blend(x, y, Mix({0.13f, 0.10f, 0.33f, 1}, {0.02f, 0.03f, 0.10f, 1}, t), a);
      const float d = std::hypot(x + 0.5f - burst.x, y + 0.5f - burst.y) / (0.42f * w);
      const float warmth = 0.45f * std::exp(-2.5f * d * d);
      img.AddLight(x, y, {1.0f, 0.45f, 0.15f, 1}, warmth);
    }
  // A faint light rim gives the tile an edge on dark panels.
  const float rim = std::max(0.012f * w, 0.8f * w / 64.0f);
  Mask edge(img.Width(), img.Height());
  FillShape(edge, [&](float x, float y) {
    return std::abs(RoundedSquareDistance(x, y, w, 0.03f * w, 0.19f * w) + rim * 0.5f) - rim * 0.5f;
  });
  PaintMask(img, edge, {0.45f, 0.50f, 0.95f, 0.45f});
}

// Rays of sparks from the burst's centre: trails that widen from nothing
// near it, gold turning ember red, each ending in a white-hot head with a
// soft glow.
void PaintBurst(Image& img, Point c, int rays, float inner, float outer, float width) {
  for (int i = 0; i < rays; ++i) {
    const float angle = 2 * kPi * i / rays - kPi / 2;
    const float reach = i % 2 == 0 ? outer : outer * 0.8f;
    const float ca = std::cos(angle), sa = std::sin(angle);
    const Point head{c.x + reach * ca, c.y + reach * sa};
    Mask trail(img.Width(), img.Height());
    FillShape(trail, [&](float x, float y) {
      const float along = (x - c.x) * ca + (y - c.y) * sa, across = -(x - c.x) * sa + (y - c.y) * ca;
      const float t = std::clamp((along - inner) / (reach - inner), 0.0f, 1.0f);
      const float beyond = std::max({inner - along, along - reach, 0.0f});
      return std::hypot(beyond, std::abs(across)) - 0.5f * width * (0.25f + 0.75f * t);
    });
    for (int y = 0; y < img.Height(); ++y)
      for (int x = 0; x < img.Width(); ++x) {
        const float px = x + 0.5f, py = y + 0.5f;
        const float t = std::clamp((std::hypot(px - c.x, py - c.y) - inner) / (reach - inner), 0.0f, 1.0f);
        if (const float a = trail.Get(x, y); a > 0)
          img.Blend(x, y, Mix({1.0f, 0.86f, 0.45f, 1}, {1.0f, 0.40f, 0.16f, 1}, t), a * (0.3f + 0.7f * t));
        const float d = std::hypot(px - head.x, py - head.y) / width;
        if (d < 4) {
          img.Blend(x, y, {1.0f, 0.55f, 0.2f, 1}, 0.55f * std::exp(-0.5f * d * d / 1.8f));
          img.Blend(x, y, {1.0f, 0.96f, 0.82f, 1}, std::clamp(1.3f - d, 0.0f, 1.0f));
        }
      }
  }
}

// The title's "V": orange glow, dark rim, then the fire gradient with its
// glossy upper band.
void PaintLetter(Image& img, const TrueTypeFont& font, float size) {
  const int w = img.Width(), h = img.Height();
  const float em = FitEm(font, "V", 0, 0.64f * size, 0.56f * size);
  const float scale = font.ScaleForEm(em);
  float top = 0, bottom = 0;
  font.LineBounds("V", scale, &top, &bottom);
  const float baseline = 0.58f * size - (top + bottom) * 0.5f;
  const Mask letter = TextMask(font, "V", em, 0, w, h, size * 0.5f, baseline);

  PaintMask(img, Glow(letter, 0.02f * size, 0.05f * size, 0.85f), {1.0f, 0.42f, 0.12f, 1});
  PaintMask(img, Dilate(letter, std::max(0.025f * size, 0.6f * size / 64.0f)), {0.16f, 0.05f, 0.03f, 1});
  const float letterTop = baseline + top, letterBottom = baseline + bottom;
  for (int y = 0; y < h; ++y) {
    const float t = std::clamp((y + 0.5f - letterTop) / (letterBottom - letterTop), 0.0f, 1.0f);
    const float gloss = t < 0.42f ? 0.22f : 0.0f;
    const Color fill = Mix(TitleFill(t), {1, 1, 1, 1}, gloss);
    for (int x = 0; x < w; ++x)
      if (const float a = letter.Get(x, y); a > 0) img.Blend(x, y, fill, a);
  }
}

Image PaintIcon(int size, const TrueTypeFont& font, Rng& rng) {
  const int factor = size <= 64 ? 4 : 2;
  const int big = size * factor;
  const float w = static_cast<float>(big);
  Image img(big, big);
  Mask tile(big, big);
  FillShape(tile, [&](float x, float y) { return RoundedSquareDistance(x, y, w, 0.03f * w, 0.19f * w); });
  const Point burst{0.5f * w, 0.46f * w};
  PaintTile(img, tile, burst);

  if (size >= 48) {  // a few stars in the corners of the sky
    for (int i = 0; i < 14; ++i) {
      const Point p{static_cast<float>(rng.Range(0.1, 0.9)) * w, static_cast<float>(rng.Range(0.08, 0.5)) * w};
      if (std::hypot(p.x - burst.x, p.y - burst.y) < 0.38f * w) continue;
      const float b = 0.35f + 0.5f * static_cast<float>(rng.Uniform());
      Mask star(big, big);
      FillShape(star, [&](float x, float y) { return CircleDistance(x, y, p, 0.35f * factor); });
      PaintMask(img, star, {0.85f, 0.9f, 1.0f, b});
    }
  }
  if (size >= 32) {
    const int rays = size >= 64 ? 16 : size >= 48 ? 12 : 8;
    PaintBurst(img, burst, rays, 0.16f * w, 0.39f * w, std::max(0.022f * w, 0.9f * factor));
  }
  PaintLetter(img, font, w);
  if (size >= 32) PaintSparkle(img, {0.79f * w, 0.21f * w}, 0.12f * w, {1, 0.97f, 0.88f, 1});
  if (size >= 64) PaintSparkle(img, {0.20f * w, 0.30f * w}, 0.06f * w, {1, 0.92f, 0.75f, 1});

  // Nothing reaches past the tile's rounded edge.
  for (int y = 0; y < big; ++y)
    for (int x = 0; x < big; ++x) img.At(x, y).a = std::min(img.At(x, y).a, tile.Get(x, y));
  return Shrink(img, factor);
}

}  // namespace

bool MakeIcon(const Context& ctx) {
  TrueTypeFont bold;
  const std::string ttf = ctx.Font("DejaVuSans-Bold.ttf");
  if (!bold.Load(ttf)) {
    std::fprintf(stderr, "contentgen: cannot read the font %s\n", ttf.c_str());
    return false;
  }
  std::error_code error;
  std::filesystem::create_directories(ctx.Out("icon"), error);
  Rng rng(ctx.seed, "icon");
  for (int size : kSizes) {
    const std::string path = ctx.Out("icon/vantor_" + std::to_string(size) + ".png");
    if (error || !PaintIcon(size, bold, rng).WritePng(path, 4, false)) {
      std::fprintf(stderr, "contentgen: cannot write %s\n", path.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace contentgen
