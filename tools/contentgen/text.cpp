#include "text.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

namespace contentgen {

bool TrueTypeFont::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  data_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (data_.empty()) return false;
  return stbtt_InitFont(&info_, data_.data(), stbtt_GetFontOffsetForIndex(data_.data(), 0)) != 0;
}

float TrueTypeFont::ScaleForEm(float pixels) const { return stbtt_ScaleForMappingEmToPixels(&info_, pixels); }

GlyphBitmap TrueTypeFont::Glyph(int codepoint, float scale, float shiftX) const {
  GlyphBitmap g;
  int advance = 0, bearing = 0;
  stbtt_GetCodepointHMetrics(&info_, codepoint, &advance, &bearing);
  g.advance = advance * scale;
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  stbtt_GetCodepointBitmapBoxSubpixel(&info_, codepoint, scale, scale, shiftX, 0, &x0, &y0, &x1, &y1);
  g.left = x0;
  g.top = y0;
  g.width = std::max(0, x1 - x0);
  g.height = std::max(0, y1 - y0);
  g.coverage.assign(static_cast<size_t>(g.width) * g.height, 0);
  if (g.width > 0 && g.height > 0)
    stbtt_MakeCodepointBitmapSubpixel(&info_, g.coverage.data(), g.width, g.height, g.width, scale, scale, shiftX, 0,
                                      codepoint);
  return g;
}

float TrueTypeFont::Kern(int a, int b, float scale) const { return stbtt_GetCodepointKernAdvance(&info_, a, b) * scale; }

float TrueTypeFont::LineWidth(std::string_view text, float scale, float tracking) const {
  float pen = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const int c = static_cast<unsigned char>(text[i]);
    int advance = 0, bearing = 0;
    stbtt_GetCodepointHMetrics(&info_, c, &advance, &bearing);
    pen += advance * scale;
    if (i + 1 < text.size()) pen += Kern(c, static_cast<unsigned char>(text[i + 1]), scale) + tracking;
  }
  return pen;
}

void TrueTypeFont::DrawLine(Mask& m, std::string_view text, float x, float baseline, float scale,
                            float tracking) const {
  float pen = x;
  const int by = static_cast<int>(std::lround(baseline));
  for (size_t i = 0; i < text.size(); ++i) {
    const int c = static_cast<unsigned char>(text[i]);
    const float whole = std::floor(pen);
    const GlyphBitmap g = Glyph(c, scale, pen - whole);
    const int ox = static_cast<int>(whole) + g.left, oy = by + g.top;
    for (int y = 0; y < g.height; ++y)
      for (int gx = 0; gx < g.width; ++gx)
        m.Max(ox + gx, oy + y, g.coverage[static_cast<size_t>(y) * g.width + gx] / 255.0f);
    pen += g.advance;
    if (i + 1 < text.size()) pen += Kern(c, static_cast<unsigned char>(text[i + 1]), scale) + tracking;
  }
}

void TrueTypeFont::LineBounds(std::string_view text, float scale, float* top, float* bottom) const {
  float t = 0, b = 0;
  for (char ch : text) {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    stbtt_GetCodepointBitmapBox(&info_, static_cast<unsigned char>(ch), scale, scale, &x0, &y0, &x1, &y1);
    if (x1 <= x0) continue;
    t = std::min(t, static_cast<float>(y0));
    b = std::max(b, static_cast<float>(y1));
  }
  *top = t;
  *bottom = b;
}

}  // namespace contentgen
