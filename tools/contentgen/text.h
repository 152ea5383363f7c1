// TrueType text through stb_truetype: metrics, single glyph bitmaps for the
// bitmap font, and whole lines drawn into a mask for the logos.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <stb/stb_truetype.h>

#include "image.h"

namespace contentgen {

struct GlyphBitmap {
  int left = 0;  // offset of the bitmap from the pen position, pixels
  int top = 0;   // offset of the bitmap's top from the baseline (negative is up)
  int width = 0;
  int height = 0;
  std::vector<unsigned char> coverage;  // width * height, 0..255
  float advance = 0;                    // pen advance in pixels
};

class TrueTypeFont {
 public:
  // Reads a .ttf file; false when it is missing or not a font.
  bool Load(const std::string& path);

  // Scale that makes the em square `pixels` high.
  float ScaleForEm(float pixels) const;
  // The glyph of a code point rasterised at a scale, shifted right by a
  // fraction of a pixel.
  GlyphBitmap Glyph(int codepoint, float scale, float shiftX = 0) const;
  // Kerning between two code points in pixels.
  float Kern(int a, int b, float scale) const;
  // Width of a line from the first pen position to the last advance.
  float LineWidth(std::string_view text, float scale, float tracking) const;
  // Draws a line into a mask with the pen starting at x on the baseline.
  void DrawLine(Mask& m, std::string_view text, float x, float baseline, float scale, float tracking) const;
  // The union of the glyph boxes of a line, relative to pen start and baseline.
  void LineBounds(std::string_view text, float scale, float* top, float* bottom) const;

 private:
  std::vector<unsigned char> data_;
  stbtt_fontinfo info_{};
};

}  // namespace contentgen
