// The score lines of the high-score page: the five best scores, numbered,
// the latest finished round's entry in red, the others in blue.
#pragma once

#include <vector>

#include "helpers/emitter_info.h"
#include "scores/score_table.h"

class hgeFont;

namespace vtr {

inline constexpr hgeColor kNewScoreColor{1.0f, 0.2f, 0.2f, 1.0f};
inline constexpr hgeColor kOldScoreColor{0.4f, 0.4f, 1.0f, 1.0f};
inline constexpr int kScoreLinesShown = 5;

// Draws up to five lines "rank. score", left-aligned at x 450 from y 300, 40
// pixels apart, in table order. The font's colour is the same afterwards.
void DrawScoreLines(hgeFont* font, const std::vector<ScoreEntry>& entries);

}  // namespace vtr
