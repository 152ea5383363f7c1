// The title logo and the studio's splash picture.
//
// The title is "Vantor" in heavy lettering with a warm firework gradient,
// a dark rim and an orange glow that fades to nothing, plus a few sparkles,
// on a transparent background: it is drawn over the night sky above the
// menu. The splash shows the emblem of our studio, Quartz Kite, a faceted
// crystal kite in a starry badge, and its name; it is drawn over black.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>

#include "content.h"
#include "image.h"
#include "lettering.h"
#include "rng.h"
#include "shapes.h"
#include "text.h"

namespace contentgen {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;

bool WriteTitle(const Context& ctx, const TrueTypeFont& font) {
  const int w = 550, h = 143;
  const std::string title = "Vantor";
  const float tracking = 4;
  const float em = FitEm(font, title, tracking, 460, 84);
  const float scale = font.ScaleForEm(em);
  float top = 0, bottom = 0;
  font.LineBounds(title, scale, &top, &bottom);
  const float baseline = std::round(h * 0.5f - (top + bottom) * 0.5f);
  const Mask letters = TextMask(font, title, em, tracking, w, h, w * 0.5f, baseline);

  Image img(w, h);
  PaintMask(img, Glow(letters, 4, 8, 0.75f), {1.0f, 0.42f, 0.12f, 1});
  PaintMask(img, Dilate(letters, 2.6f), {0.16f, 0.05f, 0.03f, 1});
  // The fill runs from pale gold at the top of the letters to ember red.
  const float textTop = baseline + top, textBottom = baseline + bottom;
  for (int y = 0; y < h; ++y) {
    const float t = std::clamp((y + 0.5f - textTop) / (textBottom - textTop), 0.0f, 1.0f);
    const Color fill = TitleFill(t);
    for (int x = 0; x < w; ++x) {
      const float a = letters.Get(x, y);
      if (a <= 0) continue;
      // A glossy band across the upper part, bending with the width.
      const float bend = 6.0f * std::sin(kPi * x / w);
      const float gloss = (y + 0.5f) < textTop + (textBottom - textTop) * 0.42f - bend ? 0.22f : 0.0f;
      img.Blend(x, y, Mix(fill, {1, 1, 1, 1}, gloss), a);
    }
  }
  // Sparkles in the dark gaps above the small letters, where they show.
  PaintSparkle(img, {w * 0.5f - 118.0f, textTop + 2}, 19, {1, 0.97f, 0.88f, 1});
  PaintSparkle(img, {w * 0.5f + 168.0f, textTop + 6}, 13, {1, 0.92f, 0.75f, 1});
  PaintSparkle(img, {w * 0.5f + 38.0f, textTop - 8}, 9, {1, 1, 1, 1});
  FadeBorder(img, 6);
  BleedColour(img);
  return img.WritePng(ctx.Out("vtr_Logo.png"), 4, false);
}

// The crystal kite: four facets in shades of blue, bright spars and a tail.
void PaintKite(Image& img, Point top, Point right, Point bottom, Point left, Point centre) {
  Mask kite(img.Width(), img.Height());
  const std::vector<Point> outline = {top, right, bottom, left};
  FillShape(kite, [&](float x, float y) { return ConvexDistance(x, y, outline); });
  const Color facets[4] = {{0.80f, 0.96f, 1.0f, 1}, {0.42f, 0.72f, 1.0f, 1}, {0.16f, 0.24f, 0.72f, 1},
                           {0.30f, 0.46f, 0.96f, 1}};
  for (int y = 0; y < img.Height(); ++y)
    for (int x = 0; x < img.Width(); ++x) {
      const float a = kite.Get(x, y);
      if (a <= 0) continue;
      const bool rightSide = x + 0.5f >= centre.x, lowerSide = y + 0.5f >= centre.y;
      const Color c = facets[rightSide ? (lowerSide ? 2 : 1) : (lowerSide ? 3 : 0)];
      // A faint sheen that grows towards the top gives the facets depth.
      const float sheen = std::clamp((bottom.y - y) / (bottom.y - top.y), 0.0f, 1.0f) * 0.18f;
      img.Blend(x, y, Mix(c, {1, 1, 1, 1}, sheen), a);
    }
  Mask spars(img.Width(), img.Height());
  FillShape(spars, [&](float x, float y) {
    return std::min({SegmentDistance(x, y, top, bottom, 2.2f), SegmentDistance(x, y, left, right, 2.2f),
                     SegmentDistance(x, y, top, right, 2.0f), SegmentDistance(x, y, right, bottom, 2.0f),
                     SegmentDistance(x, y, bottom, left, 2.0f), SegmentDistance(x, y, left, top, 2.0f)});
  });
  PaintMask(img, spars, {0.92f, 0.98f, 1.0f, 0.9f});
  // The tail: a gentle S curve with three small bows.
  Mask tail(img.Width(), img.Height());
  Point previous = bottom;
  for (int i = 1; i <= 40; ++i) {
    const float t = i / 40.0f;
    const Point p{bottom.x + 62 * t + 14 * std::sin(t * 2 * kPi), bottom.y + 44 * t};
    FillShape(tail, [&](float x, float y) { return SegmentDistance(x, y, previous, p, 2.0f); });
    previous = p;
    if (i % 12 == 0) {
      const std::vector<Point> leftWing = {{p.x - 7, p.y - 4}, p, {p.x - 7, p.y + 4}};
      const std::vector<Point> rightWing = {{p.x + 7, p.y - 4}, {p.x + 7, p.y + 4}, p};
      FillShape(tail, [&](float x, float y) {
        return std::min(ConvexDistance(x, y, leftWing), ConvexDistance(x, y, rightWing));
      });
    }
  }
  PaintMask(img, tail, {0.70f, 0.86f, 1.0f, 0.9f});
}

bool WriteSplash(const Context& ctx, const TrueTypeFont& font) {
  const int w = 500, h = 558;
  Rng rng(ctx.seed, "splash");
  Image img(w, h);
  const Point centre{250, 215};
  const float radius = 150;

  Mask ring(w, h);
  FillShape(ring, [&](float x, float y) { return RingDistance(x, y, centre, radius, 5); });
  PaintMask(img, Glow(ring, 2, 9, 0.55f), {0.30f, 0.70f, 1.0f, 1});
  // The badge: a deep blue disc, lighter at its heart, with a few stars.
  Mask disc(w, h);
  FillShape(disc, [&](float x, float y) { return CircleDistance(x, y, centre, radius - 1); });
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const float a = disc.Get(x, y);
      if (a <= 0) continue;
      const float d = std::hypot(x + 0.5f - centre.x, y + 0.5f - centre.y) / radius;
      img.Blend(x, y, Mix({0.08f, 0.12f, 0.30f, 1}, {0.02f, 0.03f, 0.09f, 1}, d * d), a);
    }
  for (int i = 0; i < 60; ++i) {
    const float angle = static_cast<float>(rng.Range(0, 2 * kPi));
    const float dist = static_cast<float>(std::sqrt(rng.Uniform())) * (radius - 12);
    const Point p{centre.x + dist * std::cos(angle), centre.y + dist * std::sin(angle)};
    const float b = 0.25f + 0.6f * static_cast<float>(std::pow(rng.Uniform(), 3.0));
    img.Blend(static_cast<int>(p.x), static_cast<int>(p.y), {0.85f, 0.9f, 1.0f, b});
  }
  // The ring's colour turns from cyan at the top to violet at the bottom.
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const float a = ring.Get(x, y);
      if (a <= 0) continue;
      const float t = std::clamp((y - (centre.y - radius)) / (2 * radius), 0.0f, 1.0f);
      img.Blend(x, y, Mix({0.55f, 0.95f, 1.0f, 1}, {0.62f, 0.40f, 1.0f, 1}, t), a);
    }
  PaintKite(img, {250, 100}, {314, 180}, {250, 300}, {186, 180}, {250, 180});
  PaintSparkle(img, {318, 118}, 16, {1, 1, 1, 1});
  PaintSparkle(img, {176, 262}, 8, {0.85f, 0.95f, 1, 1});

  const std::string name = "QUARTZ KITE";
  const float nameEm = FitEm(font, name, 5, 440, 44);
  const Mask nameMask = TextMask(font, name, nameEm, 5, w, h, w * 0.5f, 448);
  PaintMask(img, Glow(nameMask, 1, 6, 0.45f), {0.30f, 0.65f, 1.0f, 1});
  PaintMask(img, nameMask, {0.90f, 0.96f, 1.0f, 1});

  const std::string games = "GAMES";
  const float gamesEm = 24;
  const float gamesTracking = 12;
  const Mask gamesMask = TextMask(font, games, gamesEm, gamesTracking, w, h, w * 0.5f, 496);
  PaintMask(img, gamesMask, {0.55f, 0.75f, 1.0f, 1});
  const float half = font.LineWidth(games, font.ScaleForEm(gamesEm), gamesTracking) * 0.5f + 18;
  Mask rules(w, h);
  FillShape(rules, [&](float x, float y) {
    return std::min(SegmentDistance(x, y, {w * 0.5f - half - 90, 487}, {w * 0.5f - half, 487}, 1.5f),
                    SegmentDistance(x, y, {w * 0.5f + half, 487}, {w * 0.5f + half + 90, 487}, 1.5f));
  });
  PaintMask(img, rules, {0.45f, 0.65f, 1.0f, 0.8f});
  FadeBorder(img, 6);
  BleedColour(img);
  return img.WritePng(ctx.Out("qzk_logo.png"), 4, false);
}

}  // namespace

bool MakeLogos(const Context& ctx) {
  TrueTypeFont bold;
  const std::string ttf = ctx.Font("DejaVuSans-Bold.ttf");
  if (!bold.Load(ttf)) {
    std::fprintf(stderr, "contentgen: cannot read the font %s\n", ttf.c_str());
    return false;
  }
  if (!WriteTitle(ctx, bold) || !WriteSplash(ctx, bold)) {
    std::fprintf(stderr, "contentgen: cannot write the logos into %s\n", ctx.outDir.c_str());
    return false;
  }
  return true;
}

}  // namespace contentgen
