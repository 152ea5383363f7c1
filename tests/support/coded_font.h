// A font file for tests that read text back from quads: every printable
// character is 10 wide and 20 high, its glyph at texture x equal to its code.
// With no texture the coordinates stay in pixels, so each quad tells which
// character it draws.
#pragma once

#include <cstdio>
#include <string>

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

}  // namespace testing_support
