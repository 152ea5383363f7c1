// The particle sheet: a 128 by 128 picture of sixteen 32 by 32 cells, white
// throughout, whose shapes live in the alpha channel alone, since every
// particle takes its colour from its vertex colours and is added onto the
// screen.
//
// Two cells are load-bearing: the soft round glow at (96, 32), which is the
// game's one particle picture (frame 7 of the sheet read as a strip), and
// the thin ring at (96, 64), which the explosions scale with their catching
// radius. The other cells are further glows, sparks and stars in the same
// style. Every shape falls to zero before its cell's border, so filtering
// never pulls a neighbour's pixels into a particle.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>

#include "content.h"
#include "image.h"
#include "noise.h"
#include "rng.h"

namespace contentgen {
namespace {

constexpr int kCell = 32;
constexpr float kCentre = 16.0f;
constexpr float kPi = std::numbers::pi_v<float>;

// 1 inside, falling smoothly to 0 at distance `outer` from the centre.
float Window(float d, float outer) {
  const float t = std::clamp(d / outer, 0.0f, 1.0f);
  return (1 - t * t) * (1 - t * t);
}

float Gauss(float v, float sigma) { return std::exp(-0.5f * v * v / (sigma * sigma)); }

// A spike along direction angle: bright on the axis, tapering to its tip.
float Spike(float dx, float dy, float angle, float length, float width) {
  const float ca = std::cos(angle), sa = std::sin(angle);
  const float along = dx * ca + dy * sa, across = -dx * sa + dy * ca;
  const float t = std::abs(along) / length;
  if (t >= 1) return 0;
  return Gauss(across, width * (1 - 0.6f * t)) * std::pow(1 - t, 2.0f);
}

float Star(float dx, float dy, int points, float length, float width, float rotation) {
  float a = 0;
  for (int i = 0; i < points / 2; ++i) a = std::max(a, Spike(dx, dy, rotation + kPi * i / (points / 2), length, width));
  return a;
}

// Biweight bump of half-width w around v = 0, zero beyond.
float Bump(float v, float w) {
  const float t = v / w;
  return std::abs(t) >= 1 ? 0 : (1 - t * t) * (1 - t * t);
}

using Shape = std::function<float(float dx, float dy)>;

Shape CellShape(int index, const ValueNoise& noise, Rng& rng) {
  switch (index) {
    case 0:  // a hot little dot with a short halo
      return [](float dx, float dy) {
        const float d = std::hypot(dx, dy);
        return (Gauss(d, 1.6f) + 0.35f * Gauss(d, 4.5f)) * Window(d, 15.5f);
      };
    case 1:  // four-pointed sparkle
      return [](float dx, float dy) {
        const float d = std::hypot(dx, dy);
        return std::min(1.0f, Gauss(d, 2.0f) + Star(dx, dy, 4, 15.0f, 0.9f, 0) + 0.25f * Gauss(d, 5.0f)) *
               Window(d, 15.5f);
      };
    case 2:  // small soft glow
      return [](float dx, float dy) {
        const float d = std::hypot(dx, dy);
        return std::pow(std::max(0.0f, 1 - d / 10.0f), 2.0f);
      };
    case 3:  // eight-pointed star
      return [](float dx, float dy) {
        const float d = std::hypot(dx, dy);
        const float main = Star(dx, dy, 4, 15.0f, 0.8f, 0);
        const float minor = Star(dx, dy, 4, 9.0f, 0.7f, kPi / 4) * 0.7f;
        return std::min(1.0f, Gauss(d, 1.8f) + std::max(main, minor) + 0.2f * Gauss(d, 5.0f)) * Window(d, 15.5f);
      };
    case 4:  // spark: a short bright streak
      return [](float dx, float dy) {
        const float v = std::exp(-std::pow(dx / 10.0f, 2.0f) - std::pow(dy / 1.4f, 2.0f));
        return std::min(1.0f, 1.3f * v) * Window(std::hypot(dx, dy), 15.5f);
      };
    case 5:  // comet: bright head, fading tail to the left
      return [](float dx, float dy) {
        const float head = Gauss(std::hypot(dx - 7, dy), 2.2f);
        const float t = std::clamp((dx + 14) / 21.0f, 0.0f, 1.0f);
        const float tail = dx < 7 ? t * t * Gauss(dy, 0.6f + 1.2f * t) : 0;
        return std::min(1.0f, head + tail) * Window(std::hypot(dx, dy), 15.5f);
      };
    case 6:  // medium glow with a hot core
      return [](float dx, float dy) {
        const float d = std::hypot(dx, dy);
        return std::min(1.0f, 0.7f * Gauss(d, 2.5f) + 0.6f * std::pow(std::max(0.0f, 1 - d / 14.0f), 2.0f));
      };
    case 7:  // THE particle: a soft round glow fading to nothing at the cell's edge
      return [](float dx, float dy) {
        // Full in the middle so that even a small particle shines, then a
        // long soft shoulder down to zero.
        const float d = std::hypot(dx, dy);
        const float t = std::min(1.0f, d / 15.5f);
        const float body = (1 - t * t) * (1 - t * t) * (1 - t);
        return std::min(1.0f, 0.85f * body + 0.35f * Gauss(d, 3.0f));
      };
    case 8:  // wide, faint glow filling the cell
      return [](float dx, float dy) {
        const float d = std::hypot(dx, dy);
        return 0.55f * Gauss(d, 6.0f) * Window(d, 15.5f);
      };
    case 9:  // six-pointed star
      return [](float dx, float dy) {
        const float d = std::hypot(dx, dy);
        return std::min(1.0f, Gauss(d, 1.8f) + Star(dx, dy, 6, 14.0f, 0.8f, kPi / 2) + 0.2f * Gauss(d, 4.5f)) *
               Window(d, 15.5f);
      };
    case 10:  // soft, thick shock ring
      return [](float dx, float dy) {
        const float d = std::hypot(dx, dy);
        return 0.8f * Bump(d - 11.0f, 4.5f);
      };
    case 11:  // THE ring: thin and bright, clear inside and outside
      return [](float dx, float dy) { return std::min(1.0f, 1.35f * Bump(std::hypot(dx, dy) - 14.0f, 1.5f)); };
    case 12: {  // smoke puff: a faint lumpy cloud
      const double ox = rng.Range(0, 100), oy = rng.Range(0, 100);
      return [&noise, ox, oy](float dx, float dy) {
        const float d = std::hypot(dx, dy);
        const float lumps = static_cast<float>(noise.Fractal(ox + dx / 7.0, oy + dy / 7.0, 4));
        return std::clamp(0.55f * Window(d, 15.0f) * (0.4f + lumps), 0.0f, 1.0f) * Window(d, 15.5f);
      };
    }
    case 13: {  // glitter: a cluster of tiny sparks
      struct Dot {
        float x, y, r, a;
      };
      std::vector<Dot> dots;
      for (int i = 0; i < 9; ++i) {
        const float angle = static_cast<float>(rng.Range(0, 2 * kPi)), dist = static_cast<float>(rng.Range(0, 10));
        dots.push_back({dist * std::cos(angle), dist * std::sin(angle), static_cast<float>(rng.Range(0.7, 1.5)),
                        static_cast<float>(rng.Range(0.5, 1.0))});
      }
      return [dots](float dx, float dy) {
        float a = 0;
        for (const Dot& d : dots) a += d.a * Gauss(std::hypot(dx - d.x, dy - d.y), d.r);
        return std::min(1.0f, a) * Window(std::hypot(dx, dy), 15.5f);
      };
    }
    case 14:  // long thin crossed flare
      return [](float dx, float dy) {
        const float d = std::hypot(dx, dy);
        return std::min(1.0f, Gauss(d, 1.5f) + Star(dx, dy, 4, 15.0f, 0.6f, kPi / 4)) * Window(d, 15.5f);
      };
    default:  // ring with a halo
      return [](float dx, float dy) {
        const float d = std::hypot(dx, dy);
        return std::min(1.0f, Bump(d - 10.0f, 1.6f) + 0.35f * Bump(d - 10.0f, 5.0f));
      };
  }
}

}  // namespace

bool MakeParticles(const Context& ctx) {
  Rng rng(ctx.seed, "particles");
  const ValueNoise noise(ctx.seed ^ 0xfa11ull);
  Image img(4 * kCell, 4 * kCell, {1, 1, 1, 0});
  constexpr int kSub = 4;  // 4 x 4 samples per pixel smooth the thin shapes
  for (int cell = 0; cell < 16; ++cell) {
    const Shape shape = CellShape(cell, noise, rng);
    const int cx = (cell % 4) * kCell, cy = (cell / 4) * kCell;
    for (int y = 0; y < kCell; ++y)
      for (int x = 0; x < kCell; ++x) {
        float sum = 0;
        for (int sy = 0; sy < kSub; ++sy)
          for (int sx = 0; sx < kSub; ++sx) {
            const float px = x + (sx + 0.5f) / kSub, py = y + (sy + 0.5f) / kSub;
            sum += shape(px - kCentre, py - kCentre);
          }
        // The outermost pixels of every cell stay clear.
        const bool border = x == 0 || y == 0 || x == kCell - 1 || y == kCell - 1;
        img.At(cx + x, cy + y).a = border ? 0 : std::clamp(sum / (kSub * kSub), 0.0f, 1.0f);
      }
  }
  if (!img.WritePng(ctx.Out("particles.png"), 4, false)) {
    std::fprintf(stderr, "contentgen: cannot write %s\n", ctx.Out("particles.png").c_str());
    return false;
  }
  return true;
}

}  // namespace contentgen
