// The rule of the game: once per playing frame, every explosion catches the
// rising rockets inside its radius; each caught rocket scores and bursts into
// an explosion one link further down the chain. See hit_pass.cpp.
#pragma once

#include <cstdint>

namespace vtr {

class Game;

// The hit pass over the actor list's main sequence: kills, scores and
// replaces every caught rocket, raises the multiplier, records the combo.
void HandleExplosionHits(Game* game);

// Queues the combo text "x <n>" of a catch at chain count n at (x, y).
void ShowComboText(Game* game, std::uint32_t chain, float x, float y);

}  // namespace vtr
