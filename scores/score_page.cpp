#include "scores/score_page.h"

#include <cassert>
#include <string>

#include "game/color.h"
#include "helpers/font.h"

namespace vtr {

void DrawScoreLines(hgeFont* font, const std::vector<ScoreEntry>& entries) {
  assert(font != nullptr && "the score lines need the menu's font");
  const DWORD previous = font->GetColor();
  float y = 300.0f;
  int rank = 1;
  for (const ScoreEntry& entry : entries) {
    if (rank > kScoreLinesShown) break;
    const std::string line = std::to_string(rank) + ". " + std::to_string(entry.score);
    font->SetColor(PackColor(entry.isNew ? kNewScoreColor : kOldScoreColor));
    font->Render(450.0f, y, 0, line.c_str());
    ++rank;
    y += 40.0f;
  }
  font->SetColor(previous);
}

}  // namespace vtr
