#include "actors/text.h"

#include "config/settings.h"
#include "helpers/color.h"
#include "helpers/font.h"

namespace vtr {

Text::Text(const hgeColor& color, Stage* stage, const std::string& text, hgeVector2 position,
           float lifetime, float scale)
    : Actor(stage, kText), text(text), lifetime(lifetime), color(color), scale(scale) {
  x = position.x;
  y = position.y;
  this->color.a = 0.0f;  // every text fades in from nothing
  font = Settings::Instance().TextFont;
}

void Text::Update(float dt) {
  const bool wasDying = dying;
  age += dt;
  scale += 0.1f * dt;
  if (!wasDying) {
    // Not clamped: a text that lives past 2.5 s ends a little above 1.
    if (color.a < 1.0f) color.a += 0.4f * dt;
    if (age >= lifetime) {
      OnDeath();
      dying = true;  // the fade-out starts with the next update
    }
  } else {
    color.a -= 5.0f * dt;
    if (color.a <= 0.0f) alive = false;
  }
}

void Text::Render() {
  if (font == nullptr) return;  // no font was loaded: nothing to draw with
  font->SetScale(scale);        // stays set on the shared font
  font->SetColor(PackColor(color));
  font->Render(x, y, 8, text.c_str());  // only the low two bits count: left-aligned
}

}  // namespace vtr
