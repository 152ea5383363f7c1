#include "image.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

namespace contentgen {

Color Mix(Color a, Color b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Image::Image(int width, int height, Color fill)
    : width_(width), height_(height), px_(static_cast<size_t>(width) * height, fill) {}

void Image::Blend(int x, int y, Color c, float coverage) {
  if (!Inside(x, y)) return;
  const float sa = std::clamp(c.a * coverage, 0.0f, 1.0f);
  if (sa <= 0) return;
  Color& d = At(x, y);
  const float da = d.a * (1 - sa);
  const float oa = sa + da;
  d.r = (c.r * sa + d.r * da) / oa;
  d.g = (c.g * sa + d.g * da) / oa;
  d.b = (c.b * sa + d.b * da) / oa;
  d.a = oa;
}

void Image::AddLight(int x, int y, Color c, float amount) {
  if (!Inside(x, y)) return;
  Color& d = At(x, y);
  const float k = c.a * amount;
  d.r += c.r * k;
  d.g += c.g * k;
  d.b += c.b * k;
}

Color Image::Sample(float x, float y) const {
  const float fx = x - 0.5f, fy = y - 0.5f;
  const float x0f = std::floor(fx), y0f = std::floor(fy);
  const float tx = fx - x0f, ty = fy - y0f;
  if (x0f < -2 || y0f < -2 || x0f > width_ + 1 || y0f > height_ + 1) return {};
  const int x0 = static_cast<int>(x0f), y0 = static_cast<int>(y0f);
  // Straight alpha is mixed premultiplied so transparent texels add no colour.
  float r = 0, g = 0, b = 0, a = 0;
  const int xs[2] = {x0, x0 + 1}, ys[2] = {y0, y0 + 1};
  const float wx[2] = {1 - tx, tx}, wy[2] = {1 - ty, ty};
  for (int j = 0; j < 2; ++j)
    for (int i = 0; i < 2; ++i) {
      if (!Inside(xs[i], ys[j])) continue;
      const Color& c = At(xs[i], ys[j]);
      const float w = wx[i] * wy[j] * c.a;
      r += c.r * w;
      g += c.g * w;
      b += c.b * w;
      a += w;
    }
  if (a <= 0) return {};
  return {r / a, g / a, b / a, a};
}

bool Image::WritePng(const std::string& path, int channels, bool dither) const {
  static const int kBayer[8][8] = {
      {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26}, {12, 44, 4, 36, 14, 46, 6, 38},
      {60, 28, 52, 20, 62, 30, 54, 22}, {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
      {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};
  std::vector<std::uint8_t> bytes(static_cast<size_t>(width_) * height_ * channels);
  auto quantise = [](float v, float threshold) {
    const float s = std::floor(std::clamp(v, 0.0f, 1.0f) * 255.0f + threshold);
    return static_cast<std::uint8_t>(std::clamp(s, 0.0f, 255.0f));
  };
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      const Color& c = At(x, y);
      const float t = dither ? (kBayer[y & 7][x & 7] + 0.5f) / 64.0f : 0.5f;
      std::uint8_t* p = &bytes[(static_cast<size_t>(y) * width_ + x) * channels];
      p[0] = quantise(c.r, t);
      p[1] = quantise(c.g, t);
      p[2] = quantise(c.b, t);
      if (channels == 4) p[3] = quantise(c.a, 0.5f);
    }
  stbi_write_png_compression_level = 9;
  return stbi_write_png(path.c_str(), width_, height_, channels, bytes.data(), width_ * channels) != 0;
}

Image Image::LoadPng(const std::string& path) {
  int w = 0, h = 0, n = 0;
  unsigned char* data = stbi_load(path.c_str(), &w, &h, &n, 4);
  if (!data) return {};
  Image img(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const unsigned char* p = data + (static_cast<size_t>(y) * w + x) * 4;
      img.At(x, y) = {p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f, p[3] / 255.0f};
    }
  stbi_image_free(data);
  return img;
}

void Mask::Max(int x, int y, float value) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  float& v = At(x, y);
  v = std::max(v, value);
}

Mask Blur(const Mask& m, float sigma) {
  const int radius = std::max(1, static_cast<int>(std::ceil(sigma * 3)));
  std::vector<float> kernel(2 * radius + 1);
  float sum = 0;
  for (int i = -radius; i <= radius; ++i) {
    kernel[i + radius] = std::exp(-0.5f * (i * i) / (sigma * sigma));
    sum += kernel[i + radius];
  }
  for (float& k : kernel) k /= sum;
  Mask across(m.Width(), m.Height()), out(m.Width(), m.Height());
  for (int y = 0; y < m.Height(); ++y)
    for (int x = 0; x < m.Width(); ++x) {
      float v = 0;
      for (int i = -radius; i <= radius; ++i) v += m.Get(x + i, y) * kernel[i + radius];
      across.At(x, y) = v;
    }
  for (int y = 0; y < m.Height(); ++y)
    for (int x = 0; x < m.Width(); ++x) {
      float v = 0;
      for (int i = -radius; i <= radius; ++i) v += across.Get(x, y + i) * kernel[i + radius];
      out.At(x, y) = v;
    }
  return out;
}

Mask Dilate(const Mask& m, float radius) {
  const int r = static_cast<int>(std::ceil(radius)) + 1;
  struct Tap {
    int dx, dy;
    float weight;
  };
  std::vector<Tap> taps;
  for (int dy = -r; dy <= r; ++dy)
    for (int dx = -r; dx <= r; ++dx) {
      const float w = std::clamp(radius + 0.5f - std::sqrt(static_cast<float>(dx * dx + dy * dy)), 0.0f, 1.0f);
      if (w > 0) taps.push_back({dx, dy, w});
    }
  Mask out(m.Width(), m.Height());
  for (int y = 0; y < m.Height(); ++y)
    for (int x = 0; x < m.Width(); ++x) {
      float v = 0;
      for (const Tap& t : taps) v = std::max(v, m.Get(x + t.dx, y + t.dy) * t.weight);
      out.At(x, y) = v;
    }
  return out;
}

void PaintMask(Image& img, const Mask& m, Color c, int offsetX, int offsetY) {
  for (int y = 0; y < m.Height(); ++y)
    for (int x = 0; x < m.Width(); ++x) {
      const float v = m.Get(x, y);
      if (v > 0) img.Blend(x + offsetX, y + offsetY, c, v);
    }
}


void BleedColour(Image& img) {
  const int w = img.Width(), h = img.Height();
  std::vector<char> known(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) known[static_cast<size_t>(y) * w + x] = img.At(x, y).a > 0.5f / 255.0f;
  for (int pass = 0; pass < 32; ++pass) {
    std::vector<char> next = known;
    bool changed = false;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        if (known[static_cast<size_t>(y) * w + x]) continue;
        float r = 0, g = 0, b = 0;
        int n = 0;
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx) {
            const int nx = x + dx, ny = y + dy;
            if (!img.Inside(nx, ny) || !known[static_cast<size_t>(ny) * w + nx]) continue;
            const Color& c = img.At(nx, ny);
            r += c.r;
            g += c.g;
            b += c.b;
            ++n;
          }
        if (n == 0) continue;
        Color& c = img.At(x, y);
        c = {r / n, g / n, b / n, c.a};
        next[static_cast<size_t>(y) * w + x] = 1;
        changed = true;
      }
    known.swap(next);
    if (!changed) break;
  }
}

void FadeBorder(Image& img, int margin) {
  for (int y = 0; y < img.Height(); ++y)
    for (int x = 0; x < img.Width(); ++x) {
      const int d = std::min({x, y, img.Width() - 1 - x, img.Height() - 1 - y});
      if (d >= margin) continue;
      const float t = static_cast<float>(d) / margin;
      img.At(x, y).a *= t * t * (3 - 2 * t);
    }
}

}  // namespace contentgen
