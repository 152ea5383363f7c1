// The game's bitmap font: DejaVu Sans Condensed Bold rasterised for the
// printable ASCII bytes 32 to 126 into one white texture with the glyphs in
// its alpha channel, and the plain-text .fnt file that places them.
//
// Every glyph gets a cell of the same height with its baseline at the same
// row, since the game draws each letter from the top of the text line. The
// size is the largest that keeps the HUD's longest captions, "Highest
// combo:" and "Active rockets:", inside the 150-pixel side panels at the
// HUD's scale of 0.6 (at most 125 pixels wide), and keeps the tallest cell
// within 26 to 30 pixels so that menu captions 50 pixels apart never touch.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "content.h"
#include "image.h"
#include "text.h"

namespace contentgen {
namespace {

constexpr int kFirst = 32;
constexpr int kLast = 126;
constexpr int kPad = 1;          // clear pixels around each glyph inside its cell
constexpr int kGap = 2;          // clear pixels between cells in the texture
constexpr int kTextureWidth = 256;
constexpr float kHudScale = 0.6f;
constexpr float kHudWidthLimit = 125.0f;
constexpr int kMinHeight = 26;
constexpr int kMaxHeight = 30;

struct Letter {
  GlyphBitmap glyph;
  int x = 0, y = 0, w = 0, h = 0, pre = 0, post = 0;
};

struct Layout {
  std::vector<Letter> letters;  // kFirst..kLast
  int ascent = 0;               // cell rows above the baseline
  int height = 0;               // cell height
};

Layout Rasterise(const TrueTypeFont& font, float emPixels) {
  Layout layout;
  const float scale = font.ScaleForEm(emPixels);
  int top = 0, bottom = 0;
  for (int c = kFirst; c <= kLast; ++c) {
    Letter l;
    l.glyph = font.Glyph(c, scale);
    if (l.glyph.height > 0) {
      top = std::min(top, l.glyph.top);
      bottom = std::max(bottom, l.glyph.top + l.glyph.height);
    }
    layout.letters.push_back(std::move(l));
  }
  layout.ascent = -top + kPad;
  layout.height = bottom - top + 2 * kPad;
  for (int c = kFirst; c <= kLast; ++c) {
    Letter& l = layout.letters[c - kFirst];
    const int advance = static_cast<int>(std::lround(l.glyph.advance));
    l.h = layout.height;
    if (l.glyph.width == 0) {  // the blank: an empty cell one advance wide
      l.w = advance;
      l.pre = 0;
      l.post = 0;
    } else {
      l.w = l.glyph.width + 2 * kPad;
      l.pre = l.glyph.left - kPad;
      l.post = advance - l.pre - l.w;
    }
  }
  return layout;
}

// Width of a text as the game measures it: w + pre + post per letter.
float TextWidth(const Layout& layout, const std::string& text, float scale) {
  float w = 0;
  for (char ch : text) {
    const Letter& l = layout.letters[static_cast<unsigned char>(ch) - kFirst];
    w += l.w + l.pre + l.post;
  }
  return w * scale;
}

bool FitsTheHud(const Layout& layout) {
  return TextWidth(layout, "Highest combo:", kHudScale) <= kHudWidthLimit - 1 &&
         TextWidth(layout, "Active rockets:", kHudScale) <= kHudWidthLimit - 1 && layout.height <= kMaxHeight;
}

// Places the cells row by row; returns the texture height needed.
int Pack(Layout& layout) {
  int x = kGap, y = kGap;
  for (Letter& l : layout.letters) {
    if (x + l.w + kGap > kTextureWidth) {
      x = kGap;
      y += layout.height + kGap;
    }
    l.x = x;
    l.y = y;
    x += l.w + kGap;
  }
  int height = 16;
  while (height < y + layout.height + kGap) height *= 2;
  return height;
}

std::string CharLine(int c, const Letter& l) {
  char key[16];
  if (std::isalnum(c))
    std::snprintf(key, sizeof key, "\"%c\"", static_cast<char>(c));
  else
    std::snprintf(key, sizeof key, "%02X", c);
  char line[96];
  std::snprintf(line, sizeof line, "Char=%s,%d,%d,%d,%d,%d,%d\n", key, l.x, l.y, l.w, l.h, l.pre, l.post);
  return line;
}

}  // namespace

bool MakeBitmapFont(const Context& ctx) {
  TrueTypeFont font;
  const std::string ttf = ctx.Font("DejaVuSansCondensed-Bold.ttf");
  if (!font.Load(ttf)) {
    std::fprintf(stderr, "contentgen: cannot read the font %s\n", ttf.c_str());
    return false;
  }
  // The largest size, in quarter pixels, that fits the HUD.
  Layout layout;
  for (float em = 32.0f; em >= 16.0f; em -= 0.25f) {
    layout = Rasterise(font, em);
    if (FitsTheHud(layout)) break;
  }
  if (!FitsTheHud(layout) || layout.height < kMinHeight) {
    std::fprintf(stderr, "contentgen: no font size fits the HUD (cell height %d)\n", layout.height);
    return false;
  }
  const int textureHeight = Pack(layout);

  Image img(kTextureWidth, textureHeight, {1, 1, 1, 0});
  for (Letter& l : layout.letters) {
    const GlyphBitmap& g = l.glyph;
    const int ox = l.x + kPad, oy = l.y + layout.ascent + g.top;
    for (int y = 0; y < g.height; ++y)
      for (int x = 0; x < g.width; ++x) img.At(ox + x, oy + y).a = g.coverage[static_cast<size_t>(y) * g.width + x] / 255.0f;
  }
  if (!img.WritePng(ctx.Out("font1.png"), 4, false)) {
    std::fprintf(stderr, "contentgen: cannot write %s\n", ctx.Out("font1.png").c_str());
    return false;
  }

  std::ofstream fnt(ctx.Out("font1.fnt"), std::ios::binary);
  fnt << "[HGEFONT]\n\nBitmap=font1.png\n\n";
  for (int c = kFirst; c <= kLast; ++c) fnt << CharLine(c, layout.letters[c - kFirst]);
  if (!fnt) {
    std::fprintf(stderr, "contentgen: cannot write %s\n", ctx.Out("font1.fnt").c_str());
    return false;
  }
  std::printf("font1: cell height %d, \"Highest combo:\" %.1f px, \"Active rockets:\" %.1f px at scale 0.6\n",
              layout.height, TextWidth(layout, "Highest combo:", kHudScale),
              TextWidth(layout, "Active rockets:", kHudScale));
  return true;
}

}  // namespace contentgen
