// The rule of the game: once per playing frame, every explosion catches the
// rising rockets inside its radius; each caught rocket scores and bursts into
// an explosion one link further down the chain. See hit_pass.cpp.
#pragma once

#include <cstdint>

namespace vtr {

class Stage;
struct Round;

// The hit pass over the actor list's main sequence: kills, scores and
// replaces every caught rocket; the round's chain, score, multiplier and
// highest combo follow the catches. What it makes plays on the stage.
void HandleExplosionHits(Stage* stage, Round& round);

// Queues the combo text "x <n>" of a catch at chain count n at (x, y).
void ShowComboText(Stage* stage, std::uint32_t chain, float x, float y);

}  // namespace vtr
