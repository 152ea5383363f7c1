// A font file for tests that read text back from quads: every printable
// character is 10 wide and 20 high, its glyph at texture x equal to its code.
// With no texture the coordinates stay in pixels, so each quad tells which
// character it draws. ReadDrawnLines reads it back.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/hge.h"
#include "platform/hge_headless.h"

namespace testing_support {

inline std::string CodedFont() {
  std::string text = "[HGEFONT]\n";
  for (int c = 32; c < 127; ++c) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%X", c);
    text += "Char = " + std::string(hex) + ", " + std::to_string(c) + ", 0, 10, 20, 0, 0\n";
  }
  return text;
}

// One run of letters drawn in the coded font with the same top and colour,
// one after another: a caption, or a line of text.
struct DrawnLine {
  float x = 0.0f;
  float y = 0.0f;
  DWORD colour = 0;
  std::string text;
  // The middle of the run: every letter is 10 wide.
  float Centre() const { return x + 5.0f * static_cast<float>(text.size()); }
};

// Runs draw in a scene of the headless engine and reads the coded font's
// letters back from the quads it drew, in drawing order.
inline std::vector<DrawnLine> ReadDrawnLines(HGE* hge, const std::function<void()>& draw) {
  std::vector<hgeQuad> quads;
  headless::SetQuadTap(hge, [&quads](const hgeQuad& q) { quads.push_back(q); });
  hge->Gfx_BeginScene();
  draw();
  hge->Gfx_EndScene();
  headless::SetQuadTap(hge, {});
  std::vector<DrawnLine> lines;
  for (const hgeQuad& q : quads) {
    const hgeVertex& v = q.v[0];
    if (lines.empty() || lines.back().y != v.y || lines.back().colour != v.col) lines.push_back({v.x, v.y, v.col, ""});
    lines.back().text += static_cast<char>(v.tx);
  }
  return lines;
}

}  // namespace testing_support
