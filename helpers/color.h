// The colour record every part of the game shares, four floats from 0 to 1,
// and the game's own packing of it into the engine's 32-bit ARGB value:
// alpha x 255 in the top byte, then red, green and blue x 255, each product
// truncated towards zero. (The particle system packs its own colours by
// rounding instead.)
//
// Channels inside 0..1 pack exactly so. A channel outside that range cannot
// spill into its neighbours: after truncation it is held to 0..255, so a
// negative value gives 0, a value above 1 gives 255, and not-a-number gives 0.
#pragma once

#include "platform/hge.h"

struct hgeColor {
  float r = 0.0f, g = 0.0f, b = 0.0f, a = 0.0f;
};

namespace vtr {

// One channel: trunc(v x 255) held to 0..255; NaN gives 0.
inline DWORD PackChannel(float v) {
  const float scaled = v * 255.0f;
  if (!(scaled > 0.0f)) return 0;  // zero, negative or NaN
  if (scaled >= 255.0f) return 255;
  return static_cast<DWORD>(scaled);  // in range: truncates towards zero
}

// The whole colour as ARGB.
inline DWORD PackColor(const hgeColor& c) {
  return (PackChannel(c.a) << 24) | (PackChannel(c.r) << 16) | (PackChannel(c.g) << 8) |
         PackChannel(c.b);
}

}  // namespace vtr
