#include "game/hud.h"

#include <sstream>

#include "config/settings.h"
#include "helpers/font.h"

namespace vtr {

namespace {

constexpr DWORD kWhite = 0xFFFFFFFF;
constexpr DWORD kMultiplierHighlight1 = 0xFF007FFF;  // (0, 0.5, 1, 1)
constexpr DWORD kMultiplierHighlight2 = 0xFF00FF00;  // (0, 1, 0, 1)
constexpr DWORD kTimeWarning1 = 0xFFFFFF00;          // (1, 1, 0, 1)
constexpr DWORD kTimeWarning2 = 0xFFFF0000;          // (1, 0, 0, 1)
constexpr float kScale = 0.6f;
constexpr float kRightColumn = 890.0f;
constexpr float kLeftColumn = 20.0f;

// Caption in white, then 20 pixels lower its value in the given colour.
void DrawPair(hgeFont& font, float x, float y, const std::string& caption, const std::string& value,
              DWORD valueColor) {
  font.SetScale(kScale);
  font.SetColor(kWhite);
  font.Render(x, y, 0, caption.c_str());
  font.SetColor(valueColor);
  font.Render(x, y + 20.0f, 0, value.c_str());
}

// A float as a stream writes it by default: six significant digits.
std::string FormatTime(float seconds) {
  std::ostringstream text;
  text << seconds;
  return text.str();
}

}  // namespace

Hud::Hud() : font(std::make_unique<hgeFont>("Content/font1.fnt", false)) {}

Hud::~Hud() = default;

void Hud::Draw() {
  const Settings& settings = Settings::Instance();
  DrawPair(*font, kRightColumn, 200.0f, labels[1], std::to_string(score), kWhite);
  DrawPair(*font, kRightColumn, 260.0f, labels[0], std::to_string(highestCombo), kWhite);

  DWORD multiplierColor = kWhite;
  if (multiplier > settings.MultiplierHighlight1) multiplierColor = kMultiplierHighlight1;
  if (multiplier > settings.MultiplierHighlight2) multiplierColor = kMultiplierHighlight2;
  DrawPair(*font, kRightColumn, 320.0f, labels[3], std::to_string(multiplier) + " %", multiplierColor);

  DrawPair(*font, kLeftColumn, 200.0f, labels[2], std::to_string(activeRockets), kWhite);

  DWORD timeColor = kWhite;
  if (settings.TimeWarning1 > time) timeColor = kTimeWarning1;
  if (settings.TimeWarning2 > time) timeColor = kTimeWarning2;
  DrawPair(*font, kLeftColumn, 260.0f, labels[4], FormatTime(time), timeColor);
}

}  // namespace vtr
