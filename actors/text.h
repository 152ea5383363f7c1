// A floating text: a short string at a fixed point that fades in, grows by a
// tenth of its size per second, and fades out quickly once its lifetime is
// up. Every text starts invisible, whatever alpha its colour was given. The
// game shows its combo texts this way.
#pragma once

#include <string>

#include "actors/actor.h"
#include "helpers/color.h"
#include "helpers/geometry.h"

class hgeFont;

namespace vtr {

class Stage;

class Text : public Actor {
 public:
  // Takes the settings' TextFont; the colour's alpha is set to 0.
  Text(const hgeColor& color, Stage* stage, const std::string& text, hgeVector2 position,
       float lifetime, float scale);

  // Grows; fades in (0.4 per second) until the lifetime is reached, then
  // fades out (5 per second) from the next update and ends at alpha <= 0.
  void Update(float dt) override;
  // Draws the string left-aligned at (x, y) with the shared font.
  void Render() override;

  std::string text;
  float lifetime;
  float age = 0.0f;
  hgeColor color;
  float scale;
  hgeFont* font;  // the settings' TextFont, not owned; may be null
};

}  // namespace vtr
