// The night sky behind the play field and the dark side panels.
//
// The sky stays dark (nothing above about a fifth of full brightness away
// from the stars) so that the additive particles of the rockets and bursts
// always shine against it; its interest is in the detail: a faint milky
// band, stars of many strengths, hills and a sleeping town along the bottom
// edge where the rockets rise from.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "content.h"
#include "image.h"
#include "noise.h"
#include "rng.h"

namespace contentgen {
namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;

Color SkyGradient(float y) {
  const float t = y / kHeight;
  const Color top{0.004f, 0.006f, 0.022f, 1};
  const Color low{0.050f, 0.085f, 0.235f, 1};
  Color c = Mix(top, low, std::pow(t, 1.7f));
  // A violet haze of the town's lights just above the roofs.
  const float haze = std::exp(-std::pow((y - 705.0f) / 75.0f, 2.0f));
  c.r += 0.055f * haze;
  c.g += 0.035f * haze;
  c.b += 0.075f * haze;
  return c;
}

void PaintMilkyBand(Image& img, const ValueNoise& noise) {
  // A band from the lower left to the upper right, broken up by noise.
  const float ax = 80, ay = 700, bx = 1000, by = 40;
  const float len = std::hypot(bx - ax, by - ay);
  const float nx = -(by - ay) / len, ny = (bx - ax) / len;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const float d = (x - ax) * nx + (y - ay) * ny;
      const float wobble = 40.0f * static_cast<float>(noise.Fractal(x / 260.0, y / 260.0, 3) - 0.5);
      const float band = std::exp(-std::pow((d + wobble) / 95.0f, 2.0f));
      if (band < 0.01f) continue;
      const float cloud = static_cast<float>(noise.Fractal(x / 70.0 + 5, y / 70.0 + 9, 5));
      const float lane = static_cast<float>(noise.Fractal(x / 40.0 + 50, y / 40.0 + 3, 4));
      const float dust = std::clamp((lane - 0.48f) / 0.14f, 0.0f, 1.0f);  // dark lanes of dust
      const float v = band * std::max(0.0f, cloud - 0.35f) * (1.0f - 0.55f * dust);
      img.AddLight(x, y, {0.55f, 0.62f, 1.0f, 1}, 0.12f * v);
    }
}

// A star of a given brightness as a small Gaussian spot of light.
void PaintStar(Image& img, float cx, float cy, float brightness, float sigma, Color tint) {
  const int r = static_cast<int>(std::ceil(sigma * 3));
  const int ix = static_cast<int>(std::floor(cx)), iy = static_cast<int>(std::floor(cy));
  for (int y = iy - r; y <= iy + r; ++y)
    for (int x = ix - r; x <= ix + r; ++x) {
      const float dx = x + 0.5f - cx, dy = y + 0.5f - cy;
      const float v = std::exp(-(dx * dx + dy * dy) / (2 * sigma * sigma));
      img.AddLight(x, y, tint, brightness * v);
    }
}

// Thin cross-shaped glints on the brightest stars.
void PaintGlint(Image& img, float cx, float cy, float length, float brightness, Color tint) {
  for (int i = -static_cast<int>(length); i <= static_cast<int>(length); ++i) {
    if (i == 0) continue;
    const float fade = std::pow(1.0f - std::abs(i) / (length + 1), 2.0f) * brightness;
    img.AddLight(static_cast<int>(cx) + i, static_cast<int>(cy), tint, fade);
    img.AddLight(static_cast<int>(cx), static_cast<int>(cy) + i, tint, fade);
  }
}

void PaintStars(Image& img, Rng& rng) {
  const Color tints[] = {{0.78f, 0.86f, 1.0f, 1}, {1, 1, 1, 1}, {1.0f, 0.92f, 0.80f, 1}, {0.85f, 0.9f, 1.0f, 1}};
  for (int i = 0; i < 1100; ++i) {
    const float x = static_cast<float>(rng.Range(0, kWidth));
    const float y = static_cast<float>(rng.Range(0, 700));
    // Fewer stars low down, where the air and the town's haze hide them.
    if (rng.Uniform() < std::pow(y / 700.0f, 3.0f)) continue;
    const float u = static_cast<float>(rng.Uniform());
    const float brightness = 0.10f + 0.9f * std::pow(u, 7.0f);
    const float sigma = 0.42f + 0.5f * brightness;
    const Color tint = tints[rng.Int(0, 3)];
    PaintStar(img, x, y, brightness * 1.6f, sigma, tint);
    if (brightness > 0.72f) PaintGlint(img, x, y, 4 + 7 * brightness, 0.22f * brightness, tint);
  }
}

// A far ridge of hills, soft-edged, in a blue a little lighter than black.
void PaintHills(Image& img, const ValueNoise& noise) {
  const Color hill{0.026f, 0.040f, 0.100f, 1};
  for (int x = 0; x < kWidth; ++x) {
    const float top = 712.0f - 70.0f * static_cast<float>(noise.Fractal(x / 330.0 + 3, 0.5, 4)) +
                      10.0f * std::sin(x / 150.0f);
    for (int y = static_cast<int>(top) - 1; y < kHeight; ++y) {
      const float cover = std::clamp(y + 1.0f - top, 0.0f, 1.0f);
      const float shade = std::clamp((y - top) / 120.0f, 0.0f, 1.0f);
      img.Blend(x, y, Mix(hill, {0.008f, 0.012f, 0.030f, 1}, shade), cover);
    }
  }
}

struct Building {
  int left, right, top;
  bool antenna;
};

// The town: rows of roofs with a few lit windows, the nearest row darkest.
void PaintTown(Image& img, Rng& rng) {
  struct Row {
    int baseTop, spread;
    Color wall;
    float windowLight;
  };
  const Row rows[] = {{712, 60, {0.013f, 0.019f, 0.048f, 1}, 0.30f}, {736, 44, {0.004f, 0.006f, 0.016f, 1}, 0.55f}};
  for (const Row& row : rows) {
    std::vector<Building> town;
    for (int x = -8; x < kWidth + 8;) {
      Building b;
      b.left = x;
      b.right = x + rng.Int(16, 58);
      // Taller blocks gather in a few clusters, like a small town centre.
      const float centre = std::exp(-std::pow((x - 330.0f) / 140.0f, 2.0f)) +
                           0.8f * std::exp(-std::pow((x - 760.0f) / 110.0f, 2.0f));
      b.top = row.baseTop - static_cast<int>(rng.Range(0, row.spread) * (0.45 + centre));
      b.antenna = rng.Chance(0.12);
      town.push_back(b);
      x = b.right + (rng.Chance(0.25) ? rng.Int(2, 14) : 0);
    }
    for (const Building& b : town) {
      for (int y = b.top; y < kHeight; ++y)
        for (int x = b.left; x < b.right; ++x) img.Blend(x, y, row.wall);
      if (b.antenna) {
        const int ax = (b.left + b.right) / 2, h = rng.Int(8, 22);
        for (int y = b.top - h; y < b.top; ++y) img.Blend(ax, y, row.wall);
        PaintStar(img, ax + 0.5f, b.top - h + 0.5f, 0.5f, 0.7f, {1.0f, 0.25f, 0.15f, 1});
      }
      for (int y = b.top + 4; y + 2 < kHeight - 6; y += 6)
        for (int x = b.left + 3; x + 2 < b.right - 2; x += 5) {
          if (!rng.Chance(0.10)) continue;
          const Color warm{1.0f, 0.78f, 0.42f, 1}, cool{0.70f, 0.82f, 1.0f, 1};
          const Color c = Mix(rng.Chance(0.8) ? warm : cool, row.wall, static_cast<float>(rng.Range(0.0, 0.5)));
          const Color lit{c.r, c.g, c.b, row.windowLight};
          img.Blend(x, y, lit);
          img.Blend(x + 1, y, lit);
          img.Blend(x, y + 1, lit, 0.8f);
          img.Blend(x + 1, y + 1, lit, 0.8f);
        }
    }
  }
  // The ground line in front of the town, where the rockets come from.
  for (int y = 752; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) img.Blend(x, y, {0.002f, 0.003f, 0.008f, 1}, std::min(1.0f, (y - 751) / 4.0f));
}

bool WriteBackground(const Context& ctx) {
  Rng rng(ctx.seed, "background");
  const ValueNoise noise(ctx.seed ^ 0x5eedull);
  Image img(kWidth, kHeight);
  for (int y = 0; y < kHeight; ++y) {
    const Color c = SkyGradient(y + 0.5f);
    for (int x = 0; x < kWidth; ++x) img.At(x, y) = c;
  }
  PaintMilkyBand(img, noise);
  PaintStars(img, rng);
  PaintHills(img, noise);
  PaintTown(img, rng);
  return img.WritePng(ctx.Out("vtr_bg_full_1024.png"), 3, true);
}

// The side panel is drawn at both edges of the screen from the same picture,
// so it carries a faint edge line on both sides: one of them is always the
// edge that faces the play field.
bool WriteSidebar(const Context& ctx) {
  const int w = 150, h = kHeight;
  Image img(w, h, {0, 0, 0, 0.55f});
  const Color edge{0.42f, 0.52f, 0.85f, 1};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int d = std::min(x, w - 1 - x);
      const float line = d == 1 ? 0.30f : (d == 0 ? 0.10f : 0.12f * std::exp(-(d - 1) / 2.5f));
      img.Blend(x, y, edge, line);
    }
  return img.WritePng(ctx.Out("sidebar_10.png"), 4, false);
}

}  // namespace

bool MakeSky(const Context& ctx) {
  if (!WriteBackground(ctx) || !WriteSidebar(ctx)) {
    std::fprintf(stderr, "contentgen: cannot write the sky pictures into %s\n", ctx.outDir.c_str());
    return false;
  }
  return true;
}

}  // namespace contentgen
