// Pictures in floating point: an RGBA image with straight (not
// premultiplied) alpha and a one-channel mask used for shapes, text and
// glows. Channels run 0..1; only writing a PNG turns them into bytes.
#pragma once

#include <string>
#include <vector>

namespace contentgen {

struct Color {
  float r = 0, g = 0, b = 0, a = 0;
};

// Linear mix of two colours, t = 0 gives a.
Color Mix(Color a, Color b, float t);

class Image {
 public:
  Image() = default;
  Image(int width, int height, Color fill = {});

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
  Color& At(int x, int y) { return px_[static_cast<size_t>(y) * width_ + x]; }
  const Color& At(int x, int y) const { return px_[static_cast<size_t>(y) * width_ + x]; }

  // Paints c over the pixel ("over" compositing); coverage scales c's alpha.
  // Pixels outside the image are ignored.
  void Blend(int x, int y, Color c, float coverage = 1.0f);
  // Adds light: rgb += c.rgb * c.a * amount, alpha untouched.
  void AddLight(int x, int y, Color c, float amount = 1.0f);
  // Bilinear sample at a continuous position (pixel centres at +0.5);
  // transparent outside the image.
  Color Sample(float x, float y) const;

  // Writes an 8-bit PNG with 3 (RGB) or 4 (RGBA) channels. With dither an
  // ordered 8x8 threshold hides banding in smooth gradients. False on
  // failure.
  bool WritePng(const std::string& path, int channels, bool dither) const;
  // Reads a PNG as RGBA; an empty image when it cannot be read.
  static Image LoadPng(const std::string& path);

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<Color> px_;
};

class Mask {
 public:
  Mask() = default;
  Mask(int width, int height) : width_(width), height_(height), v_(static_cast<size_t>(width) * height, 0.0f) {}

  int Width() const { return width_; }
  int Height() const { return height_; }
  float& At(int x, int y) { return v_[static_cast<size_t>(y) * width_ + x]; }
  // 0 outside the mask.
  float Get(int x, int y) const {
    return (x >= 0 && y >= 0 && x < width_ && y < height_) ? v_[static_cast<size_t>(y) * width_ + x] : 0.0f;
  }
  // Keeps the larger value (union of shapes).
  void Max(int x, int y, float value);

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<float> v_;
};

// Separable Gaussian blur; the mask keeps its size (edges fade into zero).
Mask Blur(const Mask& m, float sigma);
// Grows a shape by radius pixels (maximum over a disc), with a soft rim.
Mask Dilate(const Mask& m, float radius);

// Paints a coloured layer through a mask: each pixel gets c with alpha
// c.a * mask.
void PaintMask(Image& img, const Mask& m, Color c, int offsetX = 0, int offsetY = 0);

// Fills a shape given by its signed distance (negative inside) with a
// one-pixel anti-aliased edge; fills the mask with the larger coverage.
template <typename Sdf>
void FillShape(Mask& m, Sdf&& sdf) {
  for (int y = 0; y < m.Height(); ++y)
    for (int x = 0; x < m.Width(); ++x) {
      const float d = sdf(x + 0.5f, y + 0.5f);
      const float c = d <= -0.5f ? 1.0f : (d >= 0.5f ? 0.0f : 0.5f - d);
      if (c > 0) m.Max(x, y, c);
    }
}

// Gives fully transparent pixels the colour of their nearest visible
// neighbour, so that a filtered texture shows no dark fringe where its
// shapes fade out.
void BleedColour(Image& img);

// Fades alpha to zero over the outermost `margin` pixels, so that nothing
// of a glow is cut off by the picture's edge.
void FadeBorder(Image& img, int margin);

}  // namespace contentgen
