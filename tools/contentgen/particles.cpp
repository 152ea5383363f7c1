// The particle sheet: a 128 by 128 picture of sixteen 32 by 32 cells, white
// throughout, whose shapes live in the alpha channel alone, since every
// particle takes its colour from its vertex colours and is added onto the
// screen.
//
// Two cells are load-bearing: the spark at (96, 32), which is the
// game's one particle picture (frame 7 of the sheet read as a strip), and
// the ring at (96, 64), which the explosions scale with their catching
// radius. The ring alone has colour of its own, since it is drawn white: a
// circle of golden sparks with white-hot heads, some of them glinting, each
// streaking out from a warm core, on a faint band of glow, so that a burst
// reads as fireworks: a flash while it is small and bright, then a widening
// star of sparks whose heads mark how far it reaches. The other cells
// are further glows, sparks and stars in the same style. Every shape falls
// to zero before its cell's border, so filtering never pulls a neighbour's
// pixels into a particle.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>
#include <utility>
#include <vector>

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
    case 7:  // THE particle: a hot spark with a soft glow, nothing at the cell's edge
      return [](float dx, float dy) {
        // A wide core at full strength, so that even a particle drawn at
        // half size shows a bright point through its fading colour; four
        // thin rays, so that a burst's few particles read as sparks; and a
        // soft shoulder down to zero. The core takes the light the shoulder
        // gives up: the cell holds as much light in all as a plain glow of
        // this size, so a dense trail of them shines no brighter.
        const float d = std::hypot(dx, dy);
        const float t = std::min(1.0f, d / 15.5f);
        const float body = (1 - t * t) * (1 - t * t) * (1 - t);
        const float c = std::clamp((8.0f - d) / 4.5f, 0.0f, 1.0f);  // 1 within 3.5 px, 0 beyond 8
        const float core = c * c * (3 - 2 * c);
        return std::min(1.0f, core + 0.25f * body + 0.5f * Star(dx, dy, 4, 15.0f, 0.8f, 0));
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
    case 11:  // THE ring: in colour, see SparkRing
      return [](float, float) { return 0.0f; };
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

// The ring cell in colour: sparks spaced around a circle, large and small
// in turn, each flying outwards with a white-hot head and a long golden
// trail that reddens and thins back towards the middle, some of the large
// ones crossed by a glint, over a faint band of glow, around a warm core.
// Dark between the sparks and clear outside the circle.
class SparkRing {
 public:
  explicit SparkRing(Rng& rng) {
    for (int i = 0; i < kSparks; ++i) {
      const bool large = i % 2 == 0;
      const float angle = 2 * kPi * i / kSparks + static_cast<float>(rng.Range(-0.1, 0.1));
      Spark s;
      s.cx = std::cos(angle);
      s.sy = std::sin(angle);
      s.radius = kRadius + (large ? 0.0f : static_cast<float>(rng.Range(-0.8, 0.3)));
      s.brightness = static_cast<float>(large ? rng.Range(0.85, 1.0) : rng.Range(0.45, 0.7));
      s.size = large ? 0.95f : 0.65f;
      s.trail = static_cast<float>(large ? rng.Range(7.5, 9.5) : rng.Range(5.0, 7.0));
      s.glint = large && i % 4 == 0;
      sparks_.push_back(s);
    }
  }

  // Colour and coverage at (dx, dy) from the cell's centre.
  Color At(float dx, float dy) const {
    const float d = std::hypot(dx, dy);
    const float band = 0.12f * Gauss(d - kRadius, 0.9f) + 0.06f * Bump(d - 12.0f, 4.0f);
    const float core = 0.7f * Gauss(d, 2.4f) + 0.15f * Gauss(d, 5.0f);
    float hot = 0, trails = 0, ember = 0;  // light of the heads, the trails, and the trails' red ends
    for (const Spark& s : sparks_) {
      const float along = dx * s.cx + dy * s.sy, across = -dx * s.sy + dy * s.cx;
      const float fromHead = along - s.radius;
      hot += s.brightness * Gauss(std::hypot(fromHead, across), s.size);
      if (s.glint) hot += s.brightness * Star(fromHead, across, 4, 2.6f, 0.35f, 0);
      const float t = -fromHead / s.trail;  // 0 at the head, 1 at the trail's end
      if (t > 0 && t < 1) {
        const float light = s.brightness * 1.1f * (1 - t) * Gauss(across, s.size * (0.8f - 0.5f * t));
        trails += light * (1 - t);
        ember += light * t;
      }
    }
    const float light = band + core + hot + trails + ember;
    Color c{};
    if (light > 0) {
      for (auto [part, tint] : {std::pair{band, kGold}, {core, kWarmWhite}, {hot, Color{1, 1, 1, 1}}, {trails, kGold}, {ember, kEmber}}) {
        c.r += tint.r * part / light;
        c.g += tint.g * part / light;
        c.b += tint.b * part / light;
      }
    }
    const float edge = std::clamp((15.5f - d) / 1.3f, 0.0f, 1.0f);  // nothing reaches the border
    c.a = std::min(1.0f, light) * edge * edge * (3 - 2 * edge);
    return c;
  }

 private:
  struct Spark {
    float cx = 1, sy = 0, radius = 0, brightness = 0, size = 0, trail = 0;
    bool glint = false;
  };
  static constexpr int kSparks = 16;
  static constexpr float kRadius = 13.2f;
  static constexpr Color kGold{1.0f, 0.82f, 0.45f, 1};
  static constexpr Color kEmber{1.0f, 0.50f, 0.22f, 1};
  static constexpr Color kWarmWhite{1.0f, 0.93f, 0.75f, 1};
  std::vector<Spark> sparks_;
};

}  // namespace

bool MakeParticles(const Context& ctx) {
  Rng rng(ctx.seed, "particles");
  const ValueNoise noise(ctx.seed ^ 0xfa11ull);
  Image img(4 * kCell, 4 * kCell, {1, 1, 1, 0});
  constexpr int kSub = 4;  // 4 x 4 samples per pixel smooth the thin shapes
  Rng ringRng(ctx.seed, "ring");
  const SparkRing ring(ringRng);
  for (int cell = 0; cell < 16; ++cell) {
    const Shape shape = CellShape(cell, noise, rng);
    const bool isRing = cell == 11;
    const int cx = (cell % 4) * kCell, cy = (cell / 4) * kCell;
    for (int y = 0; y < kCell; ++y)
      for (int x = 0; x < kCell; ++x) {
        // Coverage is averaged; colour (the ring's only) weighted by it.
        float sum = 0, r = 0, g = 0, b = 0;
        for (int sy = 0; sy < kSub; ++sy)
          for (int sx = 0; sx < kSub; ++sx) {
            const float px = x + (sx + 0.5f) / kSub - kCentre, py = y + (sy + 0.5f) / kSub - kCentre;
            const Color c = isRing ? ring.At(px, py) : Color{1, 1, 1, shape(px, py)};
            sum += c.a;
            r += c.r * c.a;
            g += c.g * c.a;
            b += c.b * c.a;
          }
        // The outermost pixels of every cell stay clear.
        const bool border = x == 0 || y == 0 || x == kCell - 1 || y == kCell - 1;
        Color& texel = img.At(cx + x, cy + y);
        texel.a = border ? 0 : std::clamp(sum / (kSub * kSub), 0.0f, 1.0f);
        if (isRing && sum > 0) texel = {r / sum, g / sum, b / sum, texel.a};
      }
  }
  if (!img.WritePng(ctx.Out("particles.png"), 4, false)) {
    std::fprintf(stderr, "contentgen: cannot write %s\n", ctx.Out("particles.png").c_str());
    return false;
  }
  return true;
}

}  // namespace contentgen
