#include "scores/score_page.h"

#include <algorithm>
#include <cassert>
#include <string>

#include "helpers/color.h"
#include "helpers/font.h"

namespace vtr {

namespace {

constexpr std::size_t kTopLines = kScoreLinesShown;

void DrawLine(hgeFont* font, std::size_t index, const ScoreEntry& entry, float y) {
  const std::string line = std::to_string(index + 1) + ". " + std::to_string(entry.score);
  font->SetColor(PackColor(entry.isNew ? kNewScoreColor : kOldScoreColor));
  font->Render(450.0f, y, 0, line.c_str());
}

}  // namespace

std::size_t NewEntryBelowTopLines(const std::vector<ScoreEntry>& entries) {
  for (std::size_t i = kTopLines; i < entries.size(); ++i) {
    if (entries[i].isNew) return i;
  }
  return entries.size();
}

int ScoreLineCount(const std::vector<ScoreEntry>& entries) {
  const int top = static_cast<int>(std::min(entries.size(), kTopLines));
  return NewEntryBelowTopLines(entries) < entries.size() ? top + 1 : top;
}

void DrawScoreLines(hgeFont* font, const std::vector<ScoreEntry>& entries) {
  assert(font != nullptr && "the score lines need the menu's font");
  const DWORD previous = font->GetColor();
  float y = kScoreLinesTop;
  for (std::size_t i = 0; i < entries.size() && i < kTopLines; ++i) {
    DrawLine(font, i, entries[i], y);
    y += kScoreLineStep;
  }
  const std::size_t below = NewEntryBelowTopLines(entries);
  if (below < entries.size()) DrawLine(font, below, entries[below], y);
  font->SetColor(previous);
}

void DrawSaveFailure(hgeFont* font, float y, bool notYet) {
  assert(font != nullptr && "the message needs the menu's font");
  const DWORD previousColor = font->GetColor();
  const float previousScale = font->GetScale();
  font->SetScale(0.5f);
  font->SetColor(PackColor(kNewScoreColor));
  // Centred under "Back".
  font->Render(512.0f, y, 2, notYet ? "Score could not be saved yet" : "Score could not be saved");
  font->SetScale(previousScale);
  font->SetColor(previousColor);
}

}  // namespace vtr
