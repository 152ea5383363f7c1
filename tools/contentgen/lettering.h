// The pieces the title is painted from, shared by the logos and the game's
// icon: fitted lines of text as masks, normalised glows, the four-pointed
// sparkles, and the title's fire gradient.
#pragma once

#include <string>

#include "image.h"
#include "shapes.h"
#include "text.h"

namespace contentgen {

// A four-pointed sparkle of light with a round glow, painted over the image.
void PaintSparkle(Image& img, Point c, float size, Color tint);

// Fits a line of text into a box: the largest em size, in half pixels.
float FitEm(const TrueTypeFont& font, const std::string& text, float tracking, float maxWidth, float maxHeight);

// A centred line of text as a mask of the image's size.
Mask TextMask(const TrueTypeFont& font, const std::string& text, float em, float tracking, int width, int height,
              float centreX, float baseline);

// Normalises a blurred glow so its strongest point has the given alpha.
Mask Glow(const Mask& shape, float grow, float sigma, float peak);

// The title's fill at t from the top (0) to the bottom (1) of the letters:
// pale gold, gold, ember red.
Color TitleFill(float t);

}  // namespace contentgen
