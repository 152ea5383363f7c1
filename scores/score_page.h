// The score lines of the high-score page: the five best scores, numbered,
// the latest finished round's entry in red, the others in blue. When that
// entry ranks below the five, a sixth line under them shows it in red with
// its rank, so a player always sees the round's score; the five stay as they
// are.
#pragma once

#include <cstddef>
#include <vector>

#include "helpers/color.h"
#include "scores/score_table.h"

class hgeFont;

namespace vtr {

inline constexpr hgeColor kNewScoreColor{1.0f, 0.2f, 0.2f, 1.0f};
inline constexpr hgeColor kOldScoreColor{0.4f, 0.4f, 1.0f, 1.0f};
inline constexpr int kScoreLinesShown = 5;
inline constexpr float kScoreLinesTop = 300.0f;
inline constexpr float kScoreLineStep = 40.0f;

// Index in entries of the latest round's entry when it ranks below the five
// lines shown; entries.size() when there is none (or it is among the five).
std::size_t NewEntryBelowTopLines(const std::vector<ScoreEntry>& entries);

// Number of lines DrawScoreLines draws: up to five, plus the sixth.
int ScoreLineCount(const std::vector<ScoreEntry>& entries);

// Draws up to five lines "rank. score", left-aligned at x 450 from y 300, 40
// pixels apart, in table order, then the sixth line when there is one. The
// font's colour is the same afterwards.
void DrawScoreLines(hgeFont* font, const std::vector<ScoreEntry>& entries);

// Draws "Score could not be saved" in small red letters from y down, under
// the score lines, for a round whose save failed. The font is the same
// afterwards. notYet: "Score could not be saved yet", for a score that waits
// for the score file's lock.
void DrawSaveFailure(hgeFont* font, float y, bool notYet = false);

}  // namespace vtr
