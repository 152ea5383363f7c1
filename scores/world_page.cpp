#include "scores/world_page.h"

#include <algorithm>
#include <cassert>
#include <string>

#include "helpers/color.h"
#include "helpers/font.h"
#include "scores/score_page.h"

namespace vtr {

namespace {

constexpr int kAlignLeft = 0;
constexpr int kAlignRight = 1;
constexpr int kAlignCentre = 2;
constexpr DWORD kTitleColour = 0xFFFFFFFF;
constexpr DWORD kCaptionColour = 0xFFB0B0D0;
constexpr float kTitleY = 232.0f;
constexpr float kHeadY = 276.0f;
constexpr float kCaptionScale = 0.6f;
// Columns, from the centre: the rank and name start left of it, the score
// and the combo end right of it (both within the side panels).
constexpr float kNameLeft = -300.0f;
constexpr float kNameRight = 80.0f;
constexpr float kScoreRight = 220.0f;
constexpr float kComboRight = 330.0f;

void DrawText(hgeFont* font, float x, float y, int align, const std::string& text, DWORD colour, float scale) {
  font->SetScale(scale);
  font->SetColor(colour);
  font->Render(x, y, align, text.c_str());
}

// "rank. name", its name cut with ".." so that it ends before the score.
std::string RankAndName(hgeFont* font, const WorldLine& line, float width) {
  const std::string rank = std::to_string(line.rank) + ". ";
  std::string name = line.name;
  while (!name.empty() && font->GetTextWidth((rank + name).c_str()) > width) {
    name.resize(name.size() > 3 ? name.size() - 3 : 0);
    while (!name.empty() && name.back() == ' ') name.pop_back();
    name += "..";
  }
  return rank + name;
}

}  // namespace

void DrawWorldPage(hgeFont* font, const WorldPage& page, float centreX) {
  assert(font != nullptr && "the world table needs the menu's font");
  const DWORD previousColour = font->GetColor();
  const float previousScale = font->GetScale();
  DrawText(font, centreX, kTitleY, kAlignCentre, kWorldTitle, kTitleColour, 1.0f);

  const float top = kScoreLinesTop;
  if (page.status == WorldPage::Status::Loading) {
    DrawText(font, centreX, top, kAlignCentre, "loading...", kCaptionColour, kCaptionScale);
  } else if (page.status == WorldPage::Status::Failed) {
    DrawText(font, centreX, top, kAlignCentre, "World table not reachable: " + page.reason,
             PackColor(kNewScoreColor), kCaptionScale);
  } else if (page.lines.empty()) {
    DrawText(font, centreX, top, kAlignCentre, "No rounds yet today", kCaptionColour, kCaptionScale);
  } else {
    DrawText(font, centreX + kScoreRight, kHeadY, kAlignRight, "score", kCaptionColour, kCaptionScale);
    DrawText(font, centreX + kComboRight, kHeadY, kAlignRight, "combo", kCaptionColour, kCaptionScale);
    const std::size_t shown = std::min(page.lines.size(), static_cast<std::size_t>(kWorldLinesShown));
    for (std::size_t i = 0; i < shown; ++i) {
      const WorldLine& line = page.lines[i];
      const float y = top + kScoreLineStep * static_cast<float>(i);
      const DWORD colour = PackColor(line.name == page.player ? kNewScoreColor : kOldScoreColor);
      font->SetScale(1.0f);
      DrawText(font, centreX + kNameLeft, y, kAlignLeft, RankAndName(font, line, kNameRight - kNameLeft), colour,
               1.0f);
      DrawText(font, centreX + kScoreRight, y, kAlignRight, std::to_string(line.score), colour, 1.0f);
      DrawText(font, centreX + kComboRight, y, kAlignRight, std::to_string(line.combo), colour, 1.0f);
    }
  }
  font->SetScale(previousScale);
  font->SetColor(previousColour);
}

}  // namespace vtr
