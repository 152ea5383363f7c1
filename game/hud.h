// The play screen's readouts in the two side panels: score, highest combo
// and multiplier on the right, active actors and time on the left. The frame
// update copies fresh values in at the end of every playing frame; while the
// menu or the splash is up the HUD keeps the values of the last one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class hgeFont;

namespace vtr {

// The five values the HUD shows, as one value the watched round swaps.
struct HudReadouts {
  std::uint32_t highestCombo = 0;
  std::uint32_t score = 0;
  std::uint32_t activeRockets = 0;
  std::uint32_t multiplier = 0;  // multiplier x 100, truncated
  float time = 0.0f;
};

class Hud : public HudReadouts {
 public:
  // Loads the HUD's own font from Content/font1.fnt.
  Hud();
  ~Hud();
  Hud(const Hud&) = delete;
  Hud& operator=(const Hud&) = delete;

  // Draws captions and readouts at scale 0.6 in their warning colours.
  void Draw();

  HudReadouts& Readouts() { return *this; }

  std::unique_ptr<hgeFont> font;
  std::string labels[5] = {"Highest combo:", "Score:", "Active rockets:", "Multiplier:", "Time:"};
};

}  // namespace vtr
